// The built setup programs under Wine: a plain install with its Start-menu
// shortcut and uninstall entry, an update of it while the old version still
// runs and after it closed, its uninstaller, its welcome page in the user's
// stored language, and the suite form into the add-in layout with the
// aliases it refuses.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <set>

#include "UniqueResource.h"
#include "screen_support.h"
#include "services/process_helpers.h"
#include "test_files.h"

namespace {

using namespace e2e;

const std::wstring& kTitle = kProductTitle;
const std::wstring kSetup = L"" LUMAREST_TEST_SETUP;           // 4.4.39, as shipped
const std::wstring kNextSetup = L"" LUMAREST_TEST_NEXT_SETUP;  // 4.4.40, with /WAIT=
const std::wstring kNextProgram = L"" LUMAREST_TEST_NEXT_PROGRAM;

std::wstring StartMenuShortcut() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
    return std::wstring(path) + L"\\" + kTitle + L".lnk";
}

// The program a shortcut file starts, or empty when there is none.
std::wstring ShortcutTarget(const std::wstring& shortcut) {
    CoInitialize(nullptr);
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

bool UninstallEntryExists() {
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kTitle;
    return RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"UninstallString", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// Whether a control of the setup's window comes to show text within a
// minute: the pages' texts tell which page shows, and in which language.
bool ShowsText(HWND window, const std::wstring& text) {
    std::pair<const std::wstring*, bool> search{&text, false};
    const WNDENUMPROC look = [](HWND child, LPARAM data) WINAPI -> BOOL {
        auto* found = reinterpret_cast<std::pair<const std::wstring*, bool>*>(data);
        found->second = WindowText(child) == *found->first;
        return !found->second;
    };
    return WaitUntil(
        [&] {
            EnumChildWindows(window, look, reinterpret_cast<LPARAM>(&search));
            return search.second;
        },
        60000);
}

std::set<std::wstring> FilesBelow(const std::wstring& folder, const std::wstring& prefix = L"") {
    std::set<std::wstring> files;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(prefix + name);
        else files.merge(FilesBelow(folder, prefix + name + L"\\"));
    }
    return files;
}

bool InstanceRuns(const wchar_t* version, bool wanted) {
    return WaitUntil([&] { return VersionRuns(version) == wanted; }, 60000);
}

// Ends the product that a shortcut or an update started, however the test
// ends: it would hold the test's output open (Wine hands it the inherited
// descriptors).
struct EndsStartedProduct {
    std::wstring program;
    const wchar_t* version = L"4.4.40";
    void End() const {
        for (int tries = 0; tries < 5 && (EndRunningCopies(program), !InstanceRuns(version, false)); ++tries) {}
    }
    ~EndsStartedProduct() { End(); }
};

TEST(Setup, InstallsUpdatesOnlyAClosedProductAndUninstallsExactlyItsOwnFiles) {
    TempFolder temp;
    const std::wstring app = temp.Path() + L"\\App Folder";
    // Wine enforces no folder rights, but nothing can be made in /proc.
    EXPECT_EQ(RunToEnd(kSetup, L"/S /D=Z:\\proc\\Lumarest"), 5u) << "an unwritable folder was not refused";
    ASSERT_EQ(RunToEnd(kSetup, L"/S /D=" + app), 0u);
    EXPECT_TRUE(UninstallEntryExists());
    const std::wstring shortcut = StartMenuShortcut();
    ASSERT_EQ(ShortcutTarget(shortcut), app + L"\\Lumarest.exe") << "no Start-menu shortcut to the program";
    {
        const EndsStartedProduct fromShortcut{app + L"\\Lumarest.exe", L"4.4.39"};
        EXPECT_GT(reinterpret_cast<INT_PTR>(
                      ShellExecuteW(nullptr, nullptr, shortcut.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
                  32);
        EXPECT_TRUE(InstanceRuns(L"4.4.39", true)) << "the program did not start from its shortcut";
    }
    const std::wstring feed =
        temp.Write(L"App Folder\\Plugins\\Comm\\1.0.0\\UpdateFeed.json", "{\"feed\": \"users own\"}");
    temp.Write(L"App Folder\\I18n\\de\\Notes.txt", "the user's");
    temp.Write(L"App Folder\\UpdateMarker.txt", "old");

    {
        UniqueHandle running(CreateMutexW(nullptr, TRUE, MutexName(L"4.4.39").c_str()));
        const DWORD start = GetTickCount();
        EXPECT_EQ(RunToEnd(kNextSetup, L"/S /TAG=4.4.39 /WAIT=3"), 3u)
            << "an update while the product runs must give up";
        EXPECT_GE(GetTickCount() - start, 3000u) << "gave up before its wait was over";
        EXPECT_EQ(ReadTextFile(app + L"\\UpdateMarker.txt"), "old") << "files of a running product were replaced";
    }
    const EndsStartedProduct started{app + L"\\Lumarest.exe"};
    ASSERT_EQ(RunToEnd(kNextSetup, L"/TAG=4.4.39"), 0u) << "the update as the host starts it, with its progress window";
    EXPECT_TRUE(ReadTextFile(app + L"\\Lumarest.exe") == ReadTextFile(kNextProgram)) << "the program was not replaced";
    EXPECT_EQ(ReadTextFile(feed), "{\"feed\": \"users own\"}") << "the update feed's address was overwritten";
    EXPECT_TRUE(InstanceRuns(L"4.4.40", true)) << "the update did not start the new version";
    started.End();

    // The user's data stays unless asked for: the settings folder holds this.
    const std::wstring settings = UserStoreFolder() + L"\\SetupTest.txt";
    SHCreateDirectoryExW(nullptr, UserStoreFolder().c_str(), nullptr);
    CopyFileW(temp.Write(L"SetupTest.txt", "kept").c_str(), settings.c_str(), FALSE);
    // "_?=" runs the uninstaller in place (and waits), so it cannot remove itself.
    EXPECT_EQ(RunToEnd(app + L"\\Uninstall.exe", L"/S _?=" + app), 0u);
    EXPECT_EQ(FilesBelow(app), (std::set<std::wstring>{L"I18n\\de\\Notes.txt", L"Uninstall.exe"}));
    EXPECT_FALSE(Exists(shortcut) || UninstallEntryExists()) << "the shortcut or the uninstall entry stayed";
    EXPECT_TRUE(DeleteFileW(settings.c_str())) << "the user's settings went unasked";
}

// The user chose German in the product: the setup speaks it. The uninstaller
// asked to also remove the user's data takes the settings folder and the
// product's logs, and nothing else of the maker's log folder.
TEST(Setup, SpeaksTheStoredLanguageAndRemovesUserDataWhenAsked) {
    TempFolder temp;
    const std::wstring app = temp.Path() + L"\\Mein Programm", store = UserStoreFolder() + L"\\UserDefaults.json";
    const bool hadStore = Exists(store);
    const std::string savedStore = ReadTextFile(store);
    SHCreateDirectoryExW(nullptr, UserStoreFolder().c_str(), nullptr);
    CopyFileW(temp.Write(L"store.json", "{\"language\": 2}").c_str(), store.c_str(), FALSE);
    wchar_t tempFolder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, tempFolder);  // the uninstaller's too: it inherits the environment
    const std::wstring logs = std::wstring(tempFolder) + L"Zentrovia\\20260101";
    SHCreateDirectoryExW(nullptr, logs.c_str(), nullptr);
    CopyFileW(temp.Write(L"log", "old run").c_str(), (logs + L"\\Lumarest.exe.host.user.log.INFO.1").c_str(), FALSE);
    CopyFileW(temp.Write(L"other", "not ours").c_str(), (logs + L"\\Other.exe.log").c_str(), FALSE);

    // The wizard has a "Next" button (IDOK); the window that may show first
    // while the setup checks its own data on a slow machine has none.
    const UniqueHandle setup = StartProgram(kSetup, L"/D=" + app);
    HWND wizard = nullptr;
    WaitUntil(
        [&] {
            for (HWND shown : TopLevels(GetProcessId(setup.get()), L"#32770"))
                if (GetDlgItem(shown, IDOK)) wizard = shown;
            return wizard != nullptr;
        },
        120000);
    const bool welcome = wizard && ShowsText(wizard, L"Willkommen zur Installation\r\nvon " + kTitle);
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(wizard), L"setup-welcome-de.bmp"));
    TerminateProcess(setup.get(), 1);  // a setup left on a page would hold the test's output open
    EXPECT_TRUE(welcome) << "no wizard, or not the German welcome page";

    ASSERT_EQ(RunToEnd(kSetup, L"/S /D=" + app), 0u);
    EXPECT_EQ(RunToEnd(app + L"\\Uninstall.exe", L"/S /REMOVEUSERDATA _?=" + app), 0u);
    EXPECT_FALSE(Exists(UserStoreFolder()) || Exists(logs + L"\\Lumarest.exe.host.user.log.INFO.1"));
    EXPECT_TRUE(Exists(logs + L"\\Other.exe.log")) << "another program's log went";
    TempFolder::RemoveTree(logs);
    SHCreateDirectoryExW(nullptr, UserStoreFolder().c_str(), nullptr);
    hadStore ? void(CopyFileW(temp.Write(L"saved.json", savedStore).c_str(), store.c_str(), FALSE))
             : void(DeleteFileW(store.c_str()));
}

