// Global hotkeys, registered for a window and delivered to a label of it.
#pragma once

#include <cstdint>

#include "platform/ui.h"

namespace brenvik {

// The first id the service issues; each registration attempt takes the next.
inline constexpr std::int32_t kFirstHotkeyId = 33001;

class Hotkeys {
public:
    virtual ~Hotkeys() = default;

    // One registration attempt. The id is 33000 plus a process-wide count that
    // grows by 1 on every attempt, successful or not. RegisterHotKey(window, id,
    // flags, key) with the modifier value mapped to system flags (1 Control,
    // 2 Shift, 4 Alt, 3 Control+Shift, 5 Control+Alt, 6 Shift+Alt, any other
    // value passed on unchanged) and `key` as the virtual-key code. Returns the
    // id when the system accepted it, 0 when it refused (the combination is
    // taken, by any program, this one included).
    //
    // From the first registration on, every WM_HOTKEY the window receives whose
    // id lies between 33001 and the latest id issued is passed synchronously to
    // `notifyLabel` (the label of the latest registration) as EventKind::Feedback
    // with the id in arg1 and 0 in arg2, before the window's own handling.
    virtual std::int32_t registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                        std::int32_t key) = 0;

    // UnregisterHotKey(window, id). Does nothing for an id that is not registered.
    virtual void unregisterHotkey(WindowId window, std::int32_t id) = 0;
};

}  // namespace brenvik
