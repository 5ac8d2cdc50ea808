// The outside driver: windows of another process, real mouse and keyboard
// input, the shell's clipboard file list and plain file access. A separate test
// program, never linked into brenvik.exe; see driver.h.
#include "e2e/driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

namespace brenvik::e2e {

namespace {

constexpr milliseconds kPollInterval{15};
// Cross-process messages that take longer than this mean a hung program.
constexpr UINT kMessageTimeoutMs = 5000;

// Handles whatever is queued for this thread, so that a window of the test
// (the clipboard's owner) never keeps the program waiting on a sent message.
void PumpOwnMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::string Describe(HWND window)
{
    return "\"" + ToUtf8(Title(window)) + "\" (" + ToUtf8(ClassName(window)) + ")";
}

std::string Unanswered(HWND window, const char* message)
{
    const DWORD error = GetLastError();
    return "the " + ToUtf8(ClassName(window)) + " window " +
           std::to_string(reinterpret_cast<std::uintptr_t>(window)) + " does not answer " + message +
           " (error " + std::to_string(error) + ")";
}

struct EnumState {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM context)
{
    auto* state = reinterpret_cast<EnumState*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == state->processId && IsWindowVisible(window))
        state->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context)
{
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

bool SameText(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() &&
           (a.empty() || CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL);
}

void Send(std::vector<INPUT>& inputs)
{
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw DriverError("SendInput delivered " + std::to_string(sent) + " of " +
                          std::to_string(inputs.size()) + " input events (error " +
                          std::to_string(GetLastError()) + ")");
}

INPUT KeyInput(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT UnicodeInput(wchar_t character, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(character);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

// A mouse event at a screen point, in the normalised coordinates that
// absolute input takes. Every event carries the point, so a button event can
// never land where the mouse was before.
INPUT MouseInput(DWORD flags, POINT screen)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Rounded up, so that both the system's x * 65536 / width and Wine's
    // x * 65535 / (width - 1) come back to the same pixel.
    input.mi.dx = static_cast<LONG>((screen.x * 65535L + width - 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535L + height - 2) / (height - 1));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// Moves the mouse to a screen point of `window`, its top-level window in
// front, and waits until the system has it there.
void PointAt(HWND window, POINT screen)
{
    BringToForeground(window);
    std::vector<INPUT> move{MouseInput(0, screen)};
    Send(move);
    POINT now{};
    const auto reached = [&] {
        GetCursorPos(&now);
        return now.x == screen.x && now.y == screen.y;
    };
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(5000);
    while (!reached()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw DriverError("the mouse is at " + std::to_string(now.x) + "," + std::to_string(now.y) +
                              " instead of " + std::to_string(screen.x) + "," + std::to_string(screen.y));
        std::this_thread::sleep_for(kPollInterval);
    }
}

POINT CentreOf(HWND control)
{
    RECT rect{};
    if (!GetWindowRect(control, &rect))
        throw DriverError("cannot find the place of the control " + Describe(control));
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Presses and releases the left button `times` times where the mouse is.
void ClickHere(POINT screen, int times = 1)
{
    std::vector<INPUT> inputs;
    for (int i = 0; i < times; ++i) {
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN, screen));
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP, screen));
    }
    Send(inputs);
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kMessageTimeoutMs, &result))
        throw DriverError("the window " + Describe(window) + " does not answer message " +
                          std::to_string(message));
    return static_cast<LRESULT>(result);
}

// The classic picker under Wine has no edit field, but its tree shows the Unix
// root "/" (which Wine maps to drive Z:) as the desktop's first item. The walk
// opens each folder with the Right key and picks the next name by typing it,
// as the tree's type-ahead lets a person do.
void WalkFolderTree(HWND tree, const std::wstring& folder)
{
    const bool underUnixRoot = folder.size() > 3 && (folder[0] == L'Z' || folder[0] == L'z') &&
                               folder[1] == L':' && folder[2] == L'\\';
    if (!underUnixRoot)
        throw DriverError(
            "the folder picker has no edit field, and its tree can be walked only below Z:\\ "
            "(the Unix root under Wine), not to " +
            ToUtf8(folder));
    // An empty spot at the tree's bottom gives it the focus without choosing an item.
    RECT client{};
    GetClientRect(tree, &client);
    ClickAt(tree, 8, client.bottom - 4);
    PressKey(VK_HOME);
    PressKey(VK_RIGHT);
    std::size_t at = 3;
    while (at < folder.size()) {
        std::size_t end = folder.find(L'\\', at);
        if (end == std::wstring::npos)
            end = folder.size();
        PressKey(VK_RIGHT);  // opens the folder
        PressKey(VK_RIGHT);  // goes to its first subfolder
        TypeText(std::wstring_view(folder).substr(at, end - at));
        // The type-ahead ends after a pause; the next name must start a new search.
        std::this_thread::sleep_for(milliseconds(800));
        at = end + 1;
    }
}

}  // namespace

