#include "raw_picture.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "GdiplusInclude.h"
#include "UniqueResource.h"
#include "Utf8.h"
#include "common/logging.h"

namespace {

constexpr char kMagic[4] = {'B', 'G', 'R', 'A'};
constexpr int kBytesPerPixel = 4;

uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The whole file, or nothing when it cannot be read.
std::optional<std::vector<unsigned char>> ReadWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// A bitmap of GDI+'s own memory with the pixels copied in row by row.
std::unique_ptr<Gdiplus::Bitmap> BitmapOfPixels(const unsigned char* pixels, RawPictureSize size) {
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(size.width, size.height, PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Rect whole(0, 0, size.width, size.height);
    Gdiplus::BitmapData locked{};
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &locked) != Gdiplus::Ok)
        return nullptr;
    const size_t rowBytes = static_cast<size_t>(size.width) * kBytesPerPixel;
    for (int row = 0; row < size.height; ++row)
        std::memcpy(static_cast<unsigned char*>(locked.Scan0) + static_cast<ptrdiff_t>(row) * locked.Stride,
                    pixels + row * rowBytes, rowBytes);
    bitmap->UnlockBits(&locked);
    return bitmap;
}

}  // namespace

std::string RawPictureName(const std::string& pictureName) {
    const size_t dot = pictureName.rfind('.');
    const size_t slash = pictureName.find_last_of("\\/");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? pictureName.substr(0, dot) : pictureName) + ".bgra";
}

std::optional<RawPictureSize> ReadRawPictureHeader(const unsigned char* bytes, size_t size) {
    if (!bytes || size < kRawPictureHeaderBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return std::nullopt;
    const uint32_t width = LittleEndian32(bytes + 4);
    const uint32_t height = LittleEndian32(bytes + 8);
    if (width < 1 || height < 1 || width > kLargestRawPictureSide || height > kLargestRawPictureSide)
        return std::nullopt;
    if (size - kRawPictureHeaderBytes != static_cast<size_t>(width) * height * kBytesPerPixel) return std::nullopt;
    return RawPictureSize{static_cast<int>(width), static_cast<int>(height)};
}

Gdiplus::Bitmap* LoadRawPicture(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    const std::optional<std::vector<unsigned char>> bytes = ReadWholeFile(path);
    const std::optional<RawPictureSize> size =
        bytes ? ReadRawPictureHeader(bytes->data(), bytes->size()) : std::nullopt;
    if (!size) {
        LOG(ERROR) << "Picture " << ToUtf8(path) << " is not a readable raw picture";
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapOfPixels(bytes->data() + kRawPictureHeaderBytes, *size);
    if (!bitmap) LOG(ERROR) << "Picture " << ToUtf8(path) << ": GDI+ could not make its bitmap";
    return bitmap.release();
}
