// Windows, controls, timers and the message loops over the Windows API.
//
// Each window of the program is built from its layout table: one top-level
// window of the layer's own class, one child window per visible control, and
// one SetTimer id per timer control. Window messages become the program's own
// events inside the window procedure; no native value reaches a handler, and
// no C++ exception leaves a window procedure: a handler that runs out of
// memory ends the program through the fatal error.
//
// The quit rule: the layer counts the program's live top-level windows; when
// one is destroyed, none is left and the message loop has started, it posts
// the quit message with code 0.
//
// Modal windows: runModal disables the program's other top-level windows,
// remembering whether each was enabled, and runs a nested loop until the
// modal window is gone. The others get their former state back just before
// the modal window is destroyed (DestroyWindow, its close request, or its
// WM_DESTROY as the last resort), so that the system can hand the activation
// back to one of them instead of to some other program.
//
// The Esc key: every loop of the layer looks at each message before it is
// translated and dispatched; a WM_KEYDOWN of VK_ESCAPE aimed at a window whose
// table says Esc closes it, or at one of its controls, becomes a WM_CLOSE for
// that window.
//
// The pending-message pass is cheap when nothing can be pending. Under Wine a
// PeekMessage or GetQueueStatus is a round trip to the Wine server (12 to 50
// microseconds), while the copy engine calls the pass after every 1000-byte
// chunk, which takes under two microseconds of I/O. So the pass only looks at
// the queue when at least a millisecond has passed since its last look (by
// QueryPerformanceCounter) and otherwise returns at once. Nothing waits for
// more than that millisecond: the progress timer, the cancel button and the
// close box are seen at the first pass after it, and due timer ticks are still
// delivered because the queue makes WM_TIMER when it is looked at.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"
#include "platform/win32/text_shadow.h"

#include <commctrl.h>

#include <map>
#include <new>
#include <string>

namespace brenvik::win32 {

namespace {

constexpr int kFirstControlId = 100;   // a control's child-window id is this plus its index
constexpr UINT_PTR kFirstTimerId = 1;  // a timer's SetTimer id is this plus its index
constexpr std::string_view kUnexpectedErrorMessage = "程序内部错误：事件处理时出现了未预料的异常。";

// Owns the font the controls are drawn with.
class UniqueFont {
public:
    UniqueFont()
    {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    UniqueFont(const UniqueFont&) = delete;
    UniqueFont& operator=(const UniqueFont&) = delete;
    ~UniqueFont()
    {
        if (font_ != nullptr)
            DeleteObject(font_);
    }
    // The system's message font, or the stock GUI font when it could not be made.
    HFONT get() const
    {
        return font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }

private:
    HFONT font_ = nullptr;
};

struct WindowRecord {
    Win32Ui::State* ui = nullptr;
    WindowId id;
    HWND hwnd = nullptr;
    const WindowSpec* spec = nullptr;
    EventHandler handler;
    std::vector<HWND> controls;  // null for timers
    std::vector<int> periods;    // timers' periods in milliseconds, 0 when stopped
    bool created = false;        // Created was raised; no event is passed on before
    // A modal window's record of the windows it disabled, each with whether it
    // was enabled before; emptied when they get that state back.
    struct Disabled {
        WindowId window;
        bool wasEnabled;
    };
    std::vector<Disabled> disabledOthers;
};

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                  DWORD_PTR record);

std::wstring ClassNameFor(const void* owner)
{
    // One class per Ui object, so two of them never share a registration.
    return L"BrenvikWindow" + std::to_wstring(reinterpret_cast<std::uintptr_t>(owner));
}

}  // namespace

struct Win32Ui::State {
    Win32Process& process;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    std::wstring className = ClassNameFor(this);
    ATOM atom = 0;
    UniqueFont font;
    TextShadows shadows;  // data texts the controls would not give back unchanged
    std::map<std::uint32_t, std::shared_ptr<WindowRecord>> windows;
    std::uint32_t nextId = 1;
    bool loopStarted = false;
    bool shuttingDown = false;
    LONGLONG lookInterval = 0;  // QueryPerformanceCounter ticks in a millisecond
    LONGLONG lastLook = 0;
    bool looked = false;

