// The product catalog: which sections are made, the placement blocks, the
// identity text, and the create commands as fake modules on the bus receive
// them. The registry never forgets an endpoint, so every test gives its fake
// modules create commands of their own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BASUtility.h"
#include "GdiplusInclude.h"
#include "I18n.h"
#include "common/command_bus.h"
#include "common/module_record.h"
#include "gdiplus_session.h"
#include "services/product_catalog.h"

namespace {

HICON const kFakeIcon = reinterpret_cast<HICON>(0x7070);
void* const kFakeModule = reinterpret_cast<void*>(0x61000);

TEST(CatalogSections, RecoveryThenToolkitWhenBothAreLoaded) {
    const std::vector<SectionPlan> plans = PlanSections(true, true, 0);
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].module, SectionModule::Recovery);
    EXPECT_STREQ(plans[0].title, L"Phone Rescue");
    EXPECT_STREQ(plans[0].picture, L"phone-rescue.png");
    EXPECT_EQ(plans[1].module, SectionModule::Toolkit);
    EXPECT_STREQ(plans[1].title, L"Multi Toolbox");
    EXPECT_STREQ(plans[1].picture, L"multi-toolbox.png");
    EXPECT_FALSE(plans[1].reusesRecord) << "the toolkit gets a fresh record";
}

TEST(CatalogSections, CardRescueOnlyWithANonZeroCompleteVersion) {
    EXPECT_EQ(PlanSections(true, false, 0).size(), 1u) << "this build's complete version 0 makes no card pane";
    const std::vector<SectionPlan> plans = PlanSections(true, true, 3);
    ASSERT_EQ(plans.size(), 3u);
    EXPECT_STREQ(plans[1].title, L"Card Rescue");
    EXPECT_STREQ(plans[1].picture, L"card-rescue.png");
    EXPECT_EQ(plans[1].value, 1);
    EXPECT_TRUE(plans[1].reusesRecord) << "the second recovery send keeps the first record";
    EXPECT_EQ(plans[2].module, SectionModule::Toolkit);
}

TEST(CatalogSections, WithoutRecoveryTheListBeginsWithTheToolkit) {
    const std::vector<SectionPlan> plans = PlanSections(false, true, 1);
    ASSERT_EQ(plans.size(), 1u) << "no card pane without the recovery module";
    EXPECT_STREQ(plans[0].title, L"Multi Toolbox");
    EXPECT_TRUE(PlanSections(false, false, 0).empty());
}

TEST(CatalogPlacement, PanesBeginAt89AndTakeTheRestOfTheClientRectangle) {
    const RECT client{3, 5, 950, 610};
    const BASIconPlacement recovery = RecoveryPlacement(client, kFakeIcon);
    EXPECT_EQ(recovery.icon, kFakeIcon);
    EXPECT_EQ(recovery.left, 3);
    EXPECT_EQ(recovery.top, 89) << "the client top is not the pane's";
    EXPECT_EQ(recovery.right, 950);
    EXPECT_EQ(recovery.bottom, 610);
    const BASPlacement toolkit = ToolkitPlacement(client);
    EXPECT_EQ(toolkit.left, 3);
    EXPECT_EQ(toolkit.top, 89);
    EXPECT_EQ(toolkit.right, 950);
    EXPECT_EQ(toolkit.bottom, 610);
}

TEST(CatalogPlacement, TitleBandRunsFromTheClientTopTo88) {
    const BASIconPlacement title = TitlePlacement(RECT{0, 2, 700, 500}, kFakeIcon);
    EXPECT_EQ(title.icon, kFakeIcon);
    EXPECT_EQ(title.left, 0);
    EXPECT_EQ(title.top, 2);
    EXPECT_EQ(title.right, 700);
    EXPECT_EQ(title.bottom, 88) << "the band ends at 88 whatever the view's height";
}

TEST(CatalogIdentity, IsCompactJsonWithAliasVersionBrandInOrder) {
    EXPECT_EQ(IdentityJson("Zentrovia Handset Rescue", "4.4.39", "Zentrovia"),
              R"({"alias":"Zentrovia Handset Rescue","version":"4.4.39","brand":"Zentrovia"})");
}

TEST(CatalogIdentity, EscapesQuotesAndKeepsUtf8) {
    EXPECT_EQ(IdentityJson("A \"B\" \xC3\xA9", "1", "M"), "{\"alias\":\"A \\\"B\\\" \xC3\xA9\",\"version\":\"1\",\"brand\":\"M\"}");
}

// ---- the create commands as fake modules receive them ----

struct PaneSeen {
    std::wstring title;
    void* window;
    void* image;
};

// One create record as a fake module saw it, with what it pointed to copied.
struct CreateSeen {
    std::string command;
    int64_t value = 0;
    int64_t value2 = 0;
    void* window = nullptr;
    std::vector<int32_t> block;
    std::wstring wideText;
    std::string arg;
    std::string identity;
    bool hasPaneList = false;
    std::vector<PaneSeen> panes;
};

