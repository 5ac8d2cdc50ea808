// Helpers for the Win32 layer's own tests: child processes, key presses,
// native window state, the clipboard, quit messages and a watcher that
// answers message boxes.
#include "platform/win32/test_support.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/win32/native.h"

#include <shlobj.h>

namespace brenvik::win32::testing {

std::optional<std::uint32_t> RunSelfAsChild(std::string_view arguments, unsigned timeoutMs)
{
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return std::nullopt;
    path.resize(length);
    std::wstring commandLine = L"\"" + path + L"\" " + Widen(arguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return std::nullopt;
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code))
        return std::nullopt;
    return code;
}

bool PostKeyPress(const Win32Ui& ui, ControlId target, unsigned virtualKey)
{
    const HWND hwnd = static_cast<HWND>(ui.nativeHandle(target));
    if (hwnd == nullptr)
        return false;
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | static_cast<LPARAM>(scanCode) << 16;
    const LPARAM up = down | static_cast<LPARAM>(1) << 30 | static_cast<LPARAM>(1) << 31;
    return PostMessageW(hwnd, WM_KEYDOWN, virtualKey, down) && PostMessageW(hwnd, WM_KEYUP, virtualKey, up);
}

bool ClickButton(const Win32Ui& ui, ControlId button)
{
    const HWND hwnd = static_cast<HWND>(ui.nativeHandle(button));
    if (hwnd == nullptr)
        return false;
    SendMessageW(hwnd, BM_CLICK, 0, 0);
    return true;
}

bool PostDoubleClick(const Win32Ui& ui, ControlId control)
{
    const HWND hwnd = static_cast<HWND>(ui.nativeHandle(control));
    if (hwnd == nullptr)
        return false;
    const LPARAM corner = MAKELPARAM(2, 2);
    return PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, corner) &&
           PostMessageW(hwnd, WM_LBUTTONUP, 0, corner) &&
           PostMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, corner) &&
           PostMessageW(hwnd, WM_LBUTTONUP, 0, corner);
}