TEST(Setup, SuiteFormInstallsIntoTheAddinLayoutAndRefusesAliasTricks) {
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    UniqueHandle host(CreateMutexW(nullptr, TRUE, MutexName(L"4.4.39").c_str()));  // it does not wait for the setup
    // Refused with their own exit code, before anything is written: a way
    // out of the maker's folder, separators, names Windows trims or keeps
    // for devices, nothing, and more than 64 characters.
    for (const std::wstring& alias : {std::wstring(L"..\\..\\.."), std::wstring(L"a/b"), std::wstring(L"Suite "),
                                      std::wstring(L"lpt1.txt"), std::wstring(), std::wstring(3000, L'x')})
        EXPECT_EQ(RunToEnd(kSetup, L"/S /PRODUCT_ALIAS=\"" + alias + L"\""), 4u)
            << "alias \"" << alias.substr(0, 80) << "\"";

    // Up to 64 characters, blanks inside, are a plain folder name.
    std::wstring alias = L"Setup Test Suite ";
    alias.resize(64, L'x');
    const std::wstring suite = std::wstring(appData) + L"\\Zentrovia\\" + alias;
    EXPECT_EQ(RunToEnd(kSetup, L"/S /PRODUCT_ALIAS=\"" + alias + L"\""), 0u);
    const std::set<std::wstring> files = FilesBelow(suite + L"\\Addins\\" + kTitle + L"\\4.4.39\\Bin");
    EXPECT_TRUE(files.count(kTitle + L".exe") && files.count(L"Plugins\\Title\\1.0.0\\Title.dll") &&
                files.count(L"Option.json"));
    EXPECT_FALSE(files.count(L"Lumarest.exe") || files.count(L"Uninstall.exe"));
    TempFolder::RemoveTree(suite);
}

}  // namespace
