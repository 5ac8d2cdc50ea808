// The exact bytes last set into each control as an ANSI text: kept when the
// control does not give them back, returned while its text is unchanged.
#include "platform/win32/text_shadow.h"

#include <climits>

namespace brenvik::win32 {

Text WindowTextAnsi(HWND hwnd)
{
    const int length = GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return {};
    // The length may overstate a double-byte text; the copy says how much it took.
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, buffer.data(), length + 1);
    buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return buffer;
}

std::wstring WindowTextWide(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0)
        return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
    buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return buffer;
}

void TextShadows::remember(ControlId control, HWND hwnd, const Text& ansi)
{
    const std::pair<std::uint32_t, int> key{control.window.value, control.index};
    if (WindowTextAnsi(hwnd) == ansi) {
        shadows_.erase(key);
        return;
    }
    shadows_[key] = Shadow{ansi, WindowTextWide(hwnd)};
}

const Text* TextShadows::recall(ControlId control, HWND hwnd) const
{
    const auto found = shadows_.find({control.window.value, control.index});
    if (found == shadows_.end() || WindowTextWide(hwnd) != found->second.shown)
        return nullptr;
    return &found->second.ansi;
}

void TextShadows::forget(ControlId control)
{
    shadows_.erase({control.window.value, control.index});
}

void TextShadows::forget(WindowId window)
{
    shadows_.erase(shadows_.lower_bound({window.value, INT_MIN}),
                   shadows_.upper_bound({window.value, INT_MAX}));
}

}  // namespace brenvik::win32
