// Windows as data: the constant tables from which both desktops build a window
// and its controls. A Part describes each of its windows once, in one table.
#pragma once

#include <span>
#include <string_view>

namespace brenvik {

enum class ControlKind {
    Label,             // static text
    TransparentLabel,  // static text drawn on the window's background
    Edit,              // edit box
    Button,            // push button
    ProgressBar,       // range 0..100
    Picture,           // picture box showing an image
    Timer,             // no visible part; its period is set at run time
};

// Style flags of a control; combine with |.
namespace ControlStyle {
inline constexpr unsigned None = 0;
inline constexpr unsigned ReadOnly = 1u << 0;   // edit box the user cannot type into
inline constexpr unsigned MultiLine = 1u << 1;  // edit box with several lines
inline constexpr unsigned VScroll = 1u << 2;    // vertical scroll bar
inline constexpr unsigned Disabled = 1u << 3;   // created disabled
inline constexpr unsigned RedText = 1u << 4;    // text drawn in RGB 255,0,0
inline constexpr unsigned WhiteBackground = 1u << 5;
}  // namespace ControlStyle

// The events a control raises; combine with |. A desktop only watches for the
// events a control's table entry names.
namespace ControlEvents {
inline constexpr unsigned None = 0;
inline constexpr unsigned Click = 1u << 0;
inline constexpr unsigned DoubleClick = 1u << 1;
inline constexpr unsigned Tick = 1u << 2;      // timers
inline constexpr unsigned Feedback = 1u << 3;  // a notification sent to the control
}  // namespace ControlEvents

struct ControlSpec {
    std::string_view name;  // the control's name, such as "按钮1" (UTF-8)
    ControlKind kind;
    int left, top, width, height;  // client pixels
    std::string_view text;         // initial text, UTF-8; a fixed text of the program
    unsigned style = ControlStyle::None;
    unsigned events = ControlEvents::None;
    int textLimit = 0;  // edit boxes: maximum characters, 0 for no limit
};

// Frame flags of a window; combine with |.
namespace WindowFrame {
inline constexpr unsigned Caption = 1u << 0;  // title bar with system menu and close box
inline constexpr unsigned MinimiseBox = 1u << 1;
inline constexpr unsigned MaximiseBox = 1u << 2;
inline constexpr unsigned Resizable = 1u << 3;     // sizing border; otherwise a fixed border
inline constexpr unsigned SunkenClient = 1u << 4;  // sunken client edge
inline constexpr unsigned TaskbarButton = 1u << 5;
}  // namespace WindowFrame

struct WindowSpec {
    std::string_view title;                 // UTF-8
    int outerWidth, outerHeight;            // pixels, frame included
    unsigned frame;                         // WindowFrame flags
    bool escapeCloses;                      // Esc while the window is active closes it
    std::span<const ControlSpec> controls;  // in the order the window holds them
};

}  // namespace brenvik
