// The built setup programs under Wine: a plain install, an update of it while
// the old version still runs and after it closed, its uninstaller, and the
// suite form into the add-in layout.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>

#include "UniqueResource.h"
#include "services/process_helpers.h"
#include "test_files.h"

namespace {

const std::wstring kTitle = L"Zentrovia Handset Message + Contact Rescue";
const std::wstring kSetup = L"" LUMAREST_TEST_SETUP;            // 4.4.39, as shipped
const std::wstring kNextSetup = L"" LUMAREST_TEST_NEXT_SETUP;   // 4.4.40, with /WAIT=
const std::wstring kNextProgram = L"" LUMAREST_TEST_NEXT_PROGRAM;

// The exit code, or STILL_ACTIVE for a setup that hung and was ended.
DWORD RunSetup(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) return ~0u;
    UniqueHandle process(started.hProcess), thread(started.hThread);
    if (WaitForSingleObject(process.get(), 120000) == WAIT_TIMEOUT) TerminateProcess(process.get(), STILL_ACTIVE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.get(), &code);
    return code;
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

std::wstring MutexName(const wchar_t* version) { return L"Global_" + kTitle + L"_" + version; }

bool InstanceRuns(const wchar_t* version, bool wanted) {
    for (int tries = 0; tries < 600; ++tries, Sleep(100)) {
        if (static_cast<bool>(UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, MutexName(version).c_str()))) == wanted) return true;
    }
    return false;
}

// Ends the product that an update started, however the test ends: it would
// hold the test's output open (Wine hands it the inherited descriptors).
struct EndsStartedProduct {
    std::wstring program;
    void End() const {
        for (int tries = 0; tries < 5 && (EndRunningCopies(program), !InstanceRuns(L"4.4.40", false)); ++tries) {}
    }
    ~EndsStartedProduct() { End(); }
};

TEST(Setup, InstallsUpdatesOnlyAClosedProductAndUninstallsExactlyItsOwnFiles) {
    TempFolder temp;
    const std::wstring app = temp.Path() + L"\\App Folder";
    ASSERT_EQ(RunSetup(kSetup, L"/S /D=" + app), 0u);
    const std::set<std::wstring> installed = FilesBelow(app);
    for (const wchar_t* file : {L"Lumarest.exe", L"Uninstall.exe", L"Option.json", L"Plugins\\Comm\\1.0.0\\Comm.dll", L"I18n\\de\\Language.mo"})
        EXPECT_TRUE(installed.count(file)) << "not installed: " << file;
    const std::wstring feed = temp.Write(L"App Folder\\Plugins\\Comm\\1.0.0\\UpdateFeed.json", "{\"feed\": \"users own\"}");
    temp.Write(L"App Folder\\I18n\\de\\Notes.txt", "the user's");
    temp.Write(L"App Folder\\UpdateMarker.txt", "old");

    {
        UniqueHandle running(CreateMutexW(nullptr, TRUE, MutexName(L"4.4.39").c_str()));
        const DWORD start = GetTickCount();
        EXPECT_EQ(RunSetup(kNextSetup, L"/S /TAG=4.4.39 /WAIT=3"), 3u) << "an update while the product runs must give up";
        EXPECT_GE(GetTickCount() - start, 3000u) << "gave up before its wait was over";
        EXPECT_EQ(ReadTextFile(app + L"\\UpdateMarker.txt"), "old") << "files of a running product were replaced";
    }
    const EndsStartedProduct started{app + L"\\Lumarest.exe"};
    ASSERT_EQ(RunSetup(kNextSetup, L"/TAG=4.4.39"), 0u) << "the update as the host starts it, with its progress window";
    EXPECT_EQ(ReadTextFile(app + L"\\UpdateMarker.txt"), "4.4.40");
    EXPECT_TRUE(ReadTextFile(app + L"\\Lumarest.exe") == ReadTextFile(kNextProgram)) << "the program was not replaced";
    EXPECT_EQ(ReadTextFile(feed), "{\"feed\": \"users own\"}") << "the update feed's address was overwritten";
    EXPECT_TRUE(InstanceRuns(L"4.4.40", true)) << "the update did not start the new version";
    started.End();

    // "_?=" runs the uninstaller in place (and waits), so it cannot remove itself.
    EXPECT_EQ(RunSetup(app + L"\\Uninstall.exe", L"/S _?=" + app), 0u);
    EXPECT_EQ(FilesBelow(app), (std::set<std::wstring>{L"I18n\\de\\Notes.txt", L"Uninstall.exe"}));
    EXPECT_EQ(GetFileAttributesW((app + L"\\Plugins").c_str()), INVALID_FILE_ATTRIBUTES) << "emptied folders stay";
    HKEY record;  // the update found the installation by it; now it must be gone
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\Zentrovia\\" + kTitle).c_str(), 0, KEY_READ, &record), ERROR_SUCCESS);
}

TEST(Setup, SuiteFormInstallsIntoTheAddinLayoutWithoutWaitingForTheHost) {
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    const std::wstring suite = std::wstring(appData) + L"\\Zentrovia\\Setup Test Suite";
    UniqueHandle host(CreateMutexW(nullptr, TRUE, MutexName(L"4.4.39").c_str()));  // it waits for the setup
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunSetup(kSetup, L"/S /PRODUCT_ALIAS=\"Setup Test Suite\""), 0u);
    EXPECT_LT(GetTickCount() - start, 30000u) << "the suite form waited for the host";
    const std::set<std::wstring> files = FilesBelow(suite + L"\\Addins\\" + kTitle + L"\\4.4.39\\Bin");
    EXPECT_TRUE(files.count(kTitle + L".exe") && files.count(L"Plugins\\Title\\1.0.0\\Title.dll") && files.count(L"Option.json"));
    EXPECT_FALSE(files.count(L"Lumarest.exe") || files.count(L"Uninstall.exe"));
    TempFolder::RemoveTree(suite);
}

}  // namespace
