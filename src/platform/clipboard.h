// The clipboard's file list, through the same calls a Windows program makes:
// IsClipboardFormatAvailable, OpenClipboard, GetClipboardData, DragQueryFileA
// and CloseClipboard. The caller makes the calls in its own order; the layer
// adds nothing between them.
#pragma once

#include <cstdint>

namespace brenvik {

// The clipboard format of a list of files (CF_HDROP).
inline constexpr unsigned kClipboardFileList = 15;

// An opaque clipboard data handle (HGLOBAL / HDROP); 0 is none.
struct ClipboardData {
    std::uintptr_t value = 0;
    explicit operator bool() const { return value != 0; }
};

class Clipboard {
public:
    virtual ~Clipboard() = default;

    // IsClipboardFormatAvailable. Does not open the clipboard.
    virtual bool isFormatAvailable(unsigned format) = 0;

    // OpenClipboard with no owner window. False when another program has it open.
    virtual bool open() = 0;

    // GetClipboardData while the clipboard is open; 0 when the format is absent
    // or the clipboard is not open. The handle stays the clipboard's.
    virtual ClipboardData data(unsigned format) = 0;

    // DragQueryFileA(data, 0xFFFFFFFF, NULL, 0): the number of paths; 0 for a null handle.
    virtual std::uint32_t fileCount(ClipboardData data) = 0;

    // DragQueryFileA(data, index, buffer, size): writes the path at 0-based
    // `index`, cut to size - 1 bytes, followed by a zero byte, and returns the
    // bytes written without the zero; writes nothing and returns 0 for an index
    // out of range or a null handle.
    virtual std::uint32_t queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                                    std::uint32_t size) = 0;

    // CloseClipboard.
    virtual void close() = 0;
};

}  // namespace brenvik
