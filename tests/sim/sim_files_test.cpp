// The simulated desktop's files: Windows path rules, the CreateFileA, DeleteFileA
// and MoveFileExA rules the copy engine relies on, and every kind of injected fault.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/desktop.h"
#include "platform/sim/faults.h"
#include "platform/sim/files.h"
#include "temp_folder.h"

namespace brenvik::sim {
namespace {

namespace fs = std::filesystem;
using simtest::TempFolder;

constexpr unsigned R = FileAccess::Read;
constexpr unsigned W = FileAccess::Write;
constexpr unsigned RW = FileShare::Read | FileShare::Write;
constexpr unsigned RWD = RW | FileShare::Delete;

// A code page that only knows which bytes lead a character.
class LeadBytes final : public CodePage {
public:
    explicit LeadBytes(bool doubleByte) : doubleByte_(doubleByte) {}
    unsigned id() const override { return doubleByte_ ? 936 : 1252; }
    bool isLeadByte(unsigned char byte) const override { return doubleByte_ && byte >= 0x80; }
    std::string toUtf8(std::string_view ansi) const override { return std::string(ansi); }
    Text fromUtf8(std::string_view utf8) const override { return Text(utf8); }

private:
    bool doubleByte_;
};

std::string hostContent(const fs::path& host)
{
    std::ifstream in(host, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void putHost(const fs::path& host, const std::string& content)
{
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

class SimFilesTest : public ::testing::Test {
protected:
    void put(const Text& path, const std::string& content) { putHost(files.hostPath(path), content); }
    std::string content(const Text& path) { return hostContent(files.hostPath(path)); }
    bool onDisk(const Text& path) { return fs::exists(files.hostPath(path)); }
    void mkdir(const Text& path) { fs::create_directories(files.hostPath(path)); }

    // The error of an open, None when it succeeded; the handle is kept in `held`.
    FileError openError(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                        unsigned attributes = FileAttribute::Normal)
    {
        FileError error = FileError::Other;
        held = files.open(path, access, share, disposition, attributes, &error);
        return held ? FileError::None : error;
    }

    FileIdentity identityOf(const Text& path)
    {
        FileIdentity id;
        FileHandle file = files.open(path, FileAccess::None, RWD, FileDisposition::OpenExisting, 0);
        EXPECT_TRUE(file && file->identity(id)) << path;
        return id;
    }

    unsigned attributesOf(const Text& path)
    {
        unsigned out = 0;
        EXPECT_TRUE(files.attributes(path, out)) << path;
        return out;
    }

    TempFolder temp;
    SimFiles files{temp.path()};
    FileHandle held;
};

TEST_F(SimFilesTest, PathsMapOntoDriveFolders)
{
    struct Case {
        const char* currentDirectory;
        const char* path;
        const char* host;  // relative to the root
    };
    const Case cases[] = {
        {"C:\\", "C:\\a.txt", "C/a.txt"},
        {"C:\\", "d:\\W\\y.txt", "D/w/y.txt"},
        {"C:\\", "C:/w/b.txt", "C/w/b.txt"},
        {"C:\\", "C:\\w\\\\b.txt", "C/w/b.txt"},
        {"D:\\w", "\\a.txt", "D/a.txt"},
        {"C:\\w", "b.txt", "C/w/b.txt"},
        {"C:\\w", "..\\b.txt", "C/b.txt"},
        {"C:\\w", "..\\..\\..\\b.txt", "C/b.txt"},
        {"C:\\w", "C:\\w\\.\\x\\..\\b.txt", "C/w/b.txt"},
        {"C:\\w", "C:b.txt", "C/w/b.txt"},
        {"C:\\w", "D:b.txt", "D/b.txt"},
        {"C:\\", "C:\\w\\b.txt. .", "C/w/b.txt"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const fs::path root = temp.path() / std::to_string(index++);
        fs::create_directories(root / "C" / "w");
        fs::create_directories(root / "D" / "w");
        SimFiles own(root);
        ASSERT_TRUE(own.setCurrentDirectory(c.currentDirectory));
        EXPECT_EQ(own.hostPath(c.path), root / c.host);
        FileError error = FileError::None;
        EXPECT_TRUE(own.open(c.path, W, 0, FileDisposition::CreateNew, 0, &error)) << int(error);
        EXPECT_TRUE(fs::is_regular_file(root / c.host));
    }
}

TEST_F(SimFilesTest, CurrentDirectoryAndExecutableFolder)
{
    EXPECT_EQ(files.currentDirectory(), "C:\\");
    files.setExecutablePath("C:\\Brenvik\\brenvik.exe");
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "C" / "Brenvik" / "brenvik.exe"));
    EXPECT_TRUE(files.exists("C:\\Brenvik\\brenvik.exe"));

    ASSERT_TRUE(files.setCurrentDirectory("c:/brenvik/"));
    EXPECT_EQ(files.currentDirectory(), "C:\\brenvik");
    ASSERT_EQ(openError("pz.txt", W, 0, FileDisposition::CreateAlways), FileError::None);
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "C" / "Brenvik" / "pz.txt"));

    EXPECT_FALSE(files.setCurrentDirectory("C:\\Brenvik\\pz.txt"));
    EXPECT_FALSE(files.setCurrentDirectory("C:\\Missing"));
    EXPECT_EQ(files.currentDirectory(), "C:\\brenvik");
    EXPECT_TRUE(files.setCurrentDirectory("E:\\"));
    EXPECT_EQ(files.currentDirectory(), "E:\\");
}

TEST_F(SimFilesTest, NamesMatchWithoutCaseButCreateInTheExistingFolder)
{
    putHost(temp.path() / "C" / "Data" / "File.TXT", "abc");
    ASSERT_EQ(openError("c:\\DATA\\file.txt", R, RW, FileDisposition::OpenExisting), FileError::None);
    char buffer[8] = {};
    EXPECT_EQ(held->read(buffer, sizeof buffer).bytes, 3u);
    EXPECT_TRUE(files.exists("C:\\data\\FILE.txt"));

    ASSERT_EQ(openError("c:\\data\\new.txt", W, RW, FileDisposition::CreateNew), FileError::None);
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "C" / "Data" / "new.txt"));
    EXPECT_FALSE(fs::exists(temp.path() / "C" / "data"));
}

