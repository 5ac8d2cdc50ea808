// The notification-area icon over Shell_NotifyIconA, and its pop-up menu.
//
// Each owner window with an icon is watched through a subclass: the icon's
// callback message becomes the owner's Tray event, the shell's
// taskbar-created broadcast adds the icon again (the restarted shell knows
// none), and the pop-up menu's command becomes the owner's MenuCommand event.
// The service keeps each owner's icon handle and tip, so that it can add the
// icon again, and frees the handle when the icon is replaced or removed.
#include "platform/win32/shell_native.h"

#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

namespace brenvik::win32 {

namespace {

// The message the shell sends the owner for mouse activity on its icon.
constexpr UINT kTrayCallback = 0x8064;
// The pop-up menu's items carry these ids, the first item the lowest.
constexpr UINT kFirstMenuItem = 1;
constexpr std::size_t kTipBytes = 62;

LRESULT CALLBACK OwnerWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR windowValue,
                            DWORD_PTR state);

// At most 62 bytes of the tip, never half of a double-byte character.
std::string CutTip(std::string_view tip)
{
    std::size_t end = 0;
    while (end < tip.size() && tip[end] != '\0') {
        const std::size_t step =
            IsDBCSLeadByte(static_cast<BYTE>(tip[end])) && end + 1 < tip.size() && tip[end + 1] != '\0' ? 2
                                                                                                        : 1;
        if (end + step > kTipBytes)
            break;
        end += step;
    }
    return std::string(tip.substr(0, end));
}

int TrayEventTypeOf(UINT mouseMessage)
{
    switch (mouseMessage) {
        case WM_LBUTTONUP:
            return TrayEventType::LeftButtonUp;
        case WM_LBUTTONDBLCLK:
            return TrayEventType::LeftDoubleClick;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            return TrayEventType::RightButtonUp;
        default:
            return 0;
    }
}

}  // namespace

struct Win32Tray::State {
    Win32Process& process;
    Win32Ui& ui;
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

    struct Icon {
        HWND owner = nullptr;
        UniqueIcon handle;
        std::string tip;
        bool shown = false;  // the shell has it
    };
    std::map<std::uint32_t, Icon> icons;    // by owner window
    std::map<std::uint32_t, HWND> watched;  // owners this object subclassed
    UINT menuItems = 0;                     // the items of the latest pop-up menu

    State(Win32Process& owner, Win32Ui& windows) : process(owner), ui(windows) {}

    ~State()
    {
        for (const auto& [value, hwnd] : watched)
            RemoveWindowSubclass(hwnd, &OwnerWatch, value);
        for (auto& [value, icon] : icons)
            hide(icon);
    }

    void watch(WindowId owner, HWND hwnd)
    {
        if (watched.contains(owner.value))
            return;
        if (SetWindowSubclass(hwnd, &OwnerWatch, owner.value, reinterpret_cast<DWORD_PTR>(this))) {
            watched.emplace(owner.value, hwnd);
            // The broadcast reaches a program of a higher integrity level too.
            ChangeWindowMessageFilterEx(hwnd, taskbarCreated, MSGFLT_ALLOW, nullptr);
        }
    }

    static NOTIFYICONDATAA Record(HWND owner)
    {
        NOTIFYICONDATAA data{};
        data.cbSize = sizeof(data);
        data.hWnd = owner;
        data.uID = kTrayIconId;
        return data;
    }

    static bool Notify(DWORD action, HWND owner, HICON handle, const std::string& tip)
    {
        NOTIFYICONDATAA data = Record(owner);
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kTrayCallback;
        data.hIcon = handle;
        tip.copy(data.szTip, sizeof(data.szTip) - 1);
        return Shell_NotifyIconA(action, &data) != FALSE;
    }

    static void hide(Icon& icon)
    {
        if (!icon.shown)
            return;
        NOTIFYICONDATAA data = Record(icon.owner);
        Shell_NotifyIconA(NIM_DELETE, &data);
        icon.shown = false;
    }
};

