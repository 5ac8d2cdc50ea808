// CopyWindow's benchmark on the Win32 layer (run under Wine): ShowCopyList
// with 1,000 and 10,000 clipboard entries, timed inside CopyWindow's created
// handler as the program runs it, next to one set-text of the same final
// text in the same place, and its two halves (reading the clipboard, the one
// append); then a batch of 1,000 files of 1 KiB end to end, from the click
// on "确认复制" until the window is gone. Each figure is the best of three
// runs. Prints "name: value unit".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "app/shared_state.h"
#include "copy/clipboard_list.h"
#include "copy/copy_window.h"
#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"

namespace brenvik::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;
constexpr int kBatchFiles = 1000;
constexpr std::size_t kSmallFile = 1024;

constexpr ControlSpec kHelperTimer[] = {
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick}};
constexpr WindowSpec kHelper{"bench", 200, 100, WindowFrame::Caption, false, kHelperTimer};

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Print(const std::string& name, double value, const char* unit)
{
    std::printf("%s: %.3f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

std::vector<Text> Paths(const Text& folder, int count)
{
    std::vector<Text> paths;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\file%05d.txt", i);
        paths.push_back(folder + name);
    }
    return paths;
}

// Opens a window of CopyWindow's layout, runs `fill` in its created handler
// (before it is shown, where ShowCopyList runs) and times it; returns the
// milliseconds and the file list's final text.
double TimeInCreated(win32::Win32Ui& ui, const std::function<void(WindowId)>& fill, Text& finalText)
{
    double ms = 0;
    const WindowId window = ui.openWindow(CopyWindowLayout, [&](const Event& event) {
        if (event.kind != EventKind::Created)
            return;
        const Clock::time_point start = Clock::now();
        fill(event.window);
        ms = MsSince(start);
    });
    finalText = ui.text(ControlId{window, CopyWindowControl::FileList});
    ui.destroyWindow(window);
    return ms;
}

bool BenchShowCopyList(win32::Win32Desktop& desktop, Platform& platform, const Text& folder)
{
    SharedState state;
    state.TargetFolder = folder + "\\out";
    bool ok = true;
    for (const int count : {1000, 10000}) {
        const std::vector<Text> paths = Paths(folder + "\\src", count);
        Text expected;
        for (const Text& path : paths)
            expected += path + "\r\n";
        if (!win32::testing::PutFilesOnClipboard(paths))
            return false;

        double listMs = 1e300, setTextMs = 1e300;
        for (int run = 0; run < kRuns; ++run) {
            Text listed, set;
            listMs = std::min(
                listMs,
                TimeInCreated(
                    desktop.ui, [&](WindowId window) { ShowCopyList(platform, state, window); }, listed));
            setTextMs = std::min(setTextMs,
                                 TimeInCreated(
                                     desktop.ui,
                                     [&](WindowId window) {
                                         desktop.ui.setText({window, CopyWindowControl::FileList}, expected);
                                     },
                                     set));
            if (listed != expected || set != expected) {
                std::fprintf(stderr, "the file list of %d entries does not hold the expected text\n", count);
                ok = false;
            }
        }
        {
            double readMs = 1e300, appendMs = 1e300;
            for (int run = 0; run < kRuns; ++run) {
                const Clock::time_point start = Clock::now();
                const std::vector<Text> list = ReadClipboardFiles(platform.clipboard);
                readMs = std::min(readMs, MsSince(start));
                Text appended;
                appendMs = std::min(
                    appendMs, TimeInCreated(
                                  desktop.ui,
                                  [&](WindowId window) {
                                      desktop.ui.appendText({window, CopyWindowControl::FileList}, expected);
                                  },
                                  appended));
            }
            // The two halves of ShowCopyList: reading the list (one
            // DragQueryFileA per entry) and filling the box (one append).
            Print("clipboard_read_" + std::to_string(count) + "_ms", readMs, "ms");
            Print("append_" + std::to_string(count) + "_ms", appendMs, "ms");
        }
        const std::string n = std::to_string(count);
        Print("showcopylist_" + n + "_ms", listMs, "ms");
        Print("settext_" + n + "_ms", setTextMs, "ms");
        Print("showcopylist_" + n + "_vs_settext_ratio", listMs / setTextMs, "x");
    }
    return ok;
}

// Opens CopyWindow as the hotkey dispatcher does, from a tick of a helper
// window in the main loop, clicks "确认复制" at once and times the click,
// which returns once the batch has run, "复制完成" has been dismissed (by a
// watcher, at once) and the window destroyed.
double TimeBatch(win32::Win32Desktop& desktop, Platform& platform, SharedState& state)
{
    win32::testing::MessageBoxWatcher watcher(L"信息提示", [](const std::string&) {});
    bool opened = false, clicked = false;
    double ms = -1;
    desktop.ui.openWindow(kHelper, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            desktop.ui.setTimerPeriod({event.window, 0}, 10);
        } else if (event.kind == EventKind::Tick && !opened) {
            opened = true;
            OpenCopyWindow(platform, state);
            desktop.ui.destroyWindow(event.window);
        } else if (event.kind == EventKind::Tick && !clicked && state.CopyWindowId) {
            clicked = true;
            const Clock::time_point start = Clock::now();
            win32::testing::ClickButton(desktop.ui, {state.CopyWindowId, CopyWindowControl::ConfirmButton});
            ms = MsSince(start);
        }
    });
    desktop.ui.runMessageLoop();
    return ms;
}

bool BenchBatch(win32::Win32Desktop& desktop, Platform& platform, const Text& folder)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder + "\\small"), error);
    std::filesystem::create_directories(std::filesystem::path(folder + "\\small-out"), error);
    const std::vector<Text> paths = Paths(folder + "\\small", kBatchFiles);
    const std::string bytes(kSmallFile, 'x');
    for (const Text& path : paths) {
        std::ofstream out(std::filesystem::path(path), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    if (!win32::testing::PutFilesOnClipboard(paths))
        return false;

    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::remove_all(std::filesystem::path(folder + "\\small-out"), error);
        std::filesystem::create_directories(std::filesystem::path(folder + "\\small-out"), error);
        SharedState state;
        state.TargetFolder = folder + "\\small-out";
        const double ms = TimeBatch(desktop, platform, state);
        std::size_t copied = 0;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(folder + "\\small-out")))
            copied += entry.file_size() == kSmallFile ? 1 : 0;
        if (ms < 0 || copied != paths.size()) {
            std::fprintf(stderr, "the batch copied %zu of %zu files\n", copied, paths.size());
            return false;
        }
        best = std::min(best, ms);
    }
    Print("batch_1000_small_files_ms", best, "ms");
    Print("batch_1000_small_files_per_s", kBatchFiles / (best / 1000.0), "files/s");
    return true;
}

int Run(const Text& folder)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder), error);
    win32::Win32Desktop desktop;
    Platform platform = desktop.platform();
    bool ok = BenchShowCopyList(desktop, platform, folder);
    ok = BenchBatch(desktop, platform, folder) && ok;
    win32::testing::EmptyTheClipboard();
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace brenvik::bench

// Usage: win32_copy_window_bench.exe [FOLDER], a Windows path (Z:\tmp\... under Wine).
int main(int argc, char** argv)
{
    const brenvik::Text folder = argc > 1 ? argv[1] : "Z:\\tmp\\brenvik-bench-copy-window";
    return brenvik::bench::Run(folder);
}
