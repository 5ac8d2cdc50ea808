// The program's images on its windows: a window's icon and a picture box's image.
#pragma once

#include <span>

#include "platform/ui.h"

namespace brenvik {

class WindowImages {
public:
    virtual ~WindowImages() = default;

    // Sets the window's icon (title bar, taskbar, Alt+Tab) from the bytes of an
    // icon file. False, with nothing changed, when no icon can be made of them.
    virtual bool setWindowIcon(WindowId window, std::span<const unsigned char> iconFile) = 0;

    // Shows a PNG image in a picture control, decoded by the desktop's own
    // decoder and fitted into the control. False, with nothing changed, when the
    // bytes cannot be decoded.
    virtual bool setPicture(ControlId picture, std::span<const unsigned char> png) = 0;
};

}  // namespace brenvik