std::optional<ScreenRect> WindowRect(const Win32Ui& ui, WindowId window)
{
    const HWND hwnd = static_cast<HWND>(ui.nativeHandle(ControlId{window, -1}));
    RECT rect{};
    if (hwnd == nullptr || !GetWindowRect(hwnd, &rect))
        return std::nullopt;
    return ScreenRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

ScreenRect PrimaryScreen()
{
    return ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

namespace {

HWND WindowOf(const Win32Ui& ui, WindowId window)
{
    return static_cast<HWND>(ui.nativeHandle(ControlId{window, -1}));
}

}  // namespace

bool MoveWindowTo(const Win32Ui& ui, WindowId window, int left, int top)
{
    const HWND hwnd = WindowOf(ui, window);
    return hwnd != nullptr &&
           SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool IsEnabled(const Win32Ui& ui, WindowId window)
{
    const HWND hwnd = WindowOf(ui, window);
    return hwnd != nullptr && IsWindowEnabled(hwnd) != FALSE;
}

void SetEnabled(const Win32Ui& ui, WindowId window, bool enabled)
{
    if (const HWND hwnd = WindowOf(ui, window))
        EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool IsForegroundAndActive(const Win32Ui& ui, WindowId window)
{
    const HWND hwnd = WindowOf(ui, window);
    return hwnd != nullptr && GetForegroundWindow() == hwnd && GetActiveWindow() == hwnd;
}

std::optional<EditView> ViewOfEdit(const Win32Ui& ui, ControlId edit)
{
    const HWND hwnd = static_cast<HWND>(ui.nativeHandle(edit));
    if (hwnd == nullptr)
        return std::nullopt;
    EditView view;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    view.selectionStart = static_cast<int>(start);
    view.selectionEnd = static_cast<int>(end);
    view.lineCount = static_cast<int>(SendMessageW(hwnd, EM_GETLINECOUNT, 0, 0));
    view.firstVisibleLine = static_cast<int>(SendMessageW(hwnd, EM_GETFIRSTVISIBLELINE, 0, 0));

    // The box's lines are as high as its font's characters; its formatting
    // rectangle says how many of them fit.
    RECT area{};
    SendMessageW(hwnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const HDC dc = GetDC(hwnd);
    if (dc == nullptr)
        return std::nullopt;
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    const BOOL measured = GetTextMetricsW(dc, &metrics);
    if (previous != nullptr)
        SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    if (!measured || metrics.tmHeight <= 0)
        return std::nullopt;
    view.visibleLines = static_cast<int>((area.bottom - area.top) / metrics.tmHeight);
    return view;
}

namespace {

// Opens the clipboard for writing with an owner window of its own, since
// Windows refuses SetClipboardData after EmptyClipboard without an owner.
class ClipboardWriter {
public:
    ClipboardWriter()
        : owner_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr))
    {
        // The clipboard manager of the system may hold the clipboard for a moment.
        for (int attempt = 0; owner_ != nullptr && attempt < 50 && !open_; ++attempt) {
            open_ = OpenClipboard(owner_) != FALSE;
            if (!open_)
                Sleep(20);
        }
        if (open_)
            open_ = EmptyClipboard() != FALSE;
    }
    ~ClipboardWriter()
    {
        if (open_)
            CloseClipboard();
        if (owner_ != nullptr)
            DestroyWindow(owner_);
    }
    ClipboardWriter(const ClipboardWriter&) = delete;
    ClipboardWriter& operator=(const ClipboardWriter&) = delete;

    bool isOpen() const { return open_; }

    // Hands `bytes` to the clipboard as `format`; the clipboard owns the memory after.
    bool put(unsigned format, const void* bytes, std::size_t size)
    {
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        if (memory == nullptr)
            return false;
        void* target = GlobalLock(memory);
        if (target == nullptr) {
            GlobalFree(memory);
            return false;
        }
        std::memcpy(target, bytes, size);
        GlobalUnlock(memory);
        if (SetClipboardData(format, memory) == nullptr) {
            GlobalFree(memory);
            return false;
        }
        return true;
    }

private:
    HWND owner_;
    bool open_ = false;
};

}  // namespace

bool PutFilesOnClipboard(const std::vector<Text>& paths, bool wide)
{
    // DROPFILES, then each path with its zero, then one more zero.
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide ? TRUE : FALSE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof(header));
    for (const Text& path : paths) {
        if (!wide) {
            block += path;
            block += '\0';
            continue;
        }
        const int units =
            MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
        std::wstring utf16(static_cast<std::size_t>(units), L'\0');
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), utf16.data(), units);
        utf16 += L'\0';
        block.append(reinterpret_cast<const char*>(utf16.data()), utf16.size() * sizeof(wchar_t));
    }
    block.append(wide ? sizeof(wchar_t) : 1, '\0');

    ClipboardWriter writer;
    return writer.isOpen() && writer.put(CF_HDROP, block.data(), block.size());
}

bool PutTextOnClipboard(const Text& ansi)
{
    ClipboardWriter writer;
    return writer.isOpen() && writer.put(CF_TEXT, ansi.c_str(), ansi.size() + 1);
}

bool EmptyTheClipboard()
{
    ClipboardWriter writer;
    return writer.isOpen();
}

struct ClipboardHolder::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool holding = false;
    bool release = false;
    std::thread thread;
};

ClipboardHolder::ClipboardHolder() : state_(std::make_unique<State>())
{
    State& state = *state_;
    state.thread = std::thread([&state] {
        // With a window of its own, as a program holds it: Wine lets a second
        // thread open a clipboard that another thread opened without a window.
        const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
        bool opened = false;
        for (int attempt = 0; owner != nullptr && attempt < 50 && !opened; ++attempt) {
            opened = OpenClipboard(owner) != FALSE;
            if (!opened)
                Sleep(20);
        }
        std::unique_lock<std::mutex> lock(state.mutex);
        state.started = true;
        state.holding = opened;
        state.changed.notify_all();
        state.changed.wait(lock, [&state] { return state.release; });
        if (opened)
            CloseClipboard();
        if (owner != nullptr)
            DestroyWindow(owner);
    });
    std::unique_lock<std::mutex> lock(state.mutex);
    state.changed.wait(lock, [&state] { return state.started; });
}

