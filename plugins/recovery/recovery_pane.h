// A recovery pane: what to recover from, how to connect it, and the "Start
// Scan" button that asks the host for a confirmation and then runs a scan
// shown in the host's progress dialog. One pane per create command: the phone, and the memory
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
    };
    Layout LayOut() const;
    Button ButtonAt(POINT point) const;
    void PaintIllustration(Gdiplus::Graphics& graphics, const RECT& box) const;
    void PaintSteps(Gdiplus::Graphics& graphics, const Layout& layout) const;
    void StartScanIfConfirmed();

    Medium medium_;
    Button hot_ = Button::None;
};

}  // namespace recovery
