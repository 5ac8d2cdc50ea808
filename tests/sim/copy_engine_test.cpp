// The copy engine on the simulated desktop: the shared cases, the pause on the
// virtual clock, a single-byte code page, and injected faults and crashes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/engine_cases.h"
#include "platform/sim/desktop.h"
#include "platform/sim/faults.h"
#include "platform/sim/files.h"
#include "platform/sim/ui.h"

namespace brenvik::enginetest {
namespace {

namespace fs = std::filesystem;
using sim::FaultyFiles;
using sim::FileOp;
using sim::RunEnd;
using sim::SimDesktop;
using sim::SimOptions;

const Text kRoot = "D:\\work\\";

// Gives the rig the host-side helpers that the file layer lacks.
void WireHost(EngineRig& rig, sim::SimFiles& files)
{
    rig.makeFolder = [&files](const Text& folder) {
        const fs::path host = files.hostPath(folder);
        std::error_code error;
        fs::create_directories(host, error);
        return !host.empty() && !error;
    };
    rig.list = [&files](const Text& folder) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(files.hostPath(folder), error))
            names.push_back(entry.path().filename().string());
        return names;
    };
    rig.hardLink = [&files](const Text& target, const Text& link) {
        std::error_code error;
        fs::create_hard_link(files.hostPath(target), files.hostPath(link), error);
        return !error;
    };
    rig.sparseFile = [&files](const Text& path, std::int64_t length,
                              const std::vector<std::pair<std::int64_t, std::string>>& marks) {
        const fs::path host = files.hostPath(path);
        {
            std::ofstream create(host, std::ios::binary);
            if (!create)
                return false;
        }
        std::error_code error;
        fs::resize_file(host, static_cast<std::uintmax_t>(length), error);
        if (error)
            return false;
        std::fstream file(host, std::ios::binary | std::ios::in | std::ios::out);
        for (const auto& [offset, bytes] : marks) {
            file.seekp(offset);
            file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        return static_cast<bool>(file);
    };
}

class SimEngine : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(base_, error);
    }

    // Runs `body` as the program on a fresh desktop, with a rig whose folder is
    // D:\work\ and whose helpers bypass the injected faults.
    void onDesktop(const std::function<void(EngineRig&, SimDesktop&)>& body, SimOptions options = {})
    {
        SimDesktop desk(base_ / std::to_string(runs_++), options);
        EXPECT_EQ(runOn(desk, body).end, RunEnd::Exited);
    }

    // The same on a desktop the test keeps, for a run that may end otherwise
    // (an injected crash) and for checks after the run.
    std::unique_ptr<SimDesktop> newDesktop()
    {
        return std::make_unique<SimDesktop>(base_ / std::to_string(runs_++));
    }
    sim::RunOutcome runOn(SimDesktop& desk, const std::function<void(EngineRig&, SimDesktop&)>& body)
    {
        return desk.run([&](Platform& platform) {
            EngineRig rig(platform, kRoot, &desk.files());
            WireHost(rig, desk.files());
            if (rig.makeFolder(kRoot))
                body(rig, desk);
            else
                ADD_FAILURE() << "cannot create " << kRoot;
            return 0;
        });
    }

private:
    fs::path base_ =
        fs::path(::testing::TempDir()) / ("brenvik-engine-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    int runs_ = 0;
};

TEST_F(SimEngine, LengthsGiveTheirReadsWritesAndPercentages)
{
    for (const LengthCase& c : LengthCases())
        onDesktop([&](EngineRig& rig, SimDesktop&) { CheckLength(rig, c); });
}

TEST_F(SimEngine, PathsAreNormalisedAndTheTargetNamed)
{
    for (const PathCase& c : PathCases())
        onDesktop([&](EngineRig& rig, SimDesktop&) { CheckPath(rig, c); });
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckBatchFolder(rig); });
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckSourceWithoutBackslash(rig); });
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckEmptyFolder(rig, "E:\\cwd", "E:\\"); });
}

TEST_F(SimEngine, MissingFolderGivesFalseAndCreatesNothing)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckMissingFolder(rig); });
}

