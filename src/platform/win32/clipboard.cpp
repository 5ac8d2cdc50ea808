// The clipboard's file list over the Windows clipboard: each call is the one
// Windows call of the same name, with no other call made in between.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

#include <cstring>

#include <shellapi.h>

namespace brenvik::win32 {

namespace {

HDROP DropHandle(ClipboardData data)
{
    return reinterpret_cast<HDROP>(data.value);
}

}  // namespace

Win32Clipboard::~Win32Clipboard()
{
    // A clipboard left open would keep every other program from it.
    if (open_)
        CloseClipboard();
}

bool Win32Clipboard::isFormatAvailable(unsigned format)
{
    return IsClipboardFormatAvailable(format) != FALSE;
}

bool Win32Clipboard::open()
{
    if (!OpenClipboard(nullptr))
        return false;
    open_ = true;
    return true;
}

ClipboardData Win32Clipboard::data(unsigned format)
{
    // The handle is the clipboard's and is passed on untouched, neither locked nor tested.
    return ClipboardData{reinterpret_cast<std::uintptr_t>(GetClipboardData(format))};
}

std::uint32_t Win32Clipboard::fileCount(ClipboardData data)
{
    if (!data)
        return 0;
    return DragQueryFileA(DropHandle(data), 0xFFFFFFFF, nullptr, 0);
}

std::uint32_t Win32Clipboard::queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                                        std::uint32_t size)
{
    // Without a buffer the call would report the length a path needs instead of writing it.
    if (!data || buffer == nullptr || size == 0 || index == 0xFFFFFFFF)
        return 0;
    if (DragQueryFileA(DropHandle(data), index, buffer, size) == 0)
        return 0;
    // The shell's count is not defined in bytes for a list it keeps in
    // UTF-16 and converts here, nor is the zero promised when the conversion
    // fills the buffer; the bytes the buffer holds are the answer.
    const void* zero = std::memchr(buffer, '\0', size);
    if (zero == nullptr) {
        buffer[size - 1] = '\0';
        return size - 1;
    }
    return static_cast<std::uint32_t>(static_cast<const char*>(zero) - buffer);
}

void Win32Clipboard::close()
{
    CloseClipboard();
    open_ = false;
}

}  // namespace brenvik::win32
