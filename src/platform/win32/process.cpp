// Process start and end over the Windows API: OLE, the executable's folder as
// the current directory, the list of exit routines, ExitProcess and the fatal
// error's message box.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

#include <algorithm>

#include <ole2.h>

namespace brenvik::win32 {

namespace {

// The full path of the running executable as ANSI bytes; empty on failure.
Text ExecutablePath()
{
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        // The path was cut: try again with room for the longest path there is.
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

// The text before the last backslash, stepping by characters so that the
// second byte of a double-byte character is never taken for a backslash.
Text CutAtLastBackslash(const CodePage& codePage, const Text& path)
{
    std::size_t last = Text::npos;
    for (std::size_t pos = 0; pos < path.size(); pos += CharLength(codePage, path, pos)) {
        if (path[pos] == '\\')
            last = pos;
    }
    return last == Text::npos ? Text{} : path.substr(0, last);
}

}  // namespace

Win32Process::Win32Process(const CodePage& codePage) : codePage_(codePage) {}

Win32Process::~Win32Process()
{
    shutdown();
}

bool Win32Process::initialise()
{
    if (initialised_)
        return initialiseResult_;
    initialised_ = true;

    const HRESULT ole = OleInitialize(nullptr);
    // S_FALSE: this thread had OLE already; the call still counts and is released.
    oleInitialised_ = SUCCEEDED(ole);
    initialiseResult_ = oleInitialised_;

    directory_ = CutAtLastBackslash(codePage_, ExecutablePath());
    if (!directory_.empty()) {
        // "D:" alone means the drive's current folder, not its root.
        Text current = directory_;
        if (current.size() == 2 && current[1] == ':')
            current += '\\';
        SetCurrentDirectoryA(current.c_str());
    }
    return initialiseResult_;
}

void Win32Process::addExitRoutine(ExitRoutine routine)
{
    if (std::find(routines_.begin(), routines_.end(), routine) == routines_.end())
        routines_.push_back(routine);
}

void Win32Process::runExitRoutines()
{
    // The list is emptied before the routines run, so that each runs once even
    // when one of them ends the program itself.
    std::vector<ExitRoutine> routines;
    routines.swap(routines_);
    for (const ExitRoutine& routine : routines) {
        if (routine.function != nullptr)
            routine.function(routine.context);
    }
}

void Win32Process::shutdown()
{
    if (oleInitialised_) {
        oleInitialised_ = false;
        OleUninitialize();
    }
}

void Win32Process::exitNow(int code)
{
    runExitRoutines();
    shutdown();
    ExitProcess(static_cast<UINT>(code));
}

void Win32Process::fatalError(std::string_view utf8Message)
{
    // A fatal error while the box of another is up (memory running out inside
    // the box's own loop) ends the process without a second box.
    if (!inFatalError_) {
        inFatalError_ = true;
        // With memory gone even the conversion may fail; the box then says so
        // in a text that needs none.
        std::wstring text;
        try {
            text = Widen(utf8Message);
        } catch (...) {
            text.clear();
        }
        const wchar_t* shown = text.empty() ? L"内存不足，程序无法继续运行。" : text.c_str();
        MessageBoxW(nullptr, shown, L"Brenvik", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    }
    routines_.clear();
    shutdown();
    ExitProcess(static_cast<UINT>(-1));
}

}  // namespace brenvik::win32
