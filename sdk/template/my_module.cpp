// MyModule: a small Lumarest plug-in to start from. It uses nothing of the
// host but <lumarest/plugin.h>.
//
// What it does:
//   - It answers a command of its own, "MYMODULE_COMMAND_HELLO", at once on
//     the sender's thread: value = how many hellos it has had, object = a
//     UTF-8 greeting that the module keeps (the sender must not free it).
//   - Each hello also asks the user a question, from the module's worker
//     thread: a confirm shown by the host, whose send waits until the user
//     answers. Then it fetches the host's temporary folder, a C-heap copy
//     that it frees.
//   - When the host's main window closes ("LIBPLATFORM_COMMAND_CLOSE_ENSURE")
//     it stops and joins its worker, unless a question is still open: the
//     close is refused then, since the worker waits for the main thread,
//     which would wait for the worker.
//
// Debugging aid: when the environment variable MYMODULE_LOG names a file,
// the module appends a line to it for each of these events.
#include <lumarest/plugin.h>

#include <windows.h>

#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#define MYMODULE_COMMAND_HELLO "MYMODULE_COMMAND_HELLO"

namespace {

CommandEndpoint* bus;  // given by the host, valid for the life of the process
const char kGreeting[] = "Hello from MyModule";
const wchar_t kQuestion[] = L"MyModule was greeted. Greet back?";

std::mutex logLock;
std::wstring logPath;  // written once in RegisterModule

void Log(const char* format, ...) {
    if (logPath.empty()) return;
    std::lock_guard<std::mutex> hold(logLock);
    if (FILE* file = _wfopen(logPath.c_str(), L"a")) {
        std::fprintf(file, "MyModule thread=%lu ", GetCurrentThreadId());
        va_list args;
        va_start(args, format);
        std::vfprintf(file, format, args);
        va_end(args);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

// A zeroed record from this module, as every send must be.
BASObserveData Record(const char* command) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command;
    record.sender = bus->owner;
    return record;
}

// Blocks until the user answers; true when the user confirmed.
bool AskTheUser() {
    BASObserveData record = Record(LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE);
    record.wideText = const_cast<wchar_t*>(kQuestion);
    record.value = 400;  // the dialog's width at 96 DPI
    bus->send(&record);
    return record.value == 1;
}

// The host's dated temporary folder: a malloc'ed copy that this module frees.
void LogTemporaryFolder() {
    BASObserveData record = Record(LIBPLATFORM_COMMAND_GET_TEMP_DIR);
    bus->send(&record);
    if (!record.wideText) return;  // no answer: the host is not registered yet
    Log("temporary folder has %u letters", static_cast<unsigned>(wcslen(record.wideText)));
    std::free(record.wideText);
}

// The module's one thread of its own. Questions are queued by the receive
// function and asked here, so the sender of a hello is never held up.
class Worker {
public:
    void Start() { thread_ = std::thread(&Worker::Run, this); }

    void Queue() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            ++pending_;
        }
        wake_.notify_one();
    }

    // On the main thread, at the close. False while a question is open: its
    // send waits for the main thread, so joining now would never return.
    bool Stop() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (asking_) return false;
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
        return true;
    }

private:
    void Run() {
        Log("worker started");
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            wake_.wait(hold, [this] { return stopping_ || pending_ > 0; });
            if (stopping_) break;
            --pending_;
            asking_ = true;  // set under the lock that Stop reads it with
            hold.unlock();
            const bool confirmed = AskTheUser();
            Log("question answered %d", confirmed ? 1 : 0);
            hold.lock();
            asking_ = false;
            hold.unlock();
            if (confirmed) LogTemporaryFolder();
            hold.lock();
        }
        Log("worker finished");
    }

    std::mutex lock_;
    std::condition_variable wake_;
    int pending_ = 0;        // questions to ask; guarded by lock_
    bool asking_ = false;    // a question is open; guarded by lock_
    bool stopping_ = false;  // guarded by lock_
    std::thread thread_;
};

Worker worker;
LONG hellos;

void AnswerHello(BASObserveData& record) {
    record.value = InterlockedIncrement(&hellos);
    record.object = const_cast<char*>(kGreeting);
    Log("hello answered %ld", static_cast<long>(record.value));
    worker.Queue();
}

void Close(BASObserveData& record) {
    if (worker.Stop()) {
        Log("closed");
    } else {
        record.value = 1;  // keeps the window open: the user answers the question first
        Log("close refused: a question is open");
    }
}

// Called by the host on the sender's thread; nothing may throw into the host.
void LUMAREST_CDECL Receive(BASObserveData* record) noexcept {
    try {
        if (std::strcmp(record->command, MYMODULE_COMMAND_HELLO) == 0) AnswerHello(*record);
        else if (std::strcmp(record->command, LIBPLATFORM_COMMAND_CLOSE_ENSURE) == 0) Close(*record);
    } catch (...) {
        Log("error: exception in the receive function");
    }
}

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t text[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, text, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(text, length) : std::wstring();
}

}  // namespace

// The host calls this once, on its main thread, after loading the DLL (not
// under the loader lock, so starting a thread here is safe). The package's
// RegisterModule.def exports it by exactly this name.
extern "C" void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    try {
        bus = endpoint;
        endpoint->receive = &Receive;
        logPath = EnvironmentText(L"MYMODULE_LOG");
        worker.Start();
        Log("registered");
    } catch (...) {
        // Without its worker the module still answers; it asks nothing.
    }
}
