// The clipboard of the simulated desktop: its scripted content, the calls'
// Windows rules, and their record.
#include "platform/sim/clipboard.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brenvik::sim {

namespace {

// The standard text formats: CF_TEXT, CF_OEMTEXT and CF_UNICODETEXT.
bool IsTextFormat(unsigned format)
{
    return format == 1 || format == 7 || format == 13;
}

}  // namespace

bool SimClipboard::change(Content content, std::vector<Text> files)
{
    if (open_)
        return false;
    content_ = content;
    files_ = std::move(files);
    // The shell's paths end at their first zero byte.
    for (Text& path : files_)
        path.resize(std::min(path.size(), path.find('\0')));
    handle_ = content == Content::Files ? ++lastHandle_ : 0;
    return true;
}

bool SimClipboard::holdFiles(std::vector<Text> ansiPaths)
{
    return change(Content::Files, std::move(ansiPaths));
}

bool SimClipboard::holdText()
{
    return change(Content::Text, {});
}

bool SimClipboard::empty()
{
    return change(Content::Nothing, {});
}

bool SimClipboard::setBusy(bool busy)
{
    if (open_)
        return false;
    busy_ = busy;
    return true;
}

bool SimClipboard::isFormatAvailable(unsigned format)
{
    log_.push_back("IsClipboardFormatAvailable(" + std::to_string(format) + ")");
    // Only the file list and the standard text formats are modelled.
    if (format == kClipboardFileList)
        return content_ == Content::Files;
    return IsTextFormat(format) && content_ == Content::Text;
}

bool SimClipboard::open()
{
    log_.push_back("OpenClipboard");
    if (open_) {
        faults_.push_back("OpenClipboard while this program has the clipboard open");
        return true;
    }
    if (busy_)
        return false;
    open_ = true;
    ++opens_;
    return true;
}

ClipboardData SimClipboard::data(unsigned format)
{
    log_.push_back("GetClipboardData(" + std::to_string(format) + ")");
    if (!open_ || format != kClipboardFileList || content_ != Content::Files)
        return {};
    return ClipboardData{handle_};
}

// A data handle is the clipboard's and lives only while the clipboard is open.
// A null handle is not a mistake: the shell answers it with 0.
bool SimClipboard::validHandle(ClipboardData data, const char* call)
{
    if (!data)
        return false;
    if (open_ && data.value == handle_)
        return true;
    faults_.push_back(std::string(call) + " with a handle that is not the open clipboard's");
    return false;
}

std::uint32_t SimClipboard::fileCount(ClipboardData data)
{
    log_.push_back("DragQueryFileA(count)");
    if (!validHandle(data, "DragQueryFileA"))
        return 0;
    return static_cast<std::uint32_t>(files_.size());
}

std::uint32_t SimClipboard::queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                                      std::uint32_t size)
{
    log_.push_back("DragQueryFileA(" + std::to_string(index) + ")");
    if (!validHandle(data, "DragQueryFileA") || index >= files_.size() || buffer == nullptr || size == 0)
        return 0;
    // As the shell does: at most size - 1 bytes of the path, then a zero byte.
    const Text& path = files_[index];
    const std::uint32_t written = std::min(static_cast<std::uint32_t>(path.size()), size - 1);
    std::memcpy(buffer, path.data(), written);
    buffer[written] = '\0';
    return written;
}

void SimClipboard::close()
{
    log_.push_back("CloseClipboard");
    if (!open_) {
        faults_.push_back("CloseClipboard while the clipboard is not open");
        return;
    }
    open_ = false;
    ++closes_;
}

}  // namespace brenvik::sim
