// Process start and end on the simulated desktop.
#include "platform/sim/process.h"

#include <algorithm>
#include <utility>

namespace brenvik::sim {

SimProcess::SimProcess(SimClock& clock, Files& files, Text executablePath)
    : clock_(clock), files_(files), executablePath_(std::move(executablePath))
{
}

bool SimProcess::initialise()
{
    if (initialised_)
        return comUp_;
    initialised_ = true;
    if (!comFails_) {
        comUp_ = true;
        ++comInitialised_;
    }

    const std::size_t cut = executablePath_.rfind('\\');
    executableDirectory_ = cut == Text::npos ? Text() : executablePath_.substr(0, cut);
    // "D:" alone names the drive's current directory, not its root.
    Text current = executableDirectory_;
    if (current.size() == 2 && current[1] == ':')
        current += '\\';
    currentDirectorySet_ = !current.empty() && files_.setCurrentDirectory(current);
    return comUp_;
}

Text SimProcess::executableDirectory() const
{
    return executableDirectory_;
}

void SimProcess::addExitRoutine(ExitRoutine routine)
{
    if (clock_.inert() || routine.function == nullptr)
        return;
    if (std::find(routines_.begin(), routines_.end(), routine) == routines_.end())
        routines_.push_back(routine);
}

void SimProcess::runExitRoutines()
{
    // The list is taken first, so a routine that ends the program again finds
    // it empty and no routine runs twice.
    std::vector<ExitRoutine> routines = std::move(routines_);
    routines_.clear();
    for (const ExitRoutine& routine : routines) {
        routinesRun_.push_back(routine);
        routine.function(routine.context);
    }
}

void SimProcess::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    if (comUp_) {
        comUp_ = false;
        ++comReleased_;
    }
}

void SimProcess::exitNow(int code)
{
    runExitRoutines();
    shutDown();
    clock_.endRun({RunEnd::Exited, code});
}

void SimProcess::fatalError(std::string_view utf8Message)
{
    // The box is closed at once: no scripted user is needed to end the run.
    fatalMessages_.push_back({std::string(utf8Message), WindowId{}});
    routines_.clear();
    shutDown();
    clock_.endRun({RunEnd::Exited, -1});
}

void SimProcess::endAfterEntryReturned()
{
    runExitRoutines();
    shutDown();
}

}  // namespace brenvik::sim
