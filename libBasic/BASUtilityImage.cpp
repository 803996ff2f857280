#include "GdiplusInclude.h"

#include "BASUtility.h"

Gdiplus::Bitmap* BASUtilityImage::ConvertToGray(Gdiplus::Bitmap* source) {
    if (!source || source->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const UINT width = source->GetWidth();
    const UINT height = source->GetHeight();
    auto* gray = new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB);
    if (gray->GetLastStatus() != Gdiplus::Ok) {
        delete gray;
        return nullptr;
    }
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData in{}, out{};
    if (source->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &in) != Gdiplus::Ok) {
        delete gray;
        return nullptr;
    }
    gray->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &out);
    for (UINT y = 0; y < height; ++y) {
        auto* from = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(in.Scan0) + y * in.Stride);
        auto* to = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(out.Scan0) + y * out.Stride);
        for (UINT x = 0; x < width; ++x) {
            uint32_t p = from[x];
            // Rec. 601 luma in fixed point: 0.299 R + 0.587 G + 0.114 B.
            uint32_t luma = ((p >> 16 & 0xFF) * 77 + (p >> 8 & 0xFF) * 150 + (p & 0xFF) * 29) >> 8;
            to[x] = (p & 0xFF000000) | luma << 16 | luma << 8 | luma;
        }
    }
    gray->UnlockBits(&out);
    source->UnlockBits(&in);
    return gray;
}
