// Global hotkeys on the simulated desktop.
#include "platform/sim/hotkeys.h"

#include <algorithm>

namespace brenvik::sim {

namespace {

// The flags RegisterHotKey knows; any other bit makes it fail (ERROR_INVALID_FLAGS).
constexpr std::uint32_t kKnownFlags =
    HotkeyFlags::Alt | HotkeyFlags::Control | HotkeyFlags::Shift | HotkeyFlags::Win | HotkeyFlags::NoRepeat;

// Two registrations clash when they name the same keys; MOD_NOREPEAT only
// changes how auto-repeat is reported.
bool SameCombination(std::uint32_t flagsA, std::int32_t keyA, std::uint32_t flagsB, std::int32_t keyB)
{
    return (flagsA & ~HotkeyFlags::NoRepeat) == (flagsB & ~HotkeyFlags::NoRepeat) && keyA == keyB;
}

}  // namespace

std::uint32_t MapHotkeyModifiers(std::int32_t modifiers)
{
    using namespace HotkeyFlags;
    switch (modifiers) {
        case 1:
            return Control;
        case 2:
            return Shift;
        case 4:
            return Alt;
        case 3:
            return Control | Shift;
        case 5:
            return Control | Alt;
        case 6:
            return Shift | Alt;
        default:
            return static_cast<std::uint32_t>(modifiers);
    }
}

// A destroyed window's hotkeys are released with it.
void SimHotkeys::dropGoneWindows()
{
    std::erase_if(table_, [&](const HotkeyRegistration& r) { return r.window && !ui_.isAlive(r.window); });
}

std::int32_t SimHotkeys::registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                        std::int32_t key)
{
    dropGoneWindows();
    const std::int32_t id = kFirstHotkeyId - 1 + ++attemptCount_;
    const std::uint32_t flags = MapHotkeyModifiers(modifiers);
    label_ = notifyLabel;
    const bool alive = ui_.isAlive(window);
    if (alive)
        watched_.insert(window.value);

    // Any key code is taken as it is: the system does not check that a key has it.
    const bool taken = std::any_of(table_.begin(), table_.end(), [&](const HotkeyRegistration& r) {
        return SameCombination(r.flags, r.key, flags, key);
    });
    const bool accepted = alive && (flags & ~kKnownFlags) == 0 && !taken;
    attempts_.push_back({window, id, flags, key, accepted});
    if (!accepted)
        return 0;
    table_.push_back({window, id, flags, key});
    return id;
}

void SimHotkeys::unregisterHotkey(WindowId window, std::int32_t id)
{
    const std::size_t removed = std::erase_if(
        table_, [&](const HotkeyRegistration& r) { return r.window && r.window == window && r.id == id; });
    unregistrations_.push_back({window, id, removed > 0});
}

void SimHotkeys::holdByOtherProgram(std::uint32_t flags, std::int32_t key)
{
    table_.push_back({WindowId{}, 0, flags, key});
}

std::vector<HotkeyRegistration> SimHotkeys::registered() const
{
    std::vector<HotkeyRegistration> live;
    for (const HotkeyRegistration& r : table_)
        if (!r.window || ui_.isAlive(r.window))
            live.push_back(r);
    return live;
}

// WM_HOTKEY reaching a window. The user acts only when nothing is queued, so
// the posted message would be the next one dispatched: it is handled here at once.
void SimHotkeys::deliver(WindowId window, std::int32_t id)
{
    if (!ui_.isAlive(window))
        return;
    const bool forwarded =
        watched_.contains(window.value) && id >= kFirstHotkeyId && id <= kFirstHotkeyId - 1 + attemptCount_;
    deliveries_.push_back({window, id, forwarded});
    if (forwarded)
        ui_.sendEvent({EventKind::Feedback, label_.window, label_.index, id, 0});
    if (windowHandling_ && ui_.isAlive(window))
        windowHandling_(window, id);
}

void SimHotkeys::userPress(std::uint32_t flags, std::int32_t key, int delayMs)
{
    ui_.user().call(
        [this, flags, key] {
            if (key < 1 || key > 254)
                return;
            dropGoneWindows();
            auto held = std::find_if(table_.begin(), table_.end(), [&](const HotkeyRegistration& r) {
                return SameCombination(r.flags, r.key, flags, key);
            });
            if (held != table_.end() && held->window) {
                const HotkeyRegistration target = *held;  // the handlers may change the table
                deliver(target.window, target.id);
            }
        },
        delayMs);
}

void SimHotkeys::postHotkeyMessage(WindowId window, std::int32_t id, int delayMs)
{
    ui_.user().call([this, window, id] { deliver(window, id); }, delayMs);
}

}  // namespace brenvik::sim
