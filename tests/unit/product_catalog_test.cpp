// The product catalog as fake modules on the bus receive it: which sections
// are asked for and in what order, the placement blocks, the pane list the
// title module is given, and the identity text. The registry never forgets an
// endpoint, so every fake module gets a create command of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BASUtility.h"
#include "GdiplusInclude.h"
#include "I18n.h"
#include "bus_test_support.h"
#include "common/module_record.h"
#include "services/product_catalog.h"

namespace {

HICON const kFakeIcon = reinterpret_cast<HICON>(0x7070);
void* const kRecoveryPane = reinterpret_cast<void*>(0x1111);
void* const kToolkitPane = reinterpret_cast<void*>(0x2222);
const char kIdentity[] =
    R"({"alias":"Zentrovia Handset Message + Contact Rescue","version":"4.4.39","brand":"Zentrovia"})";

// One create record as a fake module saw it, with what it pointed to copied.
struct CreateSeen {
    std::string command;
    int64_t value = 0, value2 = 0;
    void* window = nullptr;
    std::vector<int32_t> block;  // the placement block, or the identity's first bytes
    std::string arg, identity;
    std::vector<std::wstring> paneTitles;
    std::vector<void*> paneWindows, paneImages;
};

std::map<std::string, std::pair<size_t, void*>> fakes;  // create command: block size, answered window
std::vector<CreateSeen> seen;

void __cdecl ReceiveCreate(BASObserveData* record) {
    const auto& [blockSize, answer] = fakes.at(record->command);
    CreateSeen copy{record->command, record->value, record->value2, record->window};
    if (record->arg) copy.arg = static_cast<const char*>(record->arg);
    const auto* ints = static_cast<const int32_t*>(record->data);
    if (blockSize == 0 && record->data) copy.identity = static_cast<const char*>(record->data);
    if (blockSize > 0 && ints) copy.block.assign(ints, ints + blockSize);
    if (const auto* list = static_cast<const BASPaneList*>(record->object)) {
        for (uint32_t i = 0; i < list->count; ++i) {
            copy.paneTitles.push_back(list->entries[i].title);
            copy.paneWindows.push_back(list->entries[i].window);
            copy.paneImages.push_back(list->entries[i].image);
        }
    }
    seen.push_back(copy);
    if (answer) record->window = answer;
    record->value2 = 77;  // shows whether the next send reused this record
}

class ProductCatalog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr);
        const wchar_t* tree = _wgetenv(L"LUMAREST_INSTALL_TREE");
        BASUtilityApp::SetProductDirOverrides(tree ? tree : L"", nullptr);
    }
    static void TearDownTestSuite() {
        BASUtilityApp::SetProductDirOverrides(nullptr, nullptr);
        Gdiplus::GdiplusShutdown(gdiplusToken_);
    }
    void SetUp() override {
        seen.clear();
        view_ = CreateWindowExW(0, L"STATIC", L"view", WS_POPUP, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { DestroyWindow(view_); }

    // A loaded module whose create command reaches a fake that copies what it
    // gets (a block of blockSize ints; 0: the identity text) and answers window.
    const ModuleRecord* Module(size_t blockSize, void* answer = nullptr) {
        static int serial = 0;
        modules_.push_back(std::make_unique<ModuleRecord>());
        ModuleRecord* record = modules_.back().get();
        record->createCommand = "TEST_CATALOG_CREATE_" + std::to_string(++serial);
        fakes[record->createCommand] = {blockSize, answer};
        Attach(record->createCommand.c_str(), reinterpret_cast<void*>(0x61000), &ReceiveCreate);
        return record;
    }
    CatalogModules AllFour() { return {Module(5, kRecoveryPane), Module(4, kToolkitPane), Module(5), Module(0)}; }

    // The commands in the order the fakes received them.
    std::vector<std::string> Order(const CatalogModules& m) const {
        std::vector<std::string> names;
        for (const CreateSeen& r : seen)
            names.push_back(r.command == m.recovery->createCommand  ? "recovery"
                            : r.command == m.toolkit->createCommand ? "toolkit"
                            : r.command == m.title->createCommand   ? "title"
                                                                    : "comm");
        return names;
    }

    HWND view_ = nullptr;
    std::vector<std::unique_ptr<ModuleRecord>> modules_;
    static inline ULONG_PTR gdiplusToken_ = 0;
};

TEST_F(ProductCatalog, AsksThePanesThenTheTitleWithTheirWindowsThenComm) {
    const CatalogModules modules = AllFour();
    SendCatalog(view_, kFakeIcon, modules, 0);
    ASSERT_EQ(Order(modules), (std::vector<std::string>{"recovery", "toolkit", "title", "comm"}));

    const CreateSeen &recovery = seen[0], &toolkit = seen[1], &title = seen[2], &comm = seen[3];
    EXPECT_EQ(recovery.window, view_);
    EXPECT_EQ(recovery.block, (std::vector<int32_t>{0x7070, 0, 89, 800, 500})) << "panes begin below row 88";
    EXPECT_EQ(toolkit.window, view_) << "the toolkit got the recovery's answered window";
    EXPECT_EQ(toolkit.value2, 0) << "the toolkit's record was not a fresh one";
    EXPECT_EQ(toolkit.block, (std::vector<int32_t>{0, 89, 800, 500}));

    EXPECT_EQ(title.window, view_);
    EXPECT_EQ(title.arg, "4.4.39");
    EXPECT_EQ(title.block, (std::vector<int32_t>{0x7070, 0, 0, 800, 88}));
    EXPECT_EQ(title.paneTitles, (std::vector<std::wstring>{L"Phone Rescue", L"Multi Toolbox"}));
    EXPECT_EQ(title.paneWindows, (std::vector<void*>{kRecoveryPane, kToolkitPane}));
    for (void* image : title.paneImages) {
        auto* picture = static_cast<Gdiplus::Bitmap*>(image);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetLastStatus(), Gdiplus::Ok) << "a pane's picture did not load from Resources";
    }
    EXPECT_EQ(comm.identity, kIdentity);
    EXPECT_TRUE(comm.paneTitles.empty());
}

