// The clipboard's file list: ReadClipboardFiles turns the clipboard's list of
// copied files into the program's file list, and CleanClipboardPath is the cut
// every path passes on its way into it.
#pragma once

#include <string_view>
#include <vector>

#include "platform/clipboard.h"
#include "platform/text.h"

namespace brenvik {

// Reads the full paths of the clipboard's file list, in the clipboard's order,
// each passed through CleanClipboardPath; folders are entries like files.
// Returns an empty list when the clipboard holds no file list (it is then not
// opened) or cannot be opened. A path longer than 259 bytes arrives cut to 259.
// The clipboard is closed exactly once when it was opened, and never otherwise;
// no window messages are processed while it is open.
std::vector<Text> ReadClipboardFiles(Clipboard& clipboard);

// Returns `path` up to its first zero byte, cut before the first run of eight
// 0xAB bytes if it holds one (a run at the start gives the empty text). The
// search is byte by byte, whatever the code page's characters.
Text CleanClipboardPath(std::string_view path);

}  // namespace brenvik