namespace {

LRESULT CALLBACK OwnerWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR windowValue,
                            DWORD_PTR statePointer)
{
    auto* state = reinterpret_cast<Win32Tray::State*>(statePointer);
    const WindowId owner{static_cast<std::uint32_t>(windowValue)};
    return Guarded(state->process, [&]() -> LRESULT {
        if (message == kTrayCallback) {
            if (const int type = TrayEventTypeOf(LOWORD(lParam)); type != 0)
                state->ui.raise(Event{EventKind::Tray, owner, -1, type, 0});
            return 0;
        }
        if (message == WM_COMMAND && HIWORD(wParam) == 0 && lParam == 0 && LOWORD(wParam) >= kFirstMenuItem &&
            LOWORD(wParam) < kFirstMenuItem + state->menuItems) {
            state->ui.raise(Event{EventKind::MenuCommand, owner, -1,
                                  static_cast<std::int32_t>(LOWORD(wParam) - kFirstMenuItem), 0});
            return 0;
        }
        if (message == state->taskbarCreated && message != 0) {
            // The restarted shell knows no icon: the owner's is added again.
            if (const auto found = state->icons.find(owner.value); found != state->icons.end()) {
                Win32Tray::State::Icon& icon = found->second;
                icon.shown = Win32Tray::State::Notify(NIM_ADD, hwnd, icon.handle.get(), icon.tip);
            }
        } else if (message == WM_NCDESTROY) {
            // The owner is going: its icon leaves the notification area with it.
            if (const auto found = state->icons.find(owner.value); found != state->icons.end()) {
                Win32Tray::State::hide(found->second);
                state->icons.erase(found);
            }
            RemoveWindowSubclass(hwnd, &OwnerWatch, windowValue);
            state->watched.erase(owner.value);
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
    });
}

}  // namespace

Win32Tray::Win32Tray(Win32Process& process, Win32Ui& ui) : state_(std::make_unique<State>(process, ui)) {}

Win32Tray::~Win32Tray() = default;

bool Win32Tray::setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi)
{
    State& state = *state_;
    const auto hwnd = static_cast<HWND>(state.ui.nativeHandle(ControlId{owner, -1}));
    if (hwnd == nullptr)
        return false;
    UniqueIcon handle = IconFromFile(iconFile, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    const auto found = state.icons.find(owner.value);
    if (!handle)
        return found != state.icons.end() && found->second.shown;
    try {
        std::string tip = CutTip(tipAnsi);
        state.watch(owner, hwnd);
        if (found != state.icons.end() && found->second.shown) {
            State::Icon& icon = found->second;
            // A shell that lost the icon without telling refuses the change; it is added again.
            if (State::Notify(NIM_MODIFY, hwnd, handle.get(), tip) ||
                State::Notify(NIM_ADD, hwnd, handle.get(), tip)) {
                icon.handle = std::move(handle);  // frees the icon it replaced
                icon.tip = std::move(tip);
            }
            return true;
        }
        // When the shell refuses (it may not be running yet), the icon is kept
        // for its taskbar-created broadcast.
        State::Icon& icon = state.icons[owner.value];
        icon.owner = hwnd;
        icon.shown = State::Notify(NIM_ADD, hwnd, handle.get(), tip);
        icon.handle = std::move(handle);
        icon.tip = std::move(tip);
        return icon.shown;
    } catch (const std::bad_alloc&) {
        state.process.fatalError(kOutOfMemoryMessage);
    }
}

void Win32Tray::removeIcon(WindowId owner)
{
    State& state = *state_;
    const auto found = state.icons.find(owner.value);
    if (found == state.icons.end())
        return;
    State::hide(found->second);
    state.icons.erase(found);  // frees the icon handle
}

void Win32Tray::popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8)
{
    State& state = *state_;
    const auto hwnd = static_cast<HWND>(state.ui.nativeHandle(ControlId{owner, -1}));
    if (hwnd == nullptr || itemsUtf8.empty())
        return;
    UniqueMenu menu{CreatePopupMenu()};
    if (!menu)
        return;
    try {
        state.watch(owner, hwnd);
        for (std::size_t i = 0; i < itemsUtf8.size(); ++i) {
            const std::wstring text = Widen(itemsUtf8[i]);
            if (!AppendMenuW(menu.get(), MF_STRING, kFirstMenuItem + i, text.c_str()))
                return;
        }
    } catch (const std::bad_alloc&) {
        state.process.fatalError(kOutOfMemoryMessage);
    }
    state.menuItems = static_cast<UINT>(itemsUtf8.size());

    // The owner must be in the foreground, or the menu would not close when
    // the user clicks elsewhere.
    SetForegroundWindow(hwnd);
    POINT cursor{};
    GetCursorPos(&cursor);
    const auto chosen = static_cast<UINT>(
        TrackPopupMenu(menu.get(), TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                       cursor.x - 5, cursor.y - 5, 0, hwnd, nullptr));
    if (chosen != 0 && IsWindow(hwnd))
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    // The null message lets the menu's loop see that it is over.
    if (IsWindow(hwnd))
        PostMessageW(hwnd, WM_NULL, 0, 0);
}

}  // namespace brenvik::win32
