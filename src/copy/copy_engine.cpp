// The file copy engine: the chunked copy of one file through a hidden temporary
// file in the destination folder, and the character-aware text replacement.
#include "copy/copy_engine.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <string_view>

namespace brenvik {

namespace {

constexpr std::int32_t kDefaultChunkSize = 1000;
// How many temporary names are tried before the copy gives up; names are only
// taken when an earlier copy crashed or another copy is running into the folder.
constexpr unsigned kTemporaryNameAttempts = 256;

// True when the byte is one of the letters A to Z or a to z, which the
// replacement's search compares without regard to case.
bool SameIgnoringLetterCase(char a, char b)
{
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return fold(a) == fold(b);
}

// True when `search` occurs in `text` at byte `pos`, a character start. The
// bytes of a double-byte character are compared exactly: its second byte is not
// a letter even when its value is that of one.
bool MatchesAt(const CodePage& codePage, std::string_view text, std::size_t pos, std::string_view search)
{
    if (text.size() - pos < search.size())
        return false;
    std::size_t i = 0;
    while (i < search.size()) {
        const std::size_t length = CharLength(codePage, text, pos + i);
        if (length == 1) {
            if (!SameIgnoringLetterCase(text[pos + i], search[i]))
                return false;
        } else if (i + 1 >= search.size() || text[pos + i] != search[i] ||
                   text[pos + i + 1] != search[i + 1]) {
            return false;
        }
        i += length;
    }
    return true;
}

// Byte offset of the last backslash of `path`, stepping by characters so that
// the second byte of a double-byte character is never taken for one; npos if none.
std::size_t LastBackslash(const CodePage& codePage, std::string_view path)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t pos = 0; pos < path.size(); pos += CharLength(codePage, path, pos)) {
        if (path[pos] == '\\')
            last = pos;
    }
    return last;
}

// The percentage of `done` in `total` (> 0) as the progress bar shows it: the
// floor, except that a fraction above 0.999999999999 counts as the next integer,
// so 29,000 of 100,000 (28.999999999999996 in double precision) gives 29.
std::int32_t ProgressOf(std::int64_t done, std::int64_t total)
{
    const double x = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    double whole = std::floor(x);
    if (x - whole > 0.999999999999)
        whole += 1.0;
    return static_cast<std::int32_t>(whole);
}

// True when the target's name may receive the copy: no file of that name exists,
// or one exists that is a different file from the source, is not read-only,
// hidden, system or a folder, and can be opened for writing with the sharing the
// copy uses. A missing folder or an invalid name is refused here, before any
// data is written.
bool TargetAccepted(Files& files, const Text& target, const OpenFile& source)
{
    unsigned attributes = 0;
    FileError error = FileError::None;
    if (!files.attributes(target, attributes, &error))
        return error == FileError::NotFound;
    constexpr unsigned refused =
        FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System | FileAttribute::Directory;
    if ((attributes & refused) != 0)
        return false;

    // The same file under another spelling, a short name or a hard link has the
    // same identity; copying a file onto itself is refused. When either identity
    // cannot be read the two cannot be told apart, so the copy is refused too.
    {
        FileHandle existing =
            files.open(target, FileAccess::None, FileShare::Read | FileShare::Write | FileShare::Delete,
                       FileDisposition::OpenExisting, FileAttribute::Normal);
        FileIdentity existingId, sourceId;
        if (!existing || !existing->identity(existingId) || !source.identity(sourceId) ||
            existingId == sourceId)
            return false;
    }

    // A file held by another process without sharing would refuse the final
    // replacement; find that out now, and close the probe at once.
    FileHandle probe = files.open(target, FileAccess::Write, FileShare::Read | FileShare::Write,
                                  FileDisposition::OpenExisting, FileAttribute::Normal);
    return probe != nullptr;
}

void AppendHex(Text& text, unsigned value)
{
    static constexpr char digits[] = "0123456789abcdef";
    char reversed[sizeof(unsigned) * 2];
    std::size_t count = 0;
    do {
        reversed[count++] = digits[value & 0xFu];
        value >>= 4;
    } while (value != 0);
    while (count > 0)
        text += reversed[--count];
}

// Creates a new hidden temporary file in `folder` (which ends in a backslash)
// and stores its path in `path`. Names already taken are skipped. Null when the
// folder is missing or refuses a new file.
FileHandle CreateTemporary(Files& files, const Text& folder, Text& path)
{
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        path = folder;
        path += "~brenvik-";
        AppendHex(path, attempt);
        path += ".partial";
        FileError error = FileError::None;
        FileHandle file = files.open(path, FileAccess::Write, FileShare::Read | FileShare::Write,
                                     FileDisposition::CreateNew, FileAttribute::Hidden, &error);
        if (file || error != FileError::AlreadyExists)
            return file;
    }
    return nullptr;
}

enum class LoopEnd { Completed, Cancelled, Failed };

// What the copy loop works with; owned by one call of CopyOneFile.
struct CopyJob {
    OpenFile& source;
    OpenFile& target;
    std::byte* buffer;   // holds at least min(chunk, total) bytes
    std::int64_t total;  // the source's length when it was opened
    std::int64_t chunk;  // bytes per full chunk, > 0
    int pauseMs;         // pause after every chunk, 0 for none
};

