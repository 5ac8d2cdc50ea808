// The settings file pz.txt: what loading makes of its bytes, the bytes a save
// writes, and that a failed or interrupted save never loses the old settings.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "app/shared_state.h"
#include "mainwindow/main_window.h"
#include "mainwindow/settings.h"
#include "platform/sim/desktop.h"
#include "platform/sim/faults.h"
#include "platform/sim/files.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik {
namespace {

using Boxes = std::array<std::string, 5>;

// MainWindow's controls on a simulated desktop, without its created handler,
// so that the settings routines can be run on their own.
class SettingsTest : public ::testing::Test {
protected:
    explicit SettingsTest(sim::SimOptions options = {}) : desk_(folder_.path(), options) {}

    std::filesystem::path settingsFile() { return desk_.files().hostPath(state_.SettingsPath); }

    void writeSettings(const std::string& bytes)
    {
        std::ofstream(desk_.files().hostPath("C:\\Brenvik\\pz.txt"), std::ios::binary) << bytes;
    }

    std::optional<std::string> readSettings()
    {
        std::ifstream in(desk_.files().hostPath("C:\\Brenvik\\pz.txt"), std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs `body` with MainWindow open and its folder boxes set to `boxes`.
    void withWindow(const Boxes& boxes, const std::function<void(Platform&, WindowId)>& body)
    {
        desk_.run([&](Platform& platform) {
            platform.process.initialise();
            window_ = platform.ui.openWindow(MainWindowLayout, [](const Event&) {});
            for (int slot = 1; slot <= kSlotCount; ++slot)
                platform.ui.setText(FolderBox(window_, slot), boxes[static_cast<std::size_t>(slot - 1)]);
            body(platform, window_);
            return 0;
        });
    }

    Boxes boxes()
    {
        Boxes result;
        for (int slot = 1; slot <= kSlotCount; ++slot)
            result[static_cast<std::size_t>(slot - 1)] = desk_.ui().text(FolderBox(window_, slot));
        return result;
    }

    simtest::TempFolder folder_;
    sim::SimDesktop desk_;
    SharedState state_;
    WindowId window_;
};

const Boxes kBefore{"x1", "x2", "x3", "x4", "x5"};

struct LoadCase {
    const char* name;
    std::string content;
    Boxes expected;
};

class LoadSettingsTest : public SettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadSettingsTest, PutsOneToFivePiecesIntoTheBoxes_AndChangesNothingOtherwise)
{
    writeSettings(GetParam().content);
    withWindow(kBefore,
               [&](Platform& platform, WindowId window) { RunSettingsStep(platform, state_, window); });
    EXPECT_EQ(state_.SettingsPath, "C:\\Brenvik\\pz.txt");
    EXPECT_EQ(boxes(), GetParam().expected);
    EXPECT_EQ(readSettings(), GetParam().content);  // loading never writes
}

INSTANTIATE_TEST_SUITE_P(
    Contents, LoadSettingsTest,
    ::testing::Values(
        LoadCase{"Empty", "", kBefore}, LoadCase{"OnePiece", "a", {"a", "x2", "x3", "x4", "x5"}},
        LoadCase{"FivePieces", "a|b|c|d|e", {"a", "b", "c", "d", "e"}},
        LoadCase{"TrailingSeparatorGivesNoEmptyPiece", "a|b|c|d|", {"a", "b", "c", "d", "x5"}},
        LoadCase{"LeadingSeparatorsGiveEmptyPieces", "||||e", {"", "", "", "", "e"}},
        LoadCase{"SixPiecesChangeNothing", "a|b|c|d|e|f", kBefore},
        LoadCase{"LineEndStaysInTheLastPiece", "a|b|c|d|e\r\n", {"a", "b", "c", "d", "e\r\n"}},
        LoadCase{"ZeroByteEndsTheText", std::string("a|b\0|c", 6), {"a", "b", "x3", "x4", "x5"}},
        LoadCase{"EndOfFileByteEndsTheText", "a|b\x1A|c", {"a", "b", "x3", "x4", "x5"}},
        // 0x7C and 0x1A as the second byte of a double-byte character are part of it.
        LoadCase{"SeparatorInsideADoubleByteCharacter", "\x81|x|y", {"\x81|x", "y", "x3", "x4", "x5"}},
        LoadCase{"EndByteInsideADoubleByteCharacter", "\x81\x1A|z", {"\x81\x1A", "z", "x3", "x4", "x5"}},
        LoadCase{"FileTooLargeCountsAsUnreadable", "a|" + std::string(kMaxSettingsBytes, 'b'), kBefore}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SettingsTest, AMissingFileIsCreatedEmpty_AndNoBoxChanges)
{
    withWindow(kBefore,
               [&](Platform& platform, WindowId window) { RunSettingsStep(platform, state_, window); });
    EXPECT_EQ(readSettings(), "");
    EXPECT_EQ(boxes(), kBefore);
}

TEST_F(SettingsTest, AFileThatCannotBeOpenedForWritingChangesNoBox)
{
    writeSettings("a|b");
    withWindow(kBefore, [&](Platform& platform, WindowId window) {
        platform.files.setAttributes(state_.SettingsPath = "C:\\Brenvik\\pz.txt", FileAttribute::ReadOnly);
        LoadSettings(platform, state_, window);
    });
    EXPECT_EQ(boxes(), kBefore);
}

TEST_F(SettingsTest, SaveWritesTheFiveFoldersJoinedByBars_AndLoadGivesThemBack)
{
    // Bytes that are no valid characters of the code page, and a line end,
    // come back exactly as they were given.
    const Boxes saved{"", "D:\\x", "\xFF\xFE", "", "E:\\y\r\n"};
    withWindow(saved, [&](Platform& platform, WindowId window) {
        RunSettingsStep(platform, state_, window);
        SaveSettings(platform, state_, window);
    });
    EXPECT_EQ(readSettings(), "|D:\\x|\xFF\xFE||E:\\y\r\n");

    sim::SimDesktop again(folder_.path());
    // The same folder: a fresh run loads what the first one saved.
    WindowId window;
    again.run([&](Platform& platform) {
        platform.process.initialise();
        window = platform.ui.openWindow(MainWindowLayout, [](const Event&) {});
        RunSettingsStep(platform, state_, window);
        return 0;
    });
    for (int slot = 1; slot <= kSlotCount; ++slot)
        EXPECT_EQ(again.ui().text(FolderBox(window, slot)), saved[static_cast<std::size_t>(slot - 1)]);
}

TEST_F(SettingsTest, SaveWithFoldersInSlotsTwoAndFiveWritesExactlyTheirBytes)
{
    withWindow({"", "D:\\x", "", "", "E:\\y"}, [&](Platform& platform, WindowId window) {
        RunSettingsStep(platform, state_, window);
        SaveSettings(platform, state_, window);
    });
    EXPECT_EQ(readSettings(), "|D:\\x|||E:\\y");
    EXPECT_FALSE(std::filesystem::exists(desk_.files().hostPath("C:\\Brenvik\\pz.txt.new")));
}

// Whatever goes wrong while saving, pz.txt holds either the old settings or
// the new ones, never an empty or cut file.
enum class SaveFault { CreateFails, WriteFails, ShortWrite, ReplaceFails, CrashMidWrite };

class SaveFaultTest : public SettingsTest, public ::testing::WithParamInterface<SaveFault> {};

TEST_P(SaveFaultTest, LeavesTheOldSettingsIntact)
{
    writeSettings("old|settings");
    withWindow({"D:\\new", "", "", "", ""}, [&](Platform& platform, WindowId window) {
        RunSettingsStep(platform, state_, window);
        sim::FaultyFiles& faults = desk_.faults();
        switch (GetParam()) {
            case SaveFault::CreateFails:
                faults.failNth(sim::FileOp::Open, 1, FileError::AccessDenied);
                break;
            case SaveFault::WriteFails:
                faults.failNth(sim::FileOp::Write, 1, FileError::DiskFull);
                break;
            case SaveFault::ShortWrite:
                faults.shortWriteNth(1, 3);
                break;
            case SaveFault::ReplaceFails:
                faults.failNth(sim::FileOp::Move, 1, FileError::AccessDenied);
                break;
            case SaveFault::CrashMidWrite:
                faults.crashAtWrite(1, 3);
                break;
        }
        SaveSettings(platform, state_, window);
    });
    EXPECT_EQ(readSettings(), "old|settings");
    if (GetParam() != SaveFault::CrashMidWrite) {
        EXPECT_FALSE(std::filesystem::exists(desk_.files().hostPath("C:\\Brenvik\\pz.txt.new")));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFaultTest,
                         ::testing::Values(SaveFault::CreateFails, SaveFault::WriteFails,
                                           SaveFault::ShortWrite, SaveFault::ReplaceFails,
                                           SaveFault::CrashMidWrite));

class RootSettingsTest : public SettingsTest {
protected:
    RootSettingsTest() : SettingsTest(sim::SimOptions{.executablePath = "D:\\brenvik.exe"}) {}
};

TEST_F(RootSettingsTest, AnExecutableInADriveRootKeepsItsSettingsInThatRoot)
{
    withWindow(kBefore,
               [&](Platform& platform, WindowId window) { RunSettingsStep(platform, state_, window); });
    EXPECT_EQ(state_.SettingsPath, "D:\\pz.txt");
    EXPECT_TRUE(std::filesystem::exists(desk_.files().hostPath("D:\\pz.txt")));
}

}  // namespace
}  // namespace brenvik
