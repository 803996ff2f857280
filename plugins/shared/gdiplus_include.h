// GDI+ for the modules, which are built with NOMINMAX: its headers use
// unqualified min and max. The host runs the process's GDI+ session, so the
// modules draw without starting one of their own.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
