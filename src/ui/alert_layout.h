// Where the alert's parts go, from the sizes that drawing measured.
#pragma once

#include <windows.h>

struct AlertLayout {
    float textX = 0;      // where the message is measured and drawn
    float textWidth = 0;  // the width it wraps at
    int height = 0;       // the client height, grown to fit the message
    POINT confirmButton{};
    POINT secondButton{};
};

// The text box of a dialog of client width width beside an icon of
// iconWidth (0: no icon, the text starts at 20 and spans width - 40).
AlertLayout AlertTextBox(int width, int iconWidth);

// The rest of the layout once the message is measured: the body is the
// taller of icon and text, the buttons sit 10 pixels from the bottom, the
// second one 10 from the right and the confirming one 10 left of it (or 10
// from the right when it is alone).
AlertLayout LayOutAlert(int width, int iconWidth, int iconHeight, float textHeight, SIZE confirmButton,
                        SIZE secondButton, bool twoButtons);
