#include "installer_download.h"

#include <windows.h>

#include <memory>

#include "http_get.h"
#include "plugin_bus.h"
#include "sha256.h"

namespace comm {

bool DownloadControl::SendUnlessCancelled(const std::function<void()>& send) {
    std::lock_guard<std::mutex> hold(lock_);
    if (cancelled_) return false;
    send();
    return true;
}

void DownloadControl::Cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    cancelled_ = true;
}

bool DownloadControl::Cancelled() {
    std::lock_guard<std::mutex> hold(lock_);
    return cancelled_;
}

namespace {

struct FileCloser {
    void operator()(HANDLE file) const { CloseHandle(file); }
};
using FileHandle = std::unique_ptr<void, FileCloser>;

// The body written to the file and hashed, with the progress timing.
class InstallerSink {
public:
    InstallerSink(HANDLE file, uint64_t total, DownloadControl& control, const DownloadProgress& progress)
        : file_(file), total_(total), control_(control), progress_(progress), lastReport_(GetTickCount()) {}

    bool Take(const char* bytes, size_t size) {
        if (control_.Cancelled() || size > total_ - done_) return false;  // more than the feed announced
        DWORD written = 0;
        if (!WriteFile(file_, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size) return false;
        hash_.Add(bytes, size);
        done_ += size;
        if (GetTickCount() - lastReport_ >= kProgressIntervalMs) Report();
        return true;
    }

    // Called once the body ended: the final progress, then the checks.
    bool Matches(const std::string& sha256) {
        if (done_ != total_) return false;
        Report();
        return hash_.Good() && hash_.Finish() == sha256;
    }

private:
    void Report() {
        lastReport_ = GetTickCount();
        progress_(done_, total_);
    }

    HANDLE file_;
    const uint64_t total_;
    uint64_t done_ = 0;
    DownloadControl& control_;
    const DownloadProgress& progress_;
    DWORD lastReport_;
    Sha256 hash_;
};

bool Fetch(const Installer& installer, HANDLE file, DownloadControl& control, const DownloadProgress& progress) {
    InstallerSink sink(file, installer.size, control, progress);
    HttpReceiver receiver;
    // A server that announces another length is serving another file.
    receiver.start = [&installer](uint64_t length) { return length == 0 || length == installer.size; };
    receiver.bytes = [&sink](const char* bytes, size_t size) { return sink.Take(bytes, size); };
    return HttpGet(plugin::Wide(installer.url), receiver) && !control.Cancelled() && sink.Matches(installer.sha256);
}

}  // namespace

DownloadResult DownloadInstaller(const Installer& installer, const std::wstring& path, DownloadControl& control,
                                 const DownloadProgress& progress) {
    if (installer.url.empty() || installer.sha256.size() != 64) return DownloadResult::Failed;
    bool complete = false;
    {
        FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            file.release();  // nothing to close
            return DownloadResult::Failed;
        }
        complete = Fetch(installer, file.get(), control, progress);
    }  // closed before it may be deleted
    if (complete) return DownloadResult::Complete;
    DeleteFileW(path.c_str());
    return control.Cancelled() ? DownloadResult::Cancelled : DownloadResult::Failed;
}

}  // namespace comm