    explicit State(Win32Process& owner) : process(owner)
    {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
        InitCommonControlsEx(&controls);

        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &WindowProcedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = className.c_str();
        atom = RegisterClassExW(&windowClass);

        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        lookInterval = frequency.QuadPart / 1000;
    }

    ~State()
    {
        // The program's end: the windows still open go without raising events,
        // since the handlers' state may be released by now.
        shuttingDown = true;
        while (!windows.empty()) {
            const std::shared_ptr<WindowRecord> record = windows.begin()->second;
            if (record->hwnd != nullptr && IsWindow(record->hwnd))
                DestroyWindow(record->hwnd);
            windows.erase(record->id.value);
        }
        if (atom != 0)
            UnregisterClassW(className.c_str(), instance);
        // A quit message nobody took would end the next loop of this thread at once.
        MSG message;
        PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    std::shared_ptr<WindowRecord> find(WindowId id) const
    {
        const auto found = windows.find(id.value);
        return found == windows.end() ? nullptr : found->second;
    }

    HWND controlWindow(ControlId control) const
    {
        const std::shared_ptr<WindowRecord> record = find(control.window);
        if (record == nullptr)
            return nullptr;
        if (control.index == -1)
            return record->hwnd;
        if (control.index < 0 || control.index >= static_cast<int>(record->controls.size()))
            return nullptr;
        return record->controls[static_cast<std::size_t>(control.index)];
    }

    void raise(const std::shared_ptr<WindowRecord>& record, const Event& event)
    {
        // While a fatal error's box is up its loop still dispatches the windows'
        // messages, but the program's state may be broken: no handler runs.
        if (!record->created || shuttingDown || !record->handler || process.fatalErrorShown())
            return;
        // The record stays alive while its handler runs, even if the handler
        // destroys the window.
        const std::shared_ptr<WindowRecord> keep = record;
        try {
            keep->handler(event);
        } catch (const std::bad_alloc&) {
            process.fatalError(kOutOfMemoryMessage);
        } catch (...) {
            process.fatalError(kUnexpectedErrorMessage);
        }
    }

    void raise(WindowRecord& record, EventKind kind, int control)
    {
        const std::shared_ptr<WindowRecord> shared = find(record.id);
        if (shared != nullptr)
            raise(shared, Event{kind, record.id, control, 0, 0});
    }

    // Turns Esc into a close request for a window whose table asks for it.
    bool closesOnEscape(const MSG& message) const
    {
        if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || message.hwnd == nullptr)
            return false;
        const HWND root = GetAncestor(message.hwnd, GA_ROOT);
        for (const auto& [id, record] : windows) {
            if (record->hwnd == root && record->spec->escapeCloses) {
                PostMessageW(root, WM_CLOSE, 0, 0);
                return true;
            }
        }
        return false;
    }

