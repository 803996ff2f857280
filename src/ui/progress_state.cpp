#include "ui/progress_state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

// A status text and the link that chains it into the retired stack, in one
// C-heap block: a plug-in may send a text per item, thousands a second.
struct ProgressState::Text {
    Text* next;
    wchar_t chars[1];

    static Text* Copy(const wchar_t* text) {
        const size_t length = std::wcslen(text);
        auto* block = static_cast<Text*>(std::malloc(offsetof(Text, chars) + (length + 1) * sizeof(wchar_t)));
        if (!block) return nullptr;
        block->next = nullptr;
        std::memcpy(block->chars, text, (length + 1) * sizeof(wchar_t));
        return block;
    }
};

ProgressState::ProgressState() = default;

ProgressState::~ProgressState() { ClearTexts(); }

const wchar_t* ProgressState::ShownText() const {
    const Text* shown = shown_.load();
    return shown ? shown->chars : L"";
}

void ProgressState::SetStatusText(const wchar_t* text) {
    if (Text* copy = Text::Copy(text)) Replace(copy);
}

// The replaced text is freed at once unless the painter reads it; then it
// waits on the retired stack. After the exchange no new painter can find it
// as current, and the shown text is checked after the exchange (both
// sequentially consistent), so a text that is not shown then is never read
// again: a million texts in a burst cost one block at a time.
void ProgressState::Replace(Text* text) {
    Text* replaced = current_.exchange(text);
    if (!replaced) return;
    if (replaced != shown_.load()) {
        std::free(replaced);
        return;
    }
    replaced->next = retired_.load();
    while (!retired_.compare_exchange_weak(replaced->next, replaced)) {}
}

// Publishes the text to show, then checks that it is still current; a text
// replaced in between may already be freed, so the next one is taken.
bool ProgressState::Refresh() {
    Text* text = current_.load();
    for (;;) {
        shown_.store(text);
        Text* again = current_.load();
        if (again == text) break;
        text = again;
    }
    const int done = done_.load();
    const int total = total_.load();
    const bool changed = done != shownDone_ || total != shownTotal_ || text != shownBefore_;
    shownDone_ = done;
    shownTotal_ = total;
    shownBefore_ = text;
    FreeRetired(false);
    return changed;
}

// On the user-interface thread: every retired text but the shown one.
void ProgressState::FreeRetired(bool all) {
    Text* list = retired_.exchange(nullptr);
    Text* const shown = shown_.load();
    while (list) {
        Text* next = list->next;
        if (!all && list == shown) {
            list->next = retired_.load();
            while (!retired_.compare_exchange_weak(list->next, list)) {}
        } else {
            std::free(list);
        }
        list = next;
    }
}

void ProgressState::Reset() {
    ClearTexts();
    done_ = total_ = failed_ = 0;
    shownDone_ = shownTotal_ = 0;
    owner_.clear();
    callback_ = nullptr;
    datum_ = 0;
    finished_ = false;
}

void ProgressState::ShowEnd(const std::wstring& finishLabel, const std::wstring& failedLabel) {
    const int failed = failed_.load();
    std::wstring text = finishLabel;
    if (failed != 0) {
        text = failedLabel + L"(" + std::to_wstring(failed) + L") " + ShownText();
        done_ = total_.load() - failed;
    }
    SetStatusText(text.c_str());
    Refresh();
}

void ProgressState::EndByUser() {
    if (!MarkFinished()) return;
    if (callback_) callback_(0, datum_);
}

bool ProgressState::StopRequestedBy(const char* canceller) {
    if (!canceller || owner_ != canceller) return false;
    return MarkFinished();
}

void ProgressState::ClearTexts() {
    shown_.store(nullptr);
    shownBefore_ = nullptr;
    std::free(current_.exchange(nullptr));
    FreeRetired(true);
}

std::wstring ProgressPercentText(int done, int total) {
    if (total == 0) return L"";
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f%%", done * 100.0 / total);
    return text;
}

int ProgressFillWidth(int barLeft, int barRight, int done, int total, int inset) {
    if (total == 0) return 0;
    return static_cast<int>(std::floor(static_cast<double>(barRight - inset - (barLeft + inset)) * done / total));
}
