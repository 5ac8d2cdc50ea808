// The clipboard's file list over the Windows clipboard: each call is the one
// Windows call of the same name, with no other call made in between. Reading
// path k through DragQueryFileA walks the k paths before it, so a list of
// 10,000 paths costs the square of that; the paths are read here from the
// file list block (DROPFILES) as DragQueryFileA reads them, through an index
// of where each one starts that is made once per data handle.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

#include <cstring>
#include <string>
#include <string_view>

#include <shellapi.h>
#include <shlobj.h>

namespace brenvik::win32 {

namespace {

HDROP DropHandle(ClipboardData data)
{
    return reinterpret_cast<HDROP>(data.value);
}

// Locks a global memory block for as long as it lives.
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL block)
        : block_(block),
          data_(static_cast<const unsigned char*>(GlobalLock(block))),
          size_(data_ != nullptr ? GlobalSize(block) : 0)
    {
    }
    ~LockedBlock()
    {
        if (data_ != nullptr)
            GlobalUnlock(block_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    HGLOBAL block_;
    const unsigned char* data_;
    std::size_t size_;
};

// UTF-16 to the ANSI code page with the default flags, as DragQueryFileA converts.
std::string WideToAnsi(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int count = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    std::string ansi(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), count, ansi.data(), bytes, nullptr, nullptr);
    return ansi;
}

// The length in characters of the zero-ended string of `unit`-byte characters
// at `offset`, or npos when no zero ends it inside the block.
std::size_t StringLength(const LockedBlock& block, std::size_t offset, std::size_t unit)
{
    for (std::size_t pos = offset; pos + unit <= block.size(); pos += unit) {
        bool zero = true;
        for (std::size_t i = 0; i < unit; ++i)
            zero = zero && block.data()[pos + i] == 0;
        if (zero)
            return (pos - offset) / unit;
    }
    return std::string_view::npos;
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

const Win32Clipboard::FileListIndex& Win32Clipboard::indexOf(ClipboardData data)
{
    if (index_.handle == data.value)
        return index_;
    index_ = FileListIndex{};
    index_.handle = data.value;
    LockedBlock block(reinterpret_cast<HGLOBAL>(data.value));
    if (block.data() == nullptr || block.size() < sizeof(DROPFILES))
        return index_;
    DROPFILES header;
    std::memcpy(&header, block.data(), sizeof(header));
    index_.wide = header.fWide != FALSE;
    const std::size_t unit = index_.wide ? sizeof(wchar_t) : 1;
    std::size_t offset = header.pFiles;
    // The list ends at an empty string; a block cut short ends it too.
    for (;;) {
        const std::size_t length = StringLength(block, offset, unit);
        if (length == std::string_view::npos || length == 0)
            break;
        index_.starts.push_back(offset);
        offset += (length + 1) * unit;
    }
    index_.valid = true;
    return index_;
}

std::uint32_t Win32Clipboard::fileCount(ClipboardData data)
{
    if (!data)
        return 0;
    const FileListIndex& index = indexOf(data);
    if (!index.valid)
        return DragQueryFileA(DropHandle(data), 0xFFFFFFFF, nullptr, 0);
    return static_cast<std::uint32_t>(index.starts.size());
}

std::uint32_t Win32Clipboard::queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                                        std::uint32_t size)
{
    // Without a buffer the call would report the length a path needs instead of writing it.
    if (!data || buffer == nullptr || size == 0 || index == 0xFFFFFFFF)
        return 0;
    const FileListIndex& list = indexOf(data);
    if (list.valid) {
        if (index >= list.starts.size())
            return 0;
        LockedBlock block(reinterpret_cast<HGLOBAL>(data.value));
        if (block.data() == nullptr)
            return 0;
        const std::size_t start = list.starts[index];
        std::string ansi;
        if (list.wide) {
            // As DragQueryFileA does: the path in the ANSI code page.
            std::wstring path(StringLength(block, start, sizeof(wchar_t)), L'\0');
            std::memcpy(path.data(), block.data() + start, path.size() * sizeof(wchar_t));
            ansi = WideToAnsi(path);
        } else {
            ansi.assign(reinterpret_cast<const char*>(block.data() + start), StringLength(block, start, 1));
        }
        const std::size_t length = ansi.size() < size - 1 ? ansi.size() : size - 1;
        std::memcpy(buffer, ansi.data(), length);
        buffer[length] = '\0';
        return static_cast<std::uint32_t>(length);
    }
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
    // The handle belongs to the clipboard, which may now change.
    index_ = FileListIndex{};
}

}  // namespace brenvik::win32
