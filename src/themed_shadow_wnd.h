// A soft drop shadow for a borderless window: a layered, click-through,
// never-activated top-level window of the owner's size, size pixels down and
// to the right, directly below the owner, painted with a per-pixel-alpha
// gradient. It follows its owner by watching the owner's messages through a
// subclass hook, so the owner only creates it; it goes when the owner is
// destroyed.
#pragma once

#include <windows.h>

#include "gdi_owners.h"
#include "subclass.h"
#include "window_base.h"

class CThemedShadowWnd : public WindowBase {
public:
    CThemedShadowWnd() = default;
    ~CThemedShadowWnd() override;

    // Creates the shadow for owner (empty until the owner's next move, size
    // or activation) and starts following it. False when it cannot be made:
    // the owner then simply has no shadow.
    bool Create(HWND owner);
    // The offset and the outline's corner diameter, both in pixels of the
    // owner's display; a change is drawn at the next placement.
    void SetShadowSize(int size, int cornerDiameter = 20) {
        needsRendering_ = needsRendering_ || size != size_ || cornerDiameter != cornerDiameter_;
        size_ = size;
        cornerDiameter_ = cornerDiameter;
    }
    // Takes its place below an owner that is already shown, without waiting
    // for the owner's next move, size or activation.
    void PlaceNow();
    int ShadowSize() const { return size_; }

    BEGIN_MSG_MAP(CThemedShadowWnd)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_SIZE(OnSize)
    MSG_WM_DESTROY(OnDestroy)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override;

private:
    int OnCreate(CREATESTRUCTW* create);
    void OnSize(UINT type, SIZE size);
    void OnDestroy() {}  // the shadow goes with its owner, never on its own

    // Sees each of the owner's messages before the owner does and lets every
    // one go on.
    class OwnerWatch final : public SubclassedWindow {
    public:
        explicit OwnerWatch(CThemedShadowWnd& shadow) : shadow_(shadow) {}
        bool ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT&) override {
            shadow_.FollowOwner(message, wParam);
            return false;
        }

    private:
        CThemedShadowWnd& shadow_;
    };

    void FollowOwner(UINT message, WPARAM wParam);
    void Place();
    void Render();
    void ReleaseOwner();

    HWND owner_ = nullptr;
    OwnerWatch ownerWatch_{*this};
    int size_ = 5;
    int inset_ = 1;
    int cornerDiameter_ = 20;  // quarter arcs of the rounded outline
    RECT client_{};
    bool needsRendering_ = false;
    SIZE rendered_{};  // the client size of the last rendering
    UniqueBitmap bitmapHandle_;
};
