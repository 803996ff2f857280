#include "plugin_image_check.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kPeOffsetField = 0x3c;   // e_lfanew in the MZ header
constexpr size_t kFileHeaderSize = 20;    // IMAGE_FILE_HEADER
constexpr uint16_t kMachineI386 = 0x14c;  // IMAGE_FILE_MACHINE_I386
constexpr uint16_t kFlagDll = 0x2000;     // IMAGE_FILE_DLL
constexpr size_t kCharacteristicsField = 18;

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const unsigned char* p) { return Read16(p) | static_cast<uint32_t>(Read16(p + 2)) << 16; }

}  // namespace

std::string CheckPluginImage(const unsigned char* head, size_t size) {
    if (!head || size < kPeOffsetField + 4 || head[0] != 'M' || head[1] != 'Z')
        return "not an executable image (no MZ header)";
    const uint32_t peOffset = Read32(head + kPeOffsetField);
    if (peOffset > size || size - peOffset < 4 + kFileHeaderSize) return "the PE header is missing or truncated";
    const unsigned char* pe = head + peOffset;
    if (std::memcmp(pe, "PE\0\0", 4) != 0) return "no PE signature";
    const unsigned char* fileHeader = pe + 4;
    if (Read16(fileHeader) != kMachineI386) return "not built for 32-bit x86";
    if (!(Read16(fileHeader + kCharacteristicsField) & kFlagDll)) return "not a DLL";
    return {};
}
