// The file copy engine: CopyOneFile copies one file into a folder in chunks while
// keeping the shared progress state current, and ReplaceAll is its text replacement.
#pragma once

#include <cstdint>

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// Copies the file `SourcePath` into the folder `Folder` under its own file name
// (the part after the last backslash), `ChunkSize` bytes per turn (0 means 1000),
// pausing 100 - `Speed` ms after every chunk (`Speed` outside 1..100 means 100,
// no pause) and processing the pending window messages after every chunk.
//
// On return, whatever the result, both texts have every forward slash replaced
// by a backslash, and `Folder` ends in a backslash.
//
// The copy is written into a hidden temporary file in the destination folder and
// takes the target's name, replacing a file of that name, only once the whole
// source has been copied. So a cancel, a failure or a crash never leaves a
// half-written file under the target's name, and a file that existed there
// before is left as it was unless the copy completes.
//
// Returns true when the source has been copied up to the length it had when it
// was opened (or up to its end, if it shrank meanwhile). Returns false, with the
// destination as it was, when the source cannot be opened, when the target is
// the source itself or is refused (read-only, hidden, system, a folder, held
// without sharing, an invalid name, a missing folder), when a read or write
// fails, and when the copy is cancelled.
//
// State: `state.CopyCounters` shows this call's total and done after every
// chunk; `state.ProgressPercent` gets the floor of the percentage after every
// chunk (a fraction above 0.999999999999 rounds up), is left alone for a source
// of length 0 and by a call that fails before its loop, and is 0 after a cancel
// or a failure once the loop has begun.
// `state.CancelState` is cleared right before the first chunk; a 3 found after a
// chunk, before that turn's message processing, cancels the copy and is cleared.
bool CopyOneFile(Platform& platform, SharedState& state, Text& Folder, Text& SourcePath,
                 std::int32_t ChunkSize, std::int32_t Speed);

// Returns `text` with every occurrence of `search` replaced by `replacement`.
// The search steps through the text by characters of `codePage`, so a match
// starts only where a character starts, and it ignores the case of the letters
// A to Z. The search goes on right after each inserted replacement, so inserted
// text is never searched again. An empty `search` replaces nothing.
Text ReplaceAll(const CodePage& codePage, const Text& text, const Text& search, const Text& replacement);

}  // namespace brenvik
