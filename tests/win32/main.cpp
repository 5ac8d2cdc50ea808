// The Win32 test program's entry: GoogleTest, or one of the child scenarios
// that the process tests start in a process of their own (--child=NAME).
#include <gtest/gtest.h>

#include <string_view>

#include "child_scenarios.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--child="))
            return brenvik::testing::RunChildScenario(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
