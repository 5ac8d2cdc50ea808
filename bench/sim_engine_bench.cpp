// The copy engine's benchmark on the simulated desktop: a 256 MiB file through
// the engine at three chunk sizes, against a bare loop of the same reads and
// writes through the same file layer, a bare loop of host reads and writes,
// and cp; then peak memory while files of 256 MiB and 1 GiB are copied.
// Speeds are the best of five runs. Prints "name: value unit".
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "copy_bench.h"
#include "platform/sim/desktop.h"
#include "platform/sim/files.h"

namespace brenvik::bench {
namespace {

namespace fs = std::filesystem;

const Text kOut = "D:\\bench\\out\\";
const Text kSource = "D:\\bench\\source.bin";
const Text kLargeSource = "D:\\bench\\large.bin";
constexpr std::int64_t kLength = 256 * kMiB;
constexpr std::int64_t kLargeLength = 1024 * kMiB;
constexpr int kRuns = 5;

// The 1000-byte loop straight on the host's read and write, to show what the
// simulated file layer itself costs.
bool PosixCopy(const fs::path& source, const fs::path& target)
{
    const int in = ::open(source.c_str(), O_RDONLY);
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char buffer[1000];
    ssize_t got = -1;
    while (in >= 0 && out >= 0 && (got = ::read(in, buffer, sizeof buffer)) > 0) {
        if (::write(out, buffer, static_cast<std::size_t>(got)) != got) {
            got = -1;
            break;
        }
    }
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return got == 0;
}

// Everything on one simulated desktop, with a window whose 100 ms timer is
// live. The engine and the bare loop both reach the files through the
// desktop's own layer, the fault-injecting wrapper with no rule set.
int Run(sim::SimDesktop& desk, Platform& platform)
{
    SharedState state;
    ProgressWindow window(platform.ui, state);
    std::error_code error;
    fs::create_directories(desk.files().hostPath(kOut), error);
    // The 1 GiB file is sparse: what matters for it is the memory, not the disk.
    if (error || !window.ok() || !MakeFile(platform.files, kSource, kLength) ||
        !MakeFile(platform.files, kLargeSource, 0) || !WarmUp(platform.files, kSource)) {
        std::fprintf(stderr, "cannot prepare the benchmark's files\n");
        return 1;
    }
    fs::resize_file(desk.files().hostPath(kLargeSource), static_cast<std::uintmax_t>(kLargeLength), error);
    if (error)
        return 1;

    bool ok = true;
    for (const std::int32_t chunk : kChunkSizes) {
        const Contest contest = Interleaved(
            kRuns, kLength,
            [&] { return EngineCopy(platform, state, kOut, kSource, "source.bin", chunk, kLength); },
            [&] {
                return BareCopy(platform.files, kSource, kOut + "bare.bin", static_cast<std::size_t>(chunk));
            },
            [&] {
                platform.files.remove(kOut + "source.bin");
                platform.files.remove(kOut + "bare.bin");
            });
        PrintContest(std::to_string(chunk), contest, "");
        ok = ok && contest.ok;
    }

    Print("pending_pass_ns", PendingPassNanoseconds(platform.ui), "ns");

    const fs::path hostSource = desk.files().hostPath(kSource);
    const fs::path hostTarget = desk.files().hostPath(kOut + "host.bin");
    const double posix = BestOf(
        kRuns, kLength, [&] { return PosixCopy(hostSource, hostTarget); },
        [&] { fs::remove(hostTarget, error); });
    Print("bare_posix_1000_mb_s", posix, "MB/s");
    const std::string command = "cp -f '" + hostSource.string() + "' '" + hostTarget.string() + "'";
    const double cp = BestOf(
        kRuns, kLength, [&] { return std::system(command.c_str()) == 0; },
        [&] { fs::remove(hostTarget, error); });
    Print("cp_mb_s", cp, "MB/s");
    ok = ok && posix > 0 && cp > 0;

    const std::vector<MemoryCase> memoryCases{
        {"256mib_1000", kSource, "source.bin", kLength, 1000},
        {"1gib_1000", kLargeSource, "large.bin", kLargeLength, 1000},
        {"1gib_1048576", kLargeSource, "large.bin", kLargeLength, 1024 * 1024},
    };
    ok = PrintMemory(platform, state, kOut, memoryCases, "/proc/self/", "") && ok;
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace brenvik::bench

// Usage: sim_engine_bench [FOLDER]; without a folder a temporary one is used.
// The folder and everything in it are removed at the end.
int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const fs::path root = argc > 1
                              ? fs::path(argv[1])
                              : fs::temp_directory_path() / ("brenvik-bench-" + std::to_string(::getpid()));
    int status = 1;
    {
        brenvik::sim::SimDesktop desk(root);
        desk.run([&](brenvik::Platform& platform) {
            status = brenvik::bench::Run(desk, platform);
            return 0;
        });
    }
    std::error_code error;
    fs::remove_all(root, error);
    return status;
}