std::string ToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring FromAnsi(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

// --- handles and processes -----------------------------------------------------

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept
{
    if (this != &other) {
        if (handle_ != nullptr)
            CloseHandle(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

UniqueHandle::~UniqueHandle()
{
    if (handle_ != nullptr)
        CloseHandle(handle_);
}

RunningProgram::RunningProgram(const std::wstring& exe, const std::wstring& folder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info))
        throw DriverError("cannot start " + ToUtf8(exe) + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    process_ = UniqueHandle(info.hProcess);
    processId_ = info.dwProcessId;
}

RunningProgram::~RunningProgram()
{
    if (process_.get() != nullptr && running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool RunningProgram::running() const
{
    return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

int RunningProgram::waitForExit(milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw DriverError("the program is still running " + std::to_string(timeout.count()) +
                              " ms after it was asked to end");
        PumpOwnMessages();
        WaitForSingleObject(process_.get(), static_cast<DWORD>(kPollInterval.count()));
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
}

void RunningProgram::checkAlive(std::string_view waitingFor) const
{
    if (!running()) {
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        throw DriverError("the program ended with exit code " + std::to_string(static_cast<int>(code)) +
                          " while the test waited for " + std::string(waitingFor));
    }
    // The program's fatal-error box: a message box titled after the program.
    for (HWND window : topWindows()) {
        if (ClassName(window) != L"#32770" || Title(window) != L"Brenvik")
            continue;
        std::string message;
        for (HWND child : Children(window))
            if (SameText(ClassName(child), L"Static") && !WindowText(child).empty())
                message += (message.empty() ? "" : " ") + ToUtf8(WindowText(child));
        throw DriverError("the program reported a fatal error \"" + message +
                          "\" while the test waited for " + std::string(waitingFor));
    }
}

std::vector<HWND> RunningProgram::topWindows() const
{
    EnumState state{processId_, {}};
    EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

HWND RunningProgram::waitForWindow(std::wstring_view title, std::wstring_view windowClass,
                                   milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : topWindows())
                if (Title(window) == title && (windowClass.empty() || ClassName(window) == windowClass)) {
                    found = window;
                    return true;
                }
            return false;
        },
        "the window \"" + ToUtf8(title) + "\"", timeout, this);
    return found;
}

HWND RunningProgram::waitForDialogWithText(std::wstring_view text, milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : topWindows()) {
                if (ClassName(window) != L"#32770")
                    continue;
                for (HWND child : Children(window))
                    if (SameText(ClassName(child), L"Static") && WindowText(child) == text) {
                        found = window;
                        return true;
                    }
            }
            return false;
        },
        "a dialog showing \"" + ToUtf8(text) + "\"", timeout, this);
    return found;
}

HWND RunningProgram::waitForMenu(milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : topWindows())
                if (ClassName(window) == L"#32768") {
                    found = window;
                    return true;
                }
            return false;
        },
        "a pop-up menu", timeout, this);
    return found;
}

void WaitUntil(const std::function<bool()>& condition, std::string_view what, milliseconds timeout,
               const RunningProgram* alive)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (alive != nullptr)
            alive->checkAlive(what);
        if (condition())
            return;
        if (std::chrono::steady_clock::now() > deadline)
            throw DriverError("timed out after " + std::to_string(timeout.count()) + " ms waiting for " +
                              std::string(what));
        PumpOwnMessages();
        std::this_thread::sleep_for(kPollInterval);
    }
}

// --- windows and controls ------------------------------------------------------

std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &length))
        throw DriverError(Unanswered(window, "WM_GETTEXTLENGTH"));
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, kMessageTimeoutMs, &copied))
        throw DriverError(Unanswered(window, "WM_GETTEXT"));
    text.resize(copied);
    return text;
}

