// Pictures in the raw form that the build converts the rendered drawings to
// ("<name>.bgra" beside "<name>.png"): a 12-byte header, "BGRA" and the
// width and height as little-endian 32-bit numbers, then the rows from the
// top, four bytes a pixel in GDI+'s 32bppARGB order (blue, green, red,
// alpha; alpha not multiplied in). GDI+ takes those pixels as they are, so a
// picture needs none of the system's image codecs, whose libraries cost a
// first PNG decode tens of milliseconds at start-up; the pixels are the
// ones the PNG decodes to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace Gdiplus {
class Bitmap;
}

struct RawPictureSize {
    int width = 0;
    int height = 0;
};

// Larger sides are refused: no picture of the host comes near, and the
// pixel count of a refused header could overflow.
constexpr int kLargestRawPictureSide = 4096;
constexpr size_t kRawPictureHeaderBytes = 12;

// The raw file of a picture: its name with ".bgra" for its extension
// ("alert@2x.png" -> "alert@2x.bgra"), or appended when it has none.
std::string RawPictureName(const std::string& pictureName);

// The size a raw file of size bytes announces, when its header is whole, its
// sides lie within 1 and kLargestRawPictureSide and the pixels that follow
// fill the file exactly; none otherwise.
std::optional<RawPictureSize> ReadRawPictureHeader(const unsigned char* bytes, size_t size);

// The bitmap of the raw file at path, owned by the caller; null when the file
// is missing, unreadable or not a raw picture (logged unless missing).
Gdiplus::Bitmap* LoadRawPicture(const std::wstring& path);
