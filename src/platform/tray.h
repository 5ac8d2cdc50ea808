// The notification-area (tray) icon and its pop-up menu.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "platform/ui.h"

namespace brenvik {

// The tray icon's identifier; one icon per owner window.
inline constexpr unsigned kTrayIconId = 100;

// What the tray layer makes of the shell's mouse notifications for the icon,
// raised to the owner window as EventKind::Tray with the type in arg1. Any
// other mouse activity on the icon raises nothing.
namespace TrayEventType {
inline constexpr int LeftButtonUp = 1;
inline constexpr int LeftDoubleClick = 2;
inline constexpr int RightButtonUp = 3;  // also the context-menu request
}  // namespace TrayEventType

class Tray {
public:
    virtual ~Tray() = default;

    // Makes an icon from the bytes of an icon file (its first image) and gives
    // it to the owner's tray icon, with the callback message and `tipAnsi` (at
    // most 62 bytes are used): Shell_NotifyIconA NIM_ADD when the owner has no
    // tray icon yet, NIM_MODIFY otherwise, freeing the icon it replaces. When
    // no icon can be made, nothing changes. When the shell restarts (the
    // taskbar-created broadcast), the layer adds the owner's icon again.
    // Returns true when the owner has a tray icon afterwards.
    virtual bool setIcon(WindowId owner, std::span<const unsigned char> iconFile,
                         std::string_view tipAnsi) = 0;

    // NIM_DELETE of the owner's icon, freeing its icon handle. Does nothing
    // when the owner has none.
    virtual void removeIcon(WindowId owner) = 0;

    // Pops up a menu of these items at the mouse cursor: brings the owner to
    // the foreground first, places the menu's top-right corner 5 pixels left
    // of and above the cursor, tracks the left button, and sends the chosen
    // item to the owner as EventKind::MenuCommand with the item's 0-based index
    // in arg1; posts a null message to the owner once the menu has closed.
    // Returns when the menu has closed; its loop dispatches meanwhile.
    virtual void popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8) = 0;
};

}  // namespace brenvik