std::wstring Title(HWND window)
{
    // The caption is kept by the system: reading it sends the window nothing.
    wchar_t title[512] = {};
    const int length = GetWindowTextW(window, title, 512);
    return std::wstring(title, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string WindowTextAnsi(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &length))
        throw DriverError(Unanswered(window, "WM_GETTEXTLENGTH"));
    // The ANSI length may be counted in wide characters: leave room for two bytes each.
    std::string text(2 * length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, kMessageTimeoutMs, &copied))
        throw DriverError(Unanswered(window, "WM_GETTEXT"));
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND ChildAt(HWND parent, std::wstring_view windowClass, int left, int top)
{
    std::string seen;
    for (HWND child : Children(parent)) {
        if (!SameText(ClassName(child), windowClass))
            continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.left == left && rect.top == top)
            return child;
        seen += " " + std::to_string(rect.left) + "," + std::to_string(rect.top);
    }
    throw DriverError("no " + ToUtf8(windowClass) + " control at " + std::to_string(left) + "," +
                      std::to_string(top) + " in " + Describe(parent) + "; the " + ToUtf8(windowClass) +
                      " controls are at:" + (seen.empty() ? " (none)" : seen));
}

HWND ChildWithText(HWND parent, std::wstring_view windowClass, std::wstring_view text)
{
    for (HWND child : Children(parent))
        if (SameText(ClassName(child), windowClass) && WindowText(child) == text)
            return child;
    throw DriverError("no " + ToUtf8(windowClass) + " control \"" + ToUtf8(text) + "\" in " +
                      Describe(parent));
}

ScreenSample SampleScreen(HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const int lines =
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (lines != height)
        throw DriverError("cannot read the screen under " + Describe(control));
    std::map<std::uint32_t, std::size_t> counts;
    for (std::uint32_t pixel : pixels)
        ++counts[pixel & 0xFFFFFFu];
    ScreenSample sample;
    sample.colours = static_cast<int>(counts.size());
    std::size_t most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) {
            most = count;
            sample.commonest = colour;
        }
    return sample;
}

// --- input ---------------------------------------------------------------------

void BringToForeground(HWND window)
{
    HWND top = GetAncestor(window, GA_ROOT);
    if (top == nullptr)
        throw DriverError("the window is gone");
    WaitUntil(
        [top] {
            if (GetForegroundWindow() == top)
                return true;
            SetForegroundWindow(top);
            return GetForegroundWindow() == top;
        },
        "the window " + Describe(top) + " to come to the foreground", milliseconds(5000));
}

void Click(HWND control)
{
    const POINT centre = CentreOf(control);
    PointAt(control, centre);
    ClickHere(centre);
}

void ClickAt(HWND window, int clientX, int clientY)
{
    POINT point{clientX, clientY};
    ClientToScreen(window, &point);
    PointAt(window, point);
    ClickHere(point);
}

