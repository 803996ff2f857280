// The process helpers: the newest add-in of a suite installation, running
// and launching programs, and ending running copies, on folder trees and
// copies of a small sleeper program that the tests make.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <deque>
#include <string>

#include "UniqueResource.h"
#include "host_state.h"
#include "services/process_helpers.h"
#include "test_files.h"

namespace {

constexpr wchar_t kTitle[] = L"Handset Rescue";

class AddinSearch : public ::testing::Test {
protected:
    void SetUp() override {
        savedConfig_ = Host().hostConfigPath;
        Host().hostConfigPath = suite_.Path() + L"\\Preferences.json";
    }
    void TearDown() override { Host().hostConfigPath = savedConfig_; }

    // Addins\<title>\<version>\, with Bin\<title>.exe unless withProgram is false.
    void AddVersion(const std::wstring& version, bool withProgram = true) const {
        const std::wstring folder = VersionFolder(version) + (withProgram ? L"\\Bin" : L"");
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (withProgram) WriteBytes(folder + L"\\" + kTitle + L".exe", "MZ");
    }
    std::wstring VersionFolder(const std::wstring& version) const {
        return suite_.Path() + L"\\Addins\\" + kTitle + L"\\" + version;
    }

    TempFolder suite_;
    std::wstring savedConfig_;
};

TEST_F(AddinSearch, TakesTheNumericallyNewestWholeVersionNameThatHasItsProgram) {
    EXPECT_EQ(FindNewestAddin(kTitle), L"") << "no Addins folder";
    for (const wchar_t* notAVersion : {L"4.4.39.1", L"v4.4.40", L"4.4.41-beta"}) AddVersion(notAVersion);
    AddVersion(L"5.0.0", false);
    EXPECT_EQ(FindNewestAddin(kTitle), L"") << "only a name of exactly three numbers, with its program, counts";
    AddVersion(L"4.4.9");
    AddVersion(L"4.4.39");
    AddVersion(L"4.4.10");
    EXPECT_EQ(FindNewestAddin(kTitle), VersionFolder(L"4.4.39"));
    Host().hostConfigPath = suite_.Path() + L"\\Elsewhere\\Preferences.json";
    EXPECT_EQ(FindNewestAddin(kTitle), L"") << "the add-ins lie beside the host configuration";
}

// ---- the programs ----

std::wstring SleeperProgram() {
    const std::string path = LUMAREST_TEST_SLEEPER_EXE;  // ASCII: a build path seen through Z:
    return std::wstring(path.begin(), path.end());
}

// A process started from a copy of the sleeper; ended by the fixture if still running.
struct Started {
    UniqueHandle process;
    DWORD id = 0;
};

class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (Started& started : started_) {
            if (WaitForSingleObject(started.process.get(), 0) == WAIT_TIMEOUT)
                TerminateProcess(started.process.get(), 1);
            WaitForSingleObject(started.process.get(), 5000);
        }
    }

    // Copies the sleeper to folder\name below the temporary folder; returns its path.
    std::wstring PlaceSleeper(const std::wstring& folder, const std::wstring& name) const {
        SHCreateDirectoryExW(nullptr, (temp_.Path() + L"\\" + folder).c_str(), nullptr);
        const std::wstring path = temp_.Path() + L"\\" + folder + L"\\" + name;
        EXPECT_TRUE(CopyFileW(SleeperProgram().c_str(), path.c_str(), FALSE)) << "the sleeper program is missing";
        return path;
    }

    // Starts program sleeping for milliseconds and waits until its modules can be read.
    Started& Start(const std::wstring& program, DWORD milliseconds) {
        std::wstring commandLine = L"\"" + program + L"\" " + std::to_wstring(milliseconds) + L" 0";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &startup, &info));
        CloseHandle(info.hThread);
        started_.push_back({UniqueHandle(info.hProcess), info.dwProcessId});
        wchar_t path[MAX_PATH];
        for (int tries = 0; tries < 200 && !GetModuleFileNameExW(info.hProcess, nullptr, path, MAX_PATH); ++tries)
            Sleep(50);
        return started_.back();
    }

    static bool Ended(const Started& started, DWORD waitMs = 0) {
        return WaitForSingleObject(started.process.get(), waitMs) == WAIT_OBJECT_0;
    }

    TempFolder temp_;
    std::deque<Started> started_;  // a deque: Start hands out references that must stay valid
};

TEST_F(ProgramTest, EndRunningCopiesEndsCopiesBelowThePathInAnyLetterCaseAndNothingElse) {
    const std::wstring program = PlaceSleeper(L"Suite\\Bin", L"Name.exe");
    Started& copy = Start(program, 60000);
    Started& below = Start(PlaceSleeper(L"Suite\\Bin\\Tools", L"Tool.exe"), 60000);
    Started& other = Start(PlaceSleeper(L"Other\\Bin", L"Name.exe"), 60000);
    ASSERT_FALSE(Ended(copy));
    std::wstring swapped = temp_.Path() + L"\\Suite\\Bin";
    for (wchar_t& c : swapped) c = iswupper(c) ? towlower(c) : towupper(c);
    EndRunningCopies(swapped);
    EXPECT_TRUE(Ended(copy, 5000)) << "the comparison minded letter case";
    EXPECT_TRUE(Ended(below, 5000)) << "only whole-path matches were ended";
    EXPECT_FALSE(Ended(other, 500)) << "a program of the same name in another folder was ended";
    DWORD exitCode = 1;
    GetExitCodeProcess(copy.process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << "copies are ended with exit code 0";
}

TEST_F(ProgramTest, ShellLaunchIsTrueForANonZeroCodeOrAProgramStillRunningAfterASecond) {
    const std::wstring program = PlaceSleeper(L"Launch", L"Program.exe");
    EXPECT_FALSE(ShellLaunch(program, L"0 0", false));
    EXPECT_TRUE(ShellLaunch(program, L"0 3", false));
    EXPECT_TRUE(ShellLaunch(program, L"4000 0", false)) << "STILL_ACTIVE after the one-second wait counts as running";
    EXPECT_TRUE(ShellLaunch(program, L"0 3", true))
        << "a \"runas\" launch did not run the program (Wine runs it unelevated)";
    EndRunningCopies(program);  // the launched copy is not ours to wait for
}

}  // namespace
