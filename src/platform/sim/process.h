// Process start and end on the simulated desktop: COM counted, the executable's
// folder made the current directory, the exit routines, and the two immediate
// ends, which unwind to SimDesktop::run instead of ending the test process.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/sim/clock.h"
#include "platform/ui.h"

namespace brenvik::sim {

// A message box the desktop showed; the fatal error's box has no owner.
struct MessageBoxRecord {
    std::string textUtf8;
    WindowId owner;
};

class SimProcess final : public Process {
public:
    SimProcess(SimClock& clock, Files& files, Text executablePath);

    bool initialise() override;
    Text executableDirectory() const override;
    void addExitRoutine(ExitRoutine routine) override;
    [[noreturn]] void exitNow(int code) override;
    [[noreturn]] void fatalError(std::string_view utf8Message) override;

    // The end of a run whose entry routine returned: the exit routines run and
    // the platform layer is shut down, as on the real desktop.
    void endAfterEntryReturned();

    // --- for tests -------------------------------------------------------------

    // Makes the next initialise() find COM unavailable.
    void failComInitialisation() { comFails_ = true; }

    int comInitialiseCount() const { return comInitialised_; }
    int comReleaseCount() const { return comReleased_; }
    bool shutDown() const { return shutDown_; }
    // Whether initialise() set the current directory successfully.
    bool currentDirectorySet() const { return currentDirectorySet_; }
    // The routines still registered, and every routine run so far, in order.
    const std::vector<ExitRoutine>& exitRoutines() const { return routines_; }
    const std::vector<ExitRoutine>& exitRoutinesRun() const { return routinesRun_; }
    const std::vector<MessageBoxRecord>& fatalMessages() const { return fatalMessages_; }

private:
    void runExitRoutines();
    void shutDown();

    SimClock& clock_;
    Files& files_;
    Text executablePath_;
    Text executableDirectory_;
    bool initialised_ = false;
    bool comFails_ = false;
    bool comUp_ = false;
    bool shutDown_ = false;
    bool currentDirectorySet_ = false;
    int comInitialised_ = 0;
    int comReleased_ = 0;
    std::vector<ExitRoutine> routines_;
    std::vector<ExitRoutine> routinesRun_;
    std::vector<MessageBoxRecord> fatalMessages_;
};

}  // namespace brenvik::sim
