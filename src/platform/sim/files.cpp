// The simulated desktop's files: Windows path rules mapped onto a host folder,
// and the CreateFileA, DeleteFileA and MoveFileExA rules over POSIX calls.
#include "platform/sim/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

namespace brenvik::sim {

namespace fs = std::filesystem;

namespace detail {

// One open handle as the sharing rules see it.
struct OpenRecord {
    std::uint64_t id = 0;
    FileIdentity identity;
    unsigned access = 0;
    unsigned share = 0;
};

struct OpenTable {
    std::uint64_t nextId = 1;
    std::vector<OpenRecord> records;
};

}  // namespace detail

namespace {

constexpr unsigned kDataAccess = FileAccess::Read | FileAccess::Write;
constexpr unsigned kKeptAttributes = FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System;
constexpr std::size_t kMaxPathCharacters = 259;  // MAX_PATH without its terminating zero
constexpr std::size_t kMaxIoPerCall = std::size_t{1} << 30;

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isInvalidNameByte(char c)
{
    return std::strchr("<>:\"|?*", c) != nullptr && c != '\0';
}

FileIdentity identityOf(const struct stat& st)
{
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The file's birth time in nanoseconds, or -1 where the host keeps none.
std::int64_t birthOf(int folder, const char* path, int flags)
{
    struct statx info {};
    if (::statx(folder, path, flags, STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME))
        return -1;
    return static_cast<std::int64_t>(info.stx_btime.tv_sec) * 1'000'000'000 + info.stx_btime.tv_nsec;
}

std::pair<std::uint64_t, std::uint64_t> keyOf(const FileIdentity& identity)
{
    return {identity.volume, identity.index};
}

// Closes a host file descriptor when it goes out of scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// An open file over a host descriptor. The position is kept here and every
// transfer names it explicitly, so offsets are 64-bit on every host.
class SimOpenFile final : public OpenFile {
public:
    SimOpenFile(int fd, unsigned access, FileIdentity identity, std::shared_ptr<detail::OpenTable> table,
                std::uint64_t id)
        : fd_(fd), access_(access), identity_(identity), table_(std::move(table)), id_(id)
    {
    }

    ~SimOpenFile() override
    {
        auto& records = table_->records;
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [this](const detail::OpenRecord& r) { return r.id == id_; }),
                      records.end());
    }

    IoResult read(void* buffer, std::size_t size) override
    {
        if (!(access_ & FileAccess::Read))
            return {0, FileError::AccessDenied};
        auto* bytes = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const std::size_t ask = std::min(size - done, kMaxIoPerCall);
            const ssize_t got = ::pread(fd_.get(), bytes + done, ask, static_cast<off_t>(position_));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return {done, FileError::ReadFault};
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
            position_ += got;
        }
        return {done, FileError::None};
    }

    IoResult write(const void* data, std::size_t size) override
    {
        if (!(access_ & FileAccess::Write))
            return {0, FileError::AccessDenied};
        const auto* bytes = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const std::size_t ask = std::min(size - done, kMaxIoPerCall);
            const ssize_t put = ::pwrite(fd_.get(), bytes + done, ask, static_cast<off_t>(position_));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return {done, FileErrorFromErrno(errno)};
            if (put == 0)
                return {done, FileError::ShortWrite};
            done += static_cast<std::size_t>(put);
            position_ += put;
        }
        return {done, FileError::None};
    }

    std::int64_t size() const override
    {
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0)
            return -1;
        return static_cast<std::int64_t>(st.st_size);
    }

    std::int64_t position() const override { return position_; }

    bool seekToEnd() override
    {
        const std::int64_t end = size();
        if (end < 0)
            return false;
        position_ = end;
        return true;
    }

    bool identity(FileIdentity& out) const override
    {
        out = identity_;
        return true;
    }

private:
    UniqueFd fd_;
    unsigned access_;
    FileIdentity identity_;
    std::shared_ptr<detail::OpenTable> table_;
    std::uint64_t id_;
    std::int64_t position_ = 0;
};

}  // namespace

