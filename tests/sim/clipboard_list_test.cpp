// The clipboard's file list over the simulated clipboard: the calls and their
// order, what each clipboard state yields, and the cut at eight 0xAB bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/clipboard_list.h"
#include "platform/sim/clipboard.h"

namespace brenvik {
namespace {

using sim::SimClipboard;

const std::string kRun8(8, '\xAB');
const std::string kRun7(7, '\xAB');

const std::string kAvailable = "IsClipboardFormatAvailable(15)";
const std::string kOpen = "OpenClipboard";
const std::string kData = "GetClipboardData(15)";
const std::string kCount = "DragQueryFileA(count)";
const std::string kClose = "CloseClipboard";

TEST(ClipboardList, ReadsEveryPathInOrderWithTheCallsInTheirOrderAndClosesOnce)
{
    SimClipboard clipboard;
    // A folder is an entry like a file; every path passes the cut.
    const std::vector<Text> paths = {"C:\\data\\b.txt", "C:\\photos", "C:\\a" + kRun8 + "b.txt"};
    ASSERT_TRUE(clipboard.holdFiles(paths));

    const std::vector<Text> list = ReadClipboardFiles(clipboard);

    EXPECT_EQ(list, (std::vector<Text>{"C:\\data\\b.txt", "C:\\photos", "C:\\a"}));
    EXPECT_EQ(clipboard.log(),
              (std::vector<std::string>{kAvailable, kOpen, kData, kCount, "DragQueryFileA(0)",
                                        "DragQueryFileA(1)", "DragQueryFileA(2)", kClose}));
    EXPECT_EQ(clipboard.opens(), 1);
    EXPECT_EQ(clipboard.closes(), 1);
    EXPECT_FALSE(clipboard.isOpen());
    EXPECT_TRUE(clipboard.faults().empty());
}

TEST(ClipboardList, WithoutAFileListOrWhenBusyTheListIsEmptyAndOnlyAnOpenedClipboardIsClosed)
{
    struct Case {
        const char* name;
        void (*prepare)(SimClipboard&);
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"only text", [](SimClipboard& c) { c.holdText(); }, {kAvailable}},
        {"nothing", [](SimClipboard& c) { c.empty(); }, {kAvailable}},
        {"busy",
         [](SimClipboard& c) {
             c.holdFiles({"C:\\a.txt"});
             c.setBusy(true);
         },
         {kAvailable, kOpen}},
        {"an empty file list",
         [](SimClipboard& c) { c.holdFiles({}); },
         {kAvailable, kOpen, kData, kCount, kClose}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimClipboard clipboard;
        c.prepare(clipboard);

        EXPECT_TRUE(ReadClipboardFiles(clipboard).empty());
        EXPECT_EQ(clipboard.log(), c.log);
        EXPECT_FALSE(clipboard.isOpen());
        EXPECT_TRUE(clipboard.faults().empty());
    }
}

TEST(ClipboardList, APathLongerThanTheBufferArrivesCutTo259Bytes)
{
    SimClipboard clipboard;
    const Text longPath = "C:\\" + std::string(300, 'x');
    ASSERT_TRUE(clipboard.holdFiles({longPath, "C:\\short.txt"}));

    const std::vector<Text> list = ReadClipboardFiles(clipboard);

    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], longPath.substr(0, 259));
    // The buffer is reused: a shorter path after a longer one keeps nothing of it.
    EXPECT_EQ(list[1], "C:\\short.txt");
}

TEST(ClipboardList, EachCallReadsTheClipboardAfresh)
{
    SimClipboard clipboard;
    ASSERT_TRUE(clipboard.holdFiles({"C:\\a.txt", "C:\\b.txt"}));
    const std::vector<Text> first = ReadClipboardFiles(clipboard);
    EXPECT_EQ(ReadClipboardFiles(clipboard), first);

    ASSERT_TRUE(clipboard.holdFiles({"D:\\new.txt"}));
    EXPECT_EQ(ReadClipboardFiles(clipboard), std::vector<Text>{"D:\\new.txt"});
    EXPECT_EQ(clipboard.opens(), 3);
    EXPECT_EQ(clipboard.closes(), 3);
}

// A clipboard whose shell writes nothing for one index, as a damaged list might.
class SilentIndexClipboard final : public Clipboard {
public:
    SimClipboard inner;
    std::uint32_t silentIndex = 1;

    bool isFormatAvailable(unsigned format) override { return inner.isFormatAvailable(format); }
    bool open() override { return inner.open(); }
    ClipboardData data(unsigned format) override { return inner.data(format); }
    std::uint32_t fileCount(ClipboardData data) override { return inner.fileCount(data); }
    std::uint32_t queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                            std::uint32_t size) override
    {
        return index == silentIndex ? 0 : inner.queryFile(data, index, buffer, size);
    }
    void close() override { inner.close(); }
};

TEST(ClipboardList, AnIndexTheShellWritesNothingForGivesAnEmptyEntryNotTheLastPathAgain)
{
    SilentIndexClipboard clipboard;
    ASSERT_TRUE(clipboard.inner.holdFiles({"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}));

    EXPECT_EQ(ReadClipboardFiles(clipboard), (std::vector<Text>{"C:\\a.txt", "", "C:\\c.txt"}));
    EXPECT_EQ(clipboard.inner.closes(), 1);
}

TEST(ClipboardList, CleanCutsBeforeTheFirstRunOfEight0xABBytes)
{
    struct Case {
        std::string path, expected;
    };
    const std::vector<Case> cases = {
        {"C:\\a" + kRun8 + "b.txt", "C:\\a"},
        {"C:\\a" + kRun7 + "b.txt", "C:\\a" + kRun7 + "b.txt"},
        {kRun8 + "x.txt", ""},
        {"C:\\a" + kRun8 + "\xAB" + "b", "C:\\a"},                   // of a longer run, the first eight match
        {"C:\\" + kRun7 + "x" + kRun8 + "y", "C:\\" + kRun7 + "x"},  // a broken run is no run
        {"C:\\\xD6" + kRun8, "C:\\\xD6"},  // byte by byte, even inside a double-byte character
        {"", ""},
        {std::string("C:\\a\0", 5) + kRun8, "C:\\a"},  // only the bytes before a zero count
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanClipboardPath(c.path), c.expected) << c.path;
}

}  // namespace
}  // namespace brenvik
