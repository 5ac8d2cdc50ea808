// What the copy benchmarks of both desktops share: making and warming the
// source, one copy through the engine with a live copy window, the bare loop of
// reads and writes it is measured against, peak memory, and the printed lines.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "copy/copy_engine.h"
#include "platform/platform.h"

namespace brenvik::bench {

inline constexpr std::int64_t kMiB = std::int64_t{1} << 20;
inline constexpr std::int32_t kChunkSizes[] = {1000, 64 * 1024, 1024 * 1024};

// Prints one figure as "name: value unit".
inline void Print(const std::string& name, double value, const char* unit)
{
    std::printf("%s: %.3f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

inline double MegabytesPerSecond(std::int64_t bytes, double seconds)
{
    return static_cast<double>(bytes) / 1e6 / seconds;
}

template <class F>
double SecondsOf(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best speeds of the engine and of the bare loop over several runs, taken in
// turns, so that a change of the machine's load meets both alike.
struct Contest {
    double engineMbS = 0;
    double bareMbS = 0;
    bool ok = true;
};

// Each run times `engineOnce()` then `bareOnce()` (each returning false on a
// failed copy); `removeCopies()` runs after each, untimed.
template <class E, class B, class R>
Contest Interleaved(int runs, std::int64_t bytes, E&& engineOnce, B&& bareOnce, R&& removeCopies)
{
    Contest contest;
    for (int run = 0; run < runs && contest.ok; ++run) {
        bool engineOk = false, bareOk = false;
        const double engineSeconds = SecondsOf([&] { engineOk = engineOnce(); });
        removeCopies();
        const double bareSeconds = SecondsOf([&] { bareOk = bareOnce(); });
        removeCopies();
        contest.ok = engineOk && bareOk;
        contest.engineMbS = std::max(contest.engineMbS, MegabytesPerSecond(bytes, engineSeconds));
        contest.bareMbS = std::max(contest.bareMbS, MegabytesPerSecond(bytes, bareSeconds));
    }
    return contest;
}

// The best speed of `copyOnce()` over several runs; 0 when a copy failed.
template <class C, class R>
double BestOf(int runs, std::int64_t bytes, C&& copyOnce, R&& removeCopy)
{
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        bool ok = false;
        const double seconds = SecondsOf([&] { ok = copyOnce(); });
        removeCopy();
        if (!ok)
            return 0;
        best = std::max(best, MegabytesPerSecond(bytes, seconds));
    }
    return best;
}

// Nanoseconds one pending-message pass costs when nothing is pending.
inline double PendingPassNanoseconds(Ui& ui)
{
    constexpr int kPasses = 1'000'000;
    const double seconds = SecondsOf([&] {
        for (int i = 0; i < kPasses; ++i)
            ui.processPending();
    });
    return seconds * 1e9 / kPasses;
}

// Prints the figures of one chunk size: both speeds and their ratio.
inline void PrintContest(const std::string& size, const Contest& contest, const std::string& suffix)
{
    Print("engine_" + size + "_mb_s" + suffix, contest.engineMbS, "MB/s");
    Print("bare_" + size + "_mb_s" + suffix, contest.bareMbS, "MB/s");
    if (contest.ok && contest.bareMbS > 0)
        Print("engine_" + size + "_vs_bare_ratio" + suffix, contest.engineMbS / contest.bareMbS, "x");
}

// Writes `length` bytes that vary from byte to byte, in pieces of 1 MiB.
inline bool MakeFile(Files& files, const Text& path, std::int64_t length)
{
    FileHandle file = files.open(path, FileAccess::Write, FileShare::Read, FileDisposition::CreateAlways,
                                 FileAttribute::Normal);
    if (!file)
        return false;
    std::vector<unsigned char> piece(static_cast<std::size_t>(kMiB));
    for (std::int64_t written = 0, n = 0; written < length; ++n) {
        for (std::size_t i = 0; i < piece.size(); ++i)
            piece[i] = static_cast<unsigned char>((i * 31 + static_cast<std::size_t>(n) * 7) >> 3);
        const auto size = static_cast<std::size_t>(std::min<std::int64_t>(kMiB, length - written));
        const IoResult result = file->write(piece.data(), size);
        if (!result.ok() || result.bytes != size)
            return false;
        written += static_cast<std::int64_t>(size);
    }
    return true;
}

// Reads a file once from start to end, so that the page cache holds it.
inline bool WarmUp(Files& files, const Text& path)
{
    FileHandle file = files.open(path, FileAccess::Read, FileShare::Read | FileShare::Write,
                                 FileDisposition::OpenExisting, FileAttribute::Normal);
    if (!file)
        return false;
    std::vector<char> piece(static_cast<std::size_t>(kMiB));
    for (;;) {
        const IoResult result = file->read(piece.data(), piece.size());
        if (!result.ok())
            return false;
        if (result.bytes == 0)
            return true;
    }
}

// The copy through a bare loop: the source opened as the engine opens it, the
// target created as the engine creates its temporary file (a new hidden file;
// under Wine a file made with CREATE_ALWAYS is written markedly slower), then
// `chunk` bytes read and written a turn until the end.
inline bool BareCopy(Files& files, const Text& source, const Text& target, std::size_t chunk)
{
    FileHandle in = files.open(source, FileAccess::Read, FileShare::Read | FileShare::Write,
                               FileDisposition::OpenExisting, FileAttribute::Normal);
    FileHandle out = files.open(target, FileAccess::Write, FileShare::Read | FileShare::Write,
                                FileDisposition::CreateNew, FileAttribute::Hidden);
    if (!in || !out)
        return false;
    std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(chunk);
    for (;;) {
        const IoResult read = in->read(buffer.get(), chunk);
        if (!read.ok())
            return false;
        if (read.bytes == 0)
            return true;
        const IoResult written = out->write(buffer.get(), read.bytes);
        if (!written.ok())
            return false;
    }
}

// A window like the copy window while it copies: a timer of 100 ms that copies
// the progress into a variable, so the engine's pending-message passes have
// real work whenever a tick is due.
class ProgressWindow {
public:
    ProgressWindow(Ui& ui, const SharedState& state) : ui_(ui)
    {
        window_ = ui.openWindow(kSpec, [this, &state](const Event& event) {
            if (event.kind == EventKind::Tick) {
                shown_ = state.ProgressPercent;
                ++ticks_;
            }
        });
        if (window_)
            ui.setTimerPeriod(ControlId{window_, 0}, 100);
    }
    ~ProgressWindow()
    {
        if (window_)
            ui_.destroyWindow(window_);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    bool ok() const { return static_cast<bool>(window_); }
    int ticks() const { return ticks_; }

private:
    static constexpr ControlSpec kControls[] = {
        {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    };
    static constexpr WindowSpec kSpec = {"benchmark", 300, 120, WindowFrame::Caption, false, kControls};

    Ui& ui_;
    WindowId window_;
    int shown_ = 0;
    int ticks_ = 0;
};

// One copy through the engine at Speed 100 into `folder`. False when the
// engine did not report success or the copy's length is wrong; the caller
// removes the copy, outside the timed part.
inline bool EngineCopy(Platform& platform, SharedState& state, const Text& folder, const Text& source,
                       const Text& fileName, std::int32_t chunk, std::int64_t length)
{
    Text folderText = folder;
    Text sourceText = source;
    if (!CopyOneFile(platform, state, folderText, sourceText, chunk, 100))
        return false;
    FileHandle copy = platform.files.open(folderText + fileName, FileAccess::None,
                                          FileShare::Read | FileShare::Write | FileShare::Delete,
                                          FileDisposition::OpenExisting, FileAttribute::Normal);
    return copy && copy->size() == length;
}

// A field of a /proc status file in KiB (VmRSS, VmHWM), when it can be read.
inline std::optional<std::int64_t> StatusKib(const std::string& statusPath, const std::string& field)
{
    std::ifstream status(statusPath);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    }
    return std::nullopt;
}

// Resets the peak resident size to the current one (Linux clear_refs "5").
inline bool ResetPeak(const std::string& clearRefsPath)
{
    std::ofstream clear(clearRefsPath);
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct PeakMemory {
    std::int64_t peakKib = 0;    // the highest resident size while `work` ran
    std::int64_t growthKib = 0;  // how far that is above the resident size before
};

// Peak resident memory while `work` runs, from the /proc files under
// `procSelf`; nothing when they cannot be read or the peak cannot be reset.
template <class F>
std::optional<PeakMemory> MeasurePeak(const std::string& procSelf, F&& work)
{
    const std::string status = procSelf + "status";
    if (!ResetPeak(procSelf + "clear_refs"))
        return std::nullopt;
    const std::optional<std::int64_t> before = StatusKib(status, "VmRSS");
    work();
    const std::optional<std::int64_t> peak = StatusKib(status, "VmHWM");
    if (!before || !peak)
        return std::nullopt;
    return PeakMemory{*peak, *peak > *before ? *peak - *before : 0};
}

// One figure of peak memory: the engine copying `source` at `chunk`.
struct MemoryCase {
    std::string label;  // part of the figure's name
    Text source;
    Text fileName;
    std::int64_t length;
    std::int32_t chunk;
};

// Prints the peak resident memory while each case is copied into `out`, and
// how far it rose above the memory in use before the copy.
inline bool PrintMemory(Platform& platform, SharedState& state, const Text& out,
                        const std::vector<MemoryCase>& cases, const std::string& procSelf,
                        const std::string& suffix)
{
    bool ok = true;
    for (const MemoryCase& c : cases) {
        bool copied = false;
        const auto memory = MeasurePeak(procSelf, [&] {
            copied = EngineCopy(platform, state, out, c.source, c.fileName, c.chunk, c.length);
        });
        platform.files.remove(out + c.fileName);
        if (copied && memory) {
            Print("engine_peak_rss_" + c.label + suffix, static_cast<double>(memory->peakKib), "KiB");
            Print("engine_peak_rss_growth_" + c.label + suffix, static_cast<double>(memory->growthKib),
                  "KiB");
        } else {
            std::fprintf(stderr, "memory figure %s not measured\n", c.label.c_str());
            ok = false;
        }
    }
    return ok;
}

}  // namespace brenvik::bench
