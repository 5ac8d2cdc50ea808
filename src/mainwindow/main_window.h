// MainWindow: the start-up window with the five destination slots. This file
// holds its layout table and the object that binds its events.
#pragma once

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// The fixed properties and controls of MainWindow.
extern const WindowSpec MainWindowLayout;

class MainWindow {
public:
    MainWindow(Platform& platform, SharedState& state);

    // Creates the window from its layout, centred, and shows it. Returns false
    // when the window cannot be made.
    bool open();

    WindowId id() const { return window_; }

private:
    void onEvent(const Event& event);

    Platform& platform_;
    SharedState& state_;
    WindowId window_;
};

}  // namespace brenvik
