// The "Comm" module as the host meets it: its built DLL (the test build,
// which also trusts the test suite's key) loaded and registered with a fake
// host endpoint, fetching from the local HTTP server that
// scripts/with-http-server.py runs beside this test.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>
#include <lumarest/plugin.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "test_files.h"
#include "update_signing.h"

namespace {

constexpr char kContentSha256[] = "a59cc45ae8a5db7737a55d3a1683dcdbb84375ad06c93f9320030a627604c6bc";
constexpr size_t kContentSize = 600000;

// What the module sent, with the texts it handed over copied and freed.
struct Answer {
    std::string command;
    int64_t value, count, done, total;
    std::string notes;
    std::wstring path;
    HANDLE lock;  // the installer's guard that a completion hands over; the test closes it
};

std::mutex answersLock;
std::vector<Answer> answers;
TempFolder* hostTemp;

void __cdecl HostReceives(BASObserveData* record) {
    if (std::string(record->command) == LIBPLATFORM_COMMAND_GET_TEMP_DIR) {
        record->wideText = _wcsdup(hostTemp->Path().c_str());
        return;
    }
    Answer answer{record->command, record->value, record->count, record->value3, record->value2, "", L"", nullptr};
    if (answer.command == LIBCOMM_COMMAND_DOWNLOAD_UPDATE && record->value == 1) answer.lock = record->object;
    if (record->data && answer.command == LIBCOMM_COMMAND_CHECK_FOR_UPDATE)
        answer.notes = static_cast<char*>(record->data);
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

const Answer kNoAnswer{"(none)", -1, 0, 0, 0, "", L"", nullptr};

// A failed check's (0) or download's (6) reason, -1 for any other answer.
int64_t Reason(const Answer& answer) { return answer.value == 0 || answer.value == 6 ? answer.total : -1; }

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
        reinterpret_cast<RegisterModuleFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, LUMAREST_ENTRY_POINT_NAME)))(&endpoint);
        const char identity[] = R"({"alias":"Lumarest","version":"4.4.39","brand":"Zentrovia"})";
        Send("LIBCOMM_COMMAND_CREATE", identity);
        for (const wchar_t* folder : {L"\\slow", L"\\drip", L"\\stall"})
            CreateDirectoryW((Root() + folder).c_str(), nullptr);
    }

    static void Send(const char* command, const void* data = nullptr) {
        BASObserveData record{};
        record.command = command;
        record.data = const_cast<void*>(data);
        record.sender = GetModuleHandleW(nullptr);  // the host, as the bus marks it
        endpoint.receive(&record);
    }

    // Asks for a check and returns its answer, kNoAnswer if none came in time.
    static Answer Check(DWORD ms = 20000) {
        const size_t index = AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE).size();
        Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
        return WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, index, ms)
                   ? AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[index]
                   : kNoAnswer;
    }
    // Sends requests for a download and returns the first answer that is not progress.
    static Answer Download(int requests = 1) {
        const size_t before = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size();
        for (int i = 0; i < requests; ++i) Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
        for (size_t n = before; WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, n, 30000); ++n)
            if (AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE)[n].value != 2)
                return AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE)[n];
        return kNoAnswer;
    }

    static std::wstring Root() { return EnvironmentText(L"LUMAREST_HTTP_ROOT_WINDOWS"); }
    static std::string Url(const std::string& path, const wchar_t* port = L"LUMAREST_HTTP_PORT") {
        const std::wstring number = EnvironmentText(port);
        const char* scheme = std::wstring(port).find(L"HTTPS") != std::wstring::npos ? "https" : "http";
        return scheme + std::string("://127.0.0.1:") + std::string(number.begin(), number.end()) + "/" + path;
    }
    static void Serve(const std::string& name, const std::string& bytes) {
        WriteBytes(Root() + L"\\" + std::wstring(name.begin(), name.end()), bytes);
    }
    static void UseFeed(const std::string& url) {
        moduleFolder->Write(L"UpdateFeed.json", "{\"feed\": \"" + url + "\"}");
    }
    static std::string Release(const std::string& version, const std::string& installer = "{}",
                               const char* notes = "[]") {
        return "{\"version\":" + test_signing::JsonString(version) + ",\"descriptions\":" + notes +
               ",\"installer\":" + installer + "}";
    }
    // An installer entry; its url relative to the feed's, as publish-update writes it.
    static std::string Installer(const std::string& path, size_t size, const std::string& sha256,
                                 const std::string& signature = "") {
        return "{\"url\":\"" + path + "\",\"size\":" + std::to_string(size) + ",\"sha256\":\"" + sha256 +
               "\",\"signature\":\"" + signature + "\"}";
    }
    // The feed of releases, signed with the test suite's key.
    static std::string Feed(const std::string& releases) {
        return test_signing::Envelope("{\"versions\":[" + releases + "]}", TestKey());
    }
    static const test_signing::Key& TestKey() {
        static const test_signing::Key key = test_signing::LoadKey(TEXT(LUMAREST_TEST_UPDATE_KEY_FILE));
        return key;
    }

    static TempFolder* moduleFolder;
    static CommandEndpoint endpoint;
};

