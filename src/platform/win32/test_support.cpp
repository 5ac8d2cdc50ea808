// Helpers for the Win32 layer's own tests: child processes, key presses,
// quit messages and a watcher that answers message boxes.
#include "platform/win32/test_support.h"

#include <atomic>
#include <thread>

#include "platform/win32/native.h"

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
    std::function<void(const std::string&)> seen;
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

    void watch()
    {
        while (!stop.load()) {
            if (const HWND box = findBox()) {
                // The message text is the box's static control with id 0xFFFF.
                wchar_t text[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 1024);
                Sleep(settleMs);
                seen(Narrow(text));
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
};

MessageBoxWatcher::MessageBoxWatcher(std::wstring_view title, std::function<void(const std::string&)> seen,
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
