// The main frame's maximise-or-restore toggle as plain arithmetic, so that it
// can be checked without windows.
#pragma once

#include <windows.h>

// A window's position and size, as SetWindowPos takes them.
struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlacement&) const = default;
};

// What the toggle remembers between requests: the first request maximises.
struct MaximizeState {
    bool maximized = false;
    RECT saved{};  // the frame's window rectangle when it was last maximised
};

// One toggle: the state to keep and where the frame and its view go.
struct MaximizeStep {
    MaximizeState next;
    WindowPlacement frame;
    WindowPlacement view;
};

// Maximising remembers frameNow and covers the work area's size from (0, 0);
// restoring goes back to the remembered rectangle. The view always sits at
// (1, 1), 4 pixels narrower and lower than the frame, inside its border.
MaximizeStep ToggleMaximize(const MaximizeState& state, const RECT& frameNow, const RECT& workArea);
