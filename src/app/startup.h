// Start-up and program end: the entry routine, the creation of the shared
// state's counters, and the exit routine that releases the shared state.
#pragma once

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// The program's entry routine: initialises the platform layer, creates the
// copy counters, registers ReleaseGlobals as the exit routine, opens MainWindow
// and runs the message loop until MainWindow is gone. Always returns 0.
int Startup(Platform& platform, SharedState& state);

// Creates CopyCounters with both members 0.
void InitCopyCounters(SharedState& state);

// Releases the shared texts and CopyCounters. Runs from the list of exit
// routines at program end, at most once; nobody calls it directly.
void ReleaseGlobals(SharedState& state);

}  // namespace brenvik