TEST_F(SimFilesTest, DoubleByteCharactersAreStepped)
{
    // 0xB1 0x5C and 0x81 0x7C are single characters in code page 936; in 1252
    // they are a backslash and a bar after a letter.
    struct Case {
        bool doubleByte;
        Text path;
        FileDisposition disposition;
        FileError expected;
    };
    using D = FileDisposition;
    const Case cases[] = {
        {true, "C:\\\xB1\\.txt", D::CreateNew, FileError::None},
        {false, "C:\\\xB1\\.txt", D::CreateNew, FileError::PathNotFound},
        {true, "C:\\\x81|.txt", D::CreateNew, FileError::None},
        {false, "C:\\\x81|.txt", D::CreateNew, FileError::InvalidName},
        {true,
         "C:\\\x81"
         "A",
         D::OpenExisting, FileError::NotFound},  // the second byte is no letter
        {false,
         "C:\\\x81"
         "A",
         D::OpenExisting, FileError::None},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index);
        const fs::path root = temp.path() / std::to_string(index++);
        putHost(root / "C" /
                    "\x81"
                    "a",
                "x");
        LeadBytes codePage(c.doubleByte);
        SimFiles own(root);
        own.useCodePage(codePage);
        FileError error = FileError::None;
        FileHandle file = own.open(c.path, R, RW, c.disposition, 0, &error);
        EXPECT_EQ(file ? FileError::None : error, c.expected);
    }
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "0" / "C" / "\xB1\\.txt"));
}

TEST_F(SimFilesTest, InvalidNamesAreRefused)
{
    mkdir("C:\\" + std::string(200, 'a'));
    const Text longFolder = "C:\\" + std::string(200, 'a') + "\\";
    struct Case {
        Text path;
        FileError expected;
    };
    const Case cases[] = {
        {"C:\\a<b", FileError::InvalidName},
        {"C:\\a>b", FileError::InvalidName},
        {"C:\\a:b", FileError::InvalidName},
        {"C:\\a\"b", FileError::InvalidName},
        {"C:\\a|b", FileError::InvalidName},
        {"C:\\a?b", FileError::InvalidName},
        {"C:\\a*b", FileError::InvalidName},
        {"C:\\a\x01"
         "b",
         FileError::InvalidName},
        {"C:\\w<\\a", FileError::InvalidName},
        {"1:\\a", FileError::InvalidName},
        {"", FileError::PathNotFound},
        {"\\\\server\\share\\a", FileError::PathNotFound},
        {longFolder + std::string(55, 'b'), FileError::None},  // 259 characters
        {longFolder + std::string(56, 'b'), FileError::InvalidName},
    };
    for (const Case& c : cases)
        EXPECT_EQ(openError(c.path, W, RW, FileDisposition::CreateAlways), c.expected) << c.path;
}

