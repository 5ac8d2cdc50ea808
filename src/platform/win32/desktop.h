// The real desktop: the platform services over the Windows API. RunOnDesktop
// builds one of each; the Win32 layer's tests build them one by one.
//
// Implemented: process start and end (COM, the executable's folder, exit
// routines, ending at once, the fatal error), windows built from layout tables
// (labels, edit boxes, buttons, progress bars, pictures without an image yet,
// timers), placement, activation and modal windows, appending to edit boxes,
// progress bar positions, the message loop with its quit rule and the Esc key,
// the pending-message pass, the clipboard's file list, the message box, files,
// the pause and the code page.
// Not yet: the tray icon, global hotkeys, the folder picker and images.
//
// This header does not include <windows.h>: native handles stay in the .cpp files.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace brenvik::win32 {

// The system's ANSI code page (GetACP), read once when the object is made.
class Win32CodePage final : public CodePage {
public:
    Win32CodePage();
    unsigned id() const override { return id_; }
    bool isLeadByte(unsigned char byte) const override;
    std::string toUtf8(std::string_view ansi) const override;
    Text fromUtf8(std::string_view utf8) const override;

private:
    unsigned id_;
};

class Win32Pause final : public Pause {
public:
    void sleep(int ms) override;
};

class Win32Files final : public Files {
public:
    FileHandle open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                    unsigned attributes, FileError* error = nullptr) override;
    bool remove(const Text& path, FileError* error = nullptr) override;
    bool move(const Text& from, const Text& to, bool replaceExisting, FileError* error = nullptr) override;
    bool attributes(const Text& path, unsigned& out, FileError* error = nullptr) override;
    bool setAttributes(const Text& path, unsigned attributes, FileError* error = nullptr) override;
    bool exists(const Text& path) override;
    bool setCurrentDirectory(const Text& path) override;

    // The native error code (GetLastError) of this object's last failed call,
    // for diagnostics; 0 when it succeeded.
    unsigned long lastNativeError() const { return lastNativeError_; }

private:
    bool fail(FileError* error);
    unsigned long lastNativeError_ = 0;
};

// The native error code of an open file's last failed read or write, for
// diagnostics; 0 when it succeeded or when `file` is not a Win32 file.
unsigned long LastNativeError(const OpenFile& file);

// The translation of a native error code into the layer's error kinds.
FileError TranslateFileError(unsigned long nativeCode);

class Win32Process final : public Process {
public:
    explicit Win32Process(const CodePage& codePage);
    ~Win32Process() override;
    Win32Process(const Win32Process&) = delete;
    Win32Process& operator=(const Win32Process&) = delete;

    bool initialise() override;
    Text executableDirectory() const override { return directory_; }
    void addExitRoutine(ExitRoutine routine) override;
    [[noreturn]] void exitNow(int code) override;
    [[noreturn]] void fatalError(std::string_view utf8Message) override;

    // Program end, as RunOnDesktop does it after the entry routine returned:
    // the exit routines in registration order, each once, then the list emptied.
    void runExitRoutines();
    // Shuts the layer down: releases COM if initialise() initialised it.
    void shutdown();

    // True once a fatal error is being reported: the windows' handlers no
    // longer run, although the message box keeps dispatching their messages.
    bool fatalErrorShown() const { return inFatalError_; }

private:
    const CodePage& codePage_;
    bool initialised_ = false;
    bool initialiseResult_ = false;
    bool oleInitialised_ = false;
    bool inFatalError_ = false;
    Text directory_;
    std::vector<ExitRoutine> routines_;
};

// The message shown when memory cannot be obtained.
inline constexpr std::string_view kOutOfMemoryMessage = "内存不足，程序无法继续运行。";

class Win32Ui final : public Ui {
public:
    // `process` receives the fatal errors raised inside window procedures.
    explicit Win32Ui(Win32Process& process);
    // Destroys the windows still open without raising their events, and
    // unregisters the window class.
    ~Win32Ui() override;
    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

