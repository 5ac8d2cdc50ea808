// The program ends that a test cannot survive in its own process: each one is
// a scenario that the test program runs when started with --child=NAME and
// --marker=PATH, and that a process test checks from outside.
#pragma once

namespace brenvik::testing {

// Runs the scenario named by --child= and returns the code to end with, when
// the scenario itself returns at all.
int RunChildScenario(int argc, char** argv);

}  // namespace brenvik::testing
