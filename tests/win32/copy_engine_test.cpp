// The copy engine over the real Win32 layer under Wine: the cases shared with
// the simulated desktop, against CreateFileA, ReadFile, WriteFile, DeleteFileA
// and the final MoveFileExA, with the system's code page (936 in the tests).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "common/engine_cases.h"
#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"
#include "temp_folder.h"

namespace brenvik::enginetest {
namespace {

namespace fs = std::filesystem;

// Folder helpers through the C++ library, which reaches the same files; the
// folders these tests make have ASCII names.
void WireHost(EngineRig& rig)
{
    rig.makeFolder = [](const Text& folder) {
        std::error_code error;
        fs::create_directories(fs::path(folder), error);
        return !error;
    };
    rig.list = [](const Text& folder) {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(fs::path(folder), error))
            names.push_back(entry.path().filename().string());
        return names;
    };
    rig.hardLink = [](const Text& target, const Text& link) {
        std::error_code error;
        fs::create_hard_link(fs::path(target), fs::path(link), error);
        return !error;
    };
    rig.sparseFile = [](const Text& path, std::int64_t length,
                        const std::vector<std::pair<std::int64_t, std::string>>& marks) {
        {
            std::ofstream create(fs::path(path), std::ios::binary);
            if (!create)
                return false;
        }
        if (!win32::testing::SetFileLength(path, length))
            return false;
        std::fstream file(fs::path(path), std::ios::binary | std::ios::in | std::ios::out);
        for (const auto& [offset, bytes] : marks) {
            file.seekp(offset);
            file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        return static_cast<bool>(file);
    };
}

class Win32Engine : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code error;
        fs::current_path(startDirectory_, error);
    }

    // Runs `body` on the real desktop's services with a rig in a fresh folder.
    void onDesktop(const std::function<void(EngineRig&)>& body)
    {
        testing::TempFolder folder;
        win32::Win32Desktop desktop;
        Platform platform = desktop.platform();
        EngineRig rig(platform, folder.text() + "\\");
        WireHost(rig);
        body(rig);
        std::error_code error;
        fs::current_path(startDirectory_, error);
    }

private:
    fs::path startDirectory_ = fs::current_path();
};

TEST_F(Win32Engine, RunsWithCodePage936)
{
    win32::Win32CodePage codePage;
    EXPECT_EQ(codePage.id(), 936u) << "the Win32 tests run with LC_ALL=zh_CN.UTF-8";
}

TEST_F(Win32Engine, LengthsGiveTheirReadsWritesAndPercentages)
{
    for (const LengthCase& c : LengthCases())
        onDesktop([&](EngineRig& rig) { CheckLength(rig, c); });
}

TEST_F(Win32Engine, PathsAreNormalisedAndTheTargetNamed)
{
    for (const PathCase& c : PathCases()) {
        onDesktop([&](EngineRig& rig) {
            if (c.doubleByteOnly && !rig.codePage().isLeadByte(0xD5))
                GTEST_SKIP() << "needs a double-byte code page";
            CheckPath(rig, c);
        });
    }
    onDesktop([](EngineRig& rig) { CheckBatchFolder(rig); });
    onDesktop([](EngineRig& rig) { CheckSourceWithoutBackslash(rig); });
    // The root of the current drive is the Wine prefix's drive C.
    onDesktop([](EngineRig& rig) { CheckEmptyFolder(rig, "C:\\brenvik-engine-cwd", "C:\\"); });
    std::error_code error;
    fs::remove(fs::path("C:\\brenvik-engine-cwd"), error);
}

TEST_F(Win32Engine, MissingFolderGivesFalseAndCreatesNothing)
{
    onDesktop([](EngineRig& rig) { CheckMissingFolder(rig); });
}

TEST_F(Win32Engine, CancelRequestsActAfterTheNextChunk)
{
    for (const CancelCase& c : CancelCases())
        onDesktop([&](EngineRig& rig) { CheckCancel(rig, c); });
}

TEST_F(Win32Engine, PauseFollowsSpeed)
{
    for (const PauseCase& c : PauseCases())
        onDesktop([&](EngineRig& rig) { CheckPause(rig, c); });
}

TEST_F(Win32Engine, TargetThatIsTheSourceIsLeftAlone)
{
    onDesktop([](EngineRig& rig) { CheckTargetIsSource(rig); });
}

TEST_F(Win32Engine, SourceThatCannotBeOpenedTouchesNoTarget)
{
    onDesktop([](EngineRig& rig) { CheckSourceRefused(rig); });
}

TEST_F(Win32Engine, RefusedTargetsGiveFalseBeforeAnyWrite)
{
    onDesktop([](EngineRig& rig) { CheckTargetRefused(rig); });
}

TEST_F(Win32Engine, SourceThatChangesIsCopiedUpToWhatWasMeasured)
{
    onDesktop([](EngineRig& rig) { CheckEmptyThenGrown(rig); });
    for (const ChangeCase& c : ChangeCases())
        onDesktop([&](EngineRig& rig) { CheckChange(rig, c); });
}

TEST_F(Win32Engine, NestedCopiesKeepTheirOwnCounters)
{
    onDesktop([](EngineRig& rig) { CheckNested(rig, false); });
    onDesktop([](EngineRig& rig) { CheckNested(rig, true); });
}

TEST_F(Win32Engine, FilesOf2GiBAndMoreCopyExactly)
{
    onDesktop([](EngineRig& rig) { CheckLargeFile(rig); });
}

// A real full disk. BRENVIK_FULL_DISK names, as a Windows path, an empty folder
// on a file system of about 1 MiB, such as a tmpfs mounted with size=1m and
// reached through drive Z. The copy of a larger file gives false and leaves
// the file that was there, and nothing else.
TEST_F(Win32Engine, FullDiskGivesFalseAndKeepsTheExistingFile)
{
    const char* fullDisk = std::getenv("BRENVIK_FULL_DISK");
    if (fullDisk == nullptr || *fullDisk == '\0')
        GTEST_SKIP() << "BRENVIK_FULL_DISK is not set: no small file system to fill";
    onDesktop([&](EngineRig& rig) {
        ASSERT_TRUE(rig.makeFolder(rig.root + "in"));
        const std::string data = Pattern(3 << 20, 9);
        Text source = rig.root + "in\\big.bin";
        ASSERT_TRUE(rig.put(source, data));
        Text folder = fullDisk;
        const Text existing = folder + "\\big.bin";
        ASSERT_TRUE(rig.put(existing, "keep me"));

        EXPECT_FALSE(rig.copy(folder, source, 64 * 1024));

        EXPECT_EQ(rig.get(existing), "keep me");
        EXPECT_EQ(rig.list(folder), std::vector<std::string>{"big.bin"});
        EXPECT_EQ(rig.state.ProgressPercent, 0);
        rig.real().remove(existing);
    });
}

TEST_F(Win32Engine, ReplaceAllCases)
{
    win32::Win32CodePage codePage;
    for (const ReplaceCase& c : ReplaceCases()) {
        if (!c.doubleByteOnly || codePage.isLeadByte(0xD5))
            CheckReplace(codePage, c);
    }
}

}  // namespace
}  // namespace brenvik::enginetest
