// CopyWindow on the simulated desktop: what it shows, the batch with its
// running count and message box, cancel, the clipboard changing under it,
// closing, and the sound behaviour for a second confirm, a close or a hotkey
// during a batch and an opening while it is open.
//
// Virtual time: the engine's work costs nothing on the virtual clock, so the
// rig charges kChunkCostMs for every chunk, at the start of the pending-message
// pass that follows it. The 100 ms timers then tick once every ten chunks, as
// they would for a copy that moves 1000 bytes per 10 ms.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "copy/copy_window.h"
#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"
#include "platform/sim/faults.h"
#include "platform/sim/files.h"
#include "platform/sim/message_boxes.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik {
namespace {

namespace fs = std::filesystem;
namespace CW = CopyWindowControl;
using sim::RunEnd;
using sim::SimDesktop;
using sim::UserAction;

constexpr int kChunkCostMs = 10;
constexpr std::size_t kLarge = 50'000;  // 50 chunks, five ticks of a 100 ms timer

const Text kBackup = "D:\\backup";
const Text kOther = "E:\\other";

constexpr WindowSpec kMainStandIn{"main", 300, 200, WindowFrame::Caption, false, {}};

std::string Count(int i)
{
    return "已完成" + std::to_string(i) + "个文件的复制";
}

// One run of the program on a fresh desktop: a stand-in for MainWindow that
// takes a hotkey as a Feedback event and opens CopyWindow as the dispatcher
// does, and records of what the user could see and what the files saw.
class Rig {
public:
    explicit Rig(const fs::path& root, sim::SimOptions options = {}) : desk(root, options)
    {
        desk.faults().setWriteObserver([this](const Text&, int write) {
            if (write == 1)
                writesPerFile.push_back(0);
            ++writesPerFile.back();
        });
    }

    SimDesktop desk;
    SharedState state;
    WindowId main;
    bool returned = false;
    bool mainEnabledAfter = false;
    // The writes that each file of the batch received, in the order begun.
    std::vector<int> writesPerFile;
    // Called at the start of every pending-message pass, after its cost.
    std::function<void(int pass)> onPass;
    // Called at the end of each hotkey after it opened CopyWindow or found it open.
    std::function<void()> afterHotkey;

    sim::SimUi& ui() { return desk.ui(); }
    sim::SimUser& user() { return desk.ui().user(); }
    sim::SimClipboard& clipboard() { return desk.clipboard(); }
    const std::vector<sim::InformationBox>& boxes() { return desk.messageBoxes().shown(); }

    WindowId copyWindow() { return desk.ui().findWindow("Quorvex"); }
    ControlId control(int index) { return ControlId{copyWindow(), index}; }
    std::string shown(int index) { return desk.ui().displayText(control(index)); }

