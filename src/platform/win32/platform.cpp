// The program's start on the real desktop: the services are built, the entry
// routine runs, and program end follows it.
#include "platform/win32/desktop.h"

#include <new>

namespace brenvik {

int RunOnDesktop(EntryRoutine entry)
{
    win32::Win32Desktop desktop;
    Platform platform = desktop.platform();
    int code = 0;
    try {
        code = entry(platform);
    } catch (const std::bad_alloc&) {
        desktop.process.fatalError(kOutOfMemoryMessage);
    } catch (...) {
        desktop.process.fatalError("程序内部错误：启动时出现了未预料的异常。");
    }
    desktop.process.runExitRoutines();
    desktop.process.shutdown();
    return code;
}

}  // namespace brenvik