TEST_F(SimFilesTest, DispositionsAndOpenErrors)
{
    struct Case {
        Text path;
        unsigned access;
        FileDisposition disposition;
        FileError expected;
        std::int64_t sizeAfter;  // of the file at `path`; -1: no file there
    };
    using D = FileDisposition;
    const Case cases[] = {
        {"C:\\d\\f.txt", R, D::OpenExisting, FileError::None, 3},
        {"C:\\d\\f.txt", W, D::OpenAlways, FileError::None, 3},
        {"C:\\d\\f.txt", W, D::CreateAlways, FileError::None, 0},
        {"C:\\d\\f.txt", W, D::CreateNew, FileError::AlreadyExists, 3},
        {"C:\\d\\new.txt", R, D::OpenExisting, FileError::NotFound, -1},
        {"C:\\d\\new.txt", W, D::OpenAlways, FileError::None, 0},
        {"C:\\d\\new.txt", W, D::CreateAlways, FileError::None, 0},
        {"C:\\d\\new.txt", W, D::CreateNew, FileError::None, 0},
        {"C:\\d\\missing\\x.txt", W, D::CreateAlways, FileError::PathNotFound, -1},
        {"C:\\d\\f.txt\\x.txt", W, D::CreateAlways, FileError::PathNotFound, -1},
        {"C:\\d\\sub", R, D::OpenExisting, FileError::AccessDenied, -1},
        {"C:\\d\\sub", W, D::CreateAlways, FileError::AccessDenied, -1},
        {"C:\\d\\", W, D::CreateAlways, FileError::AccessDenied, -1},
        {"C:\\", R, D::OpenExisting, FileError::AccessDenied, -1},
        {"C:\\d\\f.txt\\", R, D::OpenExisting, FileError::InvalidName, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " disposition " + std::to_string(int(c.disposition)));
        fs::remove_all(files.hostPath("C:\\d"));
        put("C:\\d\\f.txt", "abc");
        mkdir("C:\\d\\sub");
        EXPECT_EQ(openError(c.path, c.access, RW, c.disposition), c.expected);
        held.reset();
        const fs::path host = files.hostPath(c.path);
        if (c.sizeAfter < 0) {
            EXPECT_FALSE(fs::is_regular_file(host));
        } else {
            EXPECT_EQ(std::int64_t(fs::file_size(host)), c.sizeAfter);
        }
    }
}

TEST_F(SimFilesTest, SharingFollowsBothHandlesModes)
{
    struct Case {
        unsigned access1, share1, access2, share2;
        FileDisposition disposition2;
        bool allowed;
    };
    using D = FileDisposition;
    const Case cases[] = {
        {R, FileShare::Read, R, FileShare::Read, D::OpenExisting, true},
        {R, FileShare::Read, W, RW, D::OpenExisting, false},  // the first does not share writing
        {R, RW, W, FileShare::Read, D::OpenExisting, true},
        {W, RW, R, FileShare::Read, D::OpenExisting, false},  // the second excludes the first's writing
        {R | W, RW, R | W, RW, D::OpenExisting, true},
        {R, 0, R, RW, D::OpenExisting, false},
        {R, 0, FileAccess::None, 0, D::OpenExisting, true},  // a query takes no part in sharing
        {FileAccess::None, 0, R, 0, D::OpenExisting, true},
        {R, RW, W, RW, D::CreateAlways, true},  // the copy engine's source and target as one file
        {R, RW, W, RW, D::CreateNew, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.access1 << "/" << c.share1 << " then " << c.access2 << "/" << c.share2);
        put("C:\\s.txt", "abc");
        FileHandle first = files.open("C:\\s.txt", c.access1, c.share1, D::OpenExisting, 0);
        ASSERT_TRUE(first);
        const FileError expected = c.allowed                        ? FileError::None
                                   : c.disposition2 == D::CreateNew ? FileError::AlreadyExists
                                                                    : FileError::SharingViolation;
        EXPECT_EQ(openError("C:\\s.txt", c.access2, c.share2, c.disposition2), expected);
        held.reset();
        if (!c.allowed && c.disposition2 != D::CreateNew) {
            EXPECT_EQ(content("C:\\s.txt"), "abc");
            first.reset();
            EXPECT_EQ(openError("C:\\s.txt", c.access2, c.share2, c.disposition2), FileError::None);
            held.reset();
        }
    }
}

TEST_F(SimFilesTest, AttributesRefuseWritesAndOverwrites)
{
    struct Case {
        unsigned existing;
        unsigned access;
        FileDisposition disposition;
        unsigned requested;
        FileError expected;
    };
    using A = unsigned;
    using D = FileDisposition;
    constexpr A RO = FileAttribute::ReadOnly, H = FileAttribute::Hidden, S = FileAttribute::System,
                N = FileAttribute::Normal;
    const Case cases[] = {
        {RO, W, D::OpenExisting, N, FileError::AccessDenied},
        {RO, W, D::OpenAlways, N, FileError::AccessDenied},
        {RO, R, D::CreateAlways, N, FileError::AccessDenied},
        {RO, R, D::OpenExisting, N, FileError::None},
        {H, W, D::CreateAlways, N, FileError::AccessDenied},
        {H, W, D::CreateAlways, H, FileError::None},
        {S, W, D::CreateAlways, N, FileError::AccessDenied},
        {S, W, D::CreateAlways, S, FileError::None},
        {H | S, W, D::CreateAlways, H, FileError::AccessDenied},
        {H | S, W, D::OpenExisting, N, FileError::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "existing " << c.existing << " requested " << c.requested
                                          << " disposition " << int(c.disposition));
        put("C:\\f.txt", "abc");
        ASSERT_TRUE(files.setAttributes("C:\\f.txt", c.existing));
        EXPECT_EQ(openError("C:\\f.txt", c.access, RW, c.disposition, c.requested), c.expected);
        held.reset();
        if (c.expected != FileError::None) {
            EXPECT_EQ(content("C:\\f.txt"), "abc");
        }
        ASSERT_TRUE(files.setAttributes("C:\\f.txt", N));
    }
}

