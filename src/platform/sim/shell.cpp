// The shell's services on the simulated desktop.
#include "platform/sim/shell.h"

#include <cstdlib>

namespace brenvik::sim {

namespace {

[[noreturn]] void NotBuilt(Process& process, const char* what)
{
    process.fatalError(what);
    std::abort();  // fatalError never returns; the compiler cannot know that of a virtual call
}

}  // namespace

bool SimTray::setIcon(WindowId, std::span<const unsigned char>, std::string_view)
{
    NotBuilt(process_, "simulated desktop: the tray icon is not built yet");
}

void SimTray::removeIcon(WindowId)
{
    NotBuilt(process_, "simulated desktop: the tray icon is not built yet");
}

void SimTray::popupMenu(WindowId, std::span<const std::string_view>)
{
    NotBuilt(process_, "simulated desktop: the tray menu is not built yet");
}

std::int32_t SimHotkeys::registerHotkey(WindowId, ControlId, std::int32_t, std::int32_t)
{
    NotBuilt(process_, "simulated desktop: hotkeys are not built yet");
}

void SimHotkeys::unregisterHotkey(WindowId, std::int32_t)
{
    NotBuilt(process_, "simulated desktop: hotkeys are not built yet");
}

Text SimFolderPicker::pickFolder(std::string_view)
{
    NotBuilt(process_, "simulated desktop: the folder picker is not built yet");
}

bool SimWindowImages::setWindowIcon(WindowId, std::span<const unsigned char>)
{
    NotBuilt(process_, "simulated desktop: window icons are not built yet");
}

bool SimWindowImages::setPicture(ControlId, std::span<const unsigned char>)
{
    NotBuilt(process_, "simulated desktop: pictures are not built yet");
}

}  // namespace brenvik::sim