// Copies the source into the target, one chunk per turn. After every chunk the
// counters and the percentage are updated, the pause is taken, a cancel request
// is acted on, and then the pending messages are processed. The counters are
// this call's own; the shared ones only mirror them, so a nested call that
// overwrites the shared ones does not disturb this one.
LoopEnd RunCopyLoop(Platform& platform, SharedState& state, const CopyJob& job)
{
    std::int64_t done = 0;
    bool sourceAtEnd = false;  // the last read reached the source's current end
    for (;;) {
        // End test. Once the measured length has been taken in full chunks, the
        // source is at its end unless it has grown; a grown source gets one more
        // turn that reads nothing and then ends, as its copy stops at the
        // measured length.
        if (sourceAtEnd)
            return LoopEnd::Completed;
        if (done >= job.total) {
            const std::int64_t length = job.source.size();
            if (length < 0)
                return LoopEnd::Failed;
            if (length <= job.total)
                return LoopEnd::Completed;
        }

        const std::int64_t remaining = job.total - done;
        const bool lastChunk = remaining < job.chunk;
        const auto wanted = static_cast<std::size_t>(lastChunk ? remaining : job.chunk);
        std::size_t got = 0;
        if (wanted > 0) {
            const IoResult read = job.source.read(job.buffer, wanted);
            if (!read.ok())
                return LoopEnd::Failed;
            got = read.bytes;
            if (got == 0)
                return LoopEnd::Completed;  // The source has shrunk to where the copy stands.
            if (got < wanted)
                sourceAtEnd = true;  // The source has shrunk; this read stopped at its end.
        }
        if (lastChunk) {
            done = job.total;
            sourceAtEnd = true;
        } else {
            done += job.chunk;
        }

        if (got > 0) {
            const IoResult written = job.target.write(job.buffer, got);
            if (!written.ok() || written.bytes != got)
                return LoopEnd::Failed;
        }

        state.CopyCounters.total = job.total;
        state.CopyCounters.done = done;
        if (job.total > 0)
            state.ProgressPercent = ProgressOf(done, job.total);
        if (job.pauseMs > 0)
            platform.pause.sleep(job.pauseMs);
        if (state.CancelState == kCancelRequested) {
            state.CancelState = 0;
            return LoopEnd::Cancelled;
        }
        platform.ui.processPending();
    }
}

}  // namespace

Text ReplaceAll(const CodePage& codePage, const Text& text, const Text& search, const Text& replacement)
{
    Text result = text;
    if (search.empty())
        return result;
    std::size_t pos = 0;
    while (pos < result.size()) {
        if (MatchesAt(codePage, result, pos, search)) {
            result.replace(pos, search.size(), replacement);
            pos += replacement.size();
        } else {
            pos += CharLength(codePage, result, pos);
        }
    }
    return result;
}

bool CopyOneFile(Platform& platform, SharedState& state, Text& Folder, Text& SourcePath,
                 std::int32_t ChunkSize, std::int32_t Speed)
{
    const Text slash = "/";
    const Text backslash = "\\";
    Folder = ReplaceAll(platform.codePage, Folder, slash, backslash);
    SourcePath = ReplaceAll(platform.codePage, SourcePath, slash, backslash);

    const std::size_t lastBackslash = LastBackslash(platform.codePage, SourcePath);
    const std::string_view fileName = lastBackslash == std::string_view::npos
                                          ? std::string_view(SourcePath)
                                          : std::string_view(SourcePath).substr(lastBackslash + 1);

    // The last byte alone decides, so a double-byte character whose second byte
    // is 0x5C counts as a trailing backslash.
    if (Folder.empty() || Folder.back() != '\\')
        Folder += '\\';

    Files& files = platform.files;
    FileHandle source = files.open(SourcePath, FileAccess::Read, FileShare::Read | FileShare::Write,
                                   FileDisposition::OpenExisting, FileAttribute::Normal);
    if (!source)
        return false;
    const std::int64_t total = source->size();
    if (total < 0)
        return false;
    state.CopyCounters.total = total;
    state.CopyCounters.done = 0;

    const std::int64_t chunk = ChunkSize <= 0 ? kDefaultChunkSize : ChunkSize;
    const int pauseMs = (Speed < 1 || Speed > 100) ? 0 : 100 - Speed;

    Text target = Folder;
    target += fileName;
    if (!TargetAccepted(files, target, *source))
        return false;

    // One buffer for the whole file, never larger than the file itself.
    std::unique_ptr<std::byte[]> buffer;
    const std::int64_t bufferSize = total < chunk ? total : chunk;
    if (bufferSize > 0) {
        try {
            buffer = std::make_unique_for_overwrite<std::byte[]>(static_cast<std::size_t>(bufferSize));
        } catch (const std::bad_alloc&) {
            platform.process.fatalError(kOutOfMemoryMessage);
        }
    }

    Text temporaryPath;
    FileHandle temporary = CreateTemporary(files, Folder, temporaryPath);
    if (!temporary)
        return false;

    state.CancelState = 0;
    const LoopEnd end =
        RunCopyLoop(platform, state, CopyJob{*source, *temporary, buffer.get(), total, chunk, pauseMs});
    source.reset();
    temporary.reset();
    buffer.reset();

    if (end == LoopEnd::Completed && files.setAttributes(temporaryPath, FileAttribute::Normal) &&
        files.move(temporaryPath, target, /*replaceExisting=*/true))
        return true;

    // The copy did not complete: the temporary file goes, whatever was under the
    // target's name stays as it was, and the progress shows that nothing was copied.
    files.remove(temporaryPath);
    state.ProgressPercent = 0;
    return false;
}

}  // namespace brenvik
