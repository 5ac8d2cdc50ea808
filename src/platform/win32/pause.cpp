// The pause over Sleep: the thread sleeps and no message is dispatched.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

namespace brenvik::win32 {

void Win32Pause::sleep(int ms)
{
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

}  // namespace brenvik::win32
