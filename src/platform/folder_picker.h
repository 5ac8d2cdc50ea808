// The shell's folder picker.
#pragma once

#include <string_view>

#include "platform/text.h"

namespace brenvik {

class FolderPicker {
public:
    virtual ~FolderPicker() = default;

    // SHBrowseForFolder rooted at the desktop with `promptUtf8` above the tree
    // and BIF_EDITBOX only, owned by the program's active window if there is
    // one. While it is open every top-level window of the program is disabled;
    // afterwards each gets its former enabled state back, and the windows that
    // were in the foreground and active before are made so again. Returns the
    // chosen folder's file-system path (SHGetPathFromIDListA, ANSI bytes; a
    // drive root keeps its backslash), or the empty text when the user
    // cancelled or the choice has no file-system path.
    virtual Text pickFolder(std::string_view promptUtf8) = 0;
};

}  // namespace brenvik
