// The clipboard of the simulated desktop: content set by the test or by the
// scripted user, and a record of every call the program makes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/text.h"

namespace brenvik::sim {

// The clipboard holds a file list, only text, or nothing; independently of
// that, another program may hold it open (busy), so that open() fails. Every
// call is logged in order ("IsClipboardFormatAvailable(15)", "OpenClipboard",
// "GetClipboardData(15)", "DragQueryFileA(count)", "DragQueryFileA(k)" with the
// 0-based index, "CloseClipboard"). A call Windows would take as a mistake of
// the program (closing a clipboard it has not open, using a data handle that
// is not the open clipboard's, opening it twice) is recorded as a fault.
class SimClipboard final : public Clipboard {
public:
    SimClipboard() = default;

    // --- Clipboard ---------------------------------------------------------------
    bool isFormatAvailable(unsigned format) override;
    bool open() override;
    ClipboardData data(unsigned format) override;
    std::uint32_t fileCount(ClipboardData data) override;
    std::uint32_t queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                            std::uint32_t size) override;
    void close() override;

    // --- content, as other programs set it -----------------------------------------
    // Each takes effect for later calls. While this program holds the clipboard
    // open no other program can write to it: the call then changes nothing and
    // returns false.
    bool holdFiles(std::vector<Text> ansiPaths);  // the shell's list of copied files
    bool holdText();                              // text only, no file list
    bool empty();                                 // nothing at all
    bool setBusy(bool busy);                      // another program holds it open

    // --- observation ---------------------------------------------------------------
    const std::vector<std::string>& log() const { return log_; }
    const std::vector<std::string>& faults() const { return faults_; }
    int opens() const { return opens_; }    // successful opens
    int closes() const { return closes_; }  // closes of an open clipboard
    bool isOpen() const { return open_; }
    void clearLog() { log_.clear(); }

private:
    enum class Content { Nothing, Text, Files };
    bool change(Content content, std::vector<Text> files);
    bool validHandle(ClipboardData data, const char* call);

    Content content_ = Content::Nothing;
    std::vector<Text> files_;
    std::uintptr_t handle_ = 0;  // the file list's handle; a new list gets a new one
    std::uintptr_t lastHandle_ = 0x1000;
    bool busy_ = false;
    bool open_ = false;
    int opens_ = 0;
    int closes_ = 0;
    std::vector<std::string> log_;
    std::vector<std::string> faults_;
};

}  // namespace brenvik::sim