enum class FakeKind { Recovery, Toolkit, Title, Comm };

struct FakeModule {
    FakeKind kind;
    void* answerWindow;  // null: the module answers no window
};

std::map<std::string, FakeModule> fakes;  // by create command
std::vector<CreateSeen> seen;

CreateSeen Capture(const BASObserveData& record, FakeKind kind) {
    CreateSeen copy;
    copy.command = record.command;
    copy.value = record.value;
    copy.value2 = record.value2;
    copy.window = record.window;
    if (record.wideText) copy.wideText = record.wideText;
    if (record.arg) copy.arg = static_cast<const char*>(record.arg);
    const auto* ints = static_cast<const int32_t*>(record.data);
    if (kind == FakeKind::Comm && record.data) copy.identity = static_cast<const char*>(record.data);
    else if (ints) copy.block.assign(ints, ints + (kind == FakeKind::Toolkit ? 4 : 5));
    if (const auto* list = static_cast<const BASPaneList*>(record.object)) {
        copy.hasPaneList = true;
        for (uint32_t i = 0; i < list->count; ++i)
            copy.panes.push_back({list->entries[i].title, list->entries[i].window, list->entries[i].image});
    }
    return copy;
}

void __cdecl ReceiveCreate(BASObserveData* record) {
    const FakeModule& fake = fakes.at(record->command);
    seen.push_back(Capture(*record, fake.kind));
    if (fake.answerWindow) record->window = fake.answerWindow;
    record->value2 = 77;  // shows whether the next send reused this record
}

// The windows that the fake pane modules answer.
void* const kRecoveryPane = reinterpret_cast<void*>(0x1111);
void* const kToolkitPane = reinterpret_cast<void*>(0x2222);

class CatalogSendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gdiplus_ = std::make_unique<GdiplusSession>();
        const wchar_t* tree = _wgetenv(L"LUMAREST_INSTALL_TREE");
        BASUtilityApp::SetProductDirOverrides(tree ? tree : L"", nullptr);
    }
    static void TearDownTestSuite() {
        BASUtilityApp::SetProductDirOverrides(nullptr, nullptr);
        gdiplus_.reset();
    }

    void SetUp() override {
        seen.clear();
        view_ = CreateWindowExW(0, L"STATIC", L"view", WS_POPUP, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { DestroyWindow(view_); }

    // A loaded module with a create command of its own, answering window.
    // Recovery and toolkit answering their own panes, and the title.
    CatalogModules AllThreeModules() {
        CatalogModules modules;
        modules.recovery = Module(FakeKind::Recovery, kRecoveryPane);
        modules.toolkit = Module(FakeKind::Toolkit, kToolkitPane);
        modules.title = Module(FakeKind::Title);
        return modules;
    }

    const ModuleRecord* Module(FakeKind kind, void* answerWindow = nullptr) {
        static int serial = 0;
        auto record = std::make_unique<ModuleRecord>();
        record->createCommand = "TEST_CATALOG_CREATE_" + std::to_string(++serial);
        fakes[record->createCommand] = {kind, answerWindow};
        CommandEndpoint* endpoint = NewEndpoint(kFakeModule);
        endpoint->receive = &ReceiveCreate;
        RegisterEndpoint(record->createCommand.c_str(), endpoint);
        modules_.push_back(std::move(record));
        return modules_.back().get();
    }

    const CreateSeen* SeenBy(const ModuleRecord* module, size_t nth = 0) const {
        for (const CreateSeen& record : seen)
            if (record.command == module->createCommand && nth-- == 0) return &record;
        return nullptr;
    }

    HWND view_ = nullptr;
    std::vector<std::unique_ptr<ModuleRecord>> modules_;

private:
    static inline std::unique_ptr<GdiplusSession> gdiplus_;
};


TEST_F(CatalogSendTest, TitleGetsVersionTitleAndBothPanesInOrder) {
    CatalogModules modules = AllThreeModules();
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr) << "the title module was not asked";
    EXPECT_EQ(title->arg, "4.4.39");
    EXPECT_EQ(title->wideText, L"Zentrovia Handset Message + Contact Rescue");
    EXPECT_EQ(title->window, view_) << "the title's parent is the view";
    EXPECT_EQ(title->block, (std::vector<int32_t>{0x7070, 0, 0, 800, 88}));
    ASSERT_TRUE(title->hasPaneList);
    ASSERT_EQ(title->panes.size(), 2u);
    EXPECT_EQ(title->panes[0].title, L"Phone Rescue");
    EXPECT_EQ(title->panes[0].window, kRecoveryPane) << "a pane is the window its module answered";
    EXPECT_EQ(title->panes[1].title, L"Multi Toolbox");
    EXPECT_EQ(title->panes[1].window, kToolkitPane);
    EXPECT_EQ(seen.back().command, modules.title->createCommand) << "the title comes after the panes it lists";
}

