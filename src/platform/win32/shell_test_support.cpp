// Helpers for the tests of the shell services: messages, the system's view of
// hotkeys, tray icons, icons and pictures, a message spy, and threads that
// drive the pop-up menu and the folder picker as a user would.
#include "platform/win32/shell_test_support.h"

#include "platform/win32/native.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace brenvik::win32::testing {

namespace {

HWND NativeOf(const Win32Ui& ui, ControlId control)
{
    return static_cast<HWND>(ui.nativeHandle(control));
}

constexpr int kHelperHotkeyId = 0xBFFF;
constexpr UINT_PTR kSpySubclass = 0x7370;

// The first visible top-level window of `thread` with this class name.
HWND FindThreadWindow(DWORD thread, const wchar_t* className)
{
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* wanted = reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (IsWindowVisible(hwnd) && lstrcmpW(name, wanted->className) == 0) {
                wanted->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::uint32_t Rgb(COLORREF colour)
{
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) |
           GetBValue(colour);
}

void PostKey(HWND hwnd, UINT key)
{
    const UINT scanCode = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | static_cast<LPARAM>(scanCode) << 16;
    const LPARAM up = down | static_cast<LPARAM>(1) << 30 | static_cast<LPARAM>(1) << 31;
    PostMessageW(hwnd, WM_KEYDOWN, key, down);
    PostMessageW(hwnd, WM_KEYUP, key, up);
}

// True when the picker's tree has the folder at `path` selected, judged by
// the selected item's name: the path's last part, or for a drive root a name
// that holds the drive ("C:").
bool ShowsSelected(HWND dialog, const std::wstring& path)
{
    HWND tree = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && tree == nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (lstrcmpiW(name, WC_TREEVIEWW) == 0)
            tree = child;
    }
    if (tree == nullptr)
        return false;
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (item.hItem == nullptr || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    const std::wstring shown = text;
    std::wstring trimmed = path;
    while (!trimmed.empty() && trimmed.back() == L'\\')
        trimmed.pop_back();
    if (trimmed.size() == 2 && trimmed[1] == L':')
        return shown.find(trimmed) != std::wstring::npos;
    return shown == trimmed.substr(trimmed.find_last_of(L'\\') + 1);
}

}  // namespace

bool PostToWindow(const Win32Ui& ui, ControlId target, unsigned message, std::uintptr_t wParam,
                  std::intptr_t lParam)
{
    const HWND hwnd = NativeOf(ui, target);
    return hwnd != nullptr && PostMessageW(hwnd, message, wParam, lParam) != FALSE;
}

unsigned TaskbarCreatedMessage()
{
    return RegisterWindowMessageW(L"TaskbarCreated");
}

void DispatchPending()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool IsHotkeyFree(const Win32Ui& ui, WindowId window, unsigned flags, unsigned virtualKey)
{
    const HWND hwnd = NativeOf(ui, ControlId{window, -1});
    if (hwnd == nullptr || !RegisterHotKey(hwnd, kHelperHotkeyId, flags, virtualKey))
        return false;
    UnregisterHotKey(hwnd, kHelperHotkeyId);
    return true;
}

bool TrayIconExists(const Win32Ui& ui, WindowId window)
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = NativeOf(ui, ControlId{window, -1});
    data.uID = 100;
    return data.hWnd != nullptr && Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool DeleteTrayIcon(const Win32Ui& ui, WindowId window)
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = NativeOf(ui, ControlId{window, -1});
    data.uID = 100;
    return data.hWnd != nullptr && Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

std::optional<ImageSize> WindowIconSize(const Win32Ui& ui, WindowId window, bool big)
{
    const HWND hwnd = NativeOf(ui, ControlId{window, -1});
    if (hwnd == nullptr)
        return std::nullopt;
    const auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0));
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info))
        return std::nullopt;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    // Without a colour bitmap the mask holds both halves, one above the other.
    const int height = info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return ImageSize{bitmap.bmWidth, height};
}

std::optional<PictureBits> PictureOf(const Win32Ui& ui, ControlId picture)
{
    const HWND hwnd = NativeOf(ui, picture);
    if (hwnd == nullptr)
        return std::nullopt;
    const auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP described{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(described), &described) == 0)
        return std::nullopt;
    PictureBits bits;
    bits.width = described.bmWidth;
    bits.height = described.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = bits.width;
    info.bmiHeader.biHeight = -bits.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> raw(static_cast<std::size_t>(bits.width) * bits.height);
    const HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(bits.height), raw.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != bits.height)
        return std::nullopt;
    for (std::uint32_t& pixel : raw)
        pixel &= 0xFFFFFF;
    bits.pixels = std::move(raw);
    return bits;
}

std::uint32_t WindowBackground()
{
    return Rgb(GetSysColor(COLOR_BTNFACE));
}

bool TypeCharacters(const Win32Ui& ui, ControlId control, std::string_view utf8)
{
    const HWND hwnd = NativeOf(ui, control);
    if (hwnd == nullptr)
        return false;
    for (const wchar_t unit : Widen(utf8))
        SendMessageW(hwnd, WM_CHAR, unit, 1);
    return true;
}

// --- the message spy -----------------------------------------------------------

struct MessageSpy::State {
    HWND hwnd = nullptr;
    unsigned message = 0;
    std::function<void(std::uintptr_t, std::intptr_t)> seen;
};

