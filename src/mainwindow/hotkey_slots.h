// The five slots as global hotkeys: "开启监控" registers Ctrl+letter per slot,
// and a press opens the copy window for that slot's folder.
#pragma once

#include <cstdint>

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// The modifier value of every slot's registration: Control alone.
inline constexpr std::int32_t kControlModifier = 1;

// The key value of a letter box's text: the code of its first byte as a
// signed 8-bit value, minus 32 (0 - 32 for the empty text). So "a" gives 0x41,
// the virtual key A; no case conversion takes place.
std::int32_t SlotKeyValue(const Text& letterBoxText);

// Click handler of "开启监控": saves the folders, registers the five hotkeys
// and minimises MainWindow, which hides it in the tray.
void StartMonitoring(Platform& platform, SharedState& state, WindowId mainWindow);

// Registers the hotkey of one slot (1 to 5) from its letter box and stores the
// id, or 0, in HotkeyIds. A registration the slot made before is released
// first, so registering an unchanged letter again keeps it working.
void RegisterSlotHotkey(Platform& platform, SharedState& state, WindowId mainWindow, int slot);

// Handler of the hotkey notice: the first slot whose id matches gives its
// folder box's text to TargetFolder, and the copy window opens; returns when
// it has closed. An id of no slot does nothing.
void DispatchHotkey(Platform& platform, SharedState& state, WindowId mainWindow, std::int32_t id,
                    std::int32_t unused);

}  // namespace brenvik
