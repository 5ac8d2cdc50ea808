// A rig around one desktop's platform for the copy engine's tests: it records
// every pending-message pass and pause, counts the reads and writes of every
// file the engine opens, and prepares and inspects files through the desktop's
// own file layer, so the same cases run on the simulated desktop and on Win32.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/shared_state.h"
#include "copy/copy_engine.h"
#include "platform/platform.h"

namespace brenvik::enginetest {

// Forwards everything to the desktop's Ui; before each pending-message pass it
// calls `onPass` with the pass number (from 1), so a test can act "in the pass
// after chunk k".
class RecordingUi final : public Ui {
public:
    explicit RecordingUi(Ui& inner) : inner_(inner) {}

    std::function<void(int pass)> onPass;
    int passes = 0;

    WindowId openWindow(const WindowSpec& spec, EventHandler handler) override
    {
        return inner_.openWindow(spec, std::move(handler));
    }
    void destroyWindow(WindowId window) override { inner_.destroyWindow(window); }
    void requestClose(WindowId window) override { inner_.requestClose(window); }
    bool isAlive(WindowId window) const override { return inner_.isAlive(window); }
    void setVisible(WindowId window, bool visible) override { inner_.setVisible(window, visible); }
    bool isVisible(WindowId window) const override { return inner_.isVisible(window); }
    Text text(ControlId control) const override { return inner_.text(control); }
    void setText(ControlId control, const Text& ansi) override { inner_.setText(control, ansi); }
    void setTextUtf8(ControlId control, std::string_view utf8) override { inner_.setTextUtf8(control, utf8); }
    void setTimerPeriod(ControlId timer, int periodMs) override { inner_.setTimerPeriod(timer, periodMs); }
    int timerPeriod(ControlId timer) const override { return inner_.timerPeriod(timer); }
    void setPlacement(WindowId window, Placement placement) override
    {
        inner_.setPlacement(window, placement);
    }
    Placement placement(WindowId window) const override { return inner_.placement(window); }
    void activate(WindowId window) override { inner_.activate(window); }
    void runModal(const WindowSpec& spec, EventHandler handler) override
    {
        inner_.runModal(spec, std::move(handler));
    }
    void appendText(ControlId edit, const Text& ansi) override { inner_.appendText(edit, ansi); }
    void setProgress(ControlId bar, int position) override { inner_.setProgress(bar, position); }
    int progress(ControlId bar) const override { return inner_.progress(bar); }
    int runMessageLoop() override { return inner_.runMessageLoop(); }
    void processPending() override
    {
        ++passes;
        if (onPass)
            onPass(passes);
        inner_.processPending();
    }

private:
    Ui& inner_;
};

// Forwards to the desktop's pause and records every requested pause.
class RecordingPause final : public Pause {
public:
    explicit RecordingPause(Pause& inner) : inner_(inner) {}
    std::vector<int> sleeps;
    void sleep(int ms) override
    {
        sleeps.push_back(ms);
        inner_.sleep(ms);
    }

private:
    Pause& inner_;
};

// What the engine did with the files it opened.
struct FileLog {
    std::vector<std::size_t> reads;   // bytes returned by every read, in order
    std::vector<std::size_t> writes;  // bytes asked by every write, in order
    int opens = 0;                    // successful opens, of any kind
    // Called once, right after the first size() of any opened file returned:
    // the moment the engine has measured its source.
    std::function<void()> afterFirstSize;
};

// Forwards to the desktop's files and logs the reads and writes of every file
// opened through it.
class LoggingFiles final : public Files {
public:
    explicit LoggingFiles(Files& inner) : inner_(inner) {}
    FileLog log;

    FileHandle open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                    unsigned attributes, FileError* error = nullptr) override
    {
        FileHandle file = inner_.open(path, access, share, disposition, attributes, error);
        if (!file)
            return file;
        ++log.opens;
        return std::make_unique<LoggedFile>(std::move(file), log);
    }
    bool remove(const Text& path, FileError* error = nullptr) override { return inner_.remove(path, error); }
    bool move(const Text& from, const Text& to, bool replaceExisting, FileError* error = nullptr) override
    {
        return inner_.move(from, to, replaceExisting, error);
    }
    bool attributes(const Text& path, unsigned& out, FileError* error = nullptr) override
    {
        return inner_.attributes(path, out, error);
    }
    bool setAttributes(const Text& path, unsigned attributes, FileError* error = nullptr) override
    {
        return inner_.setAttributes(path, attributes, error);
    }
    bool exists(const Text& path) override { return inner_.exists(path); }
    bool setCurrentDirectory(const Text& path) override { return inner_.setCurrentDirectory(path); }

private:
    class LoggedFile final : public OpenFile {
    public:
        LoggedFile(FileHandle inner, FileLog& log) : inner_(std::move(inner)), log_(log) {}
        IoResult read(void* buffer, std::size_t size) override
        {
            IoResult result = inner_->read(buffer, size);
            log_.reads.push_back(result.bytes);
            return result;
        }
        IoResult write(const void* data, std::size_t size) override
        {
            log_.writes.push_back(size);
            return inner_->write(data, size);
        }
        std::int64_t size() const override
        {
            const std::int64_t result = inner_->size();
            if (log_.afterFirstSize) {
                auto hook = std::move(log_.afterFirstSize);
                log_.afterFirstSize = nullptr;
                hook();
            }
            return result;
        }
        std::int64_t position() const override { return inner_->position(); }
        bool seekToEnd() override { return inner_->seekToEnd(); }
        bool identity(FileIdentity& out) const override { return inner_->identity(out); }

    private:
        FileHandle inner_;
        FileLog& log_;
    };