TEST_F(CatalogSendTest, PaneModulesGetTheViewAndTheirBlocks) {
    CatalogModules modules;
    modules.recovery = Module(FakeKind::Recovery, kRecoveryPane);
    modules.toolkit = Module(FakeKind::Toolkit, kToolkitPane);
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* recovery = SeenBy(modules.recovery);
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(recovery->window, view_);
    EXPECT_EQ(recovery->value, 0);
    EXPECT_EQ(recovery->wideText, L"Zentrovia Handset Message + Contact Rescue");
    EXPECT_EQ(recovery->block, (std::vector<int32_t>{0x7070, 0, 89, 800, 500}));
    EXPECT_EQ(SeenBy(modules.recovery, 1), nullptr) << "complete version 0 asks the recovery module once";
    const CreateSeen* toolkit = SeenBy(modules.toolkit);
    ASSERT_NE(toolkit, nullptr);
    EXPECT_EQ(toolkit->window, view_) << "the toolkit got the recovery's answered window";
    EXPECT_EQ(toolkit->value2, 0) << "the toolkit's record was not zeroed";
    EXPECT_EQ(toolkit->block, (std::vector<int32_t>{0, 89, 800, 500}));
}

TEST_F(CatalogSendTest, WithoutRecoveryThePaneListBeginsWithMultiToolbox) {
    CatalogModules modules;
    modules.toolkit = Module(FakeKind::Toolkit, kToolkitPane);
    modules.title = Module(FakeKind::Title);
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->panes.size(), 1u);
    EXPECT_EQ(title->panes[0].title, L"Multi Toolbox");
}

TEST_F(CatalogSendTest, ASecondRecoverySendReusesTheRecordWithValueOne) {
    CatalogModules modules = AllThreeModules();
    SendCatalog(view_, kFakeIcon, modules, 5);

    const CreateSeen* card = SeenBy(modules.recovery, 1);
    ASSERT_NE(card, nullptr) << "a non-zero complete version asks for the card pane";
    EXPECT_EQ(card->value, 1);
    EXPECT_EQ(card->window, view_) << "the parent is set again, not the first answer";
    EXPECT_EQ(card->value2, 77) << "the record was cleared between the two recovery sends";
    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->panes.size(), 3u);
    EXPECT_EQ(title->panes[1].title, L"Card Rescue");
    EXPECT_EQ(title->panes[2].title, L"Multi Toolbox");
}

TEST_F(CatalogSendTest, AModuleWithoutAnAnsweredWindowListsTheView) {
    CatalogModules modules;
    modules.toolkit = Module(FakeKind::Toolkit, nullptr);
    modules.title = Module(FakeKind::Title);
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->panes.size(), 1u);
    EXPECT_EQ(title->panes[0].window, view_);
}

TEST_F(CatalogSendTest, PanePicturesComeFromTheInstallationsResources) {
    CatalogModules modules = AllThreeModules();
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->panes.size(), 2u);
    for (const PaneSeen& pane : title->panes) {
        auto* picture = static_cast<Gdiplus::Bitmap*>(pane.image);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetLastStatus(), Gdiplus::Ok) << "the picture of a pane did not load";
        EXPECT_EQ(picture->GetWidth(), 48u);
    }
}

TEST_F(CatalogSendTest, CommGetsTheIdentityAndNoPaneList) {
    CatalogModules modules;
    modules.comm = Module(FakeKind::Comm);
    SendCatalog(view_, kFakeIcon, modules, 0);

    const CreateSeen* comm = SeenBy(modules.comm);
    ASSERT_NE(comm, nullptr);
    EXPECT_EQ(comm->identity,
              R"({"alias":"Zentrovia Handset Message + Contact Rescue","version":"4.4.39","brand":"Zentrovia"})");
    EXPECT_EQ(comm->window, view_);
    EXPECT_FALSE(comm->hasPaneList);
}

TEST_F(CatalogSendTest, PaneTitlesAreTranslated) {
    const wchar_t* tree = _wgetenv(L"LUMAREST_INSTALL_TREE");
    ASSERT_NE(tree, nullptr);
    I18nLocale* german = CreateLocale(2);
    ASSERT_TRUE(german->LoadCatalog((std::wstring(tree) + L"\\I18n\\de\\Language.mo").c_str()));
    CatalogModules modules;
    modules.recovery = Module(FakeKind::Recovery, kRecoveryPane);
    modules.title = Module(FakeKind::Title);
    SendCatalog(view_, kFakeIcon, modules, 0);
    CreateLocale(0);  // back to untranslated texts for the other tests

    const CreateSeen* title = SeenBy(modules.title);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->panes.size(), 1u);
    EXPECT_EQ(title->panes[0].title, L"Telefon-Datenrettung");
}

}  // namespace