void ClickCloseBox(HWND window)
{
    // Ask the window itself where its close box is, along the top of its frame.
    RECT rect{};
    GetWindowRect(window, &rect);
    long sumX = 0, sumY = 0, hits = 0;
    for (int y = rect.top; y < rect.top + 40 && y < rect.bottom; y += 2)
        for (int x = rect.right - 1; x > rect.right - 100 && x > rect.left; x -= 2)
            if (SendWithTimeout(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                sumX += x;
                sumY += y;
                ++hits;
            }
    if (hits == 0)
        throw DriverError("the window " + Describe(window) + " has no close box");
    const POINT closeBox{static_cast<int>(sumX / hits), static_cast<int>(sumY / hits)};
    PointAt(window, closeBox);
    ClickHere(closeBox);
}

void DoubleClick(HWND control)
{
    const POINT centre = CentreOf(control);
    PointAt(control, centre);
    ClickHere(centre, 2);
}

void TypeText(std::wstring_view text)
{
    std::vector<INPUT> inputs;
    for (wchar_t character : text) {
        // Letters and digits go as the keys a person presses; the rest as
        // characters, which needs no particular keyboard layout.
        const bool lower = character >= L'a' && character <= L'z';
        const bool upper = character >= L'A' && character <= L'Z';
        const bool digit = character >= L'0' && character <= L'9';
        if (lower || upper || digit) {
            const WORD key = static_cast<WORD>(lower ? character - L'a' + L'A' : character);
            if (upper)
                inputs.push_back(KeyInput(VK_SHIFT, false));
            inputs.push_back(KeyInput(key, false));
            inputs.push_back(KeyInput(key, true));
            if (upper)
                inputs.push_back(KeyInput(VK_SHIFT, true));
        } else {
            inputs.push_back(UnicodeInput(character, false));
            inputs.push_back(UnicodeInput(character, true));
        }
    }
    Send(inputs);
}

void PressKey(WORD virtualKey)
{
    std::vector<INPUT> inputs{KeyInput(virtualKey, false), KeyInput(virtualKey, true)};
    Send(inputs);
}

void PressChord(WORD modifier, WORD key)
{
    std::vector<INPUT> inputs{KeyInput(modifier, false), KeyInput(key, false), KeyInput(key, true),
                              KeyInput(modifier, true)};
    Send(inputs);
}

void ChooseFolder(HWND picker, const std::wstring& folder)
{
    HWND ok = GetDlgItem(picker, IDOK);
    if (ok == nullptr)
        throw DriverError("the folder picker has no OK button");
    HWND edit = nullptr;
    HWND tree = nullptr;
    for (HWND child : Children(picker)) {
        if (!IsWindowVisible(child))
            continue;
        if (SameText(ClassName(child), L"Edit"))
            edit = child;
        else if (SameText(ClassName(child), WC_TREEVIEWW))
            tree = child;
    }
    if (edit != nullptr) {
        Click(edit);
        SendWithTimeout(edit, EM_SETSEL, 0, -1);  // what is typed replaces the name shown
        TypeText(folder);
        WaitUntil([&] { return WindowText(edit) == folder; }, "the typed folder in the picker's edit field",
                  milliseconds(5000));
    } else if (tree != nullptr) {
        WalkFolderTree(tree, folder);
    } else {
        throw DriverError("the folder picker has neither an edit field nor a folder tree");
    }
    Click(ok);
}

void ChooseMenuItem(HWND menu, int position)
{
    // The program brings its own window to the foreground before it opens the
    // menu, so the keys reach the menu. It opens with no item selected: the
    // first Down selects the first item.
    if (!IsWindowVisible(menu))
        throw DriverError("the pop-up menu is gone");
    for (int i = 0; i <= position; ++i)
        PressKey(VK_DOWN);
    PressKey(VK_RETURN);
}

// --- clipboard -----------------------------------------------------------------

ClipboardFiles::ClipboardFiles(const std::vector<std::string>& ansiPaths)
{
    // EmptyClipboard needs an owner window, or setting the data fails.
    owner_ = CreateWindowExW(0, L"STATIC", L"e2e clipboard owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (owner_ == nullptr)
        throw DriverError("cannot make the clipboard's owner window");
    // Another process may hold the clipboard for a moment.
    WaitUntil([this] { return OpenClipboard(owner_) != FALSE; }, "the clipboard to open", milliseconds(5000));

    // DROPFILES, then each path with its zero byte, then one more zero byte.
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& path : ansiPaths)
        size += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    bool stored = false;
    if (memory != nullptr) {
        auto* bytes = static_cast<unsigned char*>(GlobalLock(memory));
        auto* header = reinterpret_cast<DROPFILES*>(bytes);
        header->pFiles = sizeof(DROPFILES);
        header->fWide = FALSE;
        std::size_t at = sizeof(DROPFILES);
        for (const std::string& path : ansiPaths) {
            std::memcpy(bytes + at, path.data(), path.size());
            at += path.size() + 1;
        }
        GlobalUnlock(memory);
        stored = EmptyClipboard() && SetClipboardData(CF_HDROP, memory) != nullptr;
        if (!stored)
            GlobalFree(memory);
    }
    CloseClipboard();
    if (!stored) {
        DestroyWindow(owner_);
        throw DriverError("cannot put the file list on the clipboard (error " +
                          std::to_string(GetLastError()) + ")");
    }
}

ClipboardFiles::~ClipboardFiles()
{
    if (OpenClipboard(owner_)) {
        EmptyClipboard();
        CloseClipboard();
    }
    DestroyWindow(owner_);
}

// --- files ---------------------------------------------------------------------

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        throw DriverError("cannot open " + ToUtf8(path) + " (error " + std::to_string(GetLastError()) + ")");
    UniqueHandle file(raw);
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    HANDLE raw =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        throw DriverError("cannot create " + ToUtf8(path) + " (error " + std::to_string(GetLastError()) +
                          ")");
    UniqueHandle file(raw);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw DriverError("cannot write " + ToUtf8(path));
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(32768, L'\0');
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    return full;
}

ScratchFolder::ScratchFolder(const std::wstring& givenRoot)
{
    std::wstring root = FullPath(givenRoot);
    while (root.size() > 3 && root.back() == L'\\')
        root.pop_back();
    static std::atomic<unsigned> counter{0};
    path_ = root + L"\\brenvik-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path_), error);
    if (error)
        throw DriverError("cannot make the folder " + ToUtf8(path_) + ": " + error.message());
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

}  // namespace brenvik::e2e
