#include "installer_download.h"

#include <vector>

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

bool DeleteWhenClosed(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

namespace {

// An installer comes at the link's pace: 15 s without a byte is a dead
// link; half an hour in all is the longest any user waits.
constexpr HttpDeadlines kDownloadDeadlines{15000, 30 * 60 * 1000};
constexpr DWORD kReadPiece = 64 * 1024;

FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// The body written to the file, with the progress timing.
class InstallerSink {
public:
    InstallerSink(HANDLE file, uint64_t total, DownloadControl& control, const DownloadProgress& progress)
        : file_(file), total_(total), control_(control), progress_(progress), lastReport_(GetTickCount()) {}

    bool Take(const char* bytes, size_t size) {
        if (control_.Cancelled() || size > total_ - done_) return false;  // more than the feed announced
        DWORD written = 0;
        if (!WriteFile(file_, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size) return false;
        done_ += size;
        if (GetTickCount() - lastReport_ >= kProgressIntervalMs) Report();
        return true;
    }

    // Called once the body ended: every byte is in, and the final progress.
    bool Whole() {
        if (done_ != total_) return false;
        Report();
        return true;
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
};

// Writes the body into path. The file is marked for deletion from its
// creation, so a transfer that ends in any other way than whole, the
// process's end included, leaves nothing behind.
DownloadResult Fetch(const Installer& installer, const std::wstring& path, DownloadControl& control,
                     const DownloadProgress& progress) {
    FileHandle file = OpenFile(path, GENERIC_WRITE | DELETE, 0, CREATE_ALWAYS);
    if (!file) return DownloadResult::Failed;
    if (!DeleteWhenClosed(file.get(), true)) {
        file.reset();
        DeleteFileW(path.c_str());  // the empty file just made
        return DownloadResult::Failed;
    }
    InstallerSink sink(file.get(), installer.size, control, progress);
    bool otherLength = false;
    HttpReceiver receiver;
    // A server that announces another length is serving another file.
    receiver.start = [&](uint64_t length) {
        otherLength = length != 0 && length != installer.size;
        return !otherLength;
    };
    receiver.bytes = [&sink](const char* bytes, size_t size) { return sink.Take(bytes, size); };
    const HttpOutcome fetched = HttpGet(plugin::Wide(installer.url), kDownloadDeadlines, receiver);
    if (control.Cancelled()) return DownloadResult::Cancelled;
    if (otherLength) return DownloadResult::Mismatch;
    if (fetched == HttpOutcome::Untrusted) return DownloadResult::Untrusted;
    if (fetched != HttpOutcome::Done || !sink.Whole()) return DownloadResult::Failed;
    return DeleteWhenClosed(file.get(), false) ? DownloadResult::Complete : DownloadResult::Failed;
}

// Reads the whole file through file and checks it against the feed.
DownloadResult Check(HANDLE file, const Installer& installer, const PublicKey& key) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) != installer.size)
        return DownloadResult::Mismatch;
    Sha256 hash;
    StreamSignature signature;
    std::vector<char> piece(kReadPiece);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, piece.data(), kReadPiece, &read, nullptr)) return DownloadResult::Failed;
        if (read == 0) break;
        hash.Add(piece.data(), read);
        signature.Add(piece.data(), read);
    }
    if (!hash.Good() || hash.Finish() != installer.sha256) return DownloadResult::Mismatch;
    return signature.Verify(key, installer.signature) ? DownloadResult::Complete : DownloadResult::Unverified;
}

}  // namespace

DownloadResult DownloadInstaller(const Installer& installer, const PublicKey& key, const std::wstring& path,
                                 DownloadControl& control, const DownloadProgress& progress, FileHandle& locked) {
    if (installer.url.empty() || installer.size == 0 || installer.sha256.size() != 64 || installer.signature.empty())
        return DownloadResult::Refused;
    const DownloadResult fetched = Fetch(installer, path, control, progress);
    if (fetched != DownloadResult::Complete) return fetched;
    // Whatever stands at the path now is what gets checked and, if it
    // passes, started: from here nobody can write, rename or delete it while
    // the handle lives. The handle asks for reading only, so that the
    // installer can still open itself for reading (an NSIS setup reads its
    // own file and shares nothing but reading).
    FileHandle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) return DownloadResult::Failed;
    const DownloadResult checked = Check(file.get(), installer, key);
    if (checked != DownloadResult::Complete || control.Cancelled()) {
        file.reset();
        DeleteFileW(path.c_str());  // the host's own name in its own folder
        return checked != DownloadResult::Complete ? checked : DownloadResult::Cancelled;
    }
    locked = std::move(file);
    return DownloadResult::Complete;
}

}  // namespace comm
