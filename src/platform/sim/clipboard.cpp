// The clipboard of the simulated desktop.
#include "platform/sim/clipboard.h"

#include <cstdlib>

namespace brenvik::sim {

void SimClipboard::notBuilt() const
{
    process_.fatalError("simulated desktop: the clipboard is not built yet");
    std::abort();  // fatalError never returns; the compiler cannot know that of a virtual call
}

bool SimClipboard::isFormatAvailable(unsigned) { notBuilt(); }
bool SimClipboard::open() { notBuilt(); }
ClipboardData SimClipboard::data(unsigned) { notBuilt(); }
std::uint32_t SimClipboard::fileCount(ClipboardData) { notBuilt(); }
std::uint32_t SimClipboard::queryFile(ClipboardData, std::uint32_t, char*, std::uint32_t) { notBuilt(); }
void SimClipboard::close() { notBuilt(); }

}  // namespace brenvik::sim
