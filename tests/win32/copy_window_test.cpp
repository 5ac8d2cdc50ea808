// CopyWindow on the real desktop: the real modal window over the real
// clipboard, confirmed, cancelled and closed by a scripted user, with the
// copied files checked on disk. The user acts from the ticks of a helper
// window's timer, which keep coming inside the modal loop, the engine's
// message processing and the message box, as a person's clicks would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/shared_state.h"
#include "copy/copy_window.h"
#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"
#include "temp_folder.h"

namespace brenvik::win32 {
namespace {

namespace fs = std::filesystem;
using brenvik::testing::TempFolder;
namespace CW = CopyWindowControl;

constexpr int kStepTimer = 0;
constexpr int kGuardTimer = 1;
constexpr int kStepMs = 10;
constexpr int kGuardMs = 120'000;  // closes CopyWindow if the behaviour under test never does

constexpr ControlSpec kUserControls[] = {
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"时钟2", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
};
constexpr WindowSpec kUserWindow{"scripted user", 200, 100, WindowFrame::Caption, false, kUserControls};

// The engine copies from a warm cache at several hundred MB/s here, so a
// file the scripted user must act on while it is being copied is large enough
// to span many of its 10 ms steps; a short one of several chunks is done
// within one.
constexpr std::size_t kLargeFile = 64u << 20;
constexpr std::size_t kShortFile = 1u << 20;
// How long the scripted user is busy in one of its steps, so that a cancel
// tick, due every 100 ms, surely falls due while the file in progress runs.
constexpr auto kBusyStep = std::chrono::milliseconds(150);

std::string Pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    return bytes;
}

bool Put(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string Get(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class Win32CopyWindow : public ::testing::Test {
protected:
    Win32Desktop desk;
    Platform platform = desk.platform();
    SharedState state;
    TempFolder temp;
    fs::path source = temp.path() / "src";
    fs::path dest = temp.path() / "dest";

    void SetUp() override
    {
        fs::create_directories(source);
        fs::create_directories(dest);
        state.TargetFolder = dest.string();
    }

    Text sourcePath(const std::string& name) const { return (source / name).string(); }
    ControlId control(int index) const { return ControlId{state.CopyWindowId, index}; }
    // A text of the program's own, as the "A" function reads it back.
    Text ansi(std::string_view utf8) const { return desk.codePage.fromUtf8(utf8); }
    Text countText(int i) const { return ansi("已完成" + std::to_string(i) + "个文件的复制"); }

    // Opens CopyWindow from a handler of the main loop, as the hotkey
    // dispatcher does, and calls `user` on every tick of the helper's step
    // timer while CopyWindow is open. Returns when the main loop has ended.
    void openAndAct(const std::function<void()>& user)
    {
        desk.ui.openWindow(kUserWindow, [&](const Event& event) {
            const ControlId step{event.window, kStepTimer};
            if (event.kind == EventKind::Created) {
                desk.ui.setTimerPeriod(step, kStepMs);
                desk.ui.setTimerPeriod({event.window, kGuardTimer}, kGuardMs);
            } else if (event.kind == EventKind::Tick && event.control == kGuardTimer) {
                guardFired = true;
                desk.ui.requestClose(state.CopyWindowId);
            } else if (event.kind == EventKind::Tick && !opened) {
                opened = true;
                OpenCopyWindow(platform, state);
                returned = true;
                desk.ui.destroyWindow(event.window);
            } else if (event.kind == EventKind::Tick && state.CopyWindowId &&
                       desk.ui.isAlive(state.CopyWindowId)) {
                user();
            }
        });
        EXPECT_EQ(desk.ui.runMessageLoop(), 0);
        EXPECT_TRUE(returned);
        EXPECT_FALSE(guardFired);
        EXPECT_FALSE(state.CopyWindowId);
    }

    // Watches for "复制完成" and presses its OK button after `settleMs`.
    void watchBox(unsigned settleMs = 0)
    {
        watcher_ = std::make_unique<testing::MessageBoxWatcher>(
            L"信息提示",
            [this](const testing::SeenBox& box) {
                const std::lock_guard lock(boxesMutex_);
                boxes_.push_back(box);
            },
            settleMs);
    }
    std::vector<testing::SeenBox> seenBoxes()
    {
        watcher_.reset();
        const std::lock_guard lock(boxesMutex_);
        return boxes_;
    }

    bool opened = false, returned = false, guardFired = false;

private:
    std::unique_ptr<testing::MessageBoxWatcher> watcher_;
    std::mutex boxesMutex_;
    std::vector<testing::SeenBox> boxes_;
};

TEST_F(Win32CopyWindow, ConfirmCopiesTheClipboardsFilesReportsAndCloses)
{
    const std::vector<std::string> names = {"a.txt", "b.bin", "c.dat"};
    std::vector<Text> paths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(Put(source / names[i], Pattern(700 + 1100 * i, static_cast<char>('a' + i))));
        paths.push_back(sourcePath(names[i]));
    }
    ASSERT_TRUE(testing::PutFilesOnClipboard(paths));
    watchBox(400);  // long enough for the progress timer to tick under the box

    Text summary, list, labelAtBox;
    std::optional<testing::EditView> view;
    int barBeforeConfirm = -1, barUnderBox = -1;
    bool confirmed = false;
    std::optional<testing::ScreenRect> rect;
    openAndAct([&] {
        if (!confirmed) {
            confirmed = true;
            summary = desk.ui.text(control(CW::Summary));
            list = desk.ui.text(control(CW::FileList));
            view = testing::ViewOfEdit(desk.ui, control(CW::FileList));
            barBeforeConfirm = desk.ui.progress(control(CW::ProgressBar));
            rect = testing::WindowRect(desk.ui, state.CopyWindowId);
            testing::ClickButton(desk.ui, control(CW::ConfirmButton));
        } else if (desk.ui.text(control(CW::CountLabel)) == countText(3)) {
            // Only the message box's loop runs once the last file is counted.
            labelAtBox = countText(3);
            barUnderBox = desk.ui.progress(control(CW::ProgressBar));
        }
    });

    EXPECT_EQ(summary, ansi("你有3个文件需要复制到") + dest.string());
    EXPECT_EQ(list, paths[0] + "\r\n" + paths[1] + "\r\n" + paths[2] + "\r\n");
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->selectionStart, static_cast<int>(list.size()));  // caret at the end
    EXPECT_EQ(view->selectionEnd, static_cast<int>(list.size()));
    EXPECT_EQ(view->lineCount, 4);  // three paths and the empty last line
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->width, 559);
    EXPECT_EQ(rect->height, 257);
    EXPECT_EQ(barBeforeConfirm, 0);
    EXPECT_EQ(labelAtBox, countText(3));
    EXPECT_EQ(barUnderBox, 100);

