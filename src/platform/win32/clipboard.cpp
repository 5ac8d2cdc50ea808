// The clipboard's file list over the Windows clipboard. Not built yet.
#include "platform/win32/desktop.h"

namespace brenvik::win32 {

void Win32Clipboard::notBuilt() const
{
    process_.fatalError("Win32 layer: the clipboard is not built yet");
}

bool Win32Clipboard::isFormatAvailable(unsigned) { notBuilt(); }
bool Win32Clipboard::open() { notBuilt(); }
ClipboardData Win32Clipboard::data(unsigned) { notBuilt(); }
std::uint32_t Win32Clipboard::fileCount(ClipboardData) { notBuilt(); }
std::uint32_t Win32Clipboard::queryFile(ClipboardData, std::uint32_t, char*, std::uint32_t) { notBuilt(); }
void Win32Clipboard::close() { notBuilt(); }

}  // namespace brenvik::win32
