// The copy engine's benchmark on the Win32 layer (run under Wine): a 256 MiB
// file through the engine at three chunk sizes against a bare loop of the same
// ReadFile and WriteFile calls, with a live copy window; then peak memory while
// files of 256 MiB and 1 GiB are copied. Each speed is the best of five runs.
// Prints "name: value unit", each name ending in "_wine".
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "copy_bench.h"
#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"

namespace brenvik::bench {
namespace {

constexpr std::int64_t kLength = 256 * kMiB;
constexpr std::int64_t kLargeLength = 1024 * kMiB;
constexpr int kRuns = 5;

int Run(const Text& folder)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder + "\\out"), error);
    const Text out = folder + "\\out\\";
    const Text source = folder + "\\source.bin";
    const Text large = folder + "\\large.bin";

    win32::Win32Desktop desktop;
    Platform platform = desktop.platform();
    SharedState state;
    ProgressWindow window(platform.ui, state);
    if (!window.ok() || !MakeFile(platform.files, source, kLength) || !MakeFile(platform.files, large, 0) ||
        !win32::testing::SetFileLength(large, kLargeLength) || !WarmUp(platform.files, source)) {
        std::fprintf(stderr, "cannot prepare the benchmark under %s\n", folder.c_str());
        return 1;
    }

    bool ok = true;
    for (const std::int32_t chunk : kChunkSizes) {
        const Contest contest = Interleaved(
            kRuns, kLength,
            [&] { return EngineCopy(platform, state, out, source, "source.bin", chunk, kLength); },
            [&] {
                return BareCopy(platform.files, source, out + "bare.bin", static_cast<std::size_t>(chunk));
            },
            [&] {
                platform.files.remove(out + "source.bin");
                platform.files.remove(out + "bare.bin");
            });
        PrintContest(std::to_string(chunk), contest, "_wine");
        ok = ok && contest.ok;
    }
    Print("progress_timer_ticks_wine", window.ticks(), "ticks");
    Print("pending_pass_ns_wine", PendingPassNanoseconds(platform.ui), "ns");

    // Wine's processes are Linux processes: their /proc files are reached through drive Z.
    const std::vector<MemoryCase> memoryCases{
        {"256mib_1000", source, "source.bin", kLength, 1000},
        {"1gib_1000", large, "large.bin", kLargeLength, 1000},
        {"1gib_1048576", large, "large.bin", kLargeLength, 1024 * 1024},
    };
    ok = PrintMemory(platform, state, out, memoryCases, "Z:\\proc\\self\\", "_wine") && ok;
    platform.files.remove(source);
    platform.files.remove(large);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace brenvik::bench

// Usage: win32_engine_bench.exe [FOLDER], a Windows path (Z:\tmp\... under Wine).
int main(int argc, char** argv)
{
    const brenvik::Text folder = argc > 1 ? argv[1] : "Z:\\tmp\\brenvik-bench-wine";
    return brenvik::bench::Run(folder);
}
