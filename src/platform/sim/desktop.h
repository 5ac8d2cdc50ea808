// The simulated desktop: every desktop service inside the process, on a virtual
// clock, with real files under a folder per test and a scripted user. Tests
// build one SimDesktop per test and run the program on it with run().
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace brenvik::sim {

class SimFiles;
class FaultyFiles;
class SimUi;
class SimProcess;
class SimClipboard;
class SimMessageBoxes;

// How a run of the program on the simulated desktop ended.
enum class RunEnd {
    Exited,     // the program ended; exitCode holds its code
    Idle,       // a blocking loop had nothing queued, no timer running and no scripted action left
    TimeLimit,  // the virtual clock passed the run's limit (a timer kept the loop busy forever)
    Crashed,    // an injected crash ended the run mid-operation
};

// Thrown by an injected crash (FaultyFiles) to end a run mid-operation, as a
// power cut would. Only SimDesktop::run catches it; nothing after it runs.
struct InjectedCrash {};

struct RunOutcome {
    RunEnd end = RunEnd::Idle;
    int exitCode = 0;
};

struct SimOptions {
    unsigned codePage = 936;                           // 936 or 1252
    Text executablePath = "C:\\Brenvik\\brenvik.exe";  // where the program "lives"
    int screenWidth = 1024, screenHeight = 768;
    std::int64_t timeLimitMs = 3'600'000;  // virtual time after which a run ends
};

class SimDesktop {
public:
    // `root` is the test's own folder on disk; drive letters map to its subfolders.
    explicit SimDesktop(std::filesystem::path root, SimOptions options = {});
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    // The services, as the Parts see them. files is the fault-injecting wrapper.
    Platform& platform();

    // Runs `entry` as the program: returns how the run ended. An exit through
    // Process::exitNow or fatalError, or the entry returning, gives Exited; the
    // exit routines have then run as on the real desktop.
    RunOutcome run(const EntryRoutine& entry);

    SimUi& ui();
    SimClipboard& clipboard();
    SimMessageBoxes& messageBoxes();
    SimProcess& process();
    SimFiles& files();      // the real files, without faults
    FaultyFiles& faults();  // the wrapper in front of them, where faults are set
    std::int64_t nowMs() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brenvik::sim
