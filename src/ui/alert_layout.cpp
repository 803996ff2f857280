#include "ui/alert_layout.h"

#include <algorithm>

namespace {
constexpr int kTitleBarHeight = 26;
constexpr int kMargin = 20;
constexpr int kButtonGap = 10;
}  // namespace

AlertLayout AlertTextBox(int width, int iconWidth, const DpiScale& scale) {
    const int margin = scale.Px(kMargin);
    AlertLayout layout;
    layout.textX = iconWidth > 0 ? static_cast<float>(iconWidth + 2 * margin) : static_cast<float>(margin);
    layout.textWidth = static_cast<float>(width) - layout.textX - margin;
    return layout;
}

AlertLayout LayOutAlert(int width, int iconWidth, int iconHeight, float textHeight, SIZE confirmButton,
                        SIZE secondButton, bool twoButtons, const DpiScale& scale, int mostHeight) {
    const int margin = scale.Px(kMargin), gap = scale.Px(kButtonGap);
    AlertLayout layout = AlertTextBox(width, iconWidth, scale);
    const int chrome = scale.Px(kTitleBarHeight) + margin + gap + confirmButton.cy;
    float body = std::max(static_cast<float>(iconHeight), textHeight);
    if (mostHeight > 0 && chrome + body > mostHeight) {
        body = static_cast<float>(std::max(mostHeight - chrome, iconHeight));
        layout.cut = textHeight > body;
    }
    layout.textHeight = std::min(textHeight, body);
    layout.textTop = static_cast<float>(scale.Px(kTitleBarHeight) + margin / 2);
    layout.height = static_cast<int>(scale.Px(kTitleBarHeight) + body + margin + gap + confirmButton.cy);
    const int buttonsTop = layout.height - gap - confirmButton.cy;
    layout.secondButton = {width - gap - secondButton.cx, buttonsTop};
    const int rightEnd = twoButtons ? layout.secondButton.x : width;
    layout.confirmButton = {rightEnd - gap - confirmButton.cx, buttonsTop};
    return layout;
}
