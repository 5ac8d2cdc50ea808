// The exact bytes last set into each control as an ANSI text. A control turns
// its text into UTF-16 when it is set, so bytes that are not valid in the code
// page, or a line break in a single-line edit box, do not come back from it
// unchanged; the layer keeps such bytes and gives them back while the control
// still shows what they became.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/ui.h"
#include "platform/win32/native.h"

namespace brenvik::win32 {

class TextShadows {
public:
    // Called after `ansi` was set into `hwnd` (the native window of `control`):
    // keeps the bytes when the control does not give the same bytes back,
    // forgets any earlier ones when it does.
    void remember(ControlId control, HWND hwnd, const Text& ansi);

    // The bytes kept for `control` while its text is still what they were
    // shown as; null when none are kept or the text has changed since.
    const Text* recall(ControlId control, HWND hwnd) const;

    // Forgets the bytes of a control, or of every control of a window.
    void forget(ControlId control);
    void forget(WindowId window);

private:
    struct Shadow {
        Text ansi;           // the bytes as they were set
        std::wstring shown;  // the control's text right after they were set
    };
    std::map<std::pair<std::uint32_t, int>, Shadow> shadows_;
};

// A window's text through the ANSI and the wide calls.
Text WindowTextAnsi(HWND hwnd);
std::wstring WindowTextWide(HWND hwnd);

}  // namespace brenvik::win32