TEST_F(SimFilesTest, AttributesAreKeptPerFile)
{
    mkdir("C:\\d");
    ASSERT_EQ(openError("C:\\d\\ro.txt", W, RW, FileDisposition::CreateNew, FileAttribute::ReadOnly),
              FileError::None);
    // The handle that created a read-only file may still write it.
    EXPECT_EQ(held->write("x", 1).bytes, 1u);
    ASSERT_EQ(openError("C:\\d\\n.txt", W, RW, FileDisposition::CreateNew), FileError::None);
    held.reset();
    EXPECT_EQ(attributesOf("C:\\d\\ro.txt"), FileAttribute::ReadOnly);
    EXPECT_EQ(attributesOf("C:\\d\\n.txt"), FileAttribute::Normal);
    EXPECT_EQ(attributesOf("C:\\d"), FileAttribute::Directory);

    ASSERT_TRUE(files.setAttributes("c:\\D\\N.TXT", FileAttribute::Hidden | FileAttribute::System));
    EXPECT_EQ(attributesOf("C:\\d\\n.txt"), FileAttribute::Hidden | FileAttribute::System);
    // Overwriting replaces the attributes with the ones asked for.
    ASSERT_EQ(openError("C:\\d\\n.txt", W, RW, FileDisposition::CreateAlways,
                        FileAttribute::Hidden | FileAttribute::System | FileAttribute::ReadOnly),
              FileError::None);
    held.reset();
    EXPECT_EQ(attributesOf("C:\\d\\n.txt"),
              FileAttribute::Hidden | FileAttribute::System | FileAttribute::ReadOnly);
    ASSERT_TRUE(files.setAttributes("C:\\d\\n.txt", FileAttribute::Normal));
    EXPECT_EQ(attributesOf("C:\\d\\n.txt"), FileAttribute::Normal);

    unsigned out = 0;
    FileError error = FileError::None;
    EXPECT_FALSE(files.attributes("C:\\d\\gone.txt", out, &error));
    EXPECT_EQ(error, FileError::NotFound);
    EXPECT_FALSE(files.setAttributes("C:\\gone\\x.txt", FileAttribute::Hidden, &error));
    EXPECT_EQ(error, FileError::PathNotFound);
}

TEST_F(SimFilesTest, IdentityIsTheFileNotTheSpelling)
{
    put("C:\\d\\a.txt", "a");
    put("C:\\d\\b.txt", "b");
    fs::create_hard_link(files.hostPath("C:\\d\\a.txt"), files.hostPath("C:\\d\\link.txt"));
    ASSERT_TRUE(files.setCurrentDirectory("C:\\d"));
    const FileIdentity a = identityOf("C:\\d\\a.txt");
    for (const Text spelling : {"c:/D/A.TXT", "\\d\\a.txt", "a.txt", "C:\\d\\..\\d\\.\\a.txt", "link.txt"})
        EXPECT_EQ(identityOf(spelling), a) << spelling;
    EXPECT_FALSE(identityOf("C:\\d\\b.txt") == a);

    // Attributes belong to the file, so a hard link shares them.
    ASSERT_TRUE(files.setAttributes("C:\\d\\link.txt", FileAttribute::ReadOnly));
    EXPECT_EQ(attributesOf("C:\\d\\a.txt"), FileAttribute::ReadOnly);
}

TEST_F(SimFilesTest, AHostFileReusingADeletedFilesNumberHasNoAttributes)
{
    put("C:\\old.txt", "old");
    const FileIdentity old = identityOf("C:\\old.txt");
    ASSERT_TRUE(files.setAttributes("C:\\old.txt", FileAttribute::ReadOnly));
    fs::remove(files.hostPath("C:\\old.txt"));
    put("C:\\new.txt", "new");
    if (!(identityOf("C:\\new.txt") == old))
        GTEST_SKIP() << "the host gave the new file another inode number";
    EXPECT_EQ(attributesOf("C:\\new.txt"), FileAttribute::Normal);
    EXPECT_EQ(openError("C:\\new.txt", W, RW, FileDisposition::OpenExisting), FileError::None);
}

