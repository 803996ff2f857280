#include "shared_dialogs.h"

#include "ui/ui_progress_dialog.h"
#include "ui/ui_sheet_dialog.h"
#include "ui/ui_update_download_dialog.h"
#include "ui/ui_update_list_dialog.h"

namespace {

constexpr int kSheetTopOffset = 32;
constexpr int kProgressWidth = 500;
constexpr int kProgressHeight = 150;
constexpr int kUpdateListWidth = 500;
constexpr int kUpdateListHeight = 360;

}  // namespace

SharedDialogs::SharedDialogs(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : sheet_(std::make_unique<UiSheetDialog>(closeImage, closePressedImage)),
      progress_(std::make_unique<UiProgressDialog>(closeImage, closePressedImage)),
      download_(std::make_unique<UiUpdateDownloadDialog>(closeImage, closePressedImage)),
      updateList_(std::make_unique<UiUpdateListDialog>(closeImage, closePressedImage)) {
    sheet_->SetTopOffset(kSheetTopOffset);
    download_->SetShowFolderButton(false);
}

SharedDialogs::~SharedDialogs() = default;

// A dialog is created once: its parent is set from then on, also when its
// window could not be made (it then never shows, as the callers expect).
bool SharedDialogs::Made(UiDialog& dialog, int width, int height) {
    if (!parent_) return false;
    if (!dialog.ParentWindow()) dialog.Create(parent_, width, height);
    return true;
}

// The sheet spans the view as it is when the sheet is first needed.
UiSheetDialog* SharedDialogs::Sheet() {
    RECT client{};
    if (!sheet_->ParentWindow() && parent_) GetClientRect(parent_, &client);
    return Made(*sheet_, client.right, client.bottom) ? sheet_.get() : nullptr;
}

UiProgressDialog* SharedDialogs::Progress() {
    return Made(*progress_, kProgressWidth, kProgressHeight) ? progress_.get() : nullptr;
}

UiUpdateDownloadDialog* SharedDialogs::Download() {
    return Made(*download_, kProgressWidth, kProgressHeight) ? download_.get() : nullptr;
}

UiUpdateListDialog* SharedDialogs::UpdateList() {
    return Made(*updateList_, kUpdateListWidth, kUpdateListHeight) ? updateList_.get() : nullptr;
}

void SharedDialogs::FrameMoved(int dx, int dy) {
    if (sheet_->Handle()) sheet_->MoveBy(dx, dy);
}

void SharedDialogs::FollowDpi(int dpi) {
    for (UiDialog* dialog :
         std::initializer_list<UiDialog*>{download_.get(), sheet_.get(), updateList_.get(), progress_.get()})
        dialog->FollowDpi(dpi);
}

void SharedDialogs::ViewSized() {
    if (sheet_->Handle()) sheet_->Realign();
}
