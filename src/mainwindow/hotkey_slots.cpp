// Registering the slots' hotkeys and routing a press to the copy window.
#include "mainwindow/hotkey_slots.h"

#include "copy/copy_window.h"
#include "mainwindow/main_window.h"
#include "mainwindow/settings.h"

namespace brenvik {

std::int32_t SlotKeyValue(const Text& letterBoxText)
{
    const std::int32_t code = letterBoxText.empty() ? 0 : static_cast<signed char>(letterBoxText[0]);
    return code - 32;
}

void StartMonitoring(Platform& platform, SharedState& state, WindowId mainWindow)
{
    // Nothing is checked first: empty boxes and repeated letters are accepted.
    SaveSettings(platform, state, mainWindow);
    for (int slot = 1; slot <= kSlotCount; ++slot)
        RegisterSlotHotkey(platform, state, mainWindow, slot);
    // The button was just clicked, so the window is visible and is minimised;
    // the move that causes hides it.
    platform.ui.setPlacement(mainWindow, Placement::Minimised);
}

void RegisterSlotHotkey(Platform& platform, SharedState& state, WindowId mainWindow, int slot)
{
    const std::int32_t key = SlotKeyValue(platform.ui.text(LetterBox(mainWindow, slot)));
    std::int32_t& id = state.HotkeyIds[static_cast<std::size_t>(slot - 1)];
    if (id != 0)
        platform.hotkeys.unregisterHotkey(mainWindow, id);
    id = platform.hotkeys.registerHotkey(mainWindow, {mainWindow, MainControl::HotkeyReceiver},
                                         kControlModifier, key);
}

void DispatchHotkey(Platform& platform, SharedState& state, WindowId mainWindow, std::int32_t id,
                    std::int32_t /*unused*/)
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (state.HotkeyIds[static_cast<std::size_t>(slot - 1)] != id)
            continue;
        state.TargetFolder = platform.ui.text(FolderBox(mainWindow, slot));
        OpenCopyWindow(platform, state);
        return;
    }
}

}  // namespace brenvik
