// Internal to the Win32 layer's shell services (tray, hotkeys, folder picker,
// images): owners of icons, bitmaps and menus, making an icon from the bytes
// of an icon file, and the guard every window subclass of theirs runs under.
#pragma once

#include <new>
#include <span>
#include <utility>

#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

#include <commctrl.h>

namespace brenvik::win32 {

// Owns a GDI or USER object and frees it with `Free` when the owner goes.
template <typename Handle, auto Free>
class UniqueObject {
public:
    UniqueObject() = default;
    explicit UniqueObject(Handle handle) : handle_(handle) {}
    UniqueObject(const UniqueObject&) = delete;
    UniqueObject& operator=(const UniqueObject&) = delete;
    UniqueObject(UniqueObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueObject& operator=(UniqueObject&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~UniqueObject() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(Handle handle = nullptr)
    {
        if (handle_ != nullptr)
            Free(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

inline void FreeIcon(HICON icon)
{
    DestroyIcon(icon);
}
inline void FreeBitmap(HBITMAP bitmap)
{
    DeleteObject(bitmap);
}
inline void FreeMenu(HMENU menu)
{
    DestroyMenu(menu);
}

using UniqueIcon = UniqueObject<HICON, &FreeIcon>;
using UniqueBitmap = UniqueObject<HBITMAP, &FreeBitmap>;
using UniqueMenu = UniqueObject<HMENU, &FreeMenu>;

// An icon made from the first image of an icon file, `width` x `height`
// pixels, or the image's own size for 0 x 0. Null when the bytes are not an
// icon file, the first image lies outside them, or the system cannot make an
// icon of it.
UniqueIcon IconFromFile(std::span<const unsigned char> iconFile, int width = 0, int height = 0);

// Runs a subclass procedure's work so that no C++ exception leaves it: memory
// that cannot be obtained ends the program through the fatal error, as in the
// layer's window procedure.
template <typename Work>
LRESULT Guarded(Win32Process& process, Work&& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        process.fatalError(kOutOfMemoryMessage);
    } catch (...) {
        process.fatalError("程序内部错误：窗口消息处理时出现了未预料的异常。");
    }
}

}  // namespace brenvik::win32