TempFolder* CommModule::moduleFolder;
CommandEndpoint CommModule::endpoint;

TEST_F(CommModule, AnswersChecksWithTheNewerVersionsNewestFirst) {
    UseFeed(Url("feed.json"));
    Serve("feed.json", Feed(Release("4.4.39") + "," + Release("4.4.38")));
    // Another module's request, or an answer passing by under the name, is not the host's to answer.
    BASObserveData fromModule{};
    fromModule.command = LIBCOMM_COMMAND_CHECK_FOR_UPDATE;
    fromModule.sender = &endpoint;
    endpoint.receive(&fromModule);
    EXPECT_FALSE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, 0, 3000)) << "another module's request was answered";
    Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    Send(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);  // while the first runs: its answer serves both
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, 0));
    EXPECT_FALSE(WaitForAnswer(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, 1, 500)) << "two checks ran at once";
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_CHECK_FOR_UPDATE)[0].count, 0) << "an older or the same version was offered";

    // Numbers compare as numbers: as text "4.4.4" would be newer and "4.4.100" older; a longer version
    // with the same beginning is newer.
    Serve("feed.json", Feed(Release("4.4.4", "{}", "[\"old\"]") + "," + Release("4.4.100", "{}", "[\"b\",\"c\"]") +
                            "," + Release("4.5", "{}", "[\"a\"]") + "," + Release("4.4.39.1", "{}", "[\"d\"]")));
    EXPECT_EQ(Check().notes,
              R"([{"version":"4.5","descriptions":["a"]},{"version":"4.4.100","descriptions":["b","c"]},)"
              R"({"version":"4.4.39.1","descriptions":["d"]}])");

    // Failures answer soon: a feed that is missing (404), a server that never answers (within its
    // 10 s stall deadline) and one that drips a byte every 5 s (within the 20 s overall deadline).
    Serve("drip/feed.json", Feed(Release("4.5")));
    const std::pair<std::string, DWORD> failures[] = {{Url("missing.json"), 3000},
                                                      {Url("feed.json", L"LUMAREST_HTTP_SILENT_PORT"), 13000},
                                                      {Url("drip/feed.json"), 24000}};
    for (const auto& [feed, limit] : failures) {
        UseFeed(feed);
        EXPECT_EQ(Reason(Check(limit)), LIBCOMM_UPDATE_FAILED_NETWORK) << feed;
    }
}

