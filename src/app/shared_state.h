// The program-wide state that the event handlers share. It exists once per run,
// created with its start values before MainWindow opens; the routines that
// write and read each variable are the ones named beside it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/text.h"
#include "platform/ui.h"

namespace brenvik {

// Progress of the file being copied. Lengths are 64-bit so that files of 2 GiB
// and more are counted exactly.
struct CopyCountersList {
    std::int64_t total = 0;  // length of the current source, measured when it was opened
    std::int64_t done = 0;   // bytes of the source taken so far
};

// The value of CancelState by which the user asks the copy engine to stop.
inline constexpr std::int32_t kCancelRequested = 3;

struct SharedState {
    // Folder of the executable followed by "\pz.txt"; set once when MainWindow is created.
    Text SettingsPath;
    // Destination of the copy window; set by the hotkey dispatcher, normalised by the engine.
    Text TargetFolder;
    // The id of each slot's last hotkey registration, or 0 when it failed (slot 1 at index 0).
    std::array<std::int32_t, 5> HotkeyIds{};
    // 3 while the user asks to cancel; the copy engine clears it.
    std::int32_t CancelState = 0;
    // Percentage of the current file copied, 0..100, shown by the copy window's progress timer.
    std::int32_t ProgressPercent = 0;
    // Written by the copy engine after every chunk; created by InitCopyCounters.
    CopyCountersList CopyCounters;
    // The open CopyWindow, 0 while none is open; kept by OpenCopyWindow so that
    // a second opening finds the first window instead of making another.
    WindowId CopyWindowId;

    // Lifecycle of the state itself, for the start-up and program-end routines.
    bool copyCountersCreated = false;
    int releaseCount = 0;  // times ReleaseGlobals has run
};

}  // namespace brenvik
