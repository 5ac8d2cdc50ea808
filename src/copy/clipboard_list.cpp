// Reading the clipboard's file list, and the cut at a run of 0xAB bytes.
#include "copy/clipboard_list.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace brenvik {

namespace {

// The path buffer's size as handed to the shell: a path of at most 259 bytes
// and its ending zero. One more byte, always zero, ends the buffer itself.
constexpr std::uint32_t kPathBufferSize = 260;
constexpr std::string_view kCutPattern = "\xAB\xAB\xAB\xAB\xAB\xAB\xAB\xAB";

// Holds the clipboard open and closes it once, on every path out of the scope.
class OpenClipboardGuard {
public:
    explicit OpenClipboardGuard(Clipboard& clipboard) : clipboard_(clipboard) {}
    ~OpenClipboardGuard() { clipboard_.close(); }
    OpenClipboardGuard(const OpenClipboardGuard&) = delete;
    OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;

private:
    Clipboard& clipboard_;
};

}  // namespace

std::vector<Text> ReadClipboardFiles(Clipboard& clipboard)
{
    std::vector<Text> list;
    if (!clipboard.isFormatAvailable(kClipboardFileList))
        return list;
    if (!clipboard.open())
        return list;
    const OpenClipboardGuard guard(clipboard);

    // The handle goes to the shell as it is: a null one simply counts 0 files.
    const ClipboardData data = clipboard.data(kClipboardFileList);
    const std::uint32_t count = clipboard.fileCount(data);

    std::array<char, kPathBufferSize + 1> buffer;
    buffer.fill(' ');
    buffer[kPathBufferSize] = '\0';
    list.reserve(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        // A query that writes nothing would leave the previous path in the
        // buffer; the entry is then empty rather than a second copy of it.
        const std::uint32_t written = clipboard.queryFile(data, index, buffer.data(), kPathBufferSize);
        const std::string_view path = written == 0 ? std::string_view{} : std::string_view(buffer.data());
        list.push_back(CleanClipboardPath(path));
    }
    return list;
}

Text CleanClipboardPath(std::string_view path)
{
    path = path.substr(0, path.find('\0'));
    return Text(path.substr(0, path.find(kCutPattern)));
}

}  // namespace brenvik
