// The download of an update's installer: fetched over HTTP into a file of
// the host's temporary folder, then read back through a handle that lets
// nobody write, rename or delete the file, and checked there against the
// feed's size, SHA-256 and signature. The caller keeps that handle until
// the installer has been started, so what runs is what was checked. A
// download that fails, is cancelled or does not match leaves no file, even
// when the process ends in the middle of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "signature.h"
#include "update_feed.h"

namespace comm {

// What one download shares with the thread that may cancel it. Answers to
// the host go through SendUnlessCancelled, so once Cancel has returned no
// answer of this download is sent any more.
class DownloadControl {
public:
    // Runs send unless the download was cancelled; false when it was.
    bool SendUnlessCancelled(const std::function<void()>& send);
    // Waits only for an answer being sent at this moment, never for the transfer.
    void Cancel();
    bool Cancelled();

private:
    std::mutex lock_;
    bool cancelled_ = false;  // guarded by lock_
};

struct FileCloser {
    void operator()(HANDLE file) const { CloseHandle(file); }
};
using FileHandle = std::unique_ptr<void, FileCloser>;

// Marks the file of handle (opened with DELETE access) to go when its last
// handle closes, or clears the mark.
bool DeleteWhenClosed(HANDLE file, bool remove);

enum class DownloadResult {
    Complete,
    Failed,      // not fetched within the deadlines, or the file could not be written
    Refused,     // the feed's entry names no usable installer (no size, hash or signature)
    Mismatch,    // the bytes are not of the feed's size and SHA-256
    Unverified,  // the bytes are not signed by the feed's key
    Untrusted,   // the installer's server had a certificate that the system refused
    Cancelled,
};

// Calls progress(done, total) at most once per ProgressInterval, and once
// more with done == total when every byte is in.
using DownloadProgress = std::function<void(uint64_t done, uint64_t total)>;
constexpr unsigned kProgressIntervalMs = 100;

// Fetches installer.url into path (replacing any file there) and checks it.
// Complete: locked holds the file open for reading only, sharing nothing
// but reading. The control is checked after every piece
// received.
DownloadResult DownloadInstaller(const Installer& installer, const PublicKey& key, const std::wstring& path,
                                 DownloadControl& control, const DownloadProgress& progress, FileHandle& locked);

}  // namespace comm
