// Message boxes through the wide API. Not built yet.
#include "platform/win32/desktop.h"

namespace brenvik::win32 {

void Win32MessageBoxes::showInformation(std::string_view, std::string_view)
{
    process_.fatalError("Win32 layer: message boxes are not built yet");
}

}  // namespace brenvik::win32