FileError FileErrorFromErrno(int hostError)
{
    switch (hostError) {
        case 0:
            return FileError::None;
        case ENOENT:
            return FileError::NotFound;
        case ENOTDIR:
            return FileError::PathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ENOTEMPTY:
            return FileError::AccessDenied;
        case EEXIST:
            return FileError::AlreadyExists;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError::DiskFull;
        case ENAMETOOLONG:
        case EILSEQ:
            return FileError::InvalidName;
        case EBUSY:
        case ETXTBSY:
            return FileError::SharingViolation;
        case EIO:
            return FileError::ReadFault;
        default:
            return FileError::Other;
    }
}

SimFiles::SimFiles(fs::path root) : root_(std::move(root)), openTable_(std::make_shared<detail::OpenTable>())
{
    current_.drive = 'C';
    std::error_code ec;
    fs::create_directories(root_ / "C", ec);
}

SimFiles::~SimFiles() = default;

void SimFiles::useCodePage(const CodePage& codePage)
{
    codePage_ = &codePage;
}

bool SimFiles::isLead(unsigned char byte) const
{
    return codePage_ ? codePage_->isLeadByte(byte) : byte >= 0x80;
}

int SimFiles::lastHostError() const
{
    return lastHostError_;
}

bool SimFiles::fail(FileError* error, FileError value, int hostError)
{
    if (error)
        *error = value;
    lastHostError_ = hostError;
    return false;
}

FileError SimFiles::parse(const Text& path, WinPath& out) const
{
    if (path.empty())
        return FileError::PathNotFound;
    for (unsigned char c : path)
        if (c < 0x20)
            return FileError::InvalidName;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return FileError::PathNotFound;  // network and device paths

    WinPath result;
    std::size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':' && isAsciiLetter(path[0])) {
        result.drive = asciiUpper(path[0]);
        pos = 2;
        // "D:a.txt" is relative to that drive's current folder: ours when it is
        // the current drive, else its root.
        if (!(pos < path.size() && isSeparator(path[pos])) && result.drive == current_.drive)
            result.parts = current_.parts;
    } else if (isSeparator(path[0])) {
        result.drive = current_.drive;
    } else {
        result.drive = current_.drive;
        result.parts = current_.parts;
    }

    auto addComponent = [&result](Text&& component) {
        if (component.empty() || component == ".")
            return;
        if (component == "..") {
            if (!result.parts.empty())
                result.parts.pop_back();
            return;
        }
        result.parts.push_back(std::move(component));
    };

    Text component;
    bool endsInSeparator = false;
    while (pos < path.size()) {
        const char c = path[pos];
        if (isLead(static_cast<unsigned char>(c)) && pos + 1 < path.size()) {
            component.append(path, pos, 2);
            pos += 2;
            endsInSeparator = false;
        } else if (isSeparator(c)) {
            addComponent(std::move(component));
            component.clear();
            endsInSeparator = true;
            ++pos;
        } else if (isInvalidNameByte(c)) {
            return FileError::InvalidName;
        } else {
            component.push_back(c);
            endsInSeparator = false;
            ++pos;
        }
    }
    // Windows drops trailing dots and spaces from the last name ("a.txt." is a.txt).
    if (component != "." && component != "..") {
        while (!component.empty() && (component.back() == '.' || component.back() == ' '))
            component.pop_back();
    }
    addComponent(std::move(component));
    result.trailingSeparator = endsInSeparator;

    std::size_t characters = 3;  // "C:\"
    for (std::size_t i = 0; i < result.parts.size(); ++i) {
        const Text& part = result.parts[i];
        for (std::size_t at = 0; at < part.size(); ++characters)
            at += (isLead(static_cast<unsigned char>(part[at])) && at + 1 < part.size()) ? 2 : 1;
        if (i > 0)
            ++characters;
    }
    if (characters > kMaxPathCharacters)
        return FileError::InvalidName;

    out = std::move(result);
    return FileError::None;
}

bool SimFiles::sameNameIgnoringCase(const Text& a, const Text& b) const
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        if (isLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            // A double-byte character matches only itself: its second byte may
            // look like a letter but is not one.
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            i += 2;
        } else {
            if (asciiUpper(a[i]) != asciiUpper(b[i]))
                return false;
            ++i;
        }
    }
    return true;
}

