// The desktop services a Part may use, gathered so that one reference can be
// passed around. Which desktop stands behind them is chosen at link time.
#pragma once

#include <functional>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/folder_picker.h"
#include "platform/hotkeys.h"
#include "platform/images.h"
#include "platform/message_boxes.h"
#include "platform/pause.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/tray.h"
#include "platform/ui.h"

namespace brenvik {

struct Platform {
    Process& process;
    Ui& ui;
    Files& files;
    Pause& pause;
    const CodePage& codePage;
    Clipboard& clipboard;
    MessageBoxes& messageBoxes;
    Tray& tray;
    Hotkeys& hotkeys;
    FolderPicker& folderPicker;
    WindowImages& images;
};

// The program's entry routine, called once by the desktop's start-up.
using EntryRoutine = std::function<int(Platform&)>;

// Runs the program on the real desktop: builds the platform, calls `entry`,
// and when it returns runs the exit routines, shuts the platform down and
// returns the exit code. Implemented by the Win32 layer.
int RunOnDesktop(EntryRoutine entry);

}  // namespace brenvik
