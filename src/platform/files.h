// Files with the semantics of the Windows "A" file functions. Paths are ANSI
// texts with Windows rules: backslash separators, drive letters, a path rooted
// at "\" on the current drive, relative paths against the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/text.h"

namespace brenvik {

// Why a file operation failed. The native code stays in the layer for diagnostics.
enum class FileError {
    None,
    NotFound,          // ERROR_FILE_NOT_FOUND
    PathNotFound,      // ERROR_PATH_NOT_FOUND: a folder of the path is missing
    AccessDenied,      // read-only, hidden or system target, a folder, no rights
    SharingViolation,  // another handle holds the file without the needed sharing
    AlreadyExists,     // CREATE_NEW on an existing file
    InvalidName,       // ERROR_INVALID_NAME and friends
    DiskFull,          // ERROR_DISK_FULL / ERROR_HANDLE_DISK_FULL
    ShortWrite,        // a write that wrote fewer bytes than asked without an error code
    ReadFault,         // a read that failed
    Other,
};

namespace FileAccess {
inline constexpr unsigned None = 0;   // query only: identity and size, no data
inline constexpr unsigned Read = 1;   // GENERIC_READ
inline constexpr unsigned Write = 2;  // GENERIC_WRITE
}  // namespace FileAccess

namespace FileShare {
inline constexpr unsigned None = 0;
inline constexpr unsigned Read = 1;    // FILE_SHARE_READ
inline constexpr unsigned Write = 2;   // FILE_SHARE_WRITE
inline constexpr unsigned Delete = 4;  // FILE_SHARE_DELETE
}  // namespace FileShare

enum class FileDisposition {
    OpenExisting,  // OPEN_EXISTING
    CreateAlways,  // CREATE_ALWAYS: create, or empty an existing file
    CreateNew,     // CREATE_NEW: fails with AlreadyExists if the name exists
    OpenAlways,    // OPEN_ALWAYS
};

namespace FileAttribute {
inline constexpr unsigned ReadOnly = 0x1;
inline constexpr unsigned Hidden = 0x2;
inline constexpr unsigned System = 0x4;
inline constexpr unsigned Directory = 0x10;
inline constexpr unsigned Normal = 0x80;
}  // namespace FileAttribute

// Identifies a file independently of the path that reached it: the same file
// through another spelling, a short name or a hard link has the same identity.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct IoResult {
    std::size_t bytes = 0;  // bytes read or written
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
};

// An open file (a HANDLE). Destroying it closes it (CloseHandle).
class OpenFile {
public:
    virtual ~OpenFile() = default;

    // ReadFile: up to `size` bytes from the current position. 0 bytes with no
    // error is the end of the file.
    virtual IoResult read(void* buffer, std::size_t size) = 0;

    // WriteFile at the current position. A result with fewer bytes than asked
    // always carries an error (DiskFull, or ShortWrite when the system gave none).
    virtual IoResult write(const void* data, std::size_t size) = 0;

    // The file's current length in bytes (GetFileSizeEx); -1 on failure.
    virtual std::int64_t size() const = 0;

    // The current position (SetFilePointerEx with FILE_CURRENT and 0); -1 on failure.
    virtual std::int64_t position() const = 0;

    // Moves the position to the end of the file (SetFilePointerEx with FILE_END).
    virtual bool seekToEnd() = 0;

    // GetFileInformationByHandle's volume serial number and file index.
    virtual bool identity(FileIdentity& out) const = 0;
};

using FileHandle = std::unique_ptr<OpenFile>;

class Files {
public:
    virtual ~Files() = default;

    // CreateFileA with the given access, sharing, disposition and attributes
    // (FileAttribute flags for a new file). Returns null and sets `*error` on failure.
    virtual FileHandle open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                            unsigned attributes, FileError* error = nullptr) = 0;

    // DeleteFileA.
    virtual bool remove(const Text& path, FileError* error = nullptr) = 0;

    // MoveFileExA; with `replaceExisting` an existing file at `to` is replaced
    // (MOVEFILE_REPLACE_EXISTING).
    virtual bool move(const Text& from, const Text& to, bool replaceExisting, FileError* error = nullptr) = 0;

    // GetFileAttributesA; false (and `*error`) when the path does not exist.
    virtual bool attributes(const Text& path, unsigned& out, FileError* error = nullptr) = 0;

    // SetFileAttributesA.
    virtual bool setAttributes(const Text& path, unsigned attributes, FileError* error = nullptr) = 0;

    // True when a directory search for the exact path finds something, a file or
    // a folder (FindFirstFileA succeeds).
    virtual bool exists(const Text& path) = 0;

    // SetCurrentDirectoryA.
    virtual bool setCurrentDirectory(const Text& path) = 0;
};

}  // namespace brenvik
