// The simulated desktop's virtual clock, the pause that advances it, and the
// internal unwinding that ends a run (the clock is where a run's time runs out).
#pragma once

#include <cstdint>

#include "platform/pause.h"
#include "platform/sim/desktop.h"

namespace brenvik::sim {

// Thrown to end a run: by the process service (exit), by a blocking loop with
// nothing left to do (idle) and by the clock (time limit). Only SimDesktop::run
// catches it; it never stops inside a Part.
struct RunEnded {
    RunOutcome outcome;
};

// Virtual time in microseconds since the run started. Nothing reads a real
// clock; time moves only when a pause or an idle loop moves it.
class SimClock {
public:
    explicit SimClock(std::int64_t timeLimitMs);

    std::int64_t nowUs() const { return nowUs_; }
    std::int64_t nowMs() const { return nowUs_ / 1000; }

    // Moves the clock forward to `us` (never back). Passing the time limit ends
    // the run with RunEnd::TimeLimit.
    void advanceToUs(std::int64_t us);
    void advanceByMs(std::int64_t ms);

    // True once the run has ended: from then on every service is inert, so the
    // destructors that run while the run unwinds reach no handler of the program.
    bool ended() const { return ended_; }
    // True when no service may act: the run has ended, or an exception (an
    // injected crash, or the run's end) is unwinding the program's frames. The
    // real process would simply be gone; here destructors must not reach the
    // program's handlers or move the clock.
    bool inert() const;
    // Marks the run ended and unwinds to SimDesktop::run with `outcome`.
    [[noreturn]] void endRun(RunOutcome outcome);
    // Marks the run ended without unwinding (the desktop caught the end itself).
    void markEnded() { ended_ = true; }

private:
    std::int64_t nowUs_ = 0;
    std::int64_t limitUs_;
    bool ended_ = false;
};

// Pause::sleep on the virtual clock: advances it and dispatches nothing.
class SimPause final : public Pause {
public:
    explicit SimPause(SimClock& clock) : clock_(clock) {}
    void sleep(int ms) override;

private:
    SimClock& clock_;
};

}  // namespace brenvik::sim
