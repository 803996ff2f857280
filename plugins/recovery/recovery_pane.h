// A recovery pane: what to recover from, how to connect it, and the scan's
// starting point. One pane per create command: the phone, and the memory
// card when the host asks a second time.
#pragma once

#include <windows.h>

#include <string>

#include "plugin_window.h"

namespace recovery {

enum class Medium { Phone, Card };

class RecoveryPane : public plugin::ChildWindow {
public:
    explicit RecoveryPane(Medium medium) : medium_(medium) {}

protected:
    void Paint(Gdiplus::Graphics& graphics, int width, int height) override;
    void Press(POINT point) override;
    void Hover(POINT point) override;

private:
    enum class Button { None, Scan, Help };

    struct Layout {
        RECT illustration;
        int contentLeft;
        int contentRight;
        RECT scan;
        RECT help;
        RECT status;
    };
    Layout LayOut() const;
    Button ButtonAt(POINT point) const;
    void PaintIllustration(Gdiplus::Graphics& graphics, const RECT& box) const;
    void PaintSteps(Gdiplus::Graphics& graphics, const Layout& layout) const;

    Medium medium_;
    Button hot_ = Button::None;
    std::wstring status_;
};

}  // namespace recovery
