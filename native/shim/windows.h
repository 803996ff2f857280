// The few Win32 types, constants and text conversions that the window-free
// sources use, for their native Linux build (native/CMakeLists.txt). The
// layouts keep Windows' 32-bit LONG so that RECT and POINT have the sizes
// they have on Windows. Nothing here draws, opens or waits: a pure source
// that needs more than this has stopped being pure.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

using LONG = int32_t;
using UINT = unsigned int;
using DWORD = uint32_t;
using BOOL = int;
using LONG_PTR = intptr_t;
using LRESULT = LONG_PTR;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPBOOL = BOOL*;
using HFONT = struct HFONT__*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};

#define TRUE 1
#define FALSE 0

// WM_NCHITTEST answers.
#define HTCAPTION 2
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17

// WM_SIZING edges.
#define WMSZ_LEFT 1
#define WMSZ_RIGHT 2
#define WMSZ_TOP 3
#define WMSZ_TOPLEFT 4
#define WMSZ_TOPRIGHT 5
#define WMSZ_BOTTOM 6
#define WMSZ_BOTTOMLEFT 7
#define WMSZ_BOTTOMRIGHT 8

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(i))))
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)

// Code pages: both convert as UTF-8 here (the C library's C.UTF-8 locale).
// wchar_t is 32 bits on Linux, so wide texts hold code points, not UTF-16.
#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x08

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR out, int units);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int units, LPSTR out, int bytes, LPCSTR defaultChar,
                        LPBOOL usedDefault);

// The Microsoft C runtime's counting and bounded wide formatting.
int _vscwprintf(const wchar_t* format, va_list args);
int _vsnwprintf(wchar_t* out, size_t room, const wchar_t* format, va_list args);