TEST_F(SimEngine, SingleByteCodePageTakesEveryByteAsACharacter)
{
    SimOptions options;
    options.codePage = 1252;
    onDesktop(
        [](EngineRig& rig, SimDesktop&) {
            ASSERT_TRUE(rig.makeFolder(kRoot + "caf\xE9") && rig.makeFolder(kRoot + "out"));
            ASSERT_TRUE(rig.put(kRoot + "caf\xE9\\x.txt", "west"));
            Text source = kRoot + "caf\xE9/x.txt";
            Text folder = kRoot + "out";
            EXPECT_TRUE(rig.copy(folder, source));
            EXPECT_EQ(source, kRoot + "caf\xE9\\x.txt");
            EXPECT_EQ(rig.get(kRoot + "out\\x.txt"), "west");
            EXPECT_EQ(ReplaceAll(rig.codePage(), "\xD5/x/", "/", "\\"), "\xD5\\x\\");
        },
        options);
}

TEST_F(SimEngine, CancelRequestsActAfterTheNextChunk)
{
    for (const CancelCase& c : CancelCases())
        onDesktop([&](EngineRig& rig, SimDesktop&) { CheckCancel(rig, c); });
}

TEST_F(SimEngine, PauseFollowsSpeed)
{
    for (const PauseCase& c : PauseCases())
        onDesktop([&](EngineRig& rig, SimDesktop&) { CheckPause(rig, c); });
}

// The pause is taken on the virtual clock, once per chunk, before the pass.
TEST_F(SimEngine, PauseMovesTheVirtualClockBeforeEachPass)
{
    for (auto [speed, expected] : {std::pair{60, std::vector<std::int64_t>{40, 80, 120}},
                                   std::pair{100, std::vector<std::int64_t>{0, 0, 0}}}) {
        onDesktop([&, speed = speed, expected = expected](EngineRig& rig, SimDesktop& desk) {
            ASSERT_TRUE(rig.makeFolder(kRoot + "in") && rig.makeFolder(kRoot + "out"));
            ASSERT_TRUE(rig.put(kRoot + "in\\t.bin", Pattern(2500)));
            std::vector<std::int64_t> seen;
            const std::int64_t start = desk.nowMs();
            desk.ui().setPendingPassHook([&](int) { seen.push_back(desk.nowMs() - start); });
            Text source = kRoot + "in\\t.bin";
            Text folder = kRoot + "out";
            EXPECT_TRUE(rig.copy(folder, source, 1000, speed));
            EXPECT_EQ(seen, expected);
            desk.ui().setPendingPassHook(nullptr);
        });
    }
}

TEST_F(SimEngine, TargetThatIsTheSourceIsLeftAlone)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckTargetIsSource(rig); });
}

TEST_F(SimEngine, SourceThatCannotBeOpenedTouchesNoTarget)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckSourceRefused(rig); });
}

TEST_F(SimEngine, RefusedTargetsGiveFalseBeforeAnyWrite)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckTargetRefused(rig); });
}

TEST_F(SimEngine, SourceThatChangesIsCopiedUpToWhatWasMeasured)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckEmptyThenGrown(rig); });
    for (const ChangeCase& c : ChangeCases())
        onDesktop([&](EngineRig& rig, SimDesktop&) { CheckChange(rig, c); });
}

TEST_F(SimEngine, NestedCopiesKeepTheirOwnCounters)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckNested(rig, false); });
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckNested(rig, true); });
}

TEST_F(SimEngine, FilesOf2GiBAndMoreCopyExactly)
{
    onDesktop([](EngineRig& rig, SimDesktop&) { CheckLargeFile(rig); });
}

TEST_F(SimEngine, ReplaceAllCases)
{
    onDesktop([](EngineRig& rig, SimDesktop&) {
        for (const ReplaceCase& c : ReplaceCases())
            CheckReplace(rig.codePage(), c);
    });
}

// ---------------------------------------------------------------------------
// Injected faults. Every run copies a source of three chunks onto a file that
// already exists (or onto a free name) with one fault injected, and then checks
// what must hold whatever the fault: the source is untouched; a true result
// means the target holds the copy; a false result means the target is as it
// was; and nothing else is left in the folder but, when the deletion itself
// failed, the hidden temporary file.

