// CopyWindow's layout, its handlers and the batch it drives.
#include "copy/copy_window.h"

#include <memory>
#include <string>
#include <vector>

#include "copy/clipboard_list.h"
#include "copy/copy_engine.h"
#include "platform/list.h"

namespace brenvik {

namespace {

constexpr int kTimerPeriodMs = 100;
constexpr std::int32_t kChunkSize = 1000;
constexpr std::int32_t kFullSpeed = 100;

constexpr ControlSpec kCopyWindowControls[] = {
    {"时钟2", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"按钮2", ControlKind::Button, 456, 200, 96, 24, "取消进度", ControlStyle::None, ControlEvents::Click},
    {"按钮1", ControlKind::Button, 360, 200, 96, 24, "确认复制", ControlStyle::None, ControlEvents::Click},
    {"进度条1", ControlKind::ProgressBar, 8, 160, 544, 40, "", ControlStyle::None, ControlEvents::None},
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"标签1", ControlKind::Label, 16, 200, 160, 24, "", ControlStyle::None, ControlEvents::None},
    {"编辑框1", ControlKind::Edit, 8, 24, 552, 136, "",
     ControlStyle::MultiLine | ControlStyle::VScroll | ControlStyle::Disabled | ControlStyle::WhiteBackground,
     ControlEvents::None},
    {"透明标签1", ControlKind::TransparentLabel, 8, 2, 216, 24, "", ControlStyle::None, ControlEvents::None},
};

}  // namespace

// A resizable border with a sunken client edge, a caption with close and
// minimise boxes and no maximise box; Esc closes it. Resizing moves no control.
const WindowSpec CopyWindowLayout{
    .title = "Quorvex",
    .outerWidth = 559,
    .outerHeight = 257,
    .frame =
        WindowFrame::Caption | WindowFrame::MinimiseBox | WindowFrame::Resizable | WindowFrame::SunkenClient,
    .escapeCloses = true,
    .controls = kCopyWindowControls,
};

void OpenCopyWindow(Platform& platform, SharedState& state)
{
    Ui& ui = platform.ui;
    const WindowId open = state.CopyWindowId;
    if (open) {
        // A window that is gone while its id is still kept belongs to a batch
        // that was closed mid-way and is stopping its current file: no new
        // window opens inside it.
        if (ui.isAlive(open)) {
            if (ui.placement(open) == Placement::Minimised)
                ui.setPlacement(open, Placement::Normal);
            else
                ui.activate(open);
        }
        return;
    }
    // The handler shares the window's object, so that it stays valid for as
    // long as the desktop can still call it.
    auto window = std::make_shared<CopyWindow>(platform, state);
    ui.runModal(CopyWindowLayout, [window](const Event& event) { window->onEvent(event); });
}

void RequestCancel(SharedState& state)
{
    state.CancelState = kCancelRequested;
}

void ShowCopyList(Platform& platform, const SharedState& state, WindowId window)
{
    Ui& ui = platform.ui;
    ui.setText(ControlId{window, CopyWindowControl::FileList}, Text{});
    std::vector<Text> list = ReadClipboardFiles(platform.clipboard);
    const auto count = static_cast<std::int64_t>(list.size());

    // The fixed parts are the program's own texts; the folder is data in the
    // code page, converted so that the joined caption is shown legibly.
    ui.setTextUtf8(
        ControlId{window, CopyWindowControl::Summary},
        "你有" + std::to_string(count) + "个文件需要复制到" + platform.codePage.toUtf8(state.TargetFolder));

    // One append of all lines, each ended by CR LF, leaves the box (empty
    // before) with the same text, caret and scroll position as one append per
    // line, and costs one redraw instead of one per line, whose total grows
    // with the square of the list.
    Text lines;
    std::size_t length = 0;
    for (const Text& entry : list)
        length += entry.size() + 2;
    lines.reserve(length);
    for (std::int64_t i = 1; i <= count; ++i) {
        lines += ListAt(platform.process, list, i);
        lines += "\r\n";
    }
    if (!lines.empty())
        ui.appendText(ControlId{window, CopyWindowControl::FileList}, lines);
}

CopyWindow::CopyWindow(Platform& platform, SharedState& state) : platform_(platform), state_(state) {}

void CopyWindow::onEvent(const Event& event)
{
    switch (event.kind) {
        case EventKind::Created:
            window_ = event.window;
            state_.CopyWindowId = window_;
            ShowCopyList(platform_, state_, window_);
            break;
        case EventKind::Click:
            if (event.control == CopyWindowControl::ConfirmButton)
                onConfirm();
            else if (event.control == CopyWindowControl::CancelButton)
                onCancel();
            break;
        case EventKind::Tick:
            if (event.control == CopyWindowControl::ProgressTimer)
                onProgressTick();
            else if (event.control == CopyWindowControl::CancelTimer)
                onCancel();
            break;
        case EventKind::Destroyed:
            onDestroyed();
            break;
        default:
            break;
    }
}

void CopyWindow::onConfirm()
{
    platform_.ui.setTimerPeriod(control(CopyWindowControl::ProgressTimer), kTimerPeriodMs);
    // A press while the batch runs comes through the engine's message
    // processing; a second batch nested inside the first would end by
    // destroying the window under it, so the batch runs once.
    if (batchStarted_)
        return;
    RunCopyBatch();
}

void CopyWindow::RunCopyBatch()
{
    batchStarted_ = true;
    std::vector<Text> list = ReadClipboardFiles(platform_.clipboard);
    const auto count = static_cast<std::int64_t>(list.size());

    // The batch keeps the destination it was confirmed with: a hotkey handled
    // during the batch changes TargetFolder for the next opening, not for the
    // later files of this batch. The engine's normalised folder is still
    // written back, as long as TargetFolder holds what the batch wrote last.
    Text folder = state_.TargetFolder;
    Text sharedFolder = folder;

    for (std::int64_t i = 1; i <= count; ++i) {
        copying_ = true;
        CopyOneFile(platform_, state_, folder, ListAt(platform_.process, list, i), kChunkSize, kFullSpeed);
        copying_ = false;
        if (state_.TargetFolder == sharedFolder) {
            state_.TargetFolder = folder;
            sharedFolder = folder;
        }
        if (closed_) {
            // The window was closed during the copy: its controls are gone and
            // the batch ends here. Openings are accepted again from now on.
            state_.CopyWindowId = {};
            return;
        }
        platform_.ui.setTextUtf8(control(CopyWindowControl::CountLabel),
                                 "已完成" + std::to_string(i) + "个文件的复制");
    }

    platform_.messageBoxes.showInformation("复制完成", "信息提示");
    // Destroyed at once, within this handler: the timers stop, the other
    // windows are enabled again, and the opening call returns after this.
    if (!closed_)
        platform_.ui.destroyWindow(window_);
}

void CopyWindow::onCancel()
{
    platform_.ui.setTimerPeriod(control(CopyWindowControl::CancelTimer), kTimerPeriodMs);
    RequestCancel(state_);
}

void CopyWindow::onProgressTick()
{
    platform_.ui.setProgress(control(CopyWindowControl::ProgressBar), state_.ProgressPercent);
}

void CopyWindow::onDestroyed()
{
    closed_ = true;
    if (copying_) {
        // Closed during a copy: the file in progress stops after its next
        // chunk as on cancel (its partial copy removed), and the batch stops
        // when the engine returns. Until then the window's id stays kept, so
        // that no new CopyWindow opens inside the stopping batch.
        RequestCancel(state_);
        return;
    }
    if (state_.CopyWindowId == window_)
        state_.CopyWindowId = {};
}

}  // namespace brenvik
