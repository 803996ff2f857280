// The "Comm" module as the host meets it: its built DLL loaded and
// registered with a fake host endpoint, fetching from the local HTTP server
// that scripts/with-http-server.py runs beside this test.
#include <windows.h>

#include <gtest/gtest.h>
#include <lumarest/plugin.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

constexpr char kContentSha256[] = "a59cc45ae8a5db7737a55d3a1683dcdbb84375ad06c93f9320030a627604c6bc";
constexpr size_t kContentSize = 600000;

// What the module sent, with the texts it handed over copied and freed.
struct Answer {
    std::string command;
    int64_t value, count, done, total;
    std::string notes;
    std::wstring path;
};

std::mutex answersLock;
std::vector<Answer> answers;
TempFolder* hostTemp;

void __cdecl HostReceives(BASObserveData* record) {
    if (std::string(record->command) == LIBPLATFORM_COMMAND_GET_TEMP_DIR) {
        record->wideText = _wcsdup(hostTemp->Path().c_str());
        return;
    }
    Answer answer{record->command, record->value, record->count, record->value3, record->value2, "", L""};
    if (record->data && answer.command == LIBCOMM_COMMAND_CHECK_FOR_UPDATE) answer.notes = static_cast<char*>(record->data);
    if (record->wideText && answer.command == LIBCOMM_COMMAND_DOWNLOAD_UPDATE) answer.path = record->wideText;
    if (answer.command == LIBCOMM_COMMAND_CHECK_FOR_UPDATE) std::free(record->data);
    if (answer.command == LIBCOMM_COMMAND_DOWNLOAD_UPDATE) std::free(record->wideText);
    std::lock_guard<std::mutex> hold(answersLock);
    answers.push_back(answer);
}

std::vector<Answer> AnswersTo(const char* command) {
    std::lock_guard<std::mutex> hold(answersLock);
    std::vector<Answer> found;
    for (const Answer& answer : answers)
        if (answer.command == command) found.push_back(answer);
    return found;
}

// Waits up to ms for the module's answer number index (from 0) to command.
bool WaitForAnswer(const char* command, size_t index, DWORD ms = 20000) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (AnswersTo(command).size() > index) return true;
    return false;
}

std::string Content(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
    return bytes;
}

class CommModule : public testing::Test {
protected:
    static void SetUpTestSuite() {
        hostTemp = new TempFolder;
        moduleFolder = new TempFolder;
        ASSERT_TRUE(CopyFileW(TEXT(LUMAREST_TEST_COMM_DLL), (moduleFolder->Path() + L"\\Comm.dll").c_str(), FALSE));
        // Stays loaded until the process ends, as in the host: its threads run on.
        const HMODULE module = LoadLibraryW((moduleFolder->Path() + L"\\Comm.dll").c_str());
        ASSERT_NE(module, nullptr);
        endpoint = {&HostReceives, nullptr, module, 0};
        reinterpret_cast<RegisterModuleFunction>(reinterpret_cast<void*>(GetProcAddress(module, LUMAREST_ENTRY_POINT_NAME)))(&endpoint);
        const char identity[] = R"({"alias":"Lumarest","version":"4.4.39","brand":"Zentrovia"})";
        Send("LIBCOMM_COMMAND_CREATE", identity);
        CreateDirectoryW((Root() + L"\\slow").c_str(), nullptr);
    }

    static void Send(const char* command, const void* data = nullptr) {
        BASObserveData record{};
        record.command = command;
        record.data = const_cast<void*>(data);
        record.sender = GetModuleHandleW(nullptr);  // the host, as the bus marks it
        endpoint.receive(&record);
    }

    static std::wstring Root() { return EnvironmentText(L"LUMAREST_HTTP_ROOT_WINDOWS"); }
    static std::string Url(const std::string& path, const wchar_t* port = L"LUMAREST_HTTP_PORT") {
        const std::wstring number = EnvironmentText(port);
        return "http://127.0.0.1:" + std::string(number.begin(), number.end()) + "/" + path;
    }
    static void Serve(const std::string& name, const std::string& bytes) {
        const std::wstring file = Root() + L"\\" + std::wstring(name.begin(), name.end());
        FILE* out = _wfopen(file.c_str(), L"wb");
        fwrite(bytes.data(), 1, bytes.size(), out);
        fclose(out);
    }
    static void UseFeed(const std::string& url) { moduleFolder->Write(L"UpdateFeed.json", "{\"feed\": \"" + url + "\"}"); }
    static std::string Release(const char* version, const std::string& installer = "{}", const char* notes = "[]") {
        return std::string("{\"version\":\"") + version + "\",\"descriptions\":" + notes + ",\"installer\":" + installer + "}";
    }
    static std::string Installer(const std::string& path, size_t size, const std::string& sha256) {
        return "{\"url\":\"" + Url(path) + "\",\"size\":" + std::to_string(size) + ",\"sha256\":\"" + sha256 + "\"}";
    }

