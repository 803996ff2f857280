// Owners of the handles the host holds: one move-only template and an alias
// per kind. Kernel and file owners live here in libBasic; the GDI ones
// (pens, brushes, fonts, bitmaps, regions, icons, device contexts) are in
// libWindow's gdi_owners.h, built on the same template.
#pragma once

#include <windows.h>

#include <cstdio>
#include <type_traits>
#include <utility>

// Owns one handle and gives it to Close when it goes. The empty value is
// null; for HANDLE also INVALID_HANDLE_VALUE, which CreateFile and
// FindFirstFile return on failure, so `if (owner)` is the one test of success.
template <typename Handle, typename Close>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(Valid(handle) ? handle : nullptr) {}
    UniqueResource(UniqueResource&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(Handle handle = nullptr) {
        if (handle_) Close{}(handle_);
        handle_ = Valid(handle) ? handle : nullptr;
    }
    // Gives the handle up, to a call that takes it over or whose closing
    // result matters (fclose after writing).
    [[nodiscard]] Handle release() { return std::exchange(handle_, nullptr); }

private:
    static bool Valid(Handle handle) {
        if constexpr (std::is_same_v<Handle, HANDLE>) return handle && handle != INVALID_HANDLE_VALUE;
        else return handle != nullptr;
    }

    Handle handle_ = nullptr;
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct CloseFindHandle {
    void operator()(HANDLE search) const { FindClose(search); }
};
struct CloseCFile {
    void operator()(FILE* file) const { fclose(file); }
};

// A mutex, event, process, thread, snapshot or file of the kernel.
using UniqueHandle = UniqueResource<HANDLE, CloseKernelHandle>;
// A FindFirstFileW search.
using UniqueFindHandle = UniqueResource<HANDLE, CloseFindHandle>;
// A C runtime file (msvcrt's, as every module of the process uses).
using UniqueFile = UniqueResource<FILE*, CloseCFile>;
