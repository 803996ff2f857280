// Where the alert's parts go, from the sizes that drawing measured.
#pragma once

#include <windows.h>

#include "dpi_scale.h"

struct AlertLayout {
    float textX = 0;       // where the message is measured and drawn
    float textWidth = 0;   // the width it wraps at
    int height = 0;        // the client height, grown to fit the message
    float textHeight = 0;  // the room the message takes: all of it, or what fits when cut
    float textTop = 0;     // where the room of a cut message begins, below the title bar
    bool cut = false;      // the message is taller than the dialog may grow (it scrolls)
    POINT confirmButton{};
    POINT secondButton{};
};

// Every size is in pixels of the display; the margins (20), the gaps (10) and
// the title bar (26) are those at 96 DPI, scaled by scale.

// The text box of a dialog of client width width beside an icon of
// iconWidth (0: no icon, the text starts at 20 and spans width - 40).
AlertLayout AlertTextBox(int width, int iconWidth, const DpiScale& scale = {});

// The rest of the layout once the message is measured: the body is the
// taller of icon and text, the buttons sit 10 pixels from the bottom, the
// second one 10 from the right and the confirming one 10 left of it (or 10
// from the right when it is alone). The dialog grows to mostHeight at most
// (0: no limit); a message that does not fit then gets the room left, to
// scroll in.
AlertLayout LayOutAlert(int width, int iconWidth, int iconHeight, float textHeight, SIZE confirmButton,
                        SIZE secondButton, bool twoButtons, const DpiScale& scale = {}, int mostHeight = 0);