// A feed is the product's only when a trusted key signed its very text, and
// then only when every version in it is a plain version; none of these is
// offered, and each says it could not be verified.
TEST_F(CommModule, RefusesFeedsThatAreNotTheProductsOrLieAboutAVersion) {
    const std::string text = "{\"versions\":[" + Release("4.5") + "]}";
    const std::string changed = "{\"versions\":[" + Release("4.6") + "]}";
    std::vector<std::pair<std::string, std::string>> refused = {
        {"signed by another key", test_signing::Envelope(text, test_signing::NewKey())},
        {"text changed after signing", test_signing::Envelope(changed, TestKey(), &text)},
        {"no signature",
         "{\"key\":\"" + test_signing::PublicHex(TestKey()) + "\",\"text\":" + test_signing::JsonString(text) + "}"},
    };
    std::string longVersion = "4";  // 20,001 characters of plain parts
    while (longVersion.size() < 20000) longVersion += ".4";
    const std::string badVersions[] = {"..\\..\\x", "4.5/4", longVersion, "4..5", "4.1234567890"};
    for (const std::string& version : badVersions)
        refused.push_back({"version " + version.substr(0, 20), Feed(Release("4.6") + "," + Release(version))});
    UseFeed(Url("feed.json"));
    for (const auto& [name, file] : refused) {
        Serve("feed.json", file);
        EXPECT_EQ(Reason(Check(5000)), LIBCOMM_UPDATE_FAILED_UNVERIFIED) << name;
    }
    Serve("feed.json", test_signing::Envelope(text, TestKey()));
    EXPECT_EQ(Check(5000).count, 1) << "the signed feed itself is refused";
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(CommModule, DownloadsTheNewestInstallerCancelsAndRefusesABadOne) {
    const std::wstring installerPath = hostTemp->Path() + L"\\LumarestSetup-4.5.exe";
    const std::string content = Content(kContentSize);
    const std::string goodSignature = test_signing::SignInstaller(TestKey(), content);
    const auto useInstaller = [](const std::string& installer) {
        UseFeed(Url("feed.json"));
        Serve("feed.json", Feed(Release("4.4.100", Installer("old.exe", 1, "0")) + "," + Release("4.5", installer)));
    };
    // A cancel during a slow transfer removes the partial file and ends the answers.
    Serve("slow/big.exe", Content(8 * kContentSize));
    useInstaller(Installer("slow/big.exe", 8 * kContentSize, kContentSha256, goodSignature));
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    ASSERT_TRUE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, 0));
    Send(LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL);
    const size_t answered = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size();
    for (const DWORD start = GetTickCount(); Exists(installerPath);) {
        ASSERT_LT(GetTickCount() - start, 3000u) << "the partial file stays";
        Sleep(20);
    }
    Sleep(300);
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size(), answered) << "an answer after the cancel";

    // Asked again: progress of the whole, then the checked file's path and the handle that guards it.
    Serve("slow/good.exe", content);
    useInstaller(Installer("slow/good.exe", kContentSize, kContentSha256, goodSignature));
    const Answer complete = Download(2);  // the second while the first runs: ignored
    const size_t ended = AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE).size();
    ASSERT_GE(ended, answered + 2) << "no progress before the end";
    EXPECT_EQ(AnswersTo(LIBCOMM_COMMAND_DOWNLOAD_UPDATE)[answered].total, int64_t(kContentSize));
    ASSERT_EQ(complete.value, 1);
    EXPECT_EQ(complete.path, installerPath);
    // While the guard is held, another hand cannot write the checked file, which can still be started.
    const auto opens = [&](DWORD access, DWORD share) {
        HANDLE file = CreateFileW(installerPath.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return file != INVALID_HANDLE_VALUE;
    };
    EXPECT_FALSE(opens(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        << "it was opened to write";
    EXPECT_TRUE(opens(GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE)) << "it cannot be started";
    CloseHandle(complete.lock);
    EXPECT_EQ(ReadTextFile(installerPath), content) << "the checked file did not stay once its guard was closed";
    DeleteFileW(installerPath.c_str());
    EXPECT_FALSE(WaitForAnswer(LIBCOMM_COMMAND_DOWNLOAD_UPDATE, ended, 500))
        << "a request during a download started a second one";

    // Refused downloads: each ends in a failure with its reason and leaves no file, and the
    // installer's bytes decide, not what the feed says of them.
    const std::string otherBytes = Content(kContentSize - 1) + "x";
    Serve("good.exe", content);
    Serve("other.exe", otherBytes);
    Serve("empty.exe", "");
    Serve("stall/good.exe", content);
    const struct {
        const char* name;
        std::string installer;
        int64_t reason;
    } refusals[] = {
        {"unsigned", Installer("good.exe", kContentSize, kContentSha256), LIBCOMM_UPDATE_FAILED_UNVERIFIED},
        {"signed by another key",
         Installer("good.exe", kContentSize, kContentSha256,
                   test_signing::SignInstaller(test_signing::NewKey(), content)),
         LIBCOMM_UPDATE_FAILED_UNVERIFIED},
        {"a signature of other bytes",
         Installer("good.exe", kContentSize, kContentSha256, test_signing::SignInstaller(TestKey(), otherBytes)),
         LIBCOMM_UPDATE_FAILED_UNVERIFIED},
        {"empty",
         Installer("empty.exe", 0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
                   test_signing::SignInstaller(TestKey(), "")),
         LIBCOMM_UPDATE_FAILED_UNVERIFIED},
        {"another hash", Installer("other.exe", kContentSize, kContentSha256, goodSignature),
         LIBCOMM_UPDATE_FAILED_MISMATCH},
        {"a server that stops sending", Installer("stall/good.exe", kContentSize, kContentSha256, goodSignature),
         LIBCOMM_UPDATE_FAILED_NETWORK},
    };
    for (const auto& refusal : refusals) {
        useInstaller(refusal.installer);
        const Answer end = Download();
        EXPECT_EQ(Reason(end), refusal.reason) << refusal.name << " (-1: no failure within 30 s)";
        EXPECT_FALSE(Exists(installerPath)) << refusal.name << ": the refused file stays";
        if (end.lock) CloseHandle(end.lock);
    }
}

// HTTPS against the wrapper's TLS servers, whose certificate for 127.0.0.1
// the build's test CA signed (LUMAREST_HTTPS_PORT) or a CA of the run that
// nothing trusts (LUMAREST_HTTPS_UNTRUSTED_PORT). This binary also runs in a
// Wine prefix that trusts the test CA (LUMAREST_TLS_TRUSTED set): there the
// feed and the installer come over HTTPS; in the build's prefix, which does
// not trust it, both are refused for the certificate, and nothing is left.
// The untrusted CA is refused everywhere.
TEST_F(CommModule, FetchesOverHttpsOnlyFromAServerWhoseCertificateTheSystemTrusts) {
    const bool trusted = !EnvironmentText(L"LUMAREST_TLS_TRUSTED").empty();
    // Wine reads the Linux side's trusted roots into the registry when a
    // process first opens the root store: seconds under emulation, which the
    // module's first request would otherwise spend within its deadlines.
    if (HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"))
        CertCloseStore(roots, 0);

    const std::wstring installerPath = hostTemp->Path() + L"\\LumarestSetup-4.5.exe";
    const std::string content = Content(kContentSize);
    Serve("good.exe", content);
    Serve("tls-feed.json", Feed(Release("4.5", Installer("good.exe", kContentSize, kContentSha256,
                                                         test_signing::SignInstaller(TestKey(), content)))));
    UseFeed(Url("tls-feed.json", L"LUMAREST_HTTPS_PORT"));
    const Answer offered = Check(30000);
    EXPECT_EQ(trusted ? offered.count : Reason(offered), trusted ? 1 : LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER)
        << "the check's reason: " << Reason(offered);

    // The installer's address, relative to the feed's, is HTTPS as well.
    const Answer end = Download();
    if (trusted) {
        ASSERT_EQ(end.value, 1) << "the installer did not come over HTTPS";
        CloseHandle(end.lock);
        EXPECT_EQ(ReadTextFile(installerPath), content);
        DeleteFileW(installerPath.c_str());
    } else {
        EXPECT_EQ(Reason(end), LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER);
        EXPECT_FALSE(Exists(installerPath)) << "a refused download stays";
    }

    UseFeed(Url("tls-feed.json", L"LUMAREST_HTTPS_UNTRUSTED_PORT"));
    EXPECT_EQ(Reason(Check(30000)), LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER)
        << "a certificate of an untrusted CA was taken";
}

}  // namespace
