// The shell's services over the Windows API: the tray icon and its menu,
// global hotkeys, the folder picker, window icons and pictures. Not built yet.
#include "platform/win32/desktop.h"

namespace brenvik::win32 {

bool Win32Tray::setIcon(WindowId, std::span<const unsigned char>, std::string_view)
{
    process_.fatalError("Win32 layer: the tray icon is not built yet");
}

void Win32Tray::removeIcon(WindowId)
{
    process_.fatalError("Win32 layer: the tray icon is not built yet");
}

void Win32Tray::popupMenu(WindowId, std::span<const std::string_view>)
{
    process_.fatalError("Win32 layer: the tray menu is not built yet");
}

std::int32_t Win32Hotkeys::registerHotkey(WindowId, ControlId, std::int32_t, std::int32_t)
{
    process_.fatalError("Win32 layer: hotkeys are not built yet");
}

void Win32Hotkeys::unregisterHotkey(WindowId, std::int32_t)
{
    process_.fatalError("Win32 layer: hotkeys are not built yet");
}

Text Win32FolderPicker::pickFolder(std::string_view)
{
    process_.fatalError("Win32 layer: the folder picker is not built yet");
}

bool Win32WindowImages::setWindowIcon(WindowId, std::span<const unsigned char>)
{
    process_.fatalError("Win32 layer: window icons are not built yet");
}

bool Win32WindowImages::setPicture(ControlId, std::span<const unsigned char>)
{
    process_.fatalError("Win32 layer: pictures are not built yet");
}

}  // namespace brenvik::win32
