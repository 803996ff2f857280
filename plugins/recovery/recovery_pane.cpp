#include "recovery_pane.h"

#include <algorithm>
#include <iterator>

#include "drawing.h"
#include "plugin_bus.h"
#include "scan.h"

namespace recovery {
namespace {

using plugin::Rgb;
using plugin::ToRectF;
namespace palette = plugin::palette;

// Everything a pane says about its medium.
struct MediumText {
    const wchar_t* heading;
    const wchar_t* description;
    const wchar_t* steps[3];
    const wchar_t* help;
    const char* helpUrlKey;  // a key of the host's URL table
    const wchar_t* badge;
    const wchar_t* question;  // asked before a scan starts
    const wchar_t* busy;      // said when a scan is still running
    ScanItem items[10];       // what a scan goes through
};

const MediumText kPhone = {
    L"Connect your Android phone",
    L"Recover deleted messages, contacts and call logs straight from the phone. Connect it with a USB cable to begin.",
    {L"Connect the phone to this computer with its USB cable.",
     L"Turn on USB debugging in the phone's developer options.",
     L"Tap \"Allow\" when the phone asks whether to trust this computer."},
    L"Phone not recognized?",
    "url:android:not:recognize:support",
    L"No device connected",
    L"Scan the phone for deleted messages, contacts and call logs now?",
    L"A scan is still running. Wait for it to end or cancel it first.",
    {{L"Messages", true},
     {L"Contacts", true},
     {L"Call logs", false},
     {L"WhatsApp chats", true},
     {L"Photos", true},
     {L"Voice notes", false},
     {L"Calendar", true},
     {L"Notes", true},
     {L"Browser bookmarks", false},
     {L"Documents", true}},
};

const MediumText kCard = {
    L"Insert your memory card",
    L"Recover photos, videos and documents from an SD card. Put the card into a card reader attached to this "
    L"computer.",
    {L"Put the memory card into a card reader.", L"Attach the reader to this computer.",
     L"Choose the card when it appears and start the scan."},
    L"What is an SD card?",
    "url:what_is_sdcard",
    L"No card attached",
    L"Scan the memory card for deleted photos, videos and documents now?",
    L"A scan is still running. Wait for it to end or cancel it first.",
    {{L"DCIM", true},
     {L"Pictures", true},
     {L"Movies", false},
     {L"Music", true},
     {L"Download", true},
     {L"Documents", false},
     {L"Android data", true},
     {L"Recordings", true},
     {L"Lost files", false},
     {L"Free space", true}},
};

const MediumText& TextOf(Medium medium) { return medium == Medium::Phone ? kPhone : kCard; }

constexpr int kMargin = 32;
constexpr int kIllustrationWidth = 260;
constexpr int kStepsTop = 160;
constexpr int kStepHeight = 44;
constexpr int kDialogWidth = 400;  // client width of the host's question and notices

void PaintPhone(Gdiplus::Graphics& graphics, float cx, float cy) {
    const Gdiplus::RectF body(cx - 55, cy - 110, 110, 190);
    Gdiplus::SolidBrush fill(Rgb(palette::kPaneBackground));
    plugin::FillRoundRect(graphics, fill, body, 14);
    Gdiplus::Pen outline(Rgb(palette::kDisabled), 3);
    plugin::DrawRoundRect(graphics, outline, body, 14);
    Gdiplus::SolidBrush screen(Rgb(0xE4EBF3));
    graphics.FillRectangle(&screen, body.X + 10, body.Y + 22, body.Width - 20, body.Height - 52);
    graphics.DrawEllipse(&outline, cx - 7, body.GetBottom() - 24, 14.0f, 14.0f);
}

void PaintCard(Gdiplus::Graphics& graphics, float cx, float cy) {
    const float left = cx - 50, top = cy - 90, right = cx + 50, bottom = cy + 60;
    Gdiplus::PointF outline[] = {{left + 30, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top + 30}};
    Gdiplus::SolidBrush fill(Rgb(palette::kPaneBackground));
    graphics.FillPolygon(&fill, outline, 5);
    Gdiplus::Pen pen(Rgb(palette::kDisabled), 3);
    graphics.DrawPolygon(&pen, outline, 5);
    Gdiplus::SolidBrush contacts(Rgb(0xE8B84A));
    for (int i = 0; i < 4; ++i) graphics.FillRectangle(&contacts, left + 36 + i * 14.0f, top + 12, 8.0f, 24.0f);
}

}  // namespace

RecoveryPane::Layout RecoveryPane::LayOut() const {
    const RECT client = LogicalClient();
    Layout layout{};
    layout.illustration = {kMargin, kMargin, kMargin + kIllustrationWidth,
                           std::max<LONG>(client.bottom - kMargin, kMargin + 300)};
    layout.contentLeft = layout.illustration.right + 40;
    layout.contentRight = std::max<int>(client.right - 40, layout.contentLeft + 200);
    const int buttonsTop = kStepsTop + 3 * kStepHeight + 16;
    layout.scan = {layout.contentLeft, buttonsTop, layout.contentLeft + 150, buttonsTop + 40};
    layout.help = {layout.scan.right + 16, buttonsTop, layout.scan.right + 16 + 210, buttonsTop + 40};
    return layout;
}

RecoveryPane::Button RecoveryPane::ButtonAt(POINT point) const {
    const Layout layout = LayOut();
    if (plugin::Contains(layout.scan, point)) return Button::Scan;
    if (plugin::Contains(layout.help, point)) return Button::Help;
    return Button::None;
}

void RecoveryPane::Paint(Gdiplus::Graphics& graphics, int width, int height) {
    graphics.Clear(Rgb(palette::kPaneBackground));
    const Layout layout = LayOut();
    const MediumText& text = TextOf(medium_);
    const float left = static_cast<float>(layout.contentLeft);
    const float textWidth = static_cast<float>(layout.contentRight - layout.contentLeft);

    PaintIllustration(graphics, layout.illustration);
    plugin::DrawText(graphics, text.heading, {left, 44, textWidth, 34},
                     {.size = 22.0f, .bold = true, .color = palette::kHeading, .wrap = false});
    plugin::DrawText(graphics, text.description, {left, 86, textWidth, 60}, {.size = 14.0f});
    PaintSteps(graphics, layout);
    plugin::DrawButton(graphics, ToRectF(layout.scan), L"Start Scan", plugin::ButtonKind::Primary,
                       hot_ == Button::Scan);
    plugin::DrawButton(graphics, ToRectF(layout.help), text.help, plugin::ButtonKind::Secondary, hot_ == Button::Help);
}

void RecoveryPane::PaintIllustration(Gdiplus::Graphics& graphics, const RECT& box) const {
    Gdiplus::SolidBrush panel(Rgb(palette::kPanel));
    plugin::FillRoundRect(graphics, panel, ToRectF(box), 8);
    const float cx = (box.left + box.right) / 2.0f, cy = (box.top + box.bottom) / 2.0f - 20;
    if (medium_ == Medium::Phone) PaintPhone(graphics, cx, cy);
    else PaintCard(graphics, cx, cy);
    const Gdiplus::RectF badge(cx - 80, cy + 100, 160, 28);
    Gdiplus::SolidBrush badgeFill(Rgb(0xFFF4E5));
    plugin::FillRoundRect(graphics, badgeFill, badge, 14);
    plugin::DrawText(graphics, TextOf(medium_).badge, badge,
                     {.size = 12.0f,
                      .bold = true,
                      .color = palette::kWarning,
                      .horizontal = Gdiplus::StringAlignmentCenter,
                      .vertical = Gdiplus::StringAlignmentCenter,
                      .wrap = false});
}

void RecoveryPane::PaintSteps(Gdiplus::Graphics& graphics, const Layout& layout) const {
    Gdiplus::SolidBrush circle(Rgb(palette::kAccent));
    for (int i = 0; i < 3; ++i) {
        const float top = static_cast<float>(kStepsTop + i * kStepHeight);
        const Gdiplus::RectF number(static_cast<float>(layout.contentLeft), top, 26, 26);
        graphics.FillEllipse(&circle, number);
        const std::wstring digit = std::to_wstring(i + 1);
        plugin::DrawText(graphics, digit.c_str(), number,
                         {.size = 13.0f,
                          .bold = true,
                          .color = 0xFFFFFF,
                          .horizontal = Gdiplus::StringAlignmentCenter,
                          .vertical = Gdiplus::StringAlignmentCenter,
                          .wrap = false});
        const Gdiplus::RectF line(number.GetRight() + 14, top + 3, layout.contentRight - number.GetRight() - 14, 40);
        plugin::DrawText(graphics, TextOf(medium_).steps[i], line, {.size = 14.0f, .color = palette::kHeading});
    }
}

void RecoveryPane::Press(POINT point) {
    switch (ButtonAt(point)) {
    case Button::Scan: StartScanIfConfirmed(); break;
    case Button::Help: plugin::OpenHostUrl(TextOf(medium_).helpUrlKey); break;
    case Button::None: break;
    }
}

// The question runs modally inside the send; the scan then runs on a thread
// of its own, so this pane's thread stays free while the dialog shows it.
void RecoveryPane::StartScanIfConfirmed() {
    const MediumText& text = TextOf(medium_);
    if (!plugin::AskConfirmation(text.question, kDialogWidth)) return;
    if (!StartScan(text.items, static_cast<int>(std::size(text.items)))) plugin::ShowAlert(text.busy, kDialogWidth);
}

void RecoveryPane::Hover(POINT point) {
    const Button hot = point.x < 0 ? Button::None : ButtonAt(point);
    if (hot == hot_) return;
    hot_ = hot;
    Redraw();
}

}  // namespace recovery