TEST_F(SimFilesTest, MoveReplacesOnlyWhenAllowed)
{
    struct Case {
        const char* name;
        bool targetExists, replace, targetReadOnly;
        int sourceOpenShare, targetOpenShare;  // -1: not open
        FileError expected;
    };
    const Case cases[] = {
        {"to a new name", false, false, false, -1, -1, FileError::None},
        {"onto a file", true, false, false, -1, -1, FileError::AlreadyExists},
        {"replacing a file", true, true, false, -1, -1, FileError::None},
        {"replacing a read-only file", true, true, true, -1, -1, FileError::AccessDenied},
        {"source open without delete sharing", false, false, false, RW, -1, FileError::SharingViolation},
        {"source open with delete sharing", false, false, false, RWD, -1, FileError::None},
        {"target open without delete sharing", true, true, false, -1, RW, FileError::SharingViolation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(files.hostPath("C:\\m"));
        put("C:\\m\\src.txt", "source");
        ASSERT_TRUE(files.setAttributes("C:\\m\\src.txt", FileAttribute::Hidden));
        if (c.targetExists) {
            put("C:\\m\\dst.txt", "old");
            ASSERT_TRUE(files.setAttributes(
                "C:\\m\\dst.txt", c.targetReadOnly ? FileAttribute::ReadOnly : FileAttribute::Normal));
        }
        FileHandle source, target;
        if (c.sourceOpenShare >= 0)
            source = files.open("C:\\m\\src.txt", R, unsigned(c.sourceOpenShare),
                                FileDisposition::OpenExisting, 0);
        if (c.targetOpenShare >= 0)
            target = files.open("C:\\m\\dst.txt", R, unsigned(c.targetOpenShare),
                                FileDisposition::OpenExisting, 0);
        FileError error = FileError::Other;
        EXPECT_EQ(files.move("C:\\m\\src.txt", "C:\\m\\dst.txt", c.replace, &error),
                  c.expected == FileError::None);
        EXPECT_EQ(error, c.expected);
        if (c.expected == FileError::None) {
            EXPECT_FALSE(onDisk("C:\\m\\src.txt"));
            EXPECT_EQ(content("C:\\m\\dst.txt"), "source");
            EXPECT_EQ(attributesOf("C:\\m\\dst.txt"), FileAttribute::Hidden);  // attributes travel
        } else {
            EXPECT_EQ(content("C:\\m\\src.txt"), "source");
            if (c.targetExists) {
                EXPECT_EQ(content("C:\\m\\dst.txt"), "old");
            }
        }
        if (c.targetReadOnly) {
            ASSERT_TRUE(files.setAttributes("C:\\m\\dst.txt", FileAttribute::Normal));
        }
    }
}

TEST_F(SimFilesTest, MoveEdgeCases)
{
    put("C:\\m\\a.txt", "a");
    FileError error = FileError::None;
    EXPECT_FALSE(files.move("C:\\m\\gone.txt", "C:\\m\\b.txt", true, &error));
    EXPECT_EQ(error, FileError::NotFound);
    EXPECT_FALSE(files.move("C:\\m\\a.txt", "C:\\gone\\b.txt", true, &error));
    EXPECT_EQ(error, FileError::PathNotFound);
    EXPECT_FALSE(files.move("C:\\m\\a.txt", "D:\\b.txt", true, &error));  // another volume
    EXPECT_EQ(error, FileError::Other);
    EXPECT_EQ(content("C:\\m\\a.txt"), "a");

    // Only the case of the name changes.
    ASSERT_TRUE(files.move("C:\\m\\a.txt", "C:\\m\\A.TXT", false));
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "C" / "m" / "A.TXT"));
    EXPECT_FALSE(fs::exists(temp.path() / "C" / "m" / "a.txt"));

    // Replacing another name of the same file leaves one name.
    fs::create_hard_link(files.hostPath("C:\\m\\A.TXT"), files.hostPath("C:\\m\\link.txt"));
    ASSERT_TRUE(files.move("C:\\m\\A.TXT", "C:\\m\\link.txt", true));
    EXPECT_FALSE(onDisk("C:\\m\\A.TXT"));
    EXPECT_EQ(content("C:\\m\\link.txt"), "a");
}

