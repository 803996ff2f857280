// The raw pictures that the host reads instead of decoding PNGs: the header's
// checks, the pictures the build made (each must be its PNG's pixels, as
// GDI+ decodes them), and LoadPicture's choice between the two.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GdiplusInclude.h"
#include "Utf8.h"
#include "gdiplus_session.h"
#include "raw_picture.h"
#include "settings_catalog.h"
#include "test_files.h"

namespace {

std::string RawFile(uint32_t width, uint32_t height, size_t pixelBytes, const char* magic = "BGRA") {
    std::string bytes(magic, 4);
    for (uint32_t side : {width, height})
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(side >> shift & 0xFF);
    bytes.append(pixelBytes, '\x7F');
    return bytes;
}

std::optional<RawPictureSize> Header(const std::string& bytes) {
    return ReadRawPictureHeader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// The bitmap's pixels as 32bppARGB rows, and its size.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
};

Pixels PixelsOf(Gdiplus::Bitmap& bitmap) {
    Pixels pixels{static_cast<int>(bitmap.GetWidth()), static_cast<int>(bitmap.GetHeight()), {}};
    Gdiplus::Rect whole(0, 0, pixels.width, pixels.height);
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return {};
    for (int row = 0; row < pixels.height; ++row) {
        const auto* line = reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) + row * data.Stride);
        pixels.argb.insert(pixels.argb.end(), line, line + pixels.width);
    }
    bitmap.UnlockBits(&data);
    return pixels;
}

TEST(RawPicture, TheHeaderGivesTheSizeOnlyWhenThePixelsFillTheFileExactly) {
    const std::optional<RawPictureSize> size = Header(RawFile(3, 2, 24));
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->width, 3);
    EXPECT_EQ(size->height, 2) << "width and height were swapped";
    EXPECT_FALSE(Header(RawFile(3, 2, 23))) << "a file short of one byte";
    EXPECT_FALSE(Header(RawFile(3, 2, 25))) << "a file with a byte too many";
    EXPECT_FALSE(Header(RawFile(3, 2, 24, "RGBA"))) << "another magic";
    EXPECT_FALSE(Header(RawFile(0, 2, 0)));
    EXPECT_FALSE(Header(RawFile(3, 0, 0)));
    EXPECT_TRUE(Header(RawFile(kLargestRawPictureSide, 1, kLargestRawPictureSide * 4)));
    EXPECT_FALSE(Header(RawFile(kLargestRawPictureSide + 1, 1, (kLargestRawPictureSide + 1) * 4)));
    EXPECT_FALSE(Header(RawFile(3, 2, 24).substr(0, 11))) << "a header cut short";
    EXPECT_FALSE(ReadRawPictureHeader(nullptr, 0));

    EXPECT_EQ(RawPictureName("close-normal@1.5x.png"), "close-normal@1.5x.bgra");
    EXPECT_EQ(RawPictureName("alert"), "alert.bgra");
    EXPECT_EQ(RawPictureName("v1.0\\alert"), "v1.0\\alert.bgra") << "a dot of a folder is no extension";
}

// Channel order, rows from the top, alpha not multiplied in: any slip in the
// build's conversion shows as pixels that differ from the PNG's.
TEST(RawPicture, EachPictureTheBuildMadeHasItsPngsPixels) {
    GdiplusSession gdiplus;
    const std::wstring resources = EnvironmentText(L"LUMAREST_INSTALL_TREE") + L"Resources";
    std::vector<std::wstring> pngs = EntriesOf(resources);
    std::erase_if(pngs, [](const std::wstring& name) { return !name.ends_with(L".png"); });
    ASSERT_GE(pngs.size(), 24u) << "eight drawings at three scales";
    for (const std::wstring& png : pngs) {
        SCOPED_TRACE(ToUtf8(png));
        Gdiplus::Bitmap decoded((resources + L"\\" + png).c_str());
        ASSERT_EQ(decoded.GetLastStatus(), Gdiplus::Ok);
        std::unique_ptr<Gdiplus::Bitmap> raw(LoadRawPicture(resources + L"\\" + FromUtf8(RawPictureName(ToUtf8(png)))));
        ASSERT_NE(raw, nullptr) << "no raw picture beside the PNG";
        const Pixels expected = PixelsOf(decoded), actual = PixelsOf(*raw);
        ASSERT_EQ(actual.width, expected.width);
        ASSERT_EQ(actual.height, expected.height);
        ASSERT_FALSE(expected.argb.empty());
        EXPECT_EQ(actual.argb, expected.argb);
    }
}

// The raw pixels win; a raw file that is not one gives way to the PNG, and
// with neither the bitmap is in an error state.
TEST(RawPicture, LoadPictureTakesTheRawPixelsElseDecodesThePng) {
    GdiplusSession gdiplus;
    const std::wstring resources = EnvironmentText(L"LUMAREST_INSTALL_TREE") + L"Resources\\";
    TempFolder install;
    ASSERT_TRUE(CreateDirectoryW((install.Path() + L"\\Resources").c_str(), nullptr));
    const std::wstring installDir = install.Path() + L"\\";
    std::string pixels = RawFile(2, 1, 0);
    pixels += std::string("\x01\x02\x03\xFF\x04\x05\x06\x80", 8);
    install.Write(L"Resources\\only-raw.bgra", pixels);
    std::unique_ptr<Gdiplus::Bitmap> onlyRaw(LoadPicture(installDir, "only-raw.png"));
    ASSERT_EQ(onlyRaw->GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(PixelsOf(*onlyRaw).argb, (std::vector<uint32_t>{0xFF030201, 0x80060504}));

    CopyFileW((resources + L"alert.png").c_str(), (installDir + L"Resources\\alert.png").c_str(), FALSE);
    install.Write(L"Resources\\alert.bgra", RawFile(2, 1, 7));
    std::unique_ptr<Gdiplus::Bitmap> fallback(LoadPicture(installDir, "alert.png"));
    ASSERT_EQ(fallback->GetLastStatus(), Gdiplus::Ok) << "a broken raw file hid the PNG";
    EXPECT_EQ(fallback->GetWidth(), 48u);

    std::unique_ptr<Gdiplus::Bitmap> missing(LoadPicture(installDir, "absent.png"));
    EXPECT_NE(missing->GetLastStatus(), Gdiplus::Ok);
}

// The pictures are decoded on a worker: a look-up right after its start
// waits for the last of them instead of finding a table still filling.
TEST(RawPicture, ALookUpWaitsForThePicturesDecodedInTheBackground) {
    GdiplusSession gdiplus;
    PreloadImagesInBackground(EnvironmentText(L"LUMAREST_INSTALL_TREE"));
    Gdiplus::Bitmap* last = FindNamedImage("multi-toolbox@2x.png");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetLastStatus(), Gdiplus::Ok);
    EXPECT_TRUE(WaitForPreloadedImages());
    // Taken out of the table again before GDI+ ends under them.
    for (const char* name : kPreloadedImages)
        for (int scale : {100, 150, 200}) {
            const std::string key = ScaledPictureName(name, scale);
            delete FindNamedImage(key.c_str());
            SetNamedImage(key.c_str(), nullptr);
        }
}

}  // namespace