    static TempFolder* moduleFolder;
    static CommandEndpoint endpoint;
};

TempFolder* CommModule::moduleFolder;
CommandEndpoint CommModule::endpoint;

TEST_F(CommModule, AnswersChecksWithTheNewerVersionsNewestFirst) {
    UseFeed(Url("feed.json"));
    Serve("feed.json", "{\"versions\":[" + Release("4.4.39") + "," + Release("4.4.38") + "]}");
    Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, 0));
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[0].value, 1) << "the current version is a success";
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[0].count, 0);

    // Numbers compare as numbers: as text "4.4.4" would be newer and "4.4.100" older.
    Serve("feed.json", "{\"versions\":[" + Release("4.4.4", "{}", "[\"old\"]") + "," + Release("4.4.100", "{}", "[\"b\",\"c\"]") +
                           "," + Release("4.5", "{}", "[\"a\"]") + "]}");
    Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, 1));
    const Answer newer = AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[1];
    EXPECT_EQ(newer.value, 1);
    EXPECT_EQ(newer.count, 2);
    EXPECT_EQ(newer.notes, R"([{"version":"4.5","descriptions":["a"]},{"version":"4.4.100","descriptions":["b","c"]}])");

    // Failures answer 0 soon: feeds that do not parse or nest absurdly deep, one that is missing (404),
    // a refused connection, and a server that never answers (within its 10 s wait).
    Serve("feed.json", "{\"versions\":[" + std::string(100000, '[') + std::string(100000, ']') + "]}");
    Serve("cut.json", "{\"versions\":[");
    const std::pair<std::string, DWORD> failures[] = {{Url("feed.json"), 3000}, {Url("cut.json"), 3000}, {Url("missing.json"), 3000},
        {Url("feed.json", L"LUMAREST_HTTP_CLOSED_PORT"), 3000}, {Url("feed.json", L"LUMAREST_HTTP_SILENT_PORT"), 13000}};
    for (const auto& [feed, limit] : failures) {
        UseFeed(feed);
        const size_t index = AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE).size();
        Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
        ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, index, limit)) << feed;
        EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[index].value, 0) << feed;
    }

    Send(LIBCOMM_COMMAND_EXIT_SERVER);
    EXPECT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_EXIT_SERVER, 0, 5000)) << "the stop is confirmed";
}

TEST_F(CommModule, DownloadsTheNewestInstallerCancelsAndRefusesABadOne) {
    const std::wstring installerPath = hostTemp->Path() + L"\\LumarestSetup-4.5.exe";
    const auto useInstaller = [](const std::string& path, size_t size, const std::string& sha256) {
        UseFeed(Url("feed.json"));
        Serve("feed.json", "{\"versions\":[" + Release("4.4.100", Installer("old.exe", 1, "0")) + "," +
                               Release("4.5", Installer(path, size, sha256)) + "]}");
    };
    // A cancel during a slow transfer removes the partial file and ends the answers.
    Serve("slow/big.exe", Content(8 * kContentSize));
    useInstaller("slow/big.exe", 8 * kContentSize, kContentSha256);
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, 0));
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL);
    const size_t answered = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size();
    for (const DWORD start = GetTickCount(); GetFileAttributesW(installerPath.c_str()) != INVALID_FILE_ATTRIBUTES;) {
        ASSERT_LT(GetTickCount() - start, 3000u) << "the partial file stays";
        Sleep(20);
    }
    Sleep(300);
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size(), answered) << "an answer after the cancel";

    // Asked again: growing progress, then the checked file's path.
    Serve("slow/good.exe", Content(kContentSize));
    useInstaller("slow/good.exe", kContentSize, kContentSha256);
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, answered + 2));
    for (size_t n = answered + 2; AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).back().value == 2; ++n)
        ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, n));
    std::vector<Answer> download = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    download.erase(download.begin(), download.begin() + answered);
    ASSERT_GE(download.size(), 3u) << "at least two progress answers, then the end";
    for (size_t i = 0; i + 1 < download.size(); ++i) {
        EXPECT_EQ(download[i].value, 2);
        EXPECT_EQ(download[i].total, int64_t(kContentSize));
        if (i > 0) {
            EXPECT_GT(download[i].done, download[i - 1].done);
        }
    }
    EXPECT_EQ(download[download.size() - 2].done, int64_t(kContentSize));
    EXPECT_EQ(download.back().value, 1);
    EXPECT_EQ(download.back().path, installerPath);
    EXPECT_EQ(ReadTextFile(installerPath), Content(kContentSize));

    // A file whose hash is not the feed's fails and is deleted.
    Serve("bad.exe", Content(kContentSize - 1) + "x");
    useInstaller("bad.exe", kContentSize, kContentSha256);
    const size_t before = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size();
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, before));
    while (AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).back().value == 2)
        ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size()));
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).back().value, 6);
    EXPECT_EQ(GetFileAttributesW(installerPath.c_str()), INVALID_FILE_ATTRIBUTES) << "the bad file stays";
}

}  // namespace
