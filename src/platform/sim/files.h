// The simulated desktop's files: real files on disk under a folder per test,
// reached through Windows path rules and the sharing, disposition and attribute
// rules of the Windows "A" file functions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace brenvik::sim {

namespace detail {
struct OpenTable;  // the open handles, shared with the open files that may outlive SimFiles
}

// Drive letters map to folders root/<letter in upper case>, created when a path
// first names them. Names are kept on disk as the ANSI bytes the program used,
// and each component is matched without regard to the case of A to Z when no
// entry of that exact spelling exists. Read-only, hidden and system attributes
// live in a table keyed by the file's identity, because the tests run with
// rights that ignore the host's permission bits. Each entry also remembers the
// file's birth time, so a host file that reuses the number of a deleted one
// does not inherit its attributes.
//
// Paths longer than MAX_PATH - 1 characters fail with InvalidName, as the "A"
// functions do without the long-path opt-in. Network paths, "\\?\" paths and
// device names are not supported; the first two fail with PathNotFound.
class SimFiles final : public Files {
public:
    explicit SimFiles(std::filesystem::path root);
    ~SimFiles() override;
    SimFiles(const SimFiles&) = delete;
    SimFiles& operator=(const SimFiles&) = delete;

    // The code page that groups path bytes into characters, so that the second
    // byte of a double-byte character is never taken for a separator, for an
    // invalid character or for a letter to fold. It must outlive this object.
    // Without one, the rule of code page 936 applies (every byte of 0x80 or
    // above begins a two-byte character).
    void useCodePage(const CodePage& codePage);

    // Records where the executable lives and creates its folder and an empty
    // file of its name on disk, so that both exist as they would on Windows.
    void setExecutablePath(const Text& windowsPath);
    Text executablePath() const;

    // Where a Windows path lands on the host, for tests that prepare or inspect
    // files. Folders missing on the way keep the spelling given; an invalid
    // path gives an empty host path.
    std::filesystem::path hostPath(const Text& windowsPath) const;

    // GetCurrentDirectoryA: "C:\" for a drive root, else without a trailing backslash.
    Text currentDirectory() const;

    // The host's errno behind the latest failure, for diagnostics only.
    int lastHostError() const;

    FileHandle open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                    unsigned attributes, FileError* error = nullptr) override;
    bool remove(const Text& path, FileError* error = nullptr) override;
    bool move(const Text& from, const Text& to, bool replaceExisting, FileError* error = nullptr) override;
    bool attributes(const Text& path, unsigned& out, FileError* error = nullptr) override;
    bool setAttributes(const Text& path, unsigned attributes, FileError* error = nullptr) override;
    bool exists(const Text& path) override;
    bool setCurrentDirectory(const Text& path) override;

private:
    // A normalised Windows path: drive letter, components, and whether the text
    // ended in a separator.
    struct WinPath {
        char drive = 'C';
        std::vector<Text> parts;
        bool trailingSeparator = false;
    };

    // Where a normalised path lands on the host and what is there now.
    struct Resolved {
        std::filesystem::path host;
        bool folderMissing = false;  // a folder on the way is missing or is a file
        bool exists = false;
        bool isFolder = false;
        FileIdentity identity;
        std::int64_t birth = -1;  // birth time in ns; -1 where the host keeps none
        std::uint64_t linkCount = 0;
    };

    struct StoredAttributes {
        unsigned flags = 0;
        std::int64_t birth = -1;
    };

    FileError parse(const Text& path, WinPath& out) const;
    Resolved resolve(const WinPath& path) const;
    // Parses and resolves a path that must name something that exists: the
    // parse error, PathNotFound for a missing folder on the way, NotFound for
    // a missing last name, else None.
    FileError findExisting(const Text& path, WinPath& winPath, Resolved& found) const;
    bool isLead(unsigned char byte) const;
    bool sameNameIgnoringCase(const Text& a, const Text& b) const;
    std::filesystem::path findEntry(const std::filesystem::path& folder, const Text& name) const;
    bool blocksDelete(const FileIdentity& identity) const;
    bool sharingConflict(const FileIdentity& identity, unsigned access, unsigned share) const;
    unsigned storedAttributes(const FileIdentity& identity, std::int64_t birth) const;
    void storeAttributes(const FileIdentity& identity, std::int64_t birth, unsigned flags);
    void forgetIfLastLink(const Resolved& file);
    bool fail(FileError* error, FileError value, int hostError = 0);

    std::filesystem::path root_;
    const CodePage* codePage_ = nullptr;
    WinPath current_;
    Text executablePath_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, StoredAttributes> attributes_;
    std::shared_ptr<detail::OpenTable> openTable_;
    int lastHostError_ = 0;
};

// Translates a host errno into the layer's error kinds.
FileError FileErrorFromErrno(int hostError);

}  // namespace brenvik::sim
