// Start-up in its order, the shared state's start values, and the three ways
// the program ends, on the simulated desktop.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "app/shared_state.h"
#include "app/startup.h"
#include "platform/list.h"
#include "platform/sim/desktop.h"
#include "platform/sim/files.h"
#include "platform/sim/process.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik {
namespace {

using sim::RunEnd;

class StartupTest : public ::testing::Test {
protected:
    explicit StartupTest(sim::SimOptions options = {}) : desk_(folder_.path(), options) {}

    sim::RunOutcome run()
    {
        return desk_.run([this](Platform& platform) { return Startup(platform, state_); });
    }

    sim::SimUser& user() { return desk_.ui().user(); }

    simtest::TempFolder folder_;
    sim::SimDesktop desk_;
    SharedState state_;
};

TEST_F(StartupTest, OpensMainWindowWithTheStateAtItsStartValues)
{
    bool checked = false;
    user().whenShown("Brenvik1.0", [&](WindowId window) {
        // The process is set up before the window opens.
        EXPECT_EQ(desk_.process().comInitialiseCount(), 1);
        EXPECT_EQ(desk_.files().currentDirectory(), "C:\\Brenvik");
        EXPECT_EQ(desk_.process().exitRoutines().size(), 1u);

        EXPECT_TRUE(state_.TargetFolder.empty());
        EXPECT_EQ(state_.HotkeyIds, (std::array<std::int32_t, 5>{}));
        EXPECT_EQ(state_.CancelState, 0);
        EXPECT_EQ(state_.ProgressPercent, 0);
        EXPECT_TRUE(state_.copyCountersCreated);
        EXPECT_EQ(state_.CopyCounters.total, 0);
        EXPECT_EQ(state_.CopyCounters.done, 0);

        // Outer size 570 x 170, centred on the 1024 x 768 screen.
        const sim::WindowState shown = desk_.ui().windowState(window);
        EXPECT_TRUE(shown.visible);
        EXPECT_EQ(shown.width, 570);
        EXPECT_EQ(shown.height, 170);
        EXPECT_EQ(shown.left, (1024 - 570) / 2);
        EXPECT_EQ(shown.top, (768 - 170) / 2);
        checked = true;
    });

    EXPECT_EQ(run().end, RunEnd::Idle);
    EXPECT_TRUE(checked);
    EXPECT_EQ(state_.releaseCount, 0);  // nothing ended the program
}

// The ways of destroying MainWindow: each ends the loop, runs ReleaseGlobals
// once, releases COM and gives exit code 0.
enum class CloseBy { CloseBox, Escape };

class MainWindowClosedTest : public StartupTest, public ::testing::WithParamInterface<CloseBy> {};

TEST_P(MainWindowClosedTest, EndsWithCodeZero_ReleasingTheStateOnce)
{
    user().whenShown("Brenvik1.0", [&](WindowId window) {
        state_.TargetFolder = "D:\\backup\\";
        if (GetParam() == CloseBy::CloseBox)
            user().close(window);
        else
            user().pressEscape(window);
    });

    const sim::RunOutcome outcome = run();

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(state_.releaseCount, 1);
    EXPECT_TRUE(state_.TargetFolder.empty());
    EXPECT_FALSE(state_.copyCountersCreated);
    EXPECT_TRUE(desk_.ui().windows().empty());
    EXPECT_EQ(desk_.process().comReleaseCount(), 1);
    EXPECT_TRUE(desk_.process().exitRoutines().empty());
}

INSTANTIATE_TEST_SUITE_P(Routes, MainWindowClosedTest, ::testing::Values(CloseBy::CloseBox, CloseBy::Escape));

TEST_F(StartupTest, EndingAtOnce_RunsReleaseGlobalsOnce_WithoutDestroyingMainWindow)
{
    WindowId main;
    user().whenShown("Brenvik1.0", [&](WindowId window) {
        main = window;
        desk_.ui().setVisible(window, false);  // also from the tray, hidden
        user().call([&] { desk_.platform().process.exitNow(0); });
    });

    const sim::RunOutcome outcome = run();

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(state_.releaseCount, 1);
    EXPECT_TRUE(desk_.ui().isAlive(main));  // the loop never returned, nothing was destroyed
    EXPECT_FALSE(desk_.ui().windowState(main).visible);
    EXPECT_EQ(desk_.process().comReleaseCount(), 1);
}

// A fatal error shows a box without owner and ends with -1; ReleaseGlobals
// does not run.
enum class Fatal { ListPositionOutOfRange, OutOfMemory };

class FatalErrorTest : public StartupTest, public ::testing::WithParamInterface<Fatal> {};

TEST_P(FatalErrorTest, EndsWithMinusOne_WithoutReleasingTheState)
{
    user().whenShown("Brenvik1.0", [&](WindowId) {
        user().call([&] {
            if (GetParam() == Fatal::OutOfMemory)
                throw std::bad_alloc();
            std::vector<int> two{1, 2};
            ListAt(desk_.platform().process, two, 3);
        });
    });

    const sim::RunOutcome outcome = run();

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, -1);
    EXPECT_EQ(state_.releaseCount, 0);
    ASSERT_EQ(desk_.process().fatalMessages().size(), 1u);
    EXPECT_FALSE(desk_.process().fatalMessages()[0].owner);
    EXPECT_TRUE(desk_.process().exitRoutinesRun().empty());
    EXPECT_EQ(desk_.process().comReleaseCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Causes, FatalErrorTest,
                         ::testing::Values(Fatal::ListPositionOutOfRange, Fatal::OutOfMemory));

TEST(ListAt, ReachesEveryPositionInsideTheList)
{
    simtest::TempFolder folder;
    sim::SimDesktop desk(folder.path());
    std::vector<int> list{10, 20, 30};
    for (int position = 1; position <= 3; ++position)
        EXPECT_EQ(ListAt(desk.platform().process, list, position), position * 10);
    EXPECT_TRUE(desk.process().fatalMessages().empty());
}

class RootExecutableTest : public StartupTest {
protected:
    RootExecutableTest() : StartupTest(sim::SimOptions{.executablePath = "D:\\brenvik.exe"}) {}
};

TEST_F(RootExecutableTest, AnExecutableInADriveRootMakesThatRootCurrent)
{
    user().whenShown("Brenvik1.0", [&](WindowId window) { user().close(window); });

    EXPECT_EQ(run().exitCode, 0);
    EXPECT_EQ(desk_.process().executableDirectory(), "D:");
    EXPECT_EQ(desk_.files().currentDirectory(), "D:\\");
}

}  // namespace
}  // namespace brenvik