    bool put(const Text& path, const std::string& bytes)
    {
        const fs::path host = desk.files().hostPath(path);
        fs::create_directories(host.parent_path());
        std::ofstream out(host, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }
    std::optional<std::string> get(const Text& path)
    {
        std::ifstream in(desk.files().hostPath(path), std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::set<std::string> names(const Text& folder)
    {
        std::set<std::string> result;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(desk.files().hostPath(folder), error))
            result.insert(entry.path().filename().string());
        return result;
    }
    void makeFolder(const Text& folder) { fs::create_directories(desk.files().hostPath(folder)); }

    // Source files C:\src\<name> of the given sizes, each of its own bytes, on
    // the clipboard in this order.
    std::vector<Text> putSources(const std::vector<std::pair<std::string, std::size_t>>& files)
    {
        std::vector<Text> paths;
        char seed = 'a';
        for (const auto& [name, size] : files) {
            const Text path = "C:\\src\\" + name;
            std::string bytes(size, seed++);
            if (size > 0)
                bytes[size - 1] = '#';
            EXPECT_TRUE(put(path, bytes));
            paths.push_back(path);
        }
        EXPECT_TRUE(clipboard().holdFiles(paths));
        return paths;
    }

    // The hotkey of a slot whose folder is `folder`, pressed now: the
    // dispatcher runs when a loop takes the posted notice.
    void postHotkey(Text folder)
    {
        hotkeyFolders_.push_back(std::move(folder));
        ui().postEvent({EventKind::Feedback, main});
    }

    // Runs the program: the stand-in main window, then CopyWindow for
    // `target`, opened from the entry as the dispatcher opens it.
    sim::RunOutcome run(Text target = kBackup)
    {
        state.TargetFolder = std::move(target);
        ui().setPendingPassHook([this](int pass) {
            desk.platform().pause.sleep(kChunkCostMs);
            if (onPass)
                onPass(pass);
        });
        return desk.run([this](Platform& platform) {
            main = platform.ui.openWindow(kMainStandIn, [this, &platform](const Event& event) {
                if (event.kind != EventKind::Feedback || hotkeyFolders_.empty())
                    return;
                state.TargetFolder = hotkeyFolders_.front();
                hotkeyFolders_.erase(hotkeyFolders_.begin());
                OpenCopyWindow(platform, state);
                if (afterHotkey)
                    afterHotkey();
            });
            OpenCopyWindow(platform, state);
            returned = true;
            mainEnabledAfter = desk.ui().windowState(main).enabled;
            return 0;
        });
    }

private:
    std::vector<Text> hotkeyFolders_;
};

class SimCopyWindow : public ::testing::Test {
protected:
    simtest::TempFolder temp;
    int rigs = 0;
    std::unique_ptr<Rig> newRig() { return std::make_unique<Rig>(temp.path() / std::to_string(rigs++)); }
};

TEST_F(SimCopyWindow, ThreeFilesAreListedCopiedCountedReportedAndTheWindowCloses)
{
    auto rig = newRig();
    rig->makeFolder(kBackup);
    const std::vector<Text> paths = rig->putSources({{"a.txt", 10}, {"b.txt", 1500}, {"c.txt", 700}});

    struct {
        std::string summary, list;
        sim::EditState edit;
        sim::WindowState window;
        std::vector<int> order;
        int barBefore = -1, barAtFirstPass = -1, barUnderBox = -1;
        std::vector<std::string> labelsAtPasses;
        std::string labelUnderBox;
        bool boxUp = false, copyWindowEnabledUnderBox = true;
    } seen;
    rig->user().whenShown("Quorvex", [&](WindowId w) {
        seen.summary = rig->shown(CW::Summary);
        seen.list = rig->shown(CW::FileList);
        seen.edit = rig->ui().editState(rig->control(CW::FileList));
        seen.window = rig->ui().windowState(w);
        for (const char* name :
             {"时钟2", "按钮2", "按钮1", "进度条1", "时钟1", "标签1", "编辑框1", "透明标签1"})
            seen.order.push_back(rig->ui().control(w, name).index);
        seen.barBefore = rig->ui().progress(rig->control(CW::ProgressBar));
        rig->user().click(rig->control(CW::ConfirmButton));
        rig->user().call(
            [&] {
                seen.boxUp = rig->desk.messageBoxes().current() != nullptr;
                seen.labelUnderBox = rig->shown(CW::CountLabel);
                seen.barUnderBox = rig->ui().progress(rig->control(CW::ProgressBar));
                seen.copyWindowEnabledUnderBox = rig->ui().windowState(rig->copyWindow()).enabled;
            },
            250);
        rig->user().dismissMessageBox(50);
    });
    rig->onPass = [&](int pass) {
        if (pass == 1)
            seen.barAtFirstPass = rig->ui().progress(rig->control(CW::ProgressBar));
        seen.labelsAtPasses.push_back(rig->shown(CW::CountLabel));
    };

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    EXPECT_EQ(seen.summary, "你有3个文件需要复制到D:\\backup");
    EXPECT_EQ(seen.list, "C:\\src\\a.txt\r\nC:\\src\\b.txt\r\nC:\\src\\c.txt\r\n");
    EXPECT_TRUE(seen.edit.caretAtEnd);
    EXPECT_TRUE(seen.edit.showsLastLine);
    EXPECT_EQ(seen.edit.lineCount, 4);
    EXPECT_EQ(seen.edit.appends, 1);
    EXPECT_EQ(seen.window.titleUtf8, "Quorvex");
    EXPECT_EQ(seen.window.width, 559);
    EXPECT_EQ(seen.window.height, 257);
    EXPECT_EQ(seen.window.left, (1024 - 559) / 2);
    EXPECT_EQ(seen.window.top, (768 - 257) / 2);
    EXPECT_EQ(seen.order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(seen.barBefore, 0);
    EXPECT_EQ(seen.barAtFirstPass, 0);  // no tick yet: the timer started with the batch
    // One pass per chunk: a.txt has one, b.txt two, c.txt one.
    EXPECT_EQ(seen.labelsAtPasses, (std::vector<std::string>{"", Count(1), Count(1), Count(2)}));
    EXPECT_TRUE(seen.boxUp);
    EXPECT_EQ(seen.labelUnderBox, Count(3));
    EXPECT_EQ(seen.barUnderBox, 100);  // the progress timer kept ticking under the box
    EXPECT_FALSE(seen.copyWindowEnabledUnderBox);

    ASSERT_EQ(rig->boxes().size(), 1u);
    EXPECT_EQ(rig->boxes()[0].textUtf8, "复制完成");
    EXPECT_EQ(rig->boxes()[0].titleUtf8, "信息提示");
    EXPECT_FALSE(rig->boxes()[0].owner);
    EXPECT_TRUE(rig->returned);
    EXPECT_FALSE(rig->copyWindow());
    EXPECT_TRUE(rig->mainEnabledAfter);
    for (const Text& path : paths)
        EXPECT_EQ(rig->get(kBackup + path.substr(path.rfind('\\'))), rig->get(path)) << path;
    EXPECT_EQ(rig->names(kBackup), (std::set<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(rig->state.TargetFolder, kBackup + "\\");
    EXPECT_EQ(rig->clipboard().opens(), 2);
    EXPECT_EQ(rig->clipboard().closes(), 2);
}

TEST_F(SimCopyWindow, EveryCopyFailingStillCountsEveryFileAndReports)
{
    auto rig = newRig();  // D:\backup does not exist
    rig->putSources({{"a.txt", 10}, {"b.txt", 2000}, {"c.txt", 0}});
    std::string labelUnderBox;
    rig->user().whenShown("Quorvex", [&](WindowId) {
        rig->user().click(rig->control(CW::ConfirmButton));
        rig->user().call([&] { labelUnderBox = rig->shown(CW::CountLabel); }, 10);
        rig->user().dismissMessageBox();
    });

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    EXPECT_EQ(labelUnderBox, Count(3));
    ASSERT_EQ(rig->boxes().size(), 1u);
    EXPECT_EQ(rig->boxes()[0].textUtf8, "复制完成");
    EXPECT_FALSE(rig->copyWindow());
    EXPECT_FALSE(fs::exists(rig->desk.files().hostPath(kBackup)));
}

TEST_F(SimCopyWindow, CancelDuringTheSecondOfFourLargeFilesCutsItAndTheLaterOnes)
{
    auto rig = newRig();
    rig->makeFolder(kBackup);
    rig->putSources({{"f1.bin", kLarge}, {"f2.bin", kLarge}, {"f3.bin", kLarge}, {"f4.bin", kLarge}});
    std::string labelUnderBox;
    int barUnderBox = -1;
    rig->user().whenShown("Quorvex", [&](WindowId) {
        rig->user().click(rig->control(CW::ConfirmButton));
        rig->user().call(
            [&] {
                labelUnderBox = rig->shown(CW::CountLabel);
                barUnderBox = rig->ui().progress(rig->control(CW::ProgressBar));
            },
            2000);  // the batch takes about 750 ms; the box has been up for several ticks
        rig->user().dismissMessageBox();
    });
    // File 1 takes passes 1 to 50; pass 53 follows the third chunk of file 2.
    rig->user().onPendingPass(
        53, [&] { rig->user().perform(UserAction::click(rig->control(CW::CancelButton))); });

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    ASSERT_EQ(rig->writesPerFile.size(), 4u);
    EXPECT_EQ(rig->writesPerFile[0], 50);
    EXPECT_EQ(rig->writesPerFile[1], 4);  // stopped after the chunk that followed the click
    for (int i : {2, 3}) {
        // Started, then cut after the chunk that follows the first cancel tick.
        EXPECT_GE(rig->writesPerFile[static_cast<std::size_t>(i)], 2) << i;
        EXPECT_LE(rig->writesPerFile[static_cast<std::size_t>(i)], 100 / kChunkCostMs + 1) << i;
    }
    EXPECT_EQ(rig->names(kBackup), std::set<std::string>{"f1.bin"});
    EXPECT_EQ(rig->get(kBackup + "\\f1.bin"), rig->get("C:\\src\\f1.bin"));
    EXPECT_EQ(labelUnderBox, Count(4));
    EXPECT_EQ(barUnderBox, 0);  // the last file was cancelled
    ASSERT_EQ(rig->boxes().size(), 1u);
    EXPECT_FALSE(rig->copyWindow());
    EXPECT_TRUE(rig->returned);
}

TEST_F(SimCopyWindow, CancelBeforeConfirmingKeepsOnlyFilesOfOneChunk)
{
    auto rig = newRig();
    rig->makeFolder(kBackup);
    rig->putSources({{"small.txt", 800}, {"big.bin", kLarge}, {"exact.txt", 1000}, {"big2.bin", 30'000}});
    int cancelPeriod = 0;
    rig->user().whenShown("Quorvex", [&](WindowId) {
        rig->user().click(rig->control(CW::CancelButton));
        rig->user().call([&] { cancelPeriod = rig->ui().timerPeriod(rig->control(CW::CancelTimer)); });
        rig->user().click(rig->control(CW::ConfirmButton), 150);  // after a cancel tick
        rig->user().dismissMessageBox();
    });

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    EXPECT_EQ(cancelPeriod, 100);
    EXPECT_EQ(rig->names(kBackup), (std::set<std::string>{"small.txt", "exact.txt"}));
    EXPECT_EQ(rig->get(kBackup + "\\exact.txt"), rig->get("C:\\src\\exact.txt"));
    ASSERT_EQ(rig->boxes().size(), 1u);
    EXPECT_FALSE(rig->copyWindow());
}

TEST_F(SimCopyWindow, TheBatchCopiesWhatTheClipboardHoldsAtConfirmation)
{
    struct Case {
        const char* name;
        bool copyText;  // else other files are copied in the shell
        std::set<std::string> copied;
    };
    for (const Case& c : {Case{"other files", false, {"new.txt"}}, Case{"only text", true, {}}}) {
        SCOPED_TRACE(c.name);
        auto rig = newRig();
        rig->makeFolder(kBackup);
        rig->putSources({{"a.txt", 10}, {"b.txt", 10}});
        ASSERT_TRUE(rig->put("C:\\src\\new.txt", "fresh"));
        std::string listAtBox, summaryAtBox;
        rig->user().whenShown("Quorvex", [&](WindowId) {
            if (c.copyText)
                rig->user().copyText();
            else
                rig->user().copyFiles({"C:\\src\\new.txt"});
            rig->user().click(rig->control(CW::ConfirmButton));
            rig->user().call([&] {
                listAtBox = rig->shown(CW::FileList);
                summaryAtBox = rig->shown(CW::Summary);
            });
            rig->user().dismissMessageBox();
        });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_EQ(rig->names(kBackup), c.copied);
        // What the window showed is not refreshed.
        EXPECT_EQ(listAtBox, "C:\\src\\a.txt\r\nC:\\src\\b.txt\r\n");
        EXPECT_EQ(summaryAtBox, "你有2个文件需要复制到D:\\backup");
        ASSERT_EQ(rig->boxes().size(), 1u);
        EXPECT_FALSE(rig->copyWindow());
        EXPECT_TRUE(rig->returned);
    }
}

TEST_F(SimCopyWindow, AnEmptyOrBusyClipboardListsNothingAndConfirmingReportsAtOnce)
{
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy ? "busy" : "empty");
        auto rig = newRig();
        rig->makeFolder(kBackup);
        if (busy) {
            rig->putSources({{"a.txt", 10}});
            rig->clipboard().setBusy(true);
        }
        std::string summary, list;
        rig->user().whenShown("Quorvex", [&](WindowId) {
            summary = rig->shown(CW::Summary);
            list = rig->shown(CW::FileList);
            rig->user().click(rig->control(CW::ConfirmButton));
            rig->user().dismissMessageBox();
        });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_EQ(summary, "你有0个文件需要复制到D:\\backup");
        EXPECT_EQ(list, "");
        EXPECT_TRUE(rig->names(kBackup).empty());
        ASSERT_EQ(rig->boxes().size(), 1u);
        EXPECT_FALSE(rig->copyWindow());
        EXPECT_EQ(rig->clipboard().closes(), 0);
    }
}

TEST_F(SimCopyWindow, TheSummaryShowsTheFolderLegiblyInEitherCodePage)
{
    struct Case {
        unsigned codePage;
        Text folder;  // ANSI bytes of the code page
        std::string summary;
    };
    const std::vector<Case> cases = {
        {936, "D:\\\xB1\xB8\xB7\xDD", "你有1个文件需要复制到D:\\备份"},
        {1252, "D:\\caf\xE9", "你有1个文件需要复制到D:\\café"},
        {936, "", "你有1个文件需要复制到"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.summary);
        sim::SimOptions options;
        options.codePage = c.codePage;
        Rig rig(temp.path() / std::to_string(rigs++), options);
        rig.putSources({{"a.txt", 10}});
        std::string summary;
        bool isUtf8 = false;
        rig.user().whenShown("Quorvex", [&](WindowId w) {
            summary = rig.shown(CW::Summary);
            isUtf8 = rig.ui().textIsUtf8(rig.control(CW::Summary));
            rig.user().close(w);
        });

        EXPECT_EQ(rig.run(c.folder).end, RunEnd::Exited);

        EXPECT_EQ(summary, c.summary);
        EXPECT_TRUE(isUtf8);  // set through the wide API, so the fixed parts are legible
    }
}

TEST_F(SimCopyWindow, ClosingBeforeConfirmingCopiesNothingAndReturns)
{
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "close box");
        auto rig = newRig();
        rig->makeFolder(kBackup);
        rig->putSources({{"a.txt", 10}});
        rig->user().whenShown("Quorvex", [&](WindowId w) {
            if (escape)
                rig->user().pressEscape(w);
            else
                rig->user().close(w);
        });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_TRUE(rig->returned);
        EXPECT_TRUE(rig->mainEnabledAfter);
        EXPECT_FALSE(rig->copyWindow());
        EXPECT_TRUE(rig->names(kBackup).empty());
        EXPECT_TRUE(rig->boxes().empty());
        EXPECT_EQ(rig->clipboard().opens(), 1);
        EXPECT_FALSE(rig->state.CopyWindowId);
    }
}

TEST_F(SimCopyWindow, ASecondConfirmDuringTheBatchStartsNoOtherBatch)
{
    auto rig = newRig();
    rig->makeFolder(kBackup);
    rig->putSources({{"f1.bin", 5000}, {"f2.bin", 5000}});
    rig->user().whenShown("Quorvex", [&](WindowId) {
        rig->user().click(rig->control(CW::ConfirmButton));
        rig->user().dismissMessageBox();
    });
    rig->user().onPendingPass(
        3, [&] { rig->user().perform(UserAction::click(rig->control(CW::ConfirmButton))); });

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    EXPECT_EQ(rig->writesPerFile, (std::vector<int>{5, 5}));  // each file copied once, whole
    EXPECT_EQ(rig->clipboard().opens(), 2);                   // no second reading of the list
    ASSERT_EQ(rig->boxes().size(), 1u);
    EXPECT_EQ(rig->names(kBackup), (std::set<std::string>{"f1.bin", "f2.bin"}));
    EXPECT_FALSE(rig->copyWindow());
}

TEST_F(SimCopyWindow, ClosingDuringTheBatchStopsTheFileInProgressAndStartsNoOther)
{
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "close box");
        auto rig = newRig();
        rig->makeFolder(kBackup);
        rig->putSources({{"f1.bin", kLarge}, {"f2.bin", kLarge}, {"f3.bin", 10}});
        ASSERT_TRUE(rig->put(kBackup + "\\f2.bin", "kept"));
        rig->user().whenShown("Quorvex",
                              [&](WindowId) { rig->user().click(rig->control(CW::ConfirmButton)); });
        // Pass 60 follows the tenth chunk of f2.bin.
        rig->user().onPendingPass(60, [&] {
            const WindowId w = rig->copyWindow();
            rig->user().perform(escape ? UserAction::escape(w) : UserAction::close(w));
        });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_TRUE(rig->returned);
        EXPECT_TRUE(rig->mainEnabledAfter);
        EXPECT_FALSE(rig->copyWindow());
        EXPECT_TRUE(rig->boxes().empty());
        EXPECT_EQ(rig->writesPerFile, (std::vector<int>{50, 11}));  // f2 stopped after its next chunk
        EXPECT_EQ(rig->names(kBackup), (std::set<std::string>{"f1.bin", "f2.bin"}));
        EXPECT_EQ(rig->get(kBackup + "\\f2.bin"), "kept");
        EXPECT_FALSE(rig->state.CopyWindowId);
    }
}

TEST_F(SimCopyWindow, AHotkeyRightAfterACloseDuringTheBatchOpensNoWindowInsideIt)
{
    auto rig = newRig();
    rig->makeFolder(kBackup);
    rig->putSources({{"f1.bin", kLarge}, {"f2.bin", kLarge}});
    std::size_t windowsAfterHotkey = 99;
    rig->afterHotkey = [&] { windowsAfterHotkey = rig->ui().windows().size(); };
    rig->user().whenShown("Quorvex", [&](WindowId) { rig->user().click(rig->control(CW::ConfirmButton)); });
    // The close and the hotkey are taken in the same pass, in that order.
    rig->user().onPendingPass(20, [&] {
        rig->user().perform(UserAction::close(rig->copyWindow()));
        rig->postHotkey(kOther);
    });

    EXPECT_EQ(rig->run().end, RunEnd::Exited);

    EXPECT_EQ(windowsAfterHotkey, 1u);  // only the main window
    EXPECT_EQ(rig->clipboard().opens(), 2);
    EXPECT_EQ(rig->writesPerFile, (std::vector<int>{21}));
    EXPECT_TRUE(rig->names(kBackup).empty());
    EXPECT_EQ(rig->state.TargetFolder, kOther);
    EXPECT_FALSE(rig->state.CopyWindowId);
}

TEST_F(SimCopyWindow, AHotkeyDuringTheBatchKeepsItsFolderButOneBeforeConfirmingChangesIt)
{
    struct Case {
        const char* name;
        bool duringBatch;
        Text copiedTo, targetAfter;
    };
    for (const Case& c : {Case{"during the batch", true, kBackup, kOther},
                          Case{"before confirming", false, kOther, kOther + "\\"}}) {
        SCOPED_TRACE(c.name);
        auto rig = newRig();
        rig->makeFolder(kBackup);
        rig->makeFolder(kOther);
        rig->putSources({{"f1.bin", 5000}, {"f2.bin", 5000}, {"f3.bin", 5000}});
        std::string summaryAfterHotkey;
        std::size_t windowsAfterHotkey = 0;
        rig->afterHotkey = [&] {
            summaryAfterHotkey = rig->shown(CW::Summary);
            windowsAfterHotkey = rig->ui().windows().size();
        };
        rig->user().whenShown("Quorvex", [&](WindowId) {
            if (!c.duringBatch)
                rig->user().call([&] { rig->postHotkey(kOther); });
            rig->user().click(rig->control(CW::ConfirmButton));
            rig->user().dismissMessageBox();
        });
        if (c.duringBatch)
            rig->user().onPendingPass(3, [&] { rig->postHotkey(kOther); });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_EQ(windowsAfterHotkey, 2u);  // no second CopyWindow
        EXPECT_EQ(summaryAfterHotkey, "你有3个文件需要复制到D:\\backup");
        EXPECT_EQ(rig->names(c.copiedTo), (std::set<std::string>{"f1.bin", "f2.bin", "f3.bin"}));
        EXPECT_EQ(rig->names(c.copiedTo == kBackup ? kOther : kBackup), std::set<std::string>{});
        EXPECT_EQ(rig->state.TargetFolder, c.targetAfter);
    }
}

TEST_F(SimCopyWindow, OpeningWhileOpenRestoresOrActivatesTheWindowAndReturnsAtOnce)
{
    for (const bool minimised : {true, false}) {
        SCOPED_TRACE(minimised ? "minimised" : "behind another window");
        auto rig = newRig();
        rig->putSources({{"a.txt", 10}});
        struct {
            std::size_t windows = 0;
            bool minimisedBefore = false, minimisedAfter = true, active = false;
            std::int64_t tookMs = -1;
            std::size_t activateCalls = 0;
        } seen;
        std::int64_t hotkeyAt = 0;
        rig->afterHotkey = [&] {
            seen.windows = rig->ui().windows().size();
            seen.minimisedAfter = rig->ui().windowState(rig->copyWindow()).minimised;
            seen.active = rig->ui().activeWindow() == rig->copyWindow();
            seen.tookMs = rig->desk.nowMs() - hotkeyAt;
            seen.activateCalls = rig->ui().activateCalls().size();
        };
        rig->user().whenShown("Quorvex", [&](WindowId w) {
            if (minimised)
                rig->user().minimise(w);
            rig->user().call([&] {
                seen.minimisedBefore = rig->ui().windowState(rig->copyWindow()).minimised;
                hotkeyAt = rig->desk.nowMs();
                rig->postHotkey(kOther);
            });
            rig->user().close(w, 10);
        });

        EXPECT_EQ(rig->run().end, RunEnd::Exited);

        EXPECT_EQ(seen.windows, 2u);
        EXPECT_EQ(seen.minimisedBefore, minimised);
        EXPECT_FALSE(seen.minimisedAfter);
        EXPECT_TRUE(seen.active);
        EXPECT_EQ(seen.tookMs, 0);
        EXPECT_EQ(seen.activateCalls, minimised ? 0u : 1u);
        EXPECT_TRUE(rig->returned);
        EXPECT_EQ(rig->clipboard().opens(), 1);  // the list was not read again
    }
}

}  // namespace
}  // namespace brenvik
