// The owner-drawn controls' arithmetic, free of windows.
#pragma once

// A control's position along one axis: a non-negative anchor is the
// distance from the parent's left (top) edge, a negative one is measured from
// the right (bottom) edge, so -8 puts the far side 8 pixels from it whatever
// the control's own size.
inline int AnchoredPosition(int anchor, int parentExtent, int ownExtent) {
    return anchor >= 0 ? anchor : parentExtent - ownExtent + anchor;
}

// A text button's size: its label's measured size and the inner margins on
// both sides, truncated to whole pixels.
inline int LabelButtonExtent(float measured, int margin) { return static_cast<int>(2 * margin + measured); }

// What a control's look is, by mouse and enabled state.
enum class ControlState { Normal = 0, Pressed = 1, Hover = 2, Disabled = 3 };
