// CopyWindow: the modal window that lists the clipboard's files, confirms and
// drives one copy batch with a progress bar and a running count, and cancels.
// This file holds its layout table, the object that binds its events, and the
// opening call of the hotkey dispatcher.
#pragma once

#include <vector>

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// The fixed properties and controls of CopyWindow.
extern const WindowSpec CopyWindowLayout;

// The positions of CopyWindow's controls in its layout table.
namespace CopyWindowControl {
inline constexpr int CancelTimer = 0;    // 时钟2, renews the cancel request
inline constexpr int CancelButton = 1;   // 按钮2, "取消进度"
inline constexpr int ConfirmButton = 2;  // 按钮1, "确认复制"
inline constexpr int ProgressBar = 3;    // 进度条1
inline constexpr int ProgressTimer = 4;  // 时钟1, copies the percentage into the bar
inline constexpr int CountLabel = 5;     // 标签1, the running count
inline constexpr int FileList = 6;       // 编辑框1, one path per line
inline constexpr int Summary = 7;        // 透明标签1, how many files go where
}  // namespace CopyWindowControl

// Opens CopyWindow modally for the destination in `state.TargetFolder` and
// returns once it has been destroyed. While it is open the program's other
// windows are disabled. When a CopyWindow is open already, no second one is
// made: the open one is restored if minimised, else activated, and the call
// returns at once.
void OpenCopyWindow(Platform& platform, SharedState& state);

// Asks the copy engine to stop the file in progress after its next chunk.
void RequestCancel(SharedState& state);

// CopyWindow's created handler, run before the window is shown: reads the
// clipboard's file list and fills `window`'s summary line with the number of
// files and `state.TargetFolder`, and its file list with one path per line,
// each ended by CR LF, the caret at the end and the last line in view.
void ShowCopyList(Platform& platform, const SharedState& state, WindowId window);

// One opening of CopyWindow: its handlers and what they need to know about the
// batch. Nothing of it outlives the window.
class CopyWindow {
public:
    CopyWindow(Platform& platform, SharedState& state);

    // The window's event handler.
    void onEvent(const Event& event);

private:
    ControlId control(int index) const { return ControlId{window_, index}; }

    // 按钮1 clicked: starts the progress timer and runs the batch once.
    void onConfirm();
    // Copies the clipboard's files one by one, counts them, reports the end and
    // destroys the window; stops early, touching nothing, if the window is
    // closed meanwhile.
    void RunCopyBatch();
    // 按钮2 clicked and 时钟2 tick: (re)starts the cancel timer and asks to cancel.
    void onCancel();
    // 时钟1 tick: the bar follows the engine's percentage.
    void onProgressTick();
    // Destroyed: the window is going, whoever destroys it.
    void onDestroyed();

    Platform& platform_;
    SharedState& state_;
    WindowId window_;
    bool batchStarted_ = false;  // the batch runs once per window
    bool copying_ = false;       // a CopyOneFile call of the batch is under way
    bool closed_ = false;        // the window has been destroyed
};

}  // namespace brenvik