    WindowId openWindow(const WindowSpec& spec, EventHandler handler) override;
    void destroyWindow(WindowId window) override;
    void requestClose(WindowId window) override;
    bool isAlive(WindowId window) const override;
    void setVisible(WindowId window, bool visible) override;
    bool isVisible(WindowId window) const override;

    // A control index of -1 means the window itself (its title).
    Text text(ControlId control) const override;
    void setText(ControlId control, const Text& ansi) override;
    void setTextUtf8(ControlId control, std::string_view utf8) override;

    void setTimerPeriod(ControlId timer, int periodMs) override;
    int timerPeriod(ControlId timer) const override;

    int runMessageLoop() override;
    void processPending() override;
    void setPlacement(WindowId window, Placement placement) override;
    Placement placement(WindowId window) const override;
    void activate(WindowId window) override;
    void runModal(const WindowSpec& spec, EventHandler handler) override;
    void appendText(ControlId edit, const Text& ansi) override;
    void setProgress(ControlId bar, int position) override;
    int progress(ControlId bar) const override;

    // The native window (an HWND) of a control, or of the window itself for
    // index -1; null when it has none. For the layer's own helpers and tests.
    void* nativeHandle(ControlId control) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The clipboard's file list over the Windows clipboard.
class Win32Clipboard final : public Clipboard {
public:
    Win32Clipboard() = default;
    // Closes the clipboard if this object opened it and did not close it.
    ~Win32Clipboard() override;
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;

    bool isFormatAvailable(unsigned format) override;
    bool open() override;
    ClipboardData data(unsigned format) override;
    std::uint32_t fileCount(ClipboardData data) override;
    std::uint32_t queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                            std::uint32_t size) override;
    void close() override;

private:
    bool open_ = false;
};

// Message boxes through the wide API. `process` receives the fatal error when
// memory for the texts cannot be obtained.
class Win32MessageBoxes final : public MessageBoxes {
public:
    explicit Win32MessageBoxes(Win32Process& process) : process_(process) {}
    void showInformation(std::string_view textUtf8, std::string_view titleUtf8) override;

private:
    Win32Process& process_;
};

// The tray icon and its menu. Not built yet: every call is a fatal error.
class Win32Tray final : public Tray {
public:
    explicit Win32Tray(Win32Process& process) : process_(process) {}
    bool setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi) override;
    void removeIcon(WindowId owner) override;
    void popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8) override;

private:
    Win32Process& process_;
};

// Global hotkeys. Not built yet: every call is a fatal error.
class Win32Hotkeys final : public Hotkeys {
public:
    explicit Win32Hotkeys(Win32Process& process) : process_(process) {}
    std::int32_t registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                std::int32_t key) override;
    void unregisterHotkey(WindowId window, std::int32_t id) override;

private:
    Win32Process& process_;
};

// The shell's folder picker. Not built yet: every call is a fatal error.
class Win32FolderPicker final : public FolderPicker {
public:
    explicit Win32FolderPicker(Win32Process& process) : process_(process) {}
    Text pickFolder(std::string_view promptUtf8) override;

private:
    Win32Process& process_;
};

// Window icons and pictures. Not built yet: every call is a fatal error.
class Win32WindowImages final : public WindowImages {
public:
    explicit Win32WindowImages(Win32Process& process) : process_(process) {}
    bool setWindowIcon(WindowId window, std::span<const unsigned char> iconFile) override;
    bool setPicture(ControlId picture, std::span<const unsigned char> png) override;

private:
    Win32Process& process_;
};

// Every service of the real desktop, built in the order they depend on each other.
struct Win32Desktop {
    Win32CodePage codePage;
    Win32Process process{codePage};
    Win32Files files;
    Win32Pause pause;
    Win32Ui ui{process};
    Win32Clipboard clipboard;
    Win32MessageBoxes messageBoxes{process};
    Win32Tray tray{process};
    Win32Hotkeys hotkeys{process};
    Win32FolderPicker folderPicker{process};
    Win32WindowImages images{process};

    Platform platform()
    {
        return Platform{process,      ui,   files,   pause,        codePage, clipboard,
                        messageBoxes, tray, hotkeys, folderPicker, images};
    }
};

}  // namespace brenvik::win32
