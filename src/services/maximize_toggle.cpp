#include "services/maximize_toggle.h"

namespace {

// The frame's one-pixel border on the left and top, and the width and height
// that the border and the rounded edge take together.
constexpr int kViewOffset = 1;
constexpr int kViewInset = 4;

WindowPlacement ViewInside(const WindowPlacement& frame) {
    return {kViewOffset, kViewOffset, frame.width - kViewInset, frame.height - kViewInset};
}

}  // namespace

MaximizeStep ToggleMaximize(const MaximizeState& state, const RECT& frameNow, const RECT& workArea) {
    MaximizeStep step;
    step.next.maximized = !state.maximized;
    if (step.next.maximized) {
        step.next.saved = frameNow;
        step.frame = {0, 0, workArea.right - workArea.left, workArea.bottom - workArea.top};
    } else {
        step.next.saved = state.saved;
        const RECT& saved = state.saved;
        step.frame = {saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top};
    }
    step.view = ViewInside(step.frame);
    return step;
}
