// The Win32 file layer against real CreateFileA and friends: the dispositions,
// sharing, refused targets, errors, identities, moves, deletes and 64-bit
// lengths that the copy engine relies on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"
#include "temp_folder.h"

namespace brenvik::win32 {
namespace {

using brenvik::testing::TempFolder;

class Win32FilesTest : public ::testing::Test {
protected:
    Win32Files files;
    TempFolder folder;

    void write(const Text& path, const std::string& content)
    {
        FileHandle file =
            files.open(path, FileAccess::Write, FileShare::None, FileDisposition::CreateAlways, 0);
        ASSERT_NE(file, nullptr) << path << ": native error " << files.lastNativeError();
        ASSERT_EQ(file->write(content.data(), content.size()).bytes, content.size());
    }

    std::string read(const Text& path)
    {
        FileHandle file = files.open(path, FileAccess::Read, FileShare::Read | FileShare::Write,
                                     FileDisposition::OpenExisting, 0);
        if (file == nullptr)
            return "<cannot open>";
        std::string content;
        char buffer[4096];
        for (;;) {
            const IoResult result = file->read(buffer, sizeof buffer);
            if (!result.ok() || result.bytes == 0)
                return content;
            content.append(buffer, result.bytes);
        }
    }

    // The engine's ways of opening: the source for reading, the target for writing.
    FileHandle openSource(const Text& path, FileError* error)
    {
        return files.open(path, FileAccess::Read, FileShare::Read | FileShare::Write,
                          FileDisposition::OpenExisting, FileAttribute::Normal, error);
    }
    FileHandle openTarget(const Text& path, FileError* error)
    {
        return files.open(path, FileAccess::Write, FileShare::Read | FileShare::Write,
                          FileDisposition::CreateAlways, FileAttribute::Normal, error);
    }
};

struct DispositionCase {
    const char* name;
    FileDisposition disposition;
    bool existsBefore;
    FileError expectedError;
    const char* contentAfter;  // what the file holds once the handle is closed; null: no file
};

TEST_F(Win32FilesTest, Open_FollowsEachDisposition)
{
    const DispositionCase cases[] = {
        {"open existing, present", FileDisposition::OpenExisting, true, FileError::None, "old"},
        {"open existing, missing", FileDisposition::OpenExisting, false, FileError::NotFound, nullptr},
        {"create always, present", FileDisposition::CreateAlways, true, FileError::None, ""},
        {"create always, missing", FileDisposition::CreateAlways, false, FileError::None, ""},
        {"create new, present", FileDisposition::CreateNew, true, FileError::AlreadyExists, "old"},
        {"create new, missing", FileDisposition::CreateNew, false, FileError::None, ""},
        {"open always, present", FileDisposition::OpenAlways, true, FileError::None, "old"},
        {"open always, missing", FileDisposition::OpenAlways, false, FileError::None, ""},
    };
    int n = 0;
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Text path = folder / ("case" + std::to_string(n++) + ".txt");
        if (c.existsBefore)
            write(path, "old");

        FileError error = FileError::Other;
        FileHandle file = files.open(path, FileAccess::Write, FileShare::None, c.disposition, 0, &error);

        EXPECT_EQ(error, c.expectedError);
        EXPECT_EQ(file != nullptr, c.expectedError == FileError::None);
        file.reset();
        if (c.contentAfter == nullptr)
            EXPECT_FALSE(files.exists(path));
        else
            EXPECT_EQ(read(path), c.contentAfter);
    }
}

TEST_F(Win32FilesTest, Open_RefusesWhatAHeldHandleDoesNotShare)
{
    const Text path = folder / "held.txt";
    write(path, "data");

    {
        // Held without sharing: neither the source nor the target open succeeds.
        FileHandle holder =
            files.open(path, FileAccess::Read, FileShare::None, FileDisposition::OpenExisting, 0);
        ASSERT_NE(holder, nullptr);
        FileError sourceError = FileError::None;
        FileError targetError = FileError::None;
        EXPECT_EQ(openSource(path, &sourceError), nullptr);
        EXPECT_EQ(sourceError, FileError::SharingViolation);
        EXPECT_EQ(openTarget(path, &targetError), nullptr);
        EXPECT_EQ(targetError, FileError::SharingViolation);
        EXPECT_EQ(files.lastNativeError(), 32u);  // ERROR_SHARING_VIOLATION, kept for diagnostics
    }
    {
        // The engine's own source and target modes share reading and writing with each other.
        FileHandle source = openSource(path, nullptr);
        ASSERT_NE(source, nullptr);
        EXPECT_NE(openSource(path, nullptr), nullptr);
        EXPECT_NE(openTarget(path, nullptr), nullptr);
    }
}

TEST_F(Win32FilesTest, Open_CreateAlwaysRefusesReadOnlyHiddenAndSystemTargets)
{
    const struct {
        const char* name;
        unsigned attribute;
    } cases[] = {{"read-only", FileAttribute::ReadOnly},
                 {"hidden", FileAttribute::Hidden},
                 {"system", FileAttribute::System}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text path = folder / (std::string(c.name) + ".txt");
        write(path, "keep me");
        ASSERT_TRUE(files.setAttributes(path, c.attribute));
        unsigned attributes = 0;
        ASSERT_TRUE(files.attributes(path, attributes));
        ASSERT_NE(attributes & c.attribute, 0u) << "the file system here cannot hold this attribute";

        FileError error = FileError::None;
        EXPECT_EQ(openTarget(path, &error), nullptr);

        EXPECT_EQ(error, FileError::AccessDenied);
        ASSERT_TRUE(files.setAttributes(path, FileAttribute::Normal));
        EXPECT_EQ(read(path), "keep me");
    }
}

TEST_F(Win32FilesTest, Open_ReportsWhyAPathCannotBeOpened)
{
    std::filesystem::create_directory(folder.path() / "sub");
    const struct {
        const char* name;
        Text path;
        bool asTarget;
        FileError expected;
    } cases[] = {
        {"missing file", folder / "nothing.txt", false, FileError::NotFound},
        {"missing folder", folder / "no-such-folder\\a.txt", true, FileError::PathNotFound},
        {"invalid name", folder / "a<b>.txt", true, FileError::InvalidName},
        {"a folder as the source", folder / "sub", false, FileError::AccessDenied},
        {"a folder as the target", folder / "sub", true, FileError::AccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileError error = FileError::None;
        FileHandle file = c.asTarget ? openTarget(c.path, &error) : openSource(c.path, &error);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(error, c.expected);
        EXPECT_NE(files.lastNativeError(), 0u);
    }
    EXPECT_FALSE(files.exists(folder / "no-such-folder"));
}

TEST_F(Win32FilesTest, Identity_IsTheSameThroughAnotherSpellingOfThePath)
{
    std::filesystem::create_directory(folder.path() / "Dir");
    const Text path = folder / "Dir\\File.txt";
    write(path, "x");
    write(folder / "Dir\\Other.txt", "x");

    FileIdentity first, second, other;
    FileHandle a = openSource(path, nullptr);
    FileHandle b = openSource(folder / "DIR\\.\\..\\dir\\file.TXT", nullptr);
    FileHandle c = openSource(folder / "Dir\\Other.txt", nullptr);
    ASSERT_TRUE(a && b && c);
    ASSERT_TRUE(a->identity(first));
    ASSERT_TRUE(b->identity(second));
    ASSERT_TRUE(c->identity(other));

    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

TEST_F(Win32FilesTest, Move_ReplacesOnlyWhenAsked)
{
    const Text from = folder / "from.txt";
    const Text to = folder / "to.txt";
    write(from, "new");
    write(to, "old");

    FileError error = FileError::None;
    EXPECT_FALSE(files.move(from, to, false, &error));
    EXPECT_EQ(error, FileError::AlreadyExists);
    EXPECT_EQ(read(to), "old");

    EXPECT_TRUE(files.move(from, to, true, &error));
    EXPECT_EQ(error, FileError::None);
    EXPECT_EQ(read(to), "new");
    EXPECT_FALSE(files.exists(from));
}

TEST_F(Win32FilesTest, Remove_DeletesAndReportsWhatStopsIt)
{
    const Text path = folder / "gone.txt";
    write(path, "x");
    {
        FileHandle holder = files.open(path, FileAccess::Read, FileShare::Read | FileShare::Write,
                                       FileDisposition::OpenExisting, 0);
        FileError error = FileError::None;
        EXPECT_FALSE(files.remove(path, &error));
        EXPECT_EQ(error, FileError::SharingViolation);
    }
    EXPECT_TRUE(files.remove(path));
    EXPECT_FALSE(files.exists(path));

    FileError error = FileError::None;
    EXPECT_FALSE(files.remove(path, &error));
    EXPECT_EQ(error, FileError::NotFound);
}

TEST_F(Win32FilesTest, SizeAndPosition_Are64Bit)
{
    const Text path = folder / "big.bin";
    const std::int64_t length = (std::int64_t{5} << 30) + 3;  // 5 GiB and 3 bytes
    ASSERT_TRUE(testing::SetFileLength(path, length));

    FileHandle file = openSource(path, nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size(), length);
    EXPECT_EQ(file->position(), 0);
    ASSERT_TRUE(file->seekToEnd());
    EXPECT_EQ(file->position(), length);

    char byte = 0;
    const IoResult atEnd = file->read(&byte, 1);
    EXPECT_TRUE(atEnd.ok());
    EXPECT_EQ(atEnd.bytes, 0u);
}

TEST_F(Win32FilesTest, ReadAndWrite_MoveThePositionByTheBytesTransferred)
{
    const Text path = folder / "rw.bin";
    FileHandle target = openTarget(path, nullptr);
    ASSERT_NE(target, nullptr);
    const std::string chunk(1000, 'a');
    EXPECT_EQ(target->write(chunk.data(), chunk.size()).bytes, 1000u);
    EXPECT_EQ(target->write(chunk.data(), 500).bytes, 500u);
    EXPECT_EQ(target->position(), 1500);

    FileHandle source = openSource(path, nullptr);
    char buffer[1000];
    EXPECT_EQ(source->read(buffer, 1000).bytes, 1000u);
    EXPECT_EQ(source->read(buffer, 1000).bytes, 500u);
    EXPECT_EQ(source->read(buffer, 1000).bytes, 0u);
    EXPECT_EQ(source->position(), 1500);
}

TEST_F(Win32FilesTest, Exists_FindsFilesAndFoldersButNoPatterns)
{
    write(folder / "a.txt", "x");
    EXPECT_TRUE(files.exists(folder / "a.txt"));
    EXPECT_TRUE(files.exists(folder.text()));
    EXPECT_FALSE(files.exists(folder / "b.txt"));
    EXPECT_FALSE(files.exists(folder / "*.txt"));
    EXPECT_FALSE(files.exists(folder / "?.txt"));

    unsigned attributes = 0;
    FileError error = FileError::None;
    EXPECT_FALSE(files.attributes(folder / "b.txt", attributes, &error));
    EXPECT_EQ(error, FileError::NotFound);
    ASSERT_TRUE(files.attributes(folder.text(), attributes));
    EXPECT_NE(attributes & FileAttribute::Directory, 0u);
}

TEST_F(Win32FilesTest, Paths_RelativeAndRootedResolveAgainstTheCurrentDirectory)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    write(folder / "here.txt", "relative");
    ASSERT_TRUE(files.setCurrentDirectory(folder.text()));

    const std::string relative = read("here.txt");
    // A path rooted at "\" is on the current drive: drop the "C:" of the folder.
    const Text rooted = (folder / "here.txt").substr(2);
    const std::string onDrive = read(rooted);
    EXPECT_FALSE(files.setCurrentDirectory(folder / "missing"));
    std::filesystem::current_path(previous);

    EXPECT_EQ(relative, "relative");
    EXPECT_EQ(rooted[0], '\\');
    EXPECT_EQ(onDrive, "relative");
}

TEST_F(Win32FilesTest, Paths_AreAnsiBytesOfTheCodePage)
{
    // A name outside ASCII, written as the code page's bytes, names the file
    // the system shows with the same characters.
    Win32CodePage codePage;
    const std::u8string utf8Name = codePage.id() == 936 ? u8"测试文件.txt" : u8"Café.txt";
    const Text ansiName = codePage.fromUtf8(std::string(utf8Name.begin(), utf8Name.end()));
    ASSERT_EQ(ansiName.find('?'), Text::npos);
    write(folder / ansiName, "x");

    EXPECT_TRUE(files.exists(folder / ansiName));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / std::filesystem::path(utf8Name)));
}

}  // namespace
}  // namespace brenvik::win32
