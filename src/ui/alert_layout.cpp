#include "ui/alert_layout.h"

#include <algorithm>

namespace {
constexpr int kTitleBarHeight = 26;
constexpr int kMargin = 20;
constexpr int kButtonGap = 10;
}  // namespace

AlertLayout AlertTextBox(int width, int iconWidth) {
    AlertLayout layout;
    layout.textX = iconWidth > 0 ? static_cast<float>(iconWidth + 2 * kMargin) : static_cast<float>(kMargin);
    layout.textWidth = static_cast<float>(width) - layout.textX - kMargin;
    return layout;
}

AlertLayout LayOutAlert(int width, int iconWidth, int iconHeight, float textHeight, SIZE confirmButton,
                        SIZE secondButton, bool twoButtons) {
    AlertLayout layout = AlertTextBox(width, iconWidth);
    const float body = std::max(static_cast<float>(iconHeight), textHeight);
    layout.height = static_cast<int>(kTitleBarHeight + body + kMargin + kButtonGap + confirmButton.cy);
    const int buttonsTop = layout.height - kButtonGap - confirmButton.cy;
    layout.secondButton = {width - kButtonGap - secondButton.cx, buttonsTop};
    const int rightEnd = twoButtons ? layout.secondButton.x : width;
    layout.confirmButton = {rightEnd - kButtonGap - confirmButton.cx, buttonsTop};
    return layout;
}
