// Message boxes through the wide API, so that the program's texts are legible
// whatever the code page.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

#include <new>

namespace brenvik::win32 {

void Win32MessageBoxes::showInformation(std::string_view textUtf8, std::string_view titleUtf8)
{
    std::wstring text;
    std::wstring title;
    try {
        text = Widen(textUtf8);
        title = Widen(titleUtf8);
    } catch (const std::bad_alloc&) {
        process_.fatalError(kOutOfMemoryMessage);
    }
    // No owner and task-modal: the system disables every enabled top-level
    // window of this thread while the box is up and enables those again when
    // it goes. Its dialog loop dispatches the windows' messages, timers
    // included, and puts back a quit message that ends it.
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace brenvik::win32
