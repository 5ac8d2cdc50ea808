// Start-up in its fixed order, and the release of the shared state at the end.
#include "app/startup.h"

#include "mainwindow/main_window.h"

namespace brenvik {

namespace {

void ReleaseGlobalsRoutine(void* context)
{
    ReleaseGlobals(*static_cast<SharedState*>(context));
}

}  // namespace

void InitCopyCounters(SharedState& state)
{
    state.CopyCounters = CopyCountersList{};
    state.copyCountersCreated = true;
}

void ReleaseGlobals(SharedState& state)
{
    // The texts first, then the counters; clear() and shrink_to_fit() give the
    // memory back, so a run that ends here holds nothing of the shared state.
    state.SettingsPath.clear();
    state.SettingsPath.shrink_to_fit();
    state.TargetFolder.clear();
    state.TargetFolder.shrink_to_fit();
    state.CopyCounters = CopyCountersList{};
    state.copyCountersCreated = false;
    ++state.releaseCount;
}

int Startup(Platform& platform, SharedState& state)
{
    // COM, the executable's folder and the current directory. A failure of COM
    // is not reported: only the folder picker needs it, and it fails quietly.
    platform.process.initialise();

    InitCopyCounters(state);
    platform.process.addExitRoutine({&ReleaseGlobalsRoutine, &state});

    // MainWindow lives as long as the message loop runs; the handlers bound to
    // its events refer to it and to the shared state.
    MainWindow mainWindow(platform, state);
    mainWindow.open();

    platform.ui.runMessageLoop();
    return 0;
}

}  // namespace brenvik