const std::string kOld = "the file that was there";

struct FaultRun {
    bool result = false;
    bool injected = false;
    std::int32_t percent = 0;  // ProgressPercent afterwards; 77 before the call
};

// Checks the folder D:\work\out\ after a run; `copied` is the source's bytes.
void CheckAftermath(EngineRig& rig, const std::string& copied, bool hadTarget, std::optional<bool> result,
                    bool removeMayHaveFailed)
{
    const Text target = kRoot + "out\\f.bin";
    EXPECT_EQ(rig.get(kRoot + "in\\f.bin"), copied) << "the source is untouched";
    if (result == true) {
        EXPECT_EQ(rig.get(target), copied) << "success means a complete copy";
    } else if (hadTarget) {
        EXPECT_EQ(rig.get(target), kOld) << "the existing file is intact";
    } else {
        EXPECT_FALSE(rig.present(target)) << "no file under the target's name";
    }
    for (const std::string& name : rig.list(kRoot + "out")) {
        if (name == "f.bin")
            continue;
        EXPECT_TRUE(removeMayHaveFailed || !result.has_value()) << "left behind: " << name;
        EXPECT_EQ(name.rfind("~brenvik-", 0), 0u) << name;
        unsigned attributes = 0;
        EXPECT_TRUE(rig.real().attributes(kRoot + "out\\" + name, attributes));
        EXPECT_NE(attributes & FileAttribute::Hidden, 0u) << name << " is hidden";
    }
}

class SimEngineFaults : public SimEngine {
public:
    FaultRun runWithFault(const std::function<void(FaultyFiles&)>& inject, bool hadTarget, bool removeMayFail)
    {
        FaultRun run;
        const std::string data = Pattern(3000, 21);
        onDesktop([&](EngineRig& rig, SimDesktop& desk) {
            ASSERT_TRUE(rig.makeFolder(kRoot + "in") && rig.makeFolder(kRoot + "out"));
            ASSERT_TRUE(rig.put(kRoot + "in\\f.bin", data));
            if (hadTarget) {
                ASSERT_TRUE(rig.put(kRoot + "out\\f.bin", kOld));
            }
            inject(desk.faults());
            Text source = kRoot + "in/f.bin";
            Text folder = kRoot + "out";
            rig.state.ProgressPercent = 77;
            run.result = rig.copy(folder, source);
            run.injected = desk.faults().injectedCount() > 0;
            run.percent = rig.state.ProgressPercent;
            desk.faults().clearRules();
            CheckAftermath(rig, data, hadTarget, run.result, removeMayFail);
        });
        return run;
    }

    // Sweeps the fault position n = 1, 2, ... until a run injects nothing.
    void sweep(const char* what, const std::function<void(FaultyFiles&, int n)>& inject)
    {
        for (bool hadTarget : {true, false}) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::string(what) + " at call " + std::to_string(n) +
                             (hadTarget ? ", onto an existing file" : ", onto a free name"));
                const FaultRun run =
                    runWithFault([&](FaultyFiles& faults) { inject(faults, n); }, hadTarget, false);
                if (!run.injected) {
                    EXPECT_TRUE(run.result) << "a run without faults copies";
                    EXPECT_GT(n, 1) << "the sweep injected nothing at all";
                    break;
                }
                ASSERT_LT(n, 100) << "the sweep does not end";
            }
        }
    }
};

TEST_F(SimEngineFaults, EveryFailedCallIsSurvivedAndReported)
{
    struct Kind {
        const char* name;
        FileOp op;
        FileError error;
    };
    for (const Kind& kind :
         {Kind{"open", FileOp::Open, FileError::AccessDenied},
          Kind{"read", FileOp::Read, FileError::ReadFault}, Kind{"write", FileOp::Write, FileError::DiskFull},
          Kind{"move", FileOp::Move, FileError::AccessDenied},
          Kind{"set attributes", FileOp::SetAttributes, FileError::AccessDenied}}) {
        for (bool fromThenOn : {false, true}) {
            sweep(kind.name,
                  [&](FaultyFiles& faults, int n) { faults.failNth(kind.op, n, kind.error, fromThenOn); });
        }
    }
}

