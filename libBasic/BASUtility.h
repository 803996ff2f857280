// libBasic: the small utility library the host calls for strings, folders,
// fonts, shell opening and files. Every string it returns is a new C-heap
// block; release it with BASUtilityString::Free (or free() from msvcrt).
#pragma once

#include <windows.h>

#include <cstdint>

namespace Gdiplus {
class Bitmap;
}

class BASUtilityString {
public:
    static wchar_t* ConvertUtf8ToUnicode(const char* text);
    static char* ConvertUnicodeToUtf8(const wchar_t* text);
    // The result is in the system's ANSI code page; characters it lacks become '?'.
    static char* ConvertUtf8ToAnsi(const char* text);
    static wchar_t* Format(const wchar_t* format, ...);
    // Compares dotted versions field by field, numerically and with no limit
    // on a field's length; missing fields count as 0, so 1.0 equals 1.0.0.
    // Returns -1, 0 or 1.
    static int CompareVersion(const char* first, const char* second);
    static void Free(void* block);
};

class BASUtilityApp {
public:
    static wchar_t* GetAppModule();
    // The installation folder is the executable's folder; the plug-ins live
    // in its "Plugins\" subfolder. Each ends in a backslash. Only tests that
    // run inside one process point them elsewhere, with SetProductDirOverrides;
    // a real run always takes them from the program's own location.
    static wchar_t* GetProductInstallDir();
    static wchar_t* GetProductBinDir();
    static wchar_t* GetProductPluginsDir();
    static void SetProductDirOverrides(const wchar_t* installDir, const wchar_t* pluginsDir);

    // A new font; the caller deletes it. A face the system lacks falls back
    // to the generic sans-serif family.
    static HFONT GetFont(int pixelSize, bool bold, const wchar_t* faceName);
    static bool OpenUrl(const char* url);
    static bool OpenFolder(const wchar_t* folder);
};

class BASUtilitySys {
public:
    static wchar_t* GetAppDataDir();
    // Writes the local time formatted with strftime into buffer (always
    // terminated when size > 0).
    static void GetNowDateTime(char* buffer, size_t size, const char* format);
};

class BASUtilityFile {
public:
    static bool IsFileExist(const wchar_t* path);
    // Creates folder and each missing folder above it; true when the folder
    // is there afterwards. The shell's SHCreateDirectoryExW would also tell
    // every shell window about each new folder, which costs milliseconds.
    static bool CreateFolderTree(const wchar_t* folder);
    // "512 B", "1.5 KB", "2.25 MB", "1.01 GB": binary units, up to two decimals.
    static wchar_t* ZLGetFormatSizeFromBytes(uint64_t bytes);
};

class BASUtilityImage {
public:
    // A new 32-bit bitmap with every pixel turned to its luminance; alpha is
    // kept. Null when the source is null or unreadable.
    static Gdiplus::Bitmap* ConvertToGray(Gdiplus::Bitmap* source);
};