    const std::vector<testing::SeenBox> boxes = seenBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "复制完成");
    EXPECT_FALSE(boxes[0].hasOwner);
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_EQ(boxes[0].buttons, 1);

    for (const std::string& name : names)
        EXPECT_TRUE(Get(dest / name) == Get(source / name)) << name;
    EXPECT_EQ(Names(dest), std::set<std::string>(names.begin(), names.end()));
    EXPECT_EQ(state.TargetFolder, dest.string() + "\\");
    // Both readings closed the clipboard again: another program can open it.
    testing::ClipboardHolder holder;
    EXPECT_TRUE(holder.holding());
}

TEST_F(Win32CopyWindow, TheListInOneAppendLooksAsOneAppendPerLineWould)
{
    // More lines than the box shows, so that the scroll position matters.
    std::vector<Text> paths;
    for (int i = 1; i <= 40; ++i)
        paths.push_back(sourcePath("file" + std::to_string(i) + ".txt"));
    ASSERT_TRUE(testing::PutFilesOnClipboard(paths));

    const WindowId listed = desk.ui.openWindow(CopyWindowLayout, [&](const Event& event) {
        if (event.kind == EventKind::Created)
            ShowCopyList(platform, state, event.window);
    });
    const WindowId appended = desk.ui.openWindow(CopyWindowLayout, [&](const Event& event) {
        if (event.kind == EventKind::Created)
            for (const Text& path : paths)
                desk.ui.appendText({event.window, CW::FileList}, path + "\r\n");
    });
    ASSERT_TRUE(listed && appended);

    const std::optional<testing::EditView> one = testing::ViewOfEdit(desk.ui, {listed, CW::FileList});
    const std::optional<testing::EditView> each = testing::ViewOfEdit(desk.ui, {appended, CW::FileList});
    EXPECT_EQ(desk.ui.text({listed, CW::FileList}), desk.ui.text({appended, CW::FileList}));
    ASSERT_TRUE(one.has_value() && each.has_value());
    EXPECT_EQ(*one, *each);
    EXPECT_EQ(one->lineCount, 41);
    EXPECT_GE(one->firstVisibleLine + one->visibleLines, one->lineCount);  // the last line is in view
    EXPECT_GT(one->firstVisibleLine, 0);
    desk.ui.destroyWindow(listed);
    desk.ui.destroyWindow(appended);
}