ClipboardHolder::~ClipboardHolder()
{
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->release = true;
    }
    state_->changed.notify_all();
    state_->thread.join();
}

bool ClipboardHolder::holding() const
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->holding;
}

bool SetFileLength(const Text& path, std::int64_t length)
{
    const UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER position{};
    position.QuadPart = length;
    return SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

void PostQuit(int code)
{
    PostQuitMessage(code);
}

std::optional<int> TakeQuit()
{
    MSG message{};
    if (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return static_cast<int>(message.wParam);
    return std::nullopt;
}

struct MessageBoxWatcher::State {
    std::wstring title;
    std::function<void(const SeenBox&)> seen;
    DWORD threadId = GetCurrentThreadId();
    unsigned settleMs = 0;
    std::atomic<bool> stop{false};
    std::thread watcher;

    HWND findBox() const
    {
        struct Search {
            const std::wstring* title;
            HWND found;
        } search{&title, nullptr};
        EnumThreadWindows(
            threadId,
            [](HWND hwnd, LPARAM context) -> BOOL {
                auto* s = reinterpret_cast<Search*>(context);
                wchar_t className[16] = {};
                wchar_t caption[256] = {};
                GetClassNameW(hwnd, className, 16);
                GetWindowTextW(hwnd, caption, 256);
                if (std::wstring_view(className) == L"#32770" && *s->title == caption &&
                    IsWindowVisible(hwnd)) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The box's owner, whether it shows an icon, and its visible buttons.
    static SeenBox describe(HWND box)
    {
        SeenBox seenBox;
        seenBox.hasOwner = GetWindow(box, GW_OWNER) != nullptr;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM context) -> BOOL {
                auto* s = reinterpret_cast<SeenBox*>(context);
                wchar_t className[16] = {};
                GetClassNameW(child, className, 16);
                const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
                if (!IsWindowVisible(child))
                    return TRUE;
                const std::wstring_view name(className);
                if ((name == L"Static" || name == L"STATIC") && (style & SS_TYPEMASK) == SS_ICON &&
                    SendMessageW(child, STM_GETICON, 0, 0) != 0)
                    s->hasIcon = true;
                if ((name == L"Button" || name == L"BUTTON") && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)
                    ++s->buttons;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&seenBox));
        return seenBox;
    }

    void watch()
    {
        while (!stop.load()) {
            if (const HWND box = findBox()) {
                // The message text is the box's static control with id 0xFFFF.
                wchar_t text[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 1024);
                SeenBox seenBox = describe(box);
                seenBox.text = Narrow(text);
                Sleep(settleMs);
                seen(seenBox);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
};

MessageBoxWatcher::MessageBoxWatcher(std::wstring_view title, std::function<void(const std::string&)> seen,
                                     unsigned settleMs)
    : MessageBoxWatcher(title,
                        std::function<void(const SeenBox&)>(
                            [seen = std::move(seen)](const SeenBox& box) { seen(box.text); }),
                        settleMs)
{
}

MessageBoxWatcher::MessageBoxWatcher(std::wstring_view title, std::function<void(const SeenBox&)> seen,
                                     unsigned settleMs)
    : state_(std::make_unique<State>())
{
    state_->settleMs = settleMs;
    state_->title = title;
    state_->seen = std::move(seen);
    state_->watcher = std::thread([state = state_.get()] { state->watch(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    state_->stop = true;
    if (state_->watcher.joinable())
        state_->watcher.join();
}

}  // namespace brenvik::win32::testing