TEST_F(SimEngineFaults, ShortWritesAndAFullDiskGiveFalse)
{
    sweep("short write", [](FaultyFiles& faults, int n) { faults.shortWriteNth(n, 10); });
    // A disk that fills up during the copy: false, and the progress shows that
    // nothing was copied.
    for (std::int64_t budget : {0, 999, 1000, 2999}) {
        SCOPED_TRACE("disk budget " + std::to_string(budget));
        const FaultRun run =
            runWithFault([budget](FaultyFiles& faults) { faults.setDiskBudget(budget); }, true, false);
        EXPECT_FALSE(run.result);
        EXPECT_EQ(run.percent, 0);
    }
}

// A failed copy whose temporary file cannot be deleted still gives false and
// leaves the existing file intact; only the hidden temporary file remains.
TEST_F(SimEngineFaults, FailedDeletionLeavesTheHiddenTemporaryFile)
{
    const FaultRun run = runWithFault(
        [](FaultyFiles& faults) {
            faults.failNth(FileOp::Write, 2, FileError::DiskFull);
            faults.failNth(FileOp::Remove, 1, FileError::SharingViolation);
        },
        true, true);
    EXPECT_FALSE(run.result);
}

// The source changing between reads, as another process would change it.
TEST_F(SimEngineFaults, SourceResizedBetweenReads)
{
    struct Case {
        const char* name;
        std::function<void(FaultyFiles&)> inject;
        std::size_t copied;  // bytes of the source the copy holds
    };
    const std::vector<Case> cases{
        {"grows before read 2", [](FaultyFiles& f) { f.growBeforeRead(2, 5000); }, 3000},
        {"shrinks before read 2", [](FaultyFiles& f) { f.shrinkBeforeRead(2, 1500); }, 1500},
        {"shrinks to nothing before read 1", [](FaultyFiles& f) { f.shrinkBeforeRead(1, 0); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        onDesktop([&](EngineRig& rig, SimDesktop& desk) {
            ASSERT_TRUE(rig.makeFolder(kRoot + "in") && rig.makeFolder(kRoot + "out"));
            const std::string data = Pattern(3000, 4);
            ASSERT_TRUE(rig.put(kRoot + "in\\r.bin", data));
            c.inject(desk.faults());
            Text source = kRoot + "in\\r.bin";
            Text folder = kRoot + "out";
            EXPECT_TRUE(rig.copy(folder, source));
            EXPECT_EQ(desk.faults().injectedCount(), 1);
            EXPECT_EQ(rig.get(kRoot + "out\\r.bin"), data.substr(0, c.copied));
            EXPECT_LE(rig.files.log.reads.size(), 3u);
        });
    }
}

// A crash at any write leaves the target's name as it was: the existing file
// intact, or no file at all; at most a hidden temporary file remains.
TEST_F(SimEngineFaults, CrashAtAnyWriteLeavesOnlyAHiddenTemporaryFile)
{
    const std::string data = Pattern(3000, 8);
    for (bool hadTarget : {true, false}) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE("crash at write " + std::to_string(n));
            auto desk = newDesktop();
            bool returned = false;
            const sim::RunOutcome outcome = runOn(*desk, [&](EngineRig& rig, SimDesktop& d) {
                ASSERT_TRUE(rig.makeFolder(kRoot + "in") && rig.makeFolder(kRoot + "out"));
                ASSERT_TRUE(rig.put(kRoot + "in\\f.bin", data));
                if (hadTarget) {
                    ASSERT_TRUE(rig.put(kRoot + "out\\f.bin", kOld));
                }
                d.faults().crashAtWrite(n, 100);
                Text source = kRoot + "in\\f.bin";
                Text folder = kRoot + "out";
                returned = rig.copy(folder, source);
            });
            EngineRig after(desk->platform(), kRoot, &desk->files());
            WireHost(after, desk->files());
            if (outcome.end != RunEnd::Crashed) {
                EXPECT_TRUE(returned);
                EXPECT_EQ(n, 4) << "three writes, then no crash";
                break;
            }
            CheckAftermath(after, data, hadTarget, std::nullopt, false);
            ASSERT_LT(n, 10);
        }
    }
}

}  // namespace
}  // namespace brenvik::enginetest