TEST_F(SimFilesTest, DeleteRules)
{
    struct Case {
        const char* name;
        Text path;
        unsigned attributes;
        int openShare;  // -1: not open
        FileError expected;
    };
    const Case cases[] = {
        {"plain file", "C:\\x\\f.txt", FileAttribute::Normal, -1, FileError::None},
        {"read-only", "C:\\x\\f.txt", FileAttribute::ReadOnly, -1, FileError::AccessDenied},
        {"hidden", "C:\\x\\f.txt", FileAttribute::Hidden, -1, FileError::None},
        {"open without delete sharing", "C:\\x\\f.txt", FileAttribute::Normal, RW,
         FileError::SharingViolation},
        {"open with delete sharing", "C:\\x\\f.txt", FileAttribute::Normal, RWD, FileError::None},
        {"missing", "C:\\x\\gone.txt", FileAttribute::Normal, -1, FileError::NotFound},
        {"missing folder", "C:\\gone\\f.txt", FileAttribute::Normal, -1, FileError::PathNotFound},
        {"folder", "C:\\x", FileAttribute::Normal, -1, FileError::AccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put("C:\\x\\f.txt", "keep");
        ASSERT_TRUE(files.setAttributes("C:\\x\\f.txt", c.attributes));
        FileHandle open;
        if (c.openShare >= 0)
            open = files.open("C:\\x\\f.txt", R, unsigned(c.openShare), FileDisposition::OpenExisting, 0);
        FileError error = FileError::Other;
        EXPECT_EQ(files.remove(c.path, &error), c.expected == FileError::None);
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(onDisk("C:\\x\\f.txt"), c.expected != FileError::None || c.path != "C:\\x\\f.txt");
        if (open) {
            char buffer[8];
            EXPECT_EQ(open->read(buffer, sizeof buffer).bytes, 4u);  // an open handle still reads
        }
        open.reset();
        fs::remove(files.hostPath("C:\\x\\f.txt"));
        files.setAttributes("C:\\x\\f.txt", FileAttribute::Normal);
    }
}

TEST_F(SimFilesTest, ExistsIsADirectorySearch)
{
    put("C:\\d\\a.txt", "a");
    const std::pair<Text, bool> cases[] = {
        {"C:\\d\\a.txt", true},
        {"c:/D/A.TXT", true},
        {"C:\\d", true},
        {"C:\\d\\", false},
        {"C:\\", false},
        {"C:\\d\\*.txt", false},
        {"C:\\d\\a?txt", false},
        {"C:\\d\\b.txt", false},
        {"C:\\d\\a.txt\\x", false},
        {"", false},
        {"C:\\d\\a<", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(files.exists(path), expected) << path;
}

TEST_F(SimFilesTest, ReadsAndWritesFollowTheHandlesAccess)
{
    ASSERT_EQ(openError("C:\\io.txt", W, RW, FileDisposition::CreateAlways), FileError::None);
    FileHandle writer = std::move(held);
    ASSERT_EQ(openError("C:\\io.txt", R, RW, FileDisposition::OpenExisting), FileError::None);
    FileHandle reader = std::move(held);

    char buffer[16] = {};
    EXPECT_EQ(writer->read(buffer, 1).error, FileError::AccessDenied);
    EXPECT_EQ(reader->write("x", 1).error, FileError::AccessDenied);
    const IoResult written = writer->write("hello", 5);
    EXPECT_TRUE(written.ok() && written.bytes == 5u);
    EXPECT_EQ(writer->position(), 5);
    EXPECT_EQ(reader->read(buffer, 3).bytes, 3u);
    EXPECT_EQ(reader->read(buffer + 3, sizeof buffer).bytes, 2u);
    EXPECT_EQ(std::string(buffer), "hello");
    const IoResult atEnd = reader->read(buffer, sizeof buffer);
    EXPECT_TRUE(atEnd.ok() && atEnd.bytes == 0u);
    EXPECT_EQ(reader->size(), 5);
}

TEST_F(SimFilesTest, AFullDiskReportsDiskFull)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "this host has no /dev/full";
    fs::create_symlink("/dev/full", files.hostPath("C:\\full.bin"));
    ASSERT_EQ(openError("C:\\full.bin", W, RW, FileDisposition::OpenExisting), FileError::None);
    const IoResult result = held->write("0123456789", 10);
    EXPECT_EQ(result.error, FileError::DiskFull);
    EXPECT_EQ(result.bytes, 0u);
}

TEST_F(SimFilesTest, SizesAndPositionsAre64Bit)
{
    constexpr std::int64_t threeGiB = std::int64_t{3} << 30;
    put("C:\\big.bin", "");
    fs::resize_file(files.hostPath("C:\\big.bin"), std::uintmax_t(threeGiB));  // sparse
    ASSERT_EQ(openError("C:\\big.bin", R | W, RW, FileDisposition::OpenExisting), FileError::None);
    EXPECT_EQ(held->size(), threeGiB);
    ASSERT_TRUE(held->seekToEnd());
    EXPECT_EQ(held->position(), threeGiB);
    EXPECT_EQ(held->write("tail", 4).bytes, 4u);
    EXPECT_EQ(held->position(), threeGiB + 4);
    EXPECT_EQ(held->size(), threeGiB + 4);

    std::ifstream in(files.hostPath("C:\\big.bin"), std::ios::binary);
    in.seekg(threeGiB);
    char tail[5] = {};
    in.read(tail, 4);
    EXPECT_EQ(std::string(tail), "tail");
}

// ---- Faults ----

class FaultyFilesTest : public SimFilesTest {
protected:
    FileHandle openThrough(const Text& path, unsigned access, FileDisposition disposition)
    {
        return faults.open(path, access, RW, disposition, FileAttribute::Normal);
    }

    FaultyFiles faults{files};
};

TEST_F(FaultyFilesTest, FailNthFailsExactlyThatCallOfItsKind)
{
    put("C:\\a.txt", "0123456789");
    put("C:\\m1.txt", "m");
    FileHandle reader = openThrough("C:\\a.txt", R, FileDisposition::OpenExisting);
    FileHandle writer = openThrough("C:\\w.txt", W, FileDisposition::CreateAlways);
    ASSERT_TRUE(reader && writer);
    int moves = 0;

    // One call of each kind; returns its error (None on success) and checks
    // that a failed call changed nothing.
    const std::pair<FileOp, std::function<FileError()>> kinds[] = {
        {FileOp::Open,
         [&] {
             FileError e = FileError::None;
             return faults.open("C:\\a.txt", R, RW, FileDisposition::OpenExisting, 0, &e) ? FileError::None
                                                                                          : e;
         }},
        {FileOp::Read,
         [&] {
             char c;
             const std::int64_t before = reader->position();
             const IoResult r = reader->read(&c, 1);
             if (!r.ok()) {
                 EXPECT_EQ(reader->position(), before);
             }
             return r.error;
         }},
        {FileOp::Write,
         [&] {
             const std::int64_t before = writer->size();
             const IoResult r = writer->write("x", 1);
             if (!r.ok()) {
                 EXPECT_EQ(writer->size(), before);
             }
             return r.error;
         }},
        {FileOp::Move,
         [&] {
             const Text from = moves % 2 ? "C:\\m2.txt" : "C:\\m1.txt",
                        to = moves % 2 ? "C:\\m1.txt" : "C:\\m2.txt";
             FileError e = FileError::None;
             if (faults.move(from, to, false, &e)) {
                 ++moves;
             } else {
                 EXPECT_TRUE(onDisk(from));
             }
             return e;
         }},
        {FileOp::Remove,
         [&] {
             put("C:\\r.txt", "r");
             FileError e = FileError::None;
             if (!faults.remove("C:\\r.txt", &e)) {
                 EXPECT_TRUE(onDisk("C:\\r.txt"));
             }
             return e;
         }},
        {FileOp::SetAttributes,
         [&] {
             FileError e = FileError::None;
             faults.setAttributes("C:\\w.txt", FileAttribute::Normal, &e);
             return e;
         }},
    };
    for (const auto& [op, call] : kinds) {
        for (const bool fromThenOn : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "kind " << int(op) << (fromThenOn ? " from then on" : " once"));
            faults.clearRules();
            const int callsBefore = faults.calls(op);
            const int injectedBefore = faults.injectedCount();
            faults.failNth(op, 2, FileError::SharingViolation, fromThenOn);
            std::vector<FileError> results;
            for (int i = 0; i < 4; ++i)
                results.push_back(call());
            const FileError later = fromThenOn ? FileError::SharingViolation : FileError::None;
            EXPECT_EQ(results,
                      (std::vector<FileError>{FileError::None, FileError::SharingViolation, later, later}));
            EXPECT_EQ(faults.calls(op) - callsBefore, 4);
            EXPECT_EQ(faults.injectedCount() - injectedBefore, fromThenOn ? 3 : 1);
        }
    }
}

TEST_F(FaultyFilesTest, RulesCountOnlyThePathsTheyName)
{
    put("C:\\a.txt", "a");
    put("C:\\b.txt", "b");
    faults.failNth(FileOp::Open, 2, FileError::NotFound, false, "B.TXT");
    std::vector<bool> opened;
    for (const char* path : {"C:\\a.txt", "C:\\b.txt", "C:\\a.txt", "C:\\b.txt", "C:\\b.txt"})
        opened.push_back(openThrough(path, R, FileDisposition::OpenExisting) != nullptr);
    EXPECT_EQ(opened, (std::vector<bool>{true, true, true, false, true}));
    EXPECT_EQ(faults.calls(FileOp::Open), 5);
    EXPECT_EQ(faults.injectedCount(), 1);
}

TEST_F(FaultyFilesTest, ShortWritesAndAFullDisk)
{
    FileHandle file = openThrough("C:\\s.txt", W, FileDisposition::CreateAlways);
    faults.shortWriteNth(2, 3);
    std::vector<std::pair<std::size_t, FileError>> results;
    for (int i = 0; i < 3; ++i) {
        const IoResult r = file->write("0123456789", 10);
        results.emplace_back(r.bytes, r.error);
    }
    using Results = std::vector<std::pair<std::size_t, FileError>>;
    EXPECT_EQ(results, (Results{{10, FileError::None}, {3, FileError::DiskFull}, {10, FileError::None}}));
    EXPECT_EQ(content("C:\\s.txt"),
              "0123456789012"
              "0123456789");
    EXPECT_EQ(faults.injectedCount(), 1);

    faults.clearRules();
    FileHandle other = openThrough("C:\\t.txt", W, FileDisposition::CreateAlways);
    faults.setDiskBudget(25);
    results.clear();
    for (int i = 0; i < 4; ++i) {
        const IoResult r = (i % 2 ? other : file)->write("abcdefghij", 10);
        results.emplace_back(r.bytes, r.error);
    }
    EXPECT_EQ(results, (Results{{10, FileError::None},
                                {10, FileError::None},
                                {5, FileError::DiskFull},
                                {0, FileError::DiskFull}}));
    EXPECT_EQ(content("C:\\t.txt"), "abcdefghij");
    EXPECT_EQ(file->size(), 23 + 15);
    EXPECT_EQ(faults.injectedCount(), 3);
}

TEST_F(FaultyFilesTest, ASourceGrowsOrShrinksBeforeTheNthRead)
{
    struct Case {
        const char* name;
        std::function<void(FaultyFiles&)> rule;
        std::vector<std::size_t> reads;  // bytes each read returns, to the end
        std::int64_t finalSize;
        int injected;
    };
    const Case cases[] = {
        {"grows",
         [](FaultyFiles& f) { f.growBeforeRead(2, 500, "src"); },
         {1000, 1000, 1000, 500, 0},
         3500,
         1},
        {"shrinks", [](FaultyFiles& f) { f.shrinkBeforeRead(2, 1500); }, {1000, 500, 0}, 1500, 1},
        {"another path",
         [](FaultyFiles& f) { f.shrinkBeforeRead(1, 0, "other"); },
         {1000, 1000, 1000, 0},
         3000,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultyFiles own(files);
        put("C:\\src.txt", std::string(3000, 'a'));
        FileHandle file = own.open("C:\\src.txt", R, RW, FileDisposition::OpenExisting, 0);
        ASSERT_TRUE(file);
        c.rule(own);
        std::vector<std::size_t> reads;
        std::string buffer(1000, '\0');
        do
            reads.push_back(file->read(buffer.data(), buffer.size()).bytes);
        while (reads.back() != 0 && reads.size() < 10);
        EXPECT_EQ(reads, c.reads);
        EXPECT_EQ(file->size(), c.finalSize);
        EXPECT_EQ(own.injectedCount(), c.injected);
    }
    EXPECT_EQ(content("C:\\src.txt"), std::string(3000, 'a'));
}

TEST_F(FaultyFilesTest, ACrashAtTheNthWriteLeavesTheDiskAsItIs)
{
    {
        FileHandle file = openThrough("C:\\c.txt", W, FileDisposition::CreateAlways);
        faults.crashAtWrite(2, 4, "c.txt");
        EXPECT_TRUE(file->write("0123456789", 10).ok());
        EXPECT_THROW(file->write("abcdefghij", 10), InjectedCrash);
    }
    EXPECT_EQ(content("C:\\c.txt"), "0123456789abcd");
    EXPECT_EQ(faults.injectedCount(), 1);
    EXPECT_EQ(faults.calls(FileOp::Write), 2);
}

TEST_F(FaultyFilesTest, AHeldFileRefusesOpensDeletesAndMoves)
{
    put("C:\\h.txt", "held");
    ASSERT_TRUE(faults.holdWithoutSharing("C:\\h.txt"));
    EXPECT_FALSE(faults.holdWithoutSharing("C:\\gone.txt"));
    EXPECT_EQ(faults.calls(FileOp::Open), 0);

    FileError error = FileError::None;
    EXPECT_FALSE(faults.open("C:\\h.txt", R, RW, FileDisposition::OpenExisting, 0, &error));
    EXPECT_EQ(error, FileError::SharingViolation);
    EXPECT_FALSE(faults.open("C:\\h.txt", W, RW, FileDisposition::CreateAlways, 0, &error));
    EXPECT_EQ(error, FileError::SharingViolation);
    EXPECT_TRUE(faults.open("C:\\h.txt", FileAccess::None, RW, FileDisposition::OpenExisting, 0));
    EXPECT_FALSE(faults.remove("C:\\h.txt", &error));
    EXPECT_EQ(error, FileError::SharingViolation);
    EXPECT_FALSE(faults.move("C:\\h.txt", "C:\\i.txt", false, &error));
    EXPECT_EQ(error, FileError::SharingViolation);
    EXPECT_EQ(content("C:\\h.txt"), "held");

    faults.release("C:\\h.txt");
    EXPECT_TRUE(faults.open("C:\\h.txt", R, RW, FileDisposition::OpenExisting, 0));
}

TEST_F(FaultyFilesTest, TheWriteObserverSeesEachHandlesWrites)
{
    std::vector<std::pair<Text, int>> seen;
    faults.setWriteObserver([&seen](const Text& path, int n) { seen.emplace_back(path, n); });
    faults.failNth(FileOp::Write, 2, FileError::DiskFull, false, "a.txt");
    FileHandle a = openThrough("C:\\a.txt", W, FileDisposition::CreateAlways);
    FileHandle b = openThrough("C:\\b.txt", W, FileDisposition::CreateAlways);
    a->write("1", 1);
    b->write("1", 1);
    a->write("2", 1);  // fails, so it is not seen, but it is a's second write
    a->write("3", 1);
    using Seen = std::vector<std::pair<Text, int>>;
    EXPECT_EQ(seen, (Seen{{"C:\\a.txt", 1}, {"C:\\b.txt", 1}, {"C:\\a.txt", 3}}));
}

TEST_F(FaultyFilesTest, ASweepOverWritePositionsEndsWhenNothingIsInjected)
{
    // A small chunked copy that reports any failure.
    const auto copy = [](Files& fs) {
        FileHandle in = fs.open("C:\\src.bin", R, RW, FileDisposition::OpenExisting, 0);
        FileHandle out = fs.open("C:\\dst.bin", W, RW, FileDisposition::CreateAlways, 0);
        if (!in || !out)
            return false;
        char buffer[1000];
        for (;;) {
            const IoResult got = in->read(buffer, sizeof buffer);
            if (!got.ok())
                return false;
            if (got.bytes == 0)
                return true;
            if (!out->write(buffer, got.bytes).ok())
                return false;
        }
    };
    put("C:\\src.bin", std::string(2500, 's'));
    int n = 1;
    for (;; ++n) {
        FaultyFiles own(files);
        own.failNth(FileOp::Write, n, FileError::DiskFull);
        const bool copied = copy(own);
        if (own.injectedCount() == 0) {
            EXPECT_TRUE(copied);
            break;
        }
        EXPECT_FALSE(copied) << n;
    }
    EXPECT_EQ(n, 4);  // three chunks, three positions to fail
    EXPECT_EQ(content("C:\\dst.bin"), std::string(2500, 's'));
}

}  // namespace
}  // namespace brenvik::sim
