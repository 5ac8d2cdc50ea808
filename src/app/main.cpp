// The executable's entry point: hands the program's entry routine to the desktop.
#include "app/shared_state.h"
#include "app/startup.h"
#include "platform/platform.h"

int main()
{
    // The shared state outlives the entry routine, so that the exit routines
    // that run after it has returned still find it.
    brenvik::SharedState state;
    return brenvik::RunOnDesktop(
        [&state](brenvik::Platform& platform) { return brenvik::Startup(platform, state); });
}
