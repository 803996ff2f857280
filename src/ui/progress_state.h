// What the progress dialog shows, kept apart from its window: counters and a
// status text that plug-ins set from any thread at full speed, read by the
// dialog's 500 ms refresh on the user-interface thread, and the rule that
// ends a run (the end callback is called at most once, and only for a run
// that the user ended before it finished).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// A plug-in's end callback, as "LIBPLATFORM_COMMAND_START_PROGRESS" hands it over.
using ProgressEndCallback = void(__cdecl*)(uint32_t context, int64_t datum);

class ProgressState {
public:
    ProgressState();
    ~ProgressState();
    ProgressState(const ProgressState&) = delete;
    ProgressState& operator=(const ProgressState&) = delete;

    // ---- any thread ----
    void SetDone(int done) { done_.exchange(done); }
    void SetTotal(int total) { total_.exchange(total); }
    void AddFailed(int failed) { failed_.fetch_add(failed); }
    // Copies text; the copy replaces the current one. text must not be null.
    void SetStatusText(const wchar_t* text);

    // ---- the user-interface thread ----
    // A new run: counters 0, empty text, not finished, no owner, no callback.
    void Reset();
    void SetOwner(std::string owner) { owner_ = std::move(owner); }
    // Called when the user ends the run before it finished; may be null.
    void SetEndCallback(ProgressEndCallback callback, int64_t datum) {
        callback_ = callback;
        datum_ = datum;
    }
    // Takes the latest values as the shown ones; true when any differs from
    // what was shown, so that a repeated update causes no repaint. Frees the
    // texts that no painter can read any more.
    bool Refresh();
    int ShownDone() const { return shownDone_; }
    int ShownTotal() const { return shownTotal_; }
    // Valid until the next Refresh, ShowEnd or ClearTexts.
    const wchar_t* ShownText() const;
    int Failed() const { return failed_.load(); }

    // The task ended (the finish command, or a cancel by its owner): the end
    // callback will not be called. False when the run had ended already.
    bool MarkFinished() { return !finished_.exchange(true); }
    bool IsFinished() const { return finished_.load(); }
    // The run's final look once finished: "Finish", or "Failed(n) " + the
    // last status text with done = total - failed. Labels come translated.
    void ShowEnd(const std::wstring& finishLabel, const std::wstring& failedLabel);
    // The user closed the dialog: a run that had not finished ends now and
    // its end callback is called, exactly once.
    void EndByUser();
    // A plug-in asks to stop the run: only the owner, and only while it runs.
    bool StopRequestedBy(const char* canceller);
    // Frees every text; the shown and current text become empty.
    void ClearTexts();

private:
    struct Text;
    void Replace(Text* text);
    void FreeRetired(bool all);

    std::atomic<int> done_{0};
    std::atomic<int> total_{0};
    std::atomic<int> failed_{0};
    std::atomic<Text*> current_{nullptr};  // null: the empty text
    // The text the painter reads. A setter never frees it: it hands a
    // replaced text that is still shown to the retired stack instead, which
    // the user-interface thread empties once the painter has moved on.
    std::atomic<Text*> shown_{nullptr};
    std::atomic<Text*> retired_{nullptr};
    std::atomic<bool> finished_{true};

    int shownDone_ = 0;
    int shownTotal_ = 0;
    Text* shownBefore_ = nullptr;  // the text of the last Refresh, to see a change
    std::string owner_;
    ProgressEndCallback callback_ = nullptr;
    int64_t datum_ = 0;
};

// "70.00%" for 7 of 10; empty when total is 0.
std::wstring ProgressPercentText(int done, int total);
// The bar's filled width inside its 4-pixel inner margins; 0 when total is 0.
int ProgressFillWidth(int barLeft, int barRight, int done, int total, int inset = 4);
