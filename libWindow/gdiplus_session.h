// GDI+ for the life of the object: GdiplusStartup to GdiplusShutdown. One
// session spans the process's drawing; GDI+ objects are locals created and
// released inside it.
#pragma once

#include <windows.h>

class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};
