// Process start and end: COM, the executable's folder, the list of exit
// routines, and the two ways of ending at once (normally, or after a fatal error).
#pragma once

#include <string_view>

#include "platform/text.h"

namespace brenvik {

// The fatal error's text when memory for a text, a list or a buffer cannot be
// obtained. Both desktops report a std::bad_alloc that escapes a handler with it.
inline constexpr std::string_view kOutOfMemoryMessage = "内存不足，程序无法继续运行。";

// A routine run at program end. Two routines are the same when both the
// function and its context are the same.
struct ExitRoutine {
    void (*function)(void* context) = nullptr;
    void* context = nullptr;
    friend bool operator==(const ExitRoutine&, const ExitRoutine&) = default;
};

class Process {
public:
    virtual ~Process() = default;

    // Initialises the platform layer for the program: COM (OleInitialize) once,
    // records the executable's folder and makes it the current directory.
    // Returns false when COM cannot be initialised. Calling it again does nothing.
    virtual bool initialise() = 0;

    // The folder that holds the executable: its full path cut at the last
    // backslash, so no trailing backslash ("C:\Tools", or "D:" for a drive root).
    virtual Text executableDirectory() const = 0;

    // Adds a routine to the list of exit routines; one it already holds is not
    // added again. At program end the list runs in registration order, each
    // routine once, and is then emptied.
    virtual void addExitRoutine(ExitRoutine routine) = 0;

    // Ends the program at once: runs the exit routines, shuts the platform layer
    // down and ends the process with `code`. Never returns; no window is
    // destroyed and no close event runs first.
    [[noreturn]] virtual void exitNow(int code) = 0;

    // A fatal error: shows `utf8Message` in an error message box without owner;
    // when the user closes it, empties the exit routines without running them,
    // shuts the platform layer down and ends the process with code -1.
    [[noreturn]] virtual void fatalError(std::string_view utf8Message) = 0;
};

}  // namespace brenvik