    Files& inner_;
};

// Bytes that differ from position to position, so a lost, doubled or shifted
// chunk shows in the copy.
inline std::string Pattern(std::size_t size, unsigned seed = 1)
{
    std::string bytes(size, '\0');
    unsigned value = seed * 2654435761u;
    for (std::size_t i = 0; i < size; ++i) {
        value = value * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(value >> 23);
    }
    return bytes;
}

// One desktop's platform wrapped for the engine, with the shared state it copies
// under and helpers that reach files through the desktop's own (unwrapped) layer.
class EngineRig {
    Platform& base_;  // first, since the wrappers below are built from it
    Files& direct_;

public:
    // `rootFolder` is a folder the test owns, ending in a backslash. The helpers reach
    // files through `direct` when given (a desktop's files without injected
    // faults), else through the platform's own.
    EngineRig(Platform& base, Text rootFolder, Files* direct = nullptr)
        : base_(base), direct_(direct ? *direct : base.files), root(std::move(rootFolder))
    {
    }

    RecordingUi ui{base_.ui};
    RecordingPause pause{base_.pause};
    LoggingFiles files{base_.files};
    Platform platform{base_.process,
                      ui,
                      files,
                      pause,
                      base_.codePage,
                      base_.clipboard,
                      base_.messageBoxes,
                      base_.tray,
                      base_.hotkeys,
                      base_.folderPicker,
                      base_.images};
    SharedState state;
    const Text root;

    bool copy(Text& folder, Text& source, std::int32_t chunk = 1000, std::int32_t speed = 100)
    {
        return CopyOneFile(platform, state, folder, source, chunk, speed);
    }

    Files& real() { return direct_; }
    const CodePage& codePage() const { return base_.codePage; }

    // Creates or replaces a file with these bytes; false on any failure.
    bool put(const Text& path, const std::string& bytes)
    {
        FileHandle file = direct_.open(path, FileAccess::Write, FileShare::Read,
                                       FileDisposition::CreateAlways, FileAttribute::Normal);
        if (!file)
            return false;
        const IoResult result = file->write(bytes.data(), bytes.size());
        return result.ok() && result.bytes == bytes.size();
    }

    // Appends bytes to an existing file, sharing it as the engine's source does.
    bool append(const Text& path, const std::string& bytes)
    {
        FileHandle file = direct_.open(path, FileAccess::Write, FileShare::Read | FileShare::Write,
                                       FileDisposition::OpenExisting, FileAttribute::Normal);
        if (!file || !file->seekToEnd())
            return false;
        const IoResult result = file->write(bytes.data(), bytes.size());
        return result.ok() && result.bytes == bytes.size();
    }

    // Replaces a file's content while others hold it open with read and write sharing.
    bool rewrite(const Text& path, const std::string& bytes)
    {
        FileHandle file = direct_.open(path, FileAccess::Write, FileShare::Read | FileShare::Write,
                                       FileDisposition::CreateAlways, FileAttribute::Normal);
        if (!file)
            return false;
        const IoResult result = file->write(bytes.data(), bytes.size());
        return result.ok() && result.bytes == bytes.size();
    }

    // The whole content of a file, or nothing when it cannot be opened.
    std::optional<std::string> get(const Text& path)
    {
        FileHandle file =
            direct_.open(path, FileAccess::Read, FileShare::Read | FileShare::Write | FileShare::Delete,
                         FileDisposition::OpenExisting, FileAttribute::Normal);
        if (!file)
            return std::nullopt;
        std::string bytes;
        char buffer[65536];
        for (;;) {
            const IoResult result = file->read(buffer, sizeof buffer);
            if (!result.ok())
                return std::nullopt;
            if (result.bytes == 0)
                return bytes;
            bytes.append(buffer, result.bytes);
        }
    }

    bool present(const Text& path) { return direct_.exists(path); }

    // True when both files can be read and hold the same bytes; compares in
    // pieces, so it serves for files of any length.
    bool sameContent(const Text& a, const Text& b)
    {
        constexpr unsigned share = FileShare::Read | FileShare::Write | FileShare::Delete;
        FileHandle fa =
            direct_.open(a, FileAccess::Read, share, FileDisposition::OpenExisting, FileAttribute::Normal);
        FileHandle fb =
            direct_.open(b, FileAccess::Read, share, FileDisposition::OpenExisting, FileAttribute::Normal);
        if (!fa || !fb)
            return false;
        std::vector<char> ba(1 << 20), bb(1 << 20);
        for (;;) {
            const IoResult ra = fa->read(ba.data(), ba.size());
            const IoResult rb = fb->read(bb.data(), bb.size());
            if (!ra.ok() || !rb.ok() || ra.bytes != rb.bytes)
                return false;
            if (ra.bytes == 0)
                return true;
            if (!std::equal(ba.begin(), ba.begin() + static_cast<std::ptrdiff_t>(ra.bytes), bb.begin()))
                return false;
        }
    }

    // The names in a folder, set by each desktop's test (the file layer has no
    // directory listing).
    std::function<std::vector<std::string>(const Text& folder)> list;
    // Creates a folder and the folders on the way to it.
    std::function<bool(const Text& folder)> makeFolder;
    // Makes `link` a second name (a hard link) of the file `target`.
    std::function<bool(const Text& target, const Text& link)> hardLink;
    // Creates a sparse file of `length` bytes holding `marks` (offset, bytes), zero elsewhere.
    std::function<bool(const Text& path, std::int64_t length,
                       const std::vector<std::pair<std::int64_t, std::string>>& marks)>
        sparseFile;
};

}  // namespace brenvik::enginetest
