// Owners of GDI handles and device contexts, and the double buffer.
#include <gtest/gtest.h>

#include <windows.h>

#include "double_buffer.h"
#include "gdi_owners.h"
#include "gdiplus_session.h"
#include "GdiplusInclude.h"

namespace {

// GetObjectType answers 0 for a handle that no longer names an object. It is
// asked before anything new is created, so the value cannot have been reused.
template <typename Handle>
void ExpectDeletedWithItsOwner(Handle handle) {
    ASSERT_NE(handle, nullptr);
    {
        UniqueGdiObject<Handle> owner(handle);
        EXPECT_NE(GetObjectType(handle), 0u);
    }
    EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST(GdiOwners, DeleteTheirObjectWhenTheyGo) {
    ExpectDeletedWithItsOwner(CreateSolidBrush(RGB(1, 2, 3)));
    ExpectDeletedWithItsOwner(CreatePen(PS_SOLID, 4, RGB(200, 200, 200)));
    ExpectDeletedWithItsOwner(CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    ExpectDeletedWithItsOwner(CreateBitmap(4, 4, 1, 32, nullptr));
    ExpectDeletedWithItsOwner(CreateRoundRectRgn(0, 0, 50, 50, 8, 8));
}

TEST(GdiOwners, ProcessGdiObjectCountReturnsAfterManyOwners) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before == 0) GTEST_SKIP() << "GetGuiResources reports no GDI objects here (Wine); DeleteTheirObjectWhenTheyGo covers the release";
    for (int i = 0; i < 200; ++i) {
        UniqueBrush brush(CreateSolidBrush(RGB(i, 0, 0)));
        UniquePen pen(CreatePen(PS_SOLID, 1, RGB(0, i, 0)));
        UniqueRegion region(CreateRectRgn(0, 0, i + 1, i + 1));
    }
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST(GdiOwners, MoveLeavesExactlyOneOwner) {
    HBRUSH handle = CreateSolidBrush(RGB(9, 9, 9));
    UniqueBrush target;
    {
        UniqueBrush source(handle);
        target = std::move(source);
        EXPECT_EQ(source.get(), nullptr);
    }
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH)) << "the moved-from owner deleted it";
    target.reset();
    EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST(ScopedSelectObject, PutsThePreviousObjectBack) {
    MemoryDC dc(nullptr);
    ASSERT_TRUE(dc);
    UniquePen first(CreatePen(PS_SOLID, 1, RGB(1, 1, 1)));
    UniquePen second(CreatePen(PS_SOLID, 1, RGB(2, 2, 2)));
    HGDIOBJ original = SelectObject(dc.get(), first.get());
    {
        ScopedSelectObject select(dc.get(), second.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), second.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), first.get());
    SelectObject(dc.get(), original);  // the pens may be deleted only when no DC holds them
}

class DoubleBufferTest : public testing::Test {
protected:
    void SetUp() override {
        WindowDC screen(nullptr);
        target_ = MemoryDC(screen.get());
        bitmap_.reset(CreateCompatibleBitmap(screen.get(), 40, 40));
        original_ = SelectObject(target_.get(), bitmap_.get());
        RECT all{0, 0, 40, 40};
        FillRect(target_.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    void TearDown() override { SelectObject(target_.get(), original_); }
    COLORREF Pixel(int x, int y) { return GetPixel(target_.get(), x, y); }

    MemoryDC target_;
    UniqueBitmap bitmap_;
    HGDIOBJ original_ = nullptr;
    UniqueBrush red_{CreateSolidBrush(RGB(255, 0, 0))};
};

TEST_F(DoubleBufferTest, TargetChangesOnlyWhenTheBufferGoes) {
    const RECT area{10, 10, 30, 30};
    {
        DoubleBuffer buffer(target_.get(), area);
        ASSERT_TRUE(buffer.IsBuffered());
        FillRect(buffer.get(), &area, red_.get());  // in the target's coordinates
        EXPECT_EQ(Pixel(15, 15), RGB(255, 255, 255)) << "drawing went straight to the target";
    }
    EXPECT_EQ(Pixel(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(Pixel(29, 29), RGB(255, 0, 0));
    EXPECT_EQ(Pixel(9, 9), RGB(255, 255, 255)) << "the copy must land on the area, not the origin";
    EXPECT_EQ(Pixel(30, 30), RGB(255, 255, 255));
}

TEST_F(DoubleBufferTest, GdiplusDrawsInTheTargetsCoordinatesToo) {
    GdiplusSession session;
    ASSERT_TRUE(session.IsStarted());
    {
        DoubleBuffer buffer(target_.get(), RECT{10, 10, 30, 30});
        Gdiplus::Graphics graphics(buffer.get());
        Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
        graphics.FillRectangle(&red, 20, 20, 5, 5);
    }
    EXPECT_EQ(Pixel(22, 22), RGB(255, 0, 0)) << "GDI+ ignored the buffer's shift";
}

}  // namespace
