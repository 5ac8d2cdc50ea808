// MainWindow's layout and event binding.
#include "mainwindow/main_window.h"

namespace brenvik {

// A caption with system menu, close and minimise boxes, a fixed border, a
// taskbar button; Esc closes it. Its controls are added with the slots.
const WindowSpec MainWindowLayout{
    .title = "Brenvik1.0",
    .outerWidth = 570,
    .outerHeight = 170,
    .frame = WindowFrame::Caption | WindowFrame::MinimiseBox | WindowFrame::TaskbarButton,
    .escapeCloses = true,
    .controls = {},
};

MainWindow::MainWindow(Platform& platform, SharedState& state) : platform_(platform), state_(state) {}

bool MainWindow::open()
{
    window_ = platform_.ui.openWindow(MainWindowLayout, [this](const Event& event) { onEvent(event); });
    return static_cast<bool>(window_);
}

void MainWindow::onEvent(const Event& event)
{
    // No handler refuses a close: the close box, Alt+F4 and Esc destroy the
    // window, and with it the program's last window, which ends the loop.
    (void)event;
}

}  // namespace brenvik
