// The virtual clock and the pause over it.
#include "platform/sim/clock.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace brenvik::sim {

SimClock::SimClock(std::int64_t timeLimitMs) : limitUs_(timeLimitMs * 1000) {}

bool SimClock::inert() const
{
    return ended_ || std::uncaught_exceptions() > 0;
}

void SimClock::advanceToUs(std::int64_t us)
{
    if (inert() || us <= nowUs_)
        return;
    nowUs_ = us;
    if (nowUs_ > limitUs_)
        endRun({RunEnd::TimeLimit, 0});
}

void SimClock::advanceByMs(std::int64_t ms)
{
    if (ms > 0)
        advanceToUs(nowUs_ + ms * 1000);
}

void SimClock::endRun(RunOutcome outcome)
{
    if (std::uncaught_exceptions() > 0) {
        // A destructor that runs while a run unwinds tried to end it again; an
        // exception now would terminate the test binary with no explanation.
        std::fputs("brenvik sim: the run was ended again while it was already unwinding\n", stderr);
        std::abort();
    }
    ended_ = true;
    throw RunEnded{outcome};
}

void SimPause::sleep(int ms)
{
    if (ms > 0)
        clock_.advanceByMs(ms);
}

}  // namespace brenvik::sim