TEST_F(ProductCatalog, ACompleteVersionAddsTheCardPaneInTheReusedRecord) {
    const CatalogModules modules = AllFour();
    SendCatalog(view_, kFakeIcon, modules, 5);
    ASSERT_EQ(Order(modules), (std::vector<std::string>{"recovery", "recovery", "toolkit", "title", "comm"}));
    EXPECT_EQ(seen[1].value, 1);
    EXPECT_EQ(seen[1].window, view_) << "the parent is set again, not the first answer";
    EXPECT_EQ(seen[1].value2, 77) << "the record was cleared between the two recovery sends";
    EXPECT_EQ(seen[3].paneTitles, (std::vector<std::wstring>{L"Phone Rescue", L"Card Rescue", L"Multi Toolbox"}));
}

TEST_F(ProductCatalog, PaneTitlesAreTranslatedAndTheIdentityEscaped) {
    I18nLocale* german = CreateLocale(2);
    ASSERT_TRUE(
        german->LoadCatalog((std::wstring(_wgetenv(L"LUMAREST_INSTALL_TREE")) + L"\\I18n\\de\\Language.mo").c_str()));
    CatalogModules modules{Module(5, kRecoveryPane), nullptr, Module(5), nullptr};
    SendCatalog(view_, kFakeIcon, modules, 0);
    CreateLocale(0);  // back to untranslated texts for the other tests
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].paneTitles, (std::vector<std::wstring>{L"Telefon-Datenrettung"}));
    EXPECT_EQ(IdentityJson("A \"B\" \xC3\xA9", "1", "M"),
              "{\"alias\":\"A \\\"B\\\" \xC3\xA9\",\"version\":\"1\",\"brand\":\"M\"}");
}

}  // namespace