fs::path SimFiles::findEntry(const fs::path& folder, const Text& name) const
{
    fs::path exact = folder / name;
    struct stat st {};
    if (::lstat(exact.c_str(), &st) == 0)
        return exact;
    std::error_code ec;
    Text best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        Text candidate = it->path().filename().string();
        if (sameNameIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best = std::move(candidate);
    }
    return best.empty() ? exact : folder / best;
}

SimFiles::Resolved SimFiles::resolve(const WinPath& path) const
{
    Resolved result;
    fs::path here = root_ / std::string(1, path.drive);
    std::error_code ec;
    fs::create_directories(here, ec);
    bool broken = false;
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
        here = broken ? here / path.parts[i] : findEntry(here, path.parts[i]);
        if (i + 1 < path.parts.size() && !broken) {
            struct stat st {};
            if (::stat(here.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                broken = true;
        }
    }
    result.host = here;
    result.folderMissing = broken;
    struct stat st {};
    if (!broken && ::stat(here.c_str(), &st) == 0) {
        result.exists = true;
        result.isFolder = S_ISDIR(st.st_mode);
        result.identity = identityOf(st);
        result.birth = birthOf(AT_FDCWD, here.c_str(), 0);
        result.linkCount = static_cast<std::uint64_t>(st.st_nlink);
    }
    return result;
}

unsigned SimFiles::storedAttributes(const FileIdentity& identity, std::int64_t birth) const
{
    auto it = attributes_.find(keyOf(identity));
    return (it == attributes_.end() || it->second.birth != birth) ? 0u : it->second.flags;
}

void SimFiles::storeAttributes(const FileIdentity& identity, std::int64_t birth, unsigned flags)
{
    if (const unsigned kept = flags & kKeptAttributes; kept != 0)
        attributes_[keyOf(identity)] = StoredAttributes{kept, birth};
    else
        attributes_.erase(keyOf(identity));
}

void SimFiles::forgetIfLastLink(const Resolved& file)
{
    if (file.linkCount <= 1)
        attributes_.erase(keyOf(file.identity));
}

bool SimFiles::sharingConflict(const FileIdentity& identity, unsigned access, unsigned share) const
{
    // Handles without data access take no part in sharing, on either side.
    if (!(access & kDataAccess))
        return false;
    for (const auto& record : openTable_->records) {
        if (!(record.identity == identity) || !(record.access & kDataAccess))
            continue;
        if ((access & FileAccess::Read) && !(record.share & FileShare::Read))
            return true;
        if ((access & FileAccess::Write) && !(record.share & FileShare::Write))
            return true;
        if ((record.access & FileAccess::Read) && !(share & FileShare::Read))
            return true;
        if ((record.access & FileAccess::Write) && !(share & FileShare::Write))
            return true;
    }
    return false;
}

bool SimFiles::blocksDelete(const FileIdentity& identity) const
{
    return std::any_of(openTable_->records.begin(), openTable_->records.end(),
                       [&identity](const detail::OpenRecord& record) {
                           return record.identity == identity && (record.access & kDataAccess) &&
                                  !(record.share & FileShare::Delete);
                       });
}

FileHandle SimFiles::open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                          unsigned attributes, FileError* error)
{
    WinPath winPath;
    if (const FileError parsed = parse(path, winPath); parsed != FileError::None) {
        fail(error, parsed);
        return nullptr;
    }
    const Resolved target = resolve(winPath);
    const auto refuse = [&](FileError value, int hostError = 0) -> FileHandle {
        fail(error, value, hostError);
        return nullptr;
    };
    if (target.folderMissing)
        return refuse(FileError::PathNotFound);
    if (target.exists && target.isFolder)
        return refuse(disposition == FileDisposition::CreateNew ? FileError::AlreadyExists
                                                                : FileError::AccessDenied);
    if (winPath.trailingSeparator)
        return refuse(FileError::InvalidName);  // a file's name cannot end in a separator

    const int mode =
        (access & FileAccess::Write) ? ((access & FileAccess::Read) ? O_RDWR : O_WRONLY) : O_RDONLY;
    UniqueFd fd;
    if (target.exists) {
        if (disposition == FileDisposition::CreateNew)
            return refuse(FileError::AlreadyExists);
        const unsigned have = storedAttributes(target.identity, target.birth);
        const bool truncates = disposition == FileDisposition::CreateAlways;
        if ((have & FileAttribute::ReadOnly) && ((access & FileAccess::Write) || truncates))
            return refuse(FileError::AccessDenied);
        // Overwriting a hidden or system file needs the caller to name that attribute.
        if (truncates && (((have & FileAttribute::Hidden) && !(attributes & FileAttribute::Hidden)) ||
                          ((have & FileAttribute::System) && !(attributes & FileAttribute::System))))
            return refuse(FileError::AccessDenied);
        if (sharingConflict(target.identity, access, share))
            return refuse(FileError::SharingViolation);
        // The handle checks its own access on every transfer, so truncating
        // through a read-write descriptor is safe whatever was asked for.
        fd.reset(::open(target.host.c_str(), (truncates ? O_RDWR : mode) | O_CLOEXEC));
        if (fd.get() < 0)
            return refuse(FileErrorFromErrno(errno), errno);
        if (truncates && ::ftruncate(fd.get(), 0) != 0)
            return refuse(FileErrorFromErrno(errno), errno);
    } else {
        if (disposition == FileDisposition::OpenExisting)
            return refuse(FileError::NotFound);
        fd.reset(::open(target.host.c_str(), mode | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0)
            return refuse(FileErrorFromErrno(errno), errno);
    }

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refuse(FileErrorFromErrno(errno), errno);
    const FileIdentity identity = identityOf(st);
    if (!target.exists || disposition == FileDisposition::CreateAlways)
        storeAttributes(identity, birthOf(fd.get(), "", AT_EMPTY_PATH), attributes);

    const std::uint64_t id = openTable_->nextId++;
    openTable_->records.push_back(detail::OpenRecord{id, identity, access, share});
    if (error)
        *error = FileError::None;
    return std::make_unique<SimOpenFile>(fd.release(), access, identity, openTable_, id);
}

FileError SimFiles::findExisting(const Text& path, WinPath& winPath, Resolved& found) const
{
    if (const FileError parsed = parse(path, winPath); parsed != FileError::None)
        return parsed;
    found = resolve(winPath);
    if (found.folderMissing)
        return FileError::PathNotFound;
    if (!found.exists)
        return FileError::NotFound;
    return FileError::None;
}

bool SimFiles::remove(const Text& path, FileError* error)
{
    WinPath winPath;
    Resolved target;
    if (const FileError missing = findExisting(path, winPath, target); missing != FileError::None)
        return fail(error, missing);
    if (target.isFolder)
        return fail(error, FileError::AccessDenied);
    if (winPath.trailingSeparator)
        return fail(error, FileError::InvalidName);
    if (storedAttributes(target.identity, target.birth) & FileAttribute::ReadOnly)
        return fail(error, FileError::AccessDenied);
    if (blocksDelete(target.identity))
        return fail(error, FileError::SharingViolation);
    if (::unlink(target.host.c_str()) != 0)
        return fail(error, FileErrorFromErrno(errno), errno);
    forgetIfLastLink(target);
    if (error)
        *error = FileError::None;
    return true;
}

bool SimFiles::move(const Text& from, const Text& to, bool replaceExisting, FileError* error)
{
    WinPath fromPath, toPath;
    if (const FileError parsed = parse(from, fromPath); parsed != FileError::None)
        return fail(error, parsed);
    if (const FileError parsed = parse(to, toPath); parsed != FileError::None)
        return fail(error, parsed);
    const Resolved source = resolve(fromPath);
    if (source.folderMissing)
        return fail(error, FileError::PathNotFound);
    if (!source.exists)
        return fail(error, FileError::NotFound);
    if (fromPath.trailingSeparator && !source.isFolder)
        return fail(error, FileError::InvalidName);
    const Resolved target = resolve(toPath);
    if (target.folderMissing || toPath.parts.empty())
        return fail(error, FileError::PathNotFound);
    if (toPath.trailingSeparator && !source.isFolder)
        return fail(error, FileError::InvalidName);
    if (fromPath.drive != toPath.drive)
        return fail(error, FileError::Other);  // ERROR_NOT_SAME_DEVICE: each drive is a volume
    if (!source.isFolder && blocksDelete(source.identity))
        return fail(error, FileError::SharingViolation);

    fs::path destination = target.host;
    if (target.exists && target.host == source.host) {
        // The same entry under another spelling: only the case of the name changes.
        destination = target.host.parent_path() / toPath.parts.back();
        if (destination == source.host) {
            if (error)
                *error = FileError::None;
            return true;
        }
    } else if (target.exists) {
        if (!replaceExisting)
            return fail(error, FileError::AlreadyExists);
        if (target.isFolder || source.isFolder)
            return fail(error, FileError::AccessDenied);
        if (storedAttributes(target.identity, target.birth) & FileAttribute::ReadOnly)
            return fail(error, FileError::AccessDenied);
        if (blocksDelete(target.identity))
            return fail(error, FileError::SharingViolation);
        // Another name of the same file (a hard link): rename() would keep both.
        if (target.identity == source.identity && ::unlink(target.host.c_str()) != 0)
            return fail(error, FileErrorFromErrno(errno), errno);
    }
    if (::rename(source.host.c_str(), destination.c_str()) != 0)
        return fail(error, FileErrorFromErrno(errno), errno);
    if (target.exists && !(target.identity == source.identity))
        forgetIfLastLink(target);
    if (error)
        *error = FileError::None;
    return true;
}

bool SimFiles::attributes(const Text& path, unsigned& out, FileError* error)
{
    WinPath winPath;
    Resolved target;
    if (const FileError missing = findExisting(path, winPath, target); missing != FileError::None)
        return fail(error, missing);
    if (winPath.trailingSeparator && !target.isFolder)
        return fail(error, FileError::InvalidName);
    out = storedAttributes(target.identity, target.birth) | (target.isFolder ? FileAttribute::Directory : 0u);
    if (out == 0)
        out = FileAttribute::Normal;
    if (error)
        *error = FileError::None;
    return true;
}

bool SimFiles::setAttributes(const Text& path, unsigned attributes, FileError* error)
{
    WinPath winPath;
    Resolved target;
    if (const FileError missing = findExisting(path, winPath, target); missing != FileError::None)
        return fail(error, missing);
    if (winPath.trailingSeparator && !target.isFolder)
        return fail(error, FileError::InvalidName);
    storeAttributes(target.identity, target.birth, attributes);
    if (error)
        *error = FileError::None;
    return true;
}

bool SimFiles::exists(const Text& path)
{
    // A directory search treats * and ? as wildcards; none is wanted here.
    if (path.find_first_of("*?") != Text::npos)
        return false;
    WinPath winPath;
    if (parse(path, winPath) != FileError::None)
        return false;
    // A search for "dir\" or for a drive's root finds nothing on Windows.
    if (winPath.trailingSeparator || winPath.parts.empty())
        return false;
    const Resolved target = resolve(winPath);
    return !target.folderMissing && target.exists;
}

bool SimFiles::setCurrentDirectory(const Text& path)
{
    WinPath winPath;
    if (parse(path, winPath) != FileError::None)
        return false;
    const Resolved target = resolve(winPath);
    if (target.folderMissing || !target.exists || !target.isFolder)
        return false;
    winPath.trailingSeparator = false;
    current_ = std::move(winPath);
    return true;
}

Text SimFiles::currentDirectory() const
{
    Text text{current_.drive, ':', '\\'};
    for (std::size_t i = 0; i < current_.parts.size(); ++i) {
        if (i > 0)
            text += '\\';
        text += current_.parts[i];
    }
    return text;
}

void SimFiles::setExecutablePath(const Text& windowsPath)
{
    executablePath_ = windowsPath;
    WinPath winPath;
    if (parse(windowsPath, winPath) != FileError::None || winPath.parts.empty())
        return;
    const fs::path host = resolve(winPath).host;
    std::error_code ec;
    fs::create_directories(host.parent_path(), ec);
    if (!fs::exists(host, ec)) {
        UniqueFd fd(::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    }
}

Text SimFiles::executablePath() const
{
    return executablePath_;
}

fs::path SimFiles::hostPath(const Text& windowsPath) const
{
    WinPath winPath;
    if (parse(windowsPath, winPath) != FileError::None)
        return {};
    return resolve(winPath).host;
}

}  // namespace brenvik::sim