TEST_F(Win32CopyWindow, CancelStopsTheRunningFileAndTheLaterLongOnesButKeepsShortOnes)
{
    const std::vector<std::string> names = {"big1.bin", "big2.bin", "big3.bin", "small.txt"};
    std::vector<Text> paths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t size = i == 0 ? kShortFile : i < 3 ? kLargeFile : 900;
        ASSERT_TRUE(Put(source / names[i], Pattern(size, static_cast<char>('k' + i))));
        paths.push_back(sourcePath(names[i]));
    }
    ASSERT_TRUE(testing::PutFilesOnClipboard(paths));
    watchBox();

    bool confirmed = false, cancelled = false, busy = false, clickedCancel = false;
    int cancelTimerAfterClick = 0;
    openAndAct([&] {
        if (!confirmed) {
            confirmed = true;
            testing::ClickButton(desk.ui, control(CW::ConfirmButton));
        } else if (!cancelled && desk.ui.text(control(CW::CountLabel)) == countText(1)) {
            // The second file is being copied.
            cancelled = true;
            clickedCancel = testing::ClickButton(desk.ui, control(CW::CancelButton));
            // The click must have started 时钟2, which cancels the later long files.
            cancelTimerAfterClick = desk.ui.timerPeriod(control(CW::CancelTimer));
        } else if (!busy && desk.ui.text(control(CW::CountLabel)) == countText(2)) {
            // The third file is being copied: the user's step takes longer
            // than the cancel timer's period, whose tick then falls due
            // within this file however fast the copy runs.
            busy = true;
            std::this_thread::sleep_for(kBusyStep);
        }
    });

    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(clickedCancel);
    EXPECT_EQ(cancelTimerAfterClick, 100);
    ASSERT_TRUE(busy);
    const std::vector<testing::SeenBox> boxes = seenBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "复制完成");
    EXPECT_TRUE(Get(dest / "big1.bin") == Get(source / "big1.bin"));
    EXPECT_EQ(Get(dest / "small.txt"), Get(source / "small.txt"));
    // The cancelled files left nothing behind, not even a partial copy.
    EXPECT_EQ(Names(dest), (std::set<std::string>{"big1.bin", "small.txt"}));
    for (const std::string& name : names)
        EXPECT_GT(fs::file_size(source / name), 0u) << name;
}

TEST_F(Win32CopyWindow, EscDuringTheBatchStopsItKeepsExistingFilesAndShowsNoBox)
{
    const std::vector<std::string> names = {"big1.bin", "big2.bin", "big3.bin"};
    std::vector<Text> paths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(
            Put(source / names[i], Pattern(i == 1 ? kLargeFile : kShortFile, static_cast<char>('p' + i))));
        paths.push_back(sourcePath(names[i]));
    }
    ASSERT_TRUE(Put(dest / "big2.bin", "what was there before"));
    ASSERT_TRUE(testing::PutFilesOnClipboard(paths));
    watchBox();

    bool confirmed = false, closed = false;
    openAndAct([&] {
        if (!confirmed) {
            confirmed = true;
            testing::ClickButton(desk.ui, control(CW::ConfirmButton));
        } else if (!closed && desk.ui.text(control(CW::CountLabel)) == countText(1)) {
            closed = true;
            testing::PostKeyPress(desk.ui, ControlId{state.CopyWindowId, -1}, testing::kEscapeKey);
        }
    });

    ASSERT_TRUE(closed);
    EXPECT_TRUE(seenBoxes().empty());
    EXPECT_TRUE(Get(dest / "big1.bin") == Get(source / "big1.bin"));
    EXPECT_EQ(Get(dest / "big2.bin"), "what was there before");
    // The third file was never started: without a cancel it would have been copied.
    EXPECT_EQ(Names(dest), (std::set<std::string>{"big1.bin", "big2.bin"}));
}

}  // namespace
}  // namespace brenvik::win32
