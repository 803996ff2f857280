// Tells a 32-bit x86 DLL apart from any other file before it is loaded, from
// the first bytes of the file alone.
#pragma once

#include <cstddef>
#include <string>

// The number of leading bytes the check needs for any DLL whose PE header
// starts in the first 4 KiB, which covers what linkers write.
constexpr size_t kPluginImageHeadSize = 4096;

// Empty when head (the file's first bytes, or all of a shorter file) is a
// 32-bit x86 DLL: the "MZ" stub, the "PE\0\0" signature where the stub points,
// machine 0x14c and the DLL flag in the file header. Otherwise the reason.
std::string CheckPluginImage(const unsigned char* head, size_t size);
