// Global hotkeys on the simulated desktop: one system-wide table of
// registered combinations, the service's ids and modifier mapping, and the
// delivery of a press to the registering window, where the service passes it
// on to the remembered label before the window's own handling.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "platform/hotkeys.h"
#include "platform/platform.h"
#include "platform/sim/ui.h"

namespace brenvik::sim {

// The system's modifier flags, as RegisterHotKey takes them.
namespace HotkeyFlags {
inline constexpr std::uint32_t Alt = 0x0001;
inline constexpr std::uint32_t Control = 0x0002;
inline constexpr std::uint32_t Shift = 0x0004;
inline constexpr std::uint32_t Win = 0x0008;
inline constexpr std::uint32_t NoRepeat = 0x4000;
}  // namespace HotkeyFlags

// The service's modifier value mapped to system flags: 1 Control, 2 Shift,
// 4 Alt, 3 Control+Shift, 5 Control+Alt, 6 Shift+Alt; any other value is
// passed on unchanged (a negative one as its two's-complement bits).
std::uint32_t MapHotkeyModifiers(std::int32_t modifiers);

// One registration attempt, as the system saw it.
struct HotkeyAttempt {
    WindowId window;
    std::int32_t id;
    std::uint32_t flags;
    std::int32_t key;
    bool accepted;
};

// A combination held in the system's table. Window 0 is another program.
struct HotkeyRegistration {
    WindowId window;
    std::int32_t id;
    std::uint32_t flags;
    std::int32_t key;
};

struct HotkeyUnregistration {
    WindowId window;
    std::int32_t id;
    bool removed;  // false when nothing was registered under that window and id
};

// One WM_HOTKEY that reached a window of the program.
struct HotkeyDelivery {
    WindowId window;
    std::int32_t id;
    bool forwarded;  // passed on to the remembered label
};

class SimHotkeys final : public Hotkeys {
public:
    explicit SimHotkeys(SimUi& ui) : ui_(ui) {}

    std::int32_t registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                std::int32_t key) override;
    void unregisterHotkey(WindowId window, std::int32_t id) override;

    // --- the desktop around the program ------------------------------------------

    // Another program holds this combination, so a registration of it is refused.
    void holdByOtherProgram(std::uint32_t flags, std::int32_t key);

    // The scripted user presses a combination (system flags and a virtual-key
    // code), queued on the user's timeline. When a window of the program has
    // registered exactly that combination, WM_HOTKEY with its id reaches that
    // window; otherwise nothing happens. Keys outside 1..254 exist on no
    // keyboard and are never delivered.
    void userPress(std::uint32_t flags, std::int32_t key, int delayMs = 0);
    // Some program posts WM_HOTKEY with any id to the window, queued likewise.
    void postHotkeyMessage(WindowId window, std::int32_t id, int delayMs = 0);

    // What the window itself does with WM_HOTKEY once the service has passed
    // it on; the program's windows do nothing with it, tests may watch here.
    void setWindowHandling(std::function<void(WindowId window, std::int32_t id)> handling)
    {
        windowHandling_ = std::move(handling);
    }

    // --- observation -----------------------------------------------------------

    static SimHotkeys& of(Platform& platform) { return static_cast<SimHotkeys&>(platform.hotkeys); }

    const std::vector<HotkeyAttempt>& attempts() const { return attempts_; }
    // The combinations the system holds now, in the order they were registered.
    std::vector<HotkeyRegistration> registered() const;
    const std::vector<HotkeyUnregistration>& unregistrations() const { return unregistrations_; }
    const std::vector<HotkeyDelivery>& deliveries() const { return deliveries_; }

private:
    void dropGoneWindows();
    void deliver(WindowId window, std::int32_t id);

    SimUi& ui_;
    std::int32_t attemptCount_ = 0;
    ControlId label_;
    std::set<std::uint32_t> watched_;  // windows the service watches, by id value
    std::vector<HotkeyRegistration> table_;
    std::vector<HotkeyAttempt> attempts_;
    std::vector<HotkeyUnregistration> unregistrations_;
    std::vector<HotkeyDelivery> deliveries_;
    std::function<void(WindowId, std::int32_t)> windowHandling_;
};

}  // namespace brenvik::sim