namespace {

LRESULT CALLBACK SpyProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* state = reinterpret_cast<MessageSpy::State*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &SpyProcedure, kSpySubclass);
        state->hwnd = nullptr;
    } else if (message == state->message) {
        state->seen(wParam, lParam);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

MessageSpy::MessageSpy(const Win32Ui& ui, ControlId target, unsigned message,
                       std::function<void(std::uintptr_t wParam, std::intptr_t lParam)> seen)
    : state_(std::make_unique<State>())
{
    state_->message = message;
    state_->seen = std::move(seen);
    const HWND hwnd = NativeOf(ui, target);
    if (hwnd != nullptr &&
        SetWindowSubclass(hwnd, &SpyProcedure, kSpySubclass, reinterpret_cast<DWORD_PTR>(state_.get())))
        state_->hwnd = hwnd;
}

MessageSpy::~MessageSpy()
{
    if (state_->hwnd != nullptr)
        RemoveWindowSubclass(state_->hwnd, &SpyProcedure, kSpySubclass);
}

// --- the menu driver -----------------------------------------------------------

struct MenuDriver::State {
    DWORD thread = GetCurrentThreadId();
    int choice = 0;
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    std::vector<std::string> items;
    std::thread worker;
};

MenuDriver::MenuDriver(int choice) : state_(std::make_unique<State>())
{
    State& state = *state_;
    state.choice = choice;
    state.worker = std::thread([&state] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!state.stop && std::chrono::steady_clock::now() < deadline) {
            const HWND menuWindow = FindThreadWindow(state.thread, L"#32768");
            if (menuWindow == nullptr) {
                Sleep(20);
                continue;
            }
            const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
            std::vector<std::string> texts;
            for (int i = 0; menu != nullptr && i < GetMenuItemCount(menu); ++i) {
                wchar_t text[128] = {};
                GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
                texts.push_back(Narrow(text));
            }
            {
                const std::lock_guard<std::mutex> lock(state.mutex);
                state.items = texts;
            }
            if (state.choice < 0) {
                PostKey(menuWindow, VK_ESCAPE);
            } else {
                for (int i = 0; i <= state.choice; ++i)
                    PostKey(menuWindow, VK_DOWN);
                PostKey(menuWindow, VK_RETURN);
            }
            return;
        }
    });
}

MenuDriver::~MenuDriver()
{
    state_->stop = true;
    state_->worker.join();
}

std::vector<std::string> MenuDriver::items() const
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->items;
}

// --- the folder-picker driver --------------------------------------------------

struct FolderPickerDriver::State {
    DWORD thread = GetCurrentThreadId();
    std::vector<HWND> watched;
    std::optional<std::wstring> typed;
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    SeenPicker seen;
    std::thread worker;
};

FolderPickerDriver::FolderPickerDriver(const Win32Ui& ui, std::vector<WindowId> watched,
                                       std::optional<std::string> typedPathUtf8)
    : state_(std::make_unique<State>())
{
    State& state = *state_;
    for (const WindowId window : watched)
        state.watched.push_back(NativeOf(ui, ControlId{window, -1}));
    if (typedPathUtf8)
        state.typed = Widen(*typedPathUtf8);
    state.worker = std::thread([&state] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        HWND dialog = nullptr;
        while (!state.stop && std::chrono::steady_clock::now() < deadline && dialog == nullptr) {
            dialog = FindThreadWindow(state.thread, L"#32770");
            if (dialog == nullptr)
                Sleep(20);
        }
        if (dialog == nullptr)
            return;
        // Let the dialog fill its tree before it is looked at.
        Sleep(300);
        SeenPicker seen;
        seen.found = true;
        const HWND owner = GetWindow(dialog, GW_OWNER);
        seen.owned = owner != nullptr;
        seen.owner = owner;
        for (const HWND hwnd : state.watched)
            seen.windowsEnabled.push_back(hwnd != nullptr && IsWindowEnabled(hwnd) != FALSE);
        HWND edit = nullptr;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            if (lstrcmpiW(name, L"Static") == 0) {
                wchar_t text[256] = {};
                GetWindowTextW(child, text, 256);
                if (text[0] != L'\0')
                    seen.texts.push_back(Narrow(text));
            } else if (lstrcmpiW(name, L"Edit") == 0) {
                edit = child;
            }
        }
        seen.hasEditField = edit != nullptr;
        {
            const std::lock_guard<std::mutex> lock(state.mutex);
            state.seen = seen;
        }
        if (state.typed) {
            // The folder is clicked in the tree, then its path typed into the
            // edit field where there is one: Windows takes the typed path,
            // while Wine's picker has no edit field and takes the selection.
            // The picker may rebuild its tree when the shell reports changes
            // to folders, dropping the selection: it is made again until the
            // tree shows the folder selected.
            for (int attempt = 0; attempt < 25 && !state.stop; ++attempt) {
                SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                             reinterpret_cast<LPARAM>(state.typed->c_str()));
                Sleep(100);
                if (ShowsSelected(dialog, *state.typed))
                    break;
            }
            if (edit != nullptr)
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.typed->c_str()));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        } else {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        }
        // A dialog that would not close is cancelled, so that the test ends.
        for (int i = 0; i < 250 && !state.stop && IsWindow(dialog); ++i)
            Sleep(20);
        if (IsWindow(dialog))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

FolderPickerDriver::~FolderPickerDriver()
{
    state_->stop = true;
    state_->worker.join();
}

SeenPicker FolderPickerDriver::seen() const
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->seen;
}

}  // namespace brenvik::win32::testing
