// Process start and end on the real desktop. The ends of the process run in
// child processes (see child_scenarios.h): the test checks their exit codes
// and the marker file that their exit routines and message-box watchers write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "child_scenarios.h"
#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"
#include "temp_folder.h"

namespace brenvik::testing {

namespace {

std::string ArgumentValue(int argc, char** argv, std::string_view name)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with(name))
            return std::string(argument.substr(name.size()));
    }
    return {};
}

struct Marker {
    std::string path;
    const char* line;
};

void AppendLine(const std::string& path, const std::string& line)
{
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << '\n';
}

void WriteMarker(void* context)
{
    const auto* marker = static_cast<const Marker*>(context);
    AppendLine(marker->path, marker->line);
}

constexpr ControlSpec kTimerOnly[] = {
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
};
constexpr WindowSpec kChildWindow{"Child", 300, 200, WindowFrame::Caption, true, kTimerOnly};

}  // namespace

int RunChildScenario(int argc, char** argv)
{
    const std::string scenario = ArgumentValue(argc, argv, "--child=");
    const std::string markerPath = ArgumentValue(argc, argv, "--marker=");
    win32::Win32CodePage codePage;
    Marker first{markerPath, "first"};
    Marker second{markerPath, "second"};
    const auto watchBox = [&markerPath](const std::string& text) { AppendLine(markerPath, "box:" + text); };

    if (scenario == "exit-now") {
        // The same routine twice is held once; routines run in registration order.
        win32::Win32Process process(codePage);
        process.initialise();
        process.addExitRoutine({&WriteMarker, &first});
        process.addExitRoutine({&WriteMarker, &second});
        process.addExitRoutine({&WriteMarker, &first});
        process.exitNow(7);
    }
    if (scenario == "fatal-error") {
        win32::Win32Process process(codePage);
        process.initialise();
        process.addExitRoutine({&WriteMarker, &first});
        win32::testing::MessageBoxWatcher watcher(L"Brenvik", watchBox);
        process.fatalError("测试：致命错误");
    }
    if (scenario == "out-of-memory-in-handler") {
        // A handler that runs out of memory inside the window procedure. Its
        // timer keeps ticking while the box is up for 200 ms; the handler must
        // not run again meanwhile, or its second failure would end the
        // process before the box is answered.
        win32::Win32Process process(codePage);
        win32::Win32Ui ui(process);
        process.addExitRoutine({&WriteMarker, &first});
        win32::testing::MessageBoxWatcher watcher(L"Brenvik", watchBox, 200);
        ui.openWindow(kChildWindow, [&ui, &markerPath](const Event& event) {
            if (event.kind == EventKind::Created)
                ui.setTimerPeriod(ControlId{event.window, 0}, 10);
            if (event.kind == EventKind::Tick) {
                AppendLine(markerPath, "tick");
                throw std::bad_alloc();
            }
        });
        ui.runMessageLoop();
        AppendLine(markerPath, "loop returned");
        return 3;
    }
    if (scenario == "run-on-desktop") {
        // The entry routine's result is the exit code, and the exit routines
        // run after the entry has returned.
        return RunOnDesktop([&](Platform& platform) {
            platform.process.initialise();
            platform.process.addExitRoutine({&WriteMarker, &first});
            const Text directory = platform.process.executableDirectory();
            if (std::filesystem::current_path() == std::filesystem::path(directory))
                AppendLine(markerPath, "current directory is the executable's");
            AppendLine(markerPath, "entry returns");
            return 5;
        });
    }
    AppendLine(markerPath, "unknown scenario " + scenario);
    return 99;
}

namespace {

class Win32ProcessTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string marker = folder / "marker.txt";

    std::optional<std::uint32_t> runChild(const std::string& scenario)
    {
        return win32::testing::RunSelfAsChild("--child=" + scenario + " --marker=" + marker);
    }

    std::string markerText() const
    {
        std::ifstream in(marker, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(Win32ProcessTest, ExitNow_RunsEachRoutineOnceInOrderAndEndsWithTheCode)
{
    EXPECT_EQ(runChild("exit-now"), std::optional<std::uint32_t>(7));
    EXPECT_EQ(markerText(), "first\nsecond\n");
}

TEST_F(Win32ProcessTest, FatalError_ShowsTheMessageThenEndsWithMinusOneWithoutTheRoutines)
{
    EXPECT_EQ(runChild("fatal-error"), std::optional<std::uint32_t>(0xFFFFFFFFu));
    EXPECT_EQ(markerText(), "box:测试：致命错误\n");
}

TEST_F(Win32ProcessTest, OutOfMemoryInAHandler_IsAFatalErrorNotACrash)
{
    EXPECT_EQ(runChild("out-of-memory-in-handler"), std::optional<std::uint32_t>(0xFFFFFFFFu));
    // The handler ran once; the box was up for its full time and then answered.
    EXPECT_EQ(markerText(), "tick\nbox:" + std::string(kOutOfMemoryMessage) + "\n");
}

TEST_F(Win32ProcessTest, RunOnDesktop_ReturnsTheEntrysCodeAfterTheExitRoutines)
{
    EXPECT_EQ(runChild("run-on-desktop"), std::optional<std::uint32_t>(5));
    EXPECT_EQ(markerText(), "current directory is the executable's\nentry returns\nfirst\n");
}

TEST_F(Win32ProcessTest, Initialise_RecordsTheExecutablesFolderWithoutTrailingBackslash)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    win32::Win32CodePage codePage;
    win32::Win32Process process(codePage);
    win32::Win32Files files;

    EXPECT_TRUE(process.initialise());
    EXPECT_TRUE(process.initialise());
    const Text directory = process.executableDirectory();
    const std::filesystem::path current = std::filesystem::current_path();
    std::filesystem::current_path(previous);

    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    EXPECT_TRUE(files.exists(directory + "\\win32_tests.exe"));
    EXPECT_EQ(current, std::filesystem::path(directory));
}

}  // namespace
}  // namespace brenvik::testing
