// The download of an update's installer: fetched over HTTP into a file,
// hashed as it arrives, then checked against the feed's size and SHA-256.
// A download that fails, is cancelled or does not match leaves no file.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

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

enum class DownloadResult { Complete, Failed, Cancelled };

// Calls progress(done, total) at most once per ProgressInterval, and once
// more with done == total when every byte is in.
using DownloadProgress = std::function<void(uint64_t done, uint64_t total)>;
constexpr unsigned kProgressIntervalMs = 100;

// Fetches installer.url into path (replacing any file there). Complete only
// when the body's size and SHA-256 are the feed's; otherwise the file is
// deleted. The control is checked after every piece received.
DownloadResult DownloadInstaller(const Installer& installer, const std::wstring& path, DownloadControl& control,
                                 const DownloadProgress& progress);

}  // namespace comm