    void dispatch(MSG& message)
    {
        if (closesOnEscape(message))
            return;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    // Gives the windows a modal window disabled their former enabled state back.
    void restoreOthers(WindowRecord& modal)
    {
        std::vector<WindowRecord::Disabled> others;
        others.swap(modal.disabledOthers);
        for (const WindowRecord::Disabled& other : others) {
            const std::shared_ptr<WindowRecord> record = find(other.window);
            if (record != nullptr && record->hwnd != nullptr)
                EnableWindow(record->hwnd, other.wasEnabled ? TRUE : FALSE);
        }
    }

    // The native window of a control of the given kind; null when the control
    // is gone or of another kind, so that no message meant for one kind of
    // control reaches another.
    HWND controlOfKind(ControlId control, ControlKind kind) const
    {
        const std::shared_ptr<WindowRecord> record = find(control.window);
        if (record == nullptr || control.index < 0 ||
            control.index >= static_cast<int>(record->controls.size()))
            return nullptr;
        const auto index = static_cast<std::size_t>(control.index);
        return record->spec->controls[index].kind == kind ? record->controls[index] : nullptr;
    }

    std::shared_ptr<WindowRecord> create(const WindowSpec& spec, EventHandler handler);
    bool createControls(WindowRecord& record);
    LRESULT handle(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT controlColour(WindowRecord& record, UINT message, HDC dc, HWND child);
    void destroyed(WindowRecord& record);
};

namespace {

DWORD WindowStyle(unsigned frame)
{
    DWORD style = WS_OVERLAPPED | WS_CLIPCHILDREN;
    if (frame & WindowFrame::Caption)
        style |= WS_CAPTION | WS_SYSMENU;
    if (frame & WindowFrame::MinimiseBox)
        style |= WS_MINIMIZEBOX;
    if (frame & WindowFrame::MaximiseBox)
        style |= WS_MAXIMIZEBOX;
    if (frame & WindowFrame::Resizable)
        style |= WS_THICKFRAME;
    else
        style |= WS_BORDER;
    return style;
}

DWORD WindowExStyle(unsigned frame)
{
    DWORD exStyle = 0;
    if (frame & WindowFrame::SunkenClient)
        exStyle |= WS_EX_CLIENTEDGE;
    if (frame & WindowFrame::TaskbarButton)
        exStyle |= WS_EX_APPWINDOW;
    return exStyle;
}

struct NativeControl {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

NativeControl ControlClass(const ControlSpec& control)
{
    DWORD style = WS_CHILD | WS_VISIBLE;
    if (control.style & ControlStyle::Disabled)
        style |= WS_DISABLED;
    // A static control only sees the mouse when it notifies its parent.
    const DWORD notify =
        (control.events & (ControlEvents::Click | ControlEvents::DoubleClick)) ? SS_NOTIFY : 0;
    switch (control.kind) {
        case ControlKind::Label:
        case ControlKind::TransparentLabel:
            // One line: a text longer than the label loses its middle to an
            // ellipsis rather than wrapping onto the controls below it. The
            // text itself stays whole.
            return {L"STATIC", style | SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS | SS_NOPREFIX | notify, 0};
        case ControlKind::Edit:
            style |= ES_LEFT | WS_TABSTOP;
            if (control.style & ControlStyle::MultiLine)
                style |= ES_MULTILINE | ES_AUTOVSCROLL;
            else
                style |= ES_AUTOHSCROLL;
            if (control.style & ControlStyle::VScroll)
                style |= WS_VSCROLL;
            if (control.style & ControlStyle::ReadOnly)
                style |= ES_READONLY;
            return {L"EDIT", style, WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", style | BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, style, 0};
        case ControlKind::Picture:
            return {L"STATIC", style | SS_BITMAP | SS_REALSIZECONTROL | notify, 0};
        case ControlKind::Timer:
            break;
    }
    return {nullptr, 0, 0};
}

std::shared_ptr<WindowRecord> RecordOf(WindowRecord* record)
{
    return record->ui->find(record->id);
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* record = static_cast<WindowRecord*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        record->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    }
    auto* record = reinterpret_cast<WindowRecord*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (record == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    Win32Process& process = record->ui->process;
    try {
        return record->ui->handle(*record, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        process.fatalError(kOutOfMemoryMessage);
    } catch (...) {
        process.fatalError(kUnexpectedErrorMessage);
    }
    return 0;  // not reached: the fatal error ends the process
}

// A control's own messages, watched for the double click its table names.
LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                  DWORD_PTR recordPointer)
{
    auto* record = reinterpret_cast<WindowRecord*>(recordPointer);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &ControlProcedure, index);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    Win32Process& process = record->ui->process;
    try {
        // The control does its own work first (an edit box selects the word),
        // then the handler runs; it may destroy the window and this control.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        if (message == WM_LBUTTONDBLCLK) {
            const std::shared_ptr<WindowRecord> shared = RecordOf(record);
            if (shared != nullptr)
                record->ui->raise(shared,
                                  Event{EventKind::DoubleClick, record->id, static_cast<int>(index), 0, 0});
        }
        return result;
    } catch (const std::bad_alloc&) {
        process.fatalError(kOutOfMemoryMessage);
    } catch (...) {
        process.fatalError(kUnexpectedErrorMessage);
    }
    return 0;  // not reached: the fatal error ends the process
}

}  // namespace

bool Win32Ui::State::createControls(WindowRecord& record)
{
    const std::span<const ControlSpec> controls = record.spec->controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlSpec& control = controls[i];
        if (control.kind == ControlKind::Timer)
            continue;
        const NativeControl native = ControlClass(control);
        const std::wstring text = control.kind == ControlKind::Picture ? std::wstring{} : Widen(control.text);
        HWND child = CreateWindowExW(native.exStyle, native.className, text.c_str(), native.style,
                                     control.left, control.top, control.width, control.height, record.hwnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                     instance, nullptr);
        if (child == nullptr)
            return false;
        record.controls[i] = child;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        if (control.kind == ControlKind::ProgressBar) {
            SendMessageW(child, PBM_SETRANGE32, 0, 100);
            SendMessageW(child, PBM_SETPOS, 0, 0);
        }
        // Without a limit of its own an edit box would take no more than the
        // system's default of some 30,000 characters, even from the program.
        if (control.kind == ControlKind::Edit)
            SendMessageW(child, EM_LIMITTEXT,
                         static_cast<WPARAM>(control.textLimit > 0 ? control.textLimit : 0), 0);
        if (control.events & ControlEvents::DoubleClick)
            SetWindowSubclass(child, &ControlProcedure, i, reinterpret_cast<DWORD_PTR>(&record));
    }
    return true;
}

LRESULT Win32Ui::State::controlColour(WindowRecord& record, UINT message, HDC dc, HWND child)
{
    const int index = GetDlgCtrlID(child) - kFirstControlId;
    const std::span<const ControlSpec> controls = record.spec->controls;
    if (index < 0 || index >= static_cast<int>(controls.size()) ||
        record.controls[static_cast<std::size_t>(index)] != child)
        return DefWindowProcW(record.hwnd, message, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(child));
    const ControlSpec& control = controls[static_cast<std::size_t>(index)];
    const bool red = (control.style & ControlStyle::RedText) != 0;
    if (red)
        SetTextColor(dc, RGB(255, 0, 0));
    if (control.kind == ControlKind::TransparentLabel) {
        // The text goes straight onto the window's own background. A null
        // brush would leave the label's rectangle unpainted, which some
        // desktops show as black; the window's brush paints it as the window.
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    if (control.style & ControlStyle::WhiteBackground) {
        if (!red)
            SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    if (red) {
        const int colour = message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
        SetBkColor(dc, GetSysColor(colour));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
    }
    return DefWindowProcW(record.hwnd, message, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(child));
}

void Win32Ui::State::destroyed(WindowRecord& record)
{
    SetWindowLongPtrW(record.hwnd, GWLP_USERDATA, 0);
    const std::shared_ptr<WindowRecord> keep = find(record.id);
    shadows.forget(record.id);
    windows.erase(record.id.value);
    if (record.created && windows.empty() && loopStarted && !shuttingDown)
        PostQuitMessage(0);
}

LRESULT Win32Ui::State::handle(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND hwnd = record.hwnd;
    switch (message) {
        case WM_COMMAND: {
            const int index = static_cast<int>(LOWORD(wParam)) - kFirstControlId;
            const std::span<const ControlSpec> controls = record.spec->controls;
            if (HIWORD(wParam) == BN_CLICKED && lParam != 0 && index >= 0 &&
                index < static_cast<int>(controls.size()) &&
                (controls[static_cast<std::size_t>(index)].events & ControlEvents::Click))
                raise(record, EventKind::Click, index);
            return 0;
        }
        case WM_TIMER: {
            const auto index = static_cast<std::size_t>(wParam - kFirstTimerId);
            // A tick of a timer stopped meanwhile is not passed on.
            if (wParam >= kFirstTimerId && index < record.periods.size() && record.periods[index] > 0 &&
                (record.spec->controls[index].events & ControlEvents::Tick))
                raise(record, EventKind::Tick, static_cast<int>(index));
            return 0;
        }
        case WM_MOVE:
            raise(record, EventKind::Moved, -1);
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            return controlColour(record, message, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_CLOSE:
            // DefWindowProc destroys the window; a modal one first gives the others back.
            restoreOthers(record);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        case WM_DESTROY:
            // The controls still exist here; the timers stop once the handler has seen it.
            restoreOthers(record);
            raise(record, EventKind::Destroyed, -1);
            for (std::size_t i = 0; i < record.periods.size(); ++i) {
                if (record.periods[i] > 0)
                    KillTimer(hwnd, kFirstTimerId + i);
                record.periods[i] = 0;
            }
            return 0;
        case WM_NCDESTROY:
            destroyed(record);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

Win32Ui::Win32Ui(Win32Process& process) : state_(std::make_unique<State>(process)) {}

Win32Ui::~Win32Ui() = default;

std::shared_ptr<WindowRecord> Win32Ui::State::create(const WindowSpec& spec, EventHandler handler)
{
    if (atom == 0)
        return nullptr;
    auto record = std::make_shared<WindowRecord>();
    record->ui = this;
    record->id = WindowId{nextId++};
    record->spec = &spec;
    record->handler = std::move(handler);
    record->controls.assign(spec.controls.size(), nullptr);
    record->periods.assign(spec.controls.size(), 0);
    windows.emplace(record->id.value, record);

    const int left = (GetSystemMetrics(SM_CXSCREEN) - spec.outerWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - spec.outerHeight) / 2;
    const std::wstring title = Widen(spec.title);
    const HWND hwnd = CreateWindowExW(WindowExStyle(spec.frame), className.c_str(), title.c_str(),
                                      WindowStyle(spec.frame), left, top, spec.outerWidth, spec.outerHeight,
                                      nullptr, nullptr, instance, record.get());
    if (hwnd == nullptr) {
        windows.erase(record->id.value);
        return nullptr;
    }
    if (!createControls(*record)) {
        // Not created: destroying it raises nothing and posts no quit message.
        DestroyWindow(hwnd);
        return nullptr;
    }

    record->created = true;
    raise(record, Event{EventKind::Created, record->id, -1, 0, 0});
    return record;
}

WindowId Win32Ui::openWindow(const WindowSpec& spec, EventHandler handler)
{
    State& state = *state_;
    const std::shared_ptr<WindowRecord> record = state.create(spec, std::move(handler));
    if (record == nullptr)
        return {};
    // The created handler may have destroyed the window already.
    if (state.find(record->id) != nullptr) {
        ShowWindow(record->hwnd, SW_SHOW);
        SetForegroundWindow(record->hwnd);
    }
    return record->id;
}

void Win32Ui::destroyWindow(WindowId window)
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    if (record == nullptr || record->hwnd == nullptr)
        return;
    // A modal window gives the others back before it goes, so that one of
    // them can become the active window.
    state_->restoreOthers(*record);
    DestroyWindow(record->hwnd);
}

void Win32Ui::requestClose(WindowId window)
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    if (record != nullptr && record->hwnd != nullptr)
        PostMessageW(record->hwnd, WM_CLOSE, 0, 0);
}

bool Win32Ui::isAlive(WindowId window) const
{
    return state_->find(window) != nullptr;
}

void Win32Ui::setVisible(WindowId window, bool visible)
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    if (record != nullptr)
        ShowWindow(record->hwnd, visible ? SW_SHOW : SW_HIDE);
}

bool Win32Ui::isVisible(WindowId window) const
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    return record != nullptr && IsWindowVisible(record->hwnd) != FALSE;
}

Text Win32Ui::text(ControlId control) const
{
    const HWND hwnd = state_->controlWindow(control);
    if (hwnd == nullptr)
        return {};
    // Bytes that the control would not give back are returned as they were
    // set, as long as the control still shows what they became.
    if (const Text* kept = state_->shadows.recall(control, hwnd))
        return *kept;
    return WindowTextAnsi(hwnd);
}

namespace {

// A transparent label shows the window's background through it, so the old
// text must be wiped from the parent before the new one is drawn.
void RepaintBehind(HWND control)
{
    const HWND parent = GetParent(control);
    RECT area{};
    GetWindowRect(control, &area);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

void Win32Ui::setText(ControlId control, const Text& ansi)
{
    const HWND hwnd = state_->controlWindow(control);
    if (hwnd == nullptr)
        return;
    SetWindowTextA(hwnd, ansi.c_str());
    state_->shadows.remember(control, hwnd, ansi);
    const std::shared_ptr<WindowRecord> record = state_->find(control.window);
    if (control.index >= 0 &&
        record->spec->controls[static_cast<std::size_t>(control.index)].kind == ControlKind::TransparentLabel)
        RepaintBehind(hwnd);
}

void Win32Ui::setTextUtf8(ControlId control, std::string_view utf8)
{
    const HWND hwnd = state_->controlWindow(control);
    if (hwnd == nullptr)
        return;
    SetWindowTextW(hwnd, Widen(utf8).c_str());
    state_->shadows.forget(control);
    const std::shared_ptr<WindowRecord> record = state_->find(control.window);
    if (control.index >= 0 &&
        record->spec->controls[static_cast<std::size_t>(control.index)].kind == ControlKind::TransparentLabel)
        RepaintBehind(hwnd);
}

void Win32Ui::setTimerPeriod(ControlId timer, int periodMs)
{
    const std::shared_ptr<WindowRecord> record = state_->find(timer.window);
    if (record == nullptr || timer.index < 0 || timer.index >= static_cast<int>(record->periods.size()))
        return;
    const auto index = static_cast<std::size_t>(timer.index);
    if (record->spec->controls[index].kind != ControlKind::Timer)
        return;
    // A negative period stops the timer as 0 does.
    const int period = periodMs > 0 ? periodMs : 0;
    if (period == record->periods[index])
        return;
    KillTimer(record->hwnd, kFirstTimerId + index);
    record->periods[index] = 0;
    if (period > 0 && SetTimer(record->hwnd, kFirstTimerId + index, static_cast<UINT>(period), nullptr) != 0)
        record->periods[index] = period;
}

int Win32Ui::timerPeriod(ControlId timer) const
{
    const std::shared_ptr<WindowRecord> record = state_->find(timer.window);
    if (record == nullptr || timer.index < 0 || timer.index >= static_cast<int>(record->periods.size()))
        return 0;
    return record->periods[static_cast<std::size_t>(timer.index)];
}

int Win32Ui::runMessageLoop()
{
    State& state = *state_;
    state.loopStarted = true;
    if (state.windows.empty())
        return 0;
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        if (got == -1)
            return -1;
        state.dispatch(message);
    }
}

void Win32Ui::processPending()
{
    State& state = *state_;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    if (state.looked && now.QuadPart - state.lastLook < state.lookInterval)
        return;

    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Taken by mistake: put it back for the loop it belongs to.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        state.dispatch(message);
    }
    QueryPerformanceCounter(&now);
    state.lastLook = now.QuadPart;
    state.looked = true;
}

void* Win32Ui::nativeHandle(ControlId control) const
{
    return state_->controlWindow(control);
}

void Win32Ui::raise(const Event& event)
{
    const std::shared_ptr<WindowRecord> record = state_->find(event.window);
    if (record != nullptr)
        state_->raise(record, event);
}

// --- placement, activation and modal windows ----------------------------------

void Win32Ui::setPlacement(WindowId window, Placement placement)
{
    State& state = *state_;
    const std::shared_ptr<WindowRecord> record = state.find(window);
    if (record == nullptr)
        return;
    const HWND hwnd = record->hwnd;
    // A hidden window only keeps the value, and since reading the placement
    // reports the window's real state, nothing ever reads it back.
    if (!IsWindowVisible(hwnd))
        return;
    // A value outside the four is taken as the nearest of them.
    const int value = static_cast<int>(placement);
    if (value <= static_cast<int>(Placement::Normal)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
    } else if (value >= static_cast<int>(Placement::Maximised)) {
        ShowWindow(hwnd, SW_MAXIMIZE);
    } else if (placement == Placement::Minimised) {
        ShowWindow(hwnd, SW_MINIMIZE);
    } else {
        if (IsIconic(hwnd) || IsZoomed(hwnd)) {
            ShowWindow(hwnd, SW_RESTORE);
            // The restore's Moved handler may have destroyed or hidden the window.
            if (state.find(window) == nullptr || !IsWindowVisible(hwnd))
                return;
        }
        RECT rect{};
        if (!GetWindowRect(hwnd, &rect))
            return;
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        if (left != rect.left || top != rect.top)
            SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Placement Win32Ui::placement(WindowId window) const
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    if (record == nullptr)
        return Placement::Normal;
    if (IsIconic(record->hwnd))
        return Placement::Minimised;
    if (IsZoomed(record->hwnd))
        return Placement::Maximised;
    return Placement::Normal;
}

void Win32Ui::activate(WindowId window)
{
    const std::shared_ptr<WindowRecord> record = state_->find(window);
    if (record == nullptr)
        return;
    SetForegroundWindow(record->hwnd);
    SetActiveWindow(record->hwnd);
}

void Win32Ui::runModal(const WindowSpec& spec, EventHandler handler)
{
    State& state = *state_;
    const std::shared_ptr<WindowRecord> record = state.create(spec, std::move(handler));
    // Not made, or destroyed by its own created handler: nothing to wait for.
    if (record == nullptr || state.find(record->id) == nullptr)
        return;
    const WindowId id = record->id;

    // Every other window of the program is disabled, each one's state noted first.
    for (const auto& [key, other] : state.windows) {
        if (other != record && other->hwnd != nullptr)
            record->disabledOthers.push_back({other->id, IsWindowEnabled(other->hwnd) != FALSE});
    }
    for (const WindowRecord::Disabled& other : record->disabledOthers)
        EnableWindow(state.find(other.window)->hwnd, FALSE);

    ShowWindow(record->hwnd, SW_SHOW);
    SetForegroundWindow(record->hwnd);

    MSG message{};
    while (state.find(id) != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The quit message belongs to the outer loop: put it back and leave.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        state.dispatch(message);
    }
    // Left while the window is still open (the quit message): the others are
    // given back their state all the same.
    if (const std::shared_ptr<WindowRecord> open = state.find(id))
        state.restoreOthers(*open);
}

// --- edit boxes and progress bars ----------------------------------------------

void Win32Ui::appendText(ControlId edit, const Text& ansi)
{
    const HWND hwnd = state_->controlOfKind(edit, ControlKind::Edit);
    if (hwnd == nullptr)
        return;
    // The box is a Unicode window, so its positions count UTF-16 units; the
    // text goes in through the ANSI message, which converts it from the code
    // page as SetWindowTextA does.
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(hwnd));
    SendMessageW(hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
    SendMessageA(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(ansi.c_str()));
}

void Win32Ui::setProgress(ControlId bar, int position)
{
    const HWND hwnd = state_->controlOfKind(bar, ControlKind::ProgressBar);
    if (hwnd == nullptr)
        return;
    const int clamped = position < 0 ? 0 : (position > 100 ? 100 : position);
    SendMessageW(hwnd, PBM_SETPOS, static_cast<WPARAM>(clamped), 0);
}

int Win32Ui::progress(ControlId bar) const
{
    const HWND hwnd = state_->controlOfKind(bar, ControlKind::ProgressBar);
    if (hwnd == nullptr)
        return 0;
    return static_cast<int>(SendMessageW(hwnd, PBM_GETPOS, 0, 0));
}

}  // namespace brenvik::win32
