// The real desktop: the platform services over the Windows API. RunOnDesktop
// builds one of each; the Win32 layer's tests build them one by one.
//
// Implemented: process start and end (COM, the executable's folder, exit
// routines, ending at once, the fatal error), windows built from layout tables
// (labels, edit boxes, buttons, progress bars, pictures, timers), placement,
// activation and modal windows, appending to edit boxes, progress bar
// positions, the message loop with its quit rule and the Esc key, the
// pending-message pass, the clipboard's file list, the message box, files, the
// pause and the code page; the tray icon and its menu, global hotkeys, the
// folder picker, window icons and pictures.
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

    // Raises an event through its window's handler as the window procedure
    // does: nothing before Created, while the layer shuts down or while a
    // fatal error is shown; a handler out of memory ends the program through
    // the fatal error. For the layer's shell services.
    void raise(const Event& event);

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
    // Where each path starts in the file list block of one data handle, found
    // once, so that asking for path k does not walk the k paths before it.
    struct FileListIndex {
        std::uintptr_t handle = 0;
        bool wide = false;
        std::vector<std::size_t> starts;  // byte offsets into the block
        bool valid = false;
    };
    const FileListIndex& indexOf(ClipboardData data);

    bool open_ = false;
    FileListIndex index_;
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

// The tray icon and its menu (tray.cpp). The owner window is watched for the
// icon's callback message, the shell's taskbar-created broadcast and the
// menu's command; the icons it gave the shell are its own and are freed when
// replaced or removed, when the owner is destroyed, or with this object.
class Win32Tray final : public Tray {
public:
    Win32Tray(Win32Process& process, Win32Ui& ui);
    ~Win32Tray() override;
    Win32Tray(const Win32Tray&) = delete;
    Win32Tray& operator=(const Win32Tray&) = delete;
    bool setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi) override;
    void removeIcon(WindowId owner) override;
    void popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8) override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Global hotkeys (hotkeys.cpp). The running count of attempts is this object's.
class Win32Hotkeys final : public Hotkeys {
public:
    Win32Hotkeys(Win32Process& process, Win32Ui& ui);
    ~Win32Hotkeys() override;
    Win32Hotkeys(const Win32Hotkeys&) = delete;
    Win32Hotkeys& operator=(const Win32Hotkeys&) = delete;
    std::int32_t registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                std::int32_t key) override;
    void unregisterHotkey(WindowId window, std::int32_t id) override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The shell's folder picker (folder_picker.cpp).
class Win32FolderPicker final : public FolderPicker {
public:
    explicit Win32FolderPicker(Win32Process& process) : process_(process) {}
    Text pickFolder(std::string_view promptUtf8) override;

private:
    Win32Process& process_;
};

// Window icons and pictures (images.cpp). The icons and bitmaps it made are
// its own and are freed when replaced, when their window is destroyed, or
// with this object.
class Win32WindowImages final : public WindowImages {
public:
    Win32WindowImages(Win32Process& process, Win32Ui& ui);
    ~Win32WindowImages() override;
    Win32WindowImages(const Win32WindowImages&) = delete;
    Win32WindowImages& operator=(const Win32WindowImages&) = delete;
    bool setWindowIcon(WindowId window, std::span<const unsigned char> iconFile) override;
    bool setPicture(ControlId picture, std::span<const unsigned char> png) override;

    struct State;

private:
    std::unique_ptr<State> state_;
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
    Win32Tray tray{process, ui};
    Win32Hotkeys hotkeys{process, ui};
    Win32FolderPicker folderPicker{process};
    Win32WindowImages images{process, ui};

    Platform platform()
    {
        return Platform{process,      ui,   files,   pause,        codePage, clipboard,
                        messageBoxes, tray, hotkeys, folderPicker, images};
    }
};

}  // namespace brenvik::win32
