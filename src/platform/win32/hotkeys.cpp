// Global hotkeys over RegisterHotKey, and their delivery to a label.
//
// From its first registration for a window, the service watches that window's
// messages through a subclass. A WM_HOTKEY whose id the service issued goes
// to the label of the latest registration first, synchronously, as the
// private message kHotkeyNotice (wParam the id, lParam 0), which the label's
// own subclass raises as its Feedback event; then the window handles the
// message as it always does.
#include <map>

#include "platform/win32/shell_native.h"

namespace brenvik::win32 {

namespace {

// The notice a label receives for a hotkey: wParam the id, lParam 0.
constexpr UINT kHotkeyNotice = 0x8075;

constexpr UINT_PTR kWindowSubclass = 0x686B;  // the watched window's
constexpr UINT_PTR kLabelSubclass = 0x6C62;   // a notified label's

LRESULT CALLBACK WindowWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR state);
LRESULT CALLBACK LabelWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR state);

// The service's modifier values as the system's flags.
UINT SystemModifiers(std::int32_t modifiers)
{
    switch (modifiers) {
        case 1:
            return MOD_CONTROL;
        case 2:
            return MOD_SHIFT;
        case 4:
            return MOD_ALT;
        case 3:
            return MOD_CONTROL | MOD_SHIFT;
        case 5:
            return MOD_CONTROL | MOD_ALT;
        case 6:
            return MOD_SHIFT | MOD_ALT;
        default:
            return static_cast<UINT>(modifiers);
    }
}

}  // namespace

struct Win32Hotkeys::State {
    Win32Process& process;
    Win32Ui& ui;
    std::int32_t attempts = 0;         // every registration attempt, successful or not
    ControlId label;                   // the label of the latest registration
    std::map<HWND, WindowId> windows;  // the watched windows
    std::map<HWND, ControlId> labels;  // the labels that raise notices

    State(Win32Process& owner, Win32Ui& windowsOfUi) : process(owner), ui(windowsOfUi) {}

    ~State()
    {
        for (const auto& [hwnd, window] : windows)
            RemoveWindowSubclass(hwnd, &WindowWatch, kWindowSubclass);
        for (const auto& [hwnd, control] : labels)
            RemoveWindowSubclass(hwnd, &LabelWatch, kLabelSubclass);
    }

    std::int32_t latestId() const { return kFirstHotkeyId - 1 + attempts; }

    void watch(HWND window, WindowId id)
    {
        if (!windows.contains(window) &&
            SetWindowSubclass(window, &WindowWatch, kWindowSubclass, reinterpret_cast<DWORD_PTR>(this)))
            windows.emplace(window, id);
    }

    void watchLabel(HWND hwnd, ControlId control)
    {
        if (!labels.contains(hwnd) &&
            SetWindowSubclass(hwnd, &LabelWatch, kLabelSubclass, reinterpret_cast<DWORD_PTR>(this)))
            labels.emplace(hwnd, control);
    }
};

namespace {

LRESULT CALLBACK WindowWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR statePointer)
{
    auto* state = reinterpret_cast<Win32Hotkeys::State*>(statePointer);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &WindowWatch, kWindowSubclass);
        state->windows.erase(hwnd);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (message == WM_HOTKEY) {
        const auto id = static_cast<std::int32_t>(static_cast<INT_PTR>(wParam));
        if (id >= kFirstHotkeyId && id <= state->latestId()) {
            const auto label = static_cast<HWND>(state->ui.nativeHandle(state->label));
            if (label != nullptr && state->label.index >= 0)
                SendMessageW(label, kHotkeyNotice, wParam, 0);
            // The label's handler may have destroyed the window.
            if (!IsWindow(hwnd))
                return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK LabelWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR statePointer)
{
    auto* state = reinterpret_cast<Win32Hotkeys::State*>(statePointer);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &LabelWatch, kLabelSubclass);
        state->labels.erase(hwnd);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (message == kHotkeyNotice) {
        const auto found = state->labels.find(hwnd);
        if (found != state->labels.end()) {
            const ControlId label = found->second;
            state->ui.raise(Event{EventKind::Feedback, label.window, label.index,
                                  static_cast<std::int32_t>(static_cast<INT_PTR>(wParam)),
                                  static_cast<std::int32_t>(lParam)});
        }
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

Win32Hotkeys::Win32Hotkeys(Win32Process& process, Win32Ui& ui) : state_(std::make_unique<State>(process, ui))
{
}

Win32Hotkeys::~Win32Hotkeys() = default;

std::int32_t Win32Hotkeys::registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                          std::int32_t key)
{
    State& state = *state_;
    ++state.attempts;
    const std::int32_t id = state.latestId();
    // A gone window must not become a null one: that would register the
    // hotkey for the thread instead.
    const auto hwnd = static_cast<HWND>(state.ui.nativeHandle(ControlId{window, -1}));
    if (hwnd == nullptr)
        return 0;
    try {
        state.watch(hwnd, window);
        state.label = notifyLabel;
        if (const auto label = static_cast<HWND>(state.ui.nativeHandle(notifyLabel));
            label != nullptr && notifyLabel.index >= 0)
            state.watchLabel(label, notifyLabel);
    } catch (const std::bad_alloc&) {
        state.process.fatalError(kOutOfMemoryMessage);
    }
    return RegisterHotKey(hwnd, id, SystemModifiers(modifiers), static_cast<UINT>(key)) ? id : 0;
}

void Win32Hotkeys::unregisterHotkey(WindowId window, std::int32_t id)
{
    const auto hwnd = static_cast<HWND>(state_->ui.nativeHandle(ControlId{window, -1}));
    if (hwnd != nullptr)
        UnregisterHotKey(hwnd, id);
}

}  // namespace brenvik::win32
