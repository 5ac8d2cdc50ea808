// The copy engine's cases that hold on every desktop: lengths and percentages,
// paths, cancellation, the pause, refused targets and sources, sources that
// change while they are copied, nested copies and files of 2 GiB and more.
// Each desktop's test builds an EngineRig for a fresh folder and runs them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine_rig.h"

namespace brenvik::enginetest {

// Replaces "{R}" with the rig's root and "{F}" with the root spelt with forward slashes.
inline Text Expand(const EngineRig& rig, std::string pattern)
{
    Text forward = rig.root;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    for (auto [key, value] : {std::pair<std::string, const Text*>{"{R}", &rig.root},
                              std::pair<std::string, const Text*>{"{F}", &forward}}) {
        for (std::size_t at = pattern.find(key); at != std::string::npos; at = pattern.find(key, at))
            pattern.replace(at, key.size(), *value), at += value->size();
    }
    return pattern;
}

inline std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// The percentages after each chunk: the progress bar's floor of done / total.
inline std::vector<int> Percents(std::int64_t length, std::int64_t chunk)
{
    std::vector<int> result;
    for (std::int64_t done = chunk; done - chunk < length; done += chunk)
        result.push_back(static_cast<int>(std::min(done, length) * 100 / length));
    return result;
}

// Records ProgressPercent in every pending-message pass.
inline std::vector<int>& RecordPercents(EngineRig& rig, std::vector<int>& seen)
{
    rig.ui.onPass = [&rig, &seen](int) { seen.push_back(rig.state.ProgressPercent); };
    return seen;
}

// ---------------------------------------------------------------------------
// Lengths: what is read, written and shown for sources of several lengths.

struct LengthCase {
    const char* name;
    std::int64_t length;
    std::int32_t chunk;              // as passed; 0 means 1000
    std::vector<int> percents;       // ProgressPercent in each pending pass
    std::vector<std::size_t> reads;  // bytes of every read of the source
};

inline std::vector<LengthCase> LengthCases()
{
    std::vector<std::size_t> hundredReads(100, 1000);
    return {
        {"empty", 0, 1000, {}, {}},
        {"500", 500, 1000, {100}, {500}},
        {"2000", 2000, 1000, {50, 100}, {1000, 1000}},
        {"2500", 2500, 1000, {40, 80, 100}, {1000, 1000, 500}},
        {"3000", 3000, 1000, {33, 66, 100}, {1000, 1000, 1000}},
        {"100000", 100000, 1000, Percents(100000, 1000), hundredReads},
        {"chunk 0 is 1000", 2500, 0, {40, 80, 100}, {1000, 1000, 500}},
        {"chunk 7", 20, 7, {35, 70, 100}, {7, 7, 6}},
    };
}

inline void CheckLength(EngineRig& rig, const LengthCase& c)
{
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    const std::string data = Pattern(static_cast<std::size_t>(c.length));
    Text source = rig.root + "in\\data.bin";
    Text folder = rig.root + "out";
    ASSERT_TRUE(rig.put(source, data));
    rig.state.ProgressPercent = 77;
    std::vector<int> seen;
    RecordPercents(rig, seen);

    EXPECT_TRUE(rig.copy(folder, source, c.chunk));

    EXPECT_EQ(rig.get(folder + "data.bin"), data);
    EXPECT_EQ(seen, c.percents);
    EXPECT_EQ(rig.files.log.reads, c.reads);
    EXPECT_EQ(rig.files.log.writes, c.reads) << "one write per read, never an empty one";
    EXPECT_EQ(rig.state.CopyCounters.total, c.length);
    EXPECT_EQ(rig.state.CopyCounters.done, c.length);
    EXPECT_EQ(rig.state.ProgressPercent, c.length == 0 ? 77 : 100);
    EXPECT_EQ(rig.state.CancelState, 0);
    EXPECT_EQ(rig.list(folder), std::vector<std::string>{"data.bin"});
}

// ---------------------------------------------------------------------------
// Paths: normalisation written back, the file name, the trailing backslash.

struct PathCase {
    const char* name;
    std::string folder, source;                    // as passed
    std::string folderAfter, sourceAfter, target;  // expected
    bool doubleByteOnly = false;                   // needs a double-byte code page
};

inline std::vector<PathCase> PathCases()
{
    // 0xD5 0x5C is one double-byte character of code page 936 whose second byte
    // is a backslash; "\325" is 0xD5 written so that no letter after it joins it.
    return {
        {"forward slashes become backslashes", "{F}backup", "{F}data/a.txt", "{R}backup\\", "{R}data\\a.txt",
         "{R}backup\\a.txt"},
        {"a trailing backslash is kept, not doubled", "{R}backup\\", "{R}data\\a.txt", "{R}backup\\",
         "{R}data\\a.txt", "{R}backup\\a.txt"},
        {"a trailing forward slash becomes the backslash", "{R}backup/", "{R}data\\a.txt", "{R}backup\\",
         "{R}data\\a.txt", "{R}backup\\a.txt"},
        {"a last character ending in 0x5C counts as the backslash", "{R}dir\325\\", "{R}data\\a.txt",
         "{R}dir\325\\", "{R}data\\a.txt", "{R}dir\325\\a.txt", true},
        {"the file name starts after the last real backslash", "{R}backup", "{R}data\\\325\\b.txt",
         "{R}backup\\", "{R}data\\\325\\b.txt", "{R}backup\\\325\\b.txt", true},
    };
}

inline void CheckPath(EngineRig& rig, const PathCase& c)
{
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.makeFolder(rig.root + "data") && rig.makeFolder(rig.root + "backup"));
    const std::string data = Pattern(1500, 3);
    Text folder = Expand(rig, c.folder);
    Text source = Expand(rig, c.source);
    ASSERT_TRUE(rig.put(Expand(rig, c.sourceAfter), data));

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(folder, Expand(rig, c.folderAfter));
    EXPECT_EQ(source, Expand(rig, c.sourceAfter));
    EXPECT_EQ(rig.get(Expand(rig, c.target)), data);
}

// A batch passes the same folder variable for every file: the first call
// normalises it and the later ones leave it as it is.
inline void CheckBatchFolder(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "data") && rig.makeFolder(rig.root + "backup"));
    Text folder = Expand(rig, "{F}backup");
    std::vector<Text> sources{rig.root + "data\\1.txt", rig.root + "data\\2.txt"};
    for (std::size_t i = 0; i < sources.size(); ++i) {
        ASSERT_TRUE(rig.put(sources[i], Pattern(10 + i)));
        EXPECT_TRUE(rig.copy(folder, sources[i]));
        EXPECT_EQ(folder, rig.root + "backup\\");
    }
    EXPECT_EQ(Sorted(rig.list(rig.root + "backup")), (std::vector<std::string>{"1.txt", "2.txt"}));
}

// An empty folder becomes "\": the root of the current drive.
inline void CheckEmptyFolder(EngineRig& rig, const Text& currentDirectory, const Text& driveRoot)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "data") && rig.makeFolder(currentDirectory));
    ASSERT_TRUE(rig.real().setCurrentDirectory(currentDirectory));
    const Text name = "brenvik-engine-empty-folder.txt";
    Text source = rig.root + "data\\" + name;
    ASSERT_TRUE(rig.put(source, "root"));
    Text folder;

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(folder, "\\");
    EXPECT_EQ(rig.get(driveRoot + name), "root");
    rig.real().remove(driveRoot + name);
}

// A source path without a backslash is used whole as the file name.
inline void CheckSourceWithoutBackslash(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "data") && rig.makeFolder(rig.root + "backup"));
    ASSERT_TRUE(rig.put(rig.root + "data\\a.txt", "relative"));
    ASSERT_TRUE(rig.real().setCurrentDirectory(rig.root + "data"));
    Text source = "a.txt";
    Text folder = rig.root + "backup";

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(source, "a.txt");
    EXPECT_EQ(rig.get(rig.root + "backup\\a.txt"), "relative");
}

// A destination folder that does not exist: false, nothing created, and the
// shared state that the loop would set is left as it was.
inline void CheckMissingFolder(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "data"));
    const std::string data = Pattern(3000);
    Text source = rig.root + "data\\a.txt";
    ASSERT_TRUE(rig.put(source, data));
    Text folder = rig.root + "missing\\deeper";
    rig.state.ProgressPercent = 42;
    rig.state.CancelState = 3;

    EXPECT_FALSE(rig.copy(folder, source));

    EXPECT_FALSE(rig.present(rig.root + "missing"));
    EXPECT_EQ(rig.get(source), data);
    EXPECT_EQ(rig.state.ProgressPercent, 42);
    EXPECT_EQ(rig.state.CancelState, 3);
    EXPECT_TRUE(rig.files.log.writes.empty());
}

// ---------------------------------------------------------------------------
// Cancellation: a request made in the pass after chunk k is acted on after
// chunk k + 1; the state is cleared when the loop starts.

struct CancelCase {
    const char* name;
    std::int64_t length;
    std::int32_t presetCancel;  // CancelState before the call
    int cancelFromPass;         // 0: never; else the pass in which 3 is set
    bool renewEveryPass;        // the cancel timer: 3 again in every later pass
    bool completes;
    std::size_t chunksWritten;
    std::int32_t cancelAfter;  // CancelState when the call has returned
};

inline std::vector<CancelCase> CancelCases()
{
    return {
        {"cancel in pass 1 stops after chunk 2", 5000, 0, 1, false, false, 2, 0},
        {"cancel in pass 3 stops after chunk 4", 5000, 0, 3, false, false, 4, 0},
        {"cancel in pass 4 stops after the last chunk", 5000, 0, 4, false, false, 5, 0},
        {"cancel after the last chunk completes", 5000, 0, 5, false, true, 5, 3},
        {"a request made before the file is cleared", 3000, 3, 0, false, true, 3, 0},
        {"cancel timer: a file of one chunk completes", 800, 3, 1, true, true, 1, 3},
        {"cancel timer: a longer file stops after chunk 2", 3000, 3, 1, true, false, 2, 0},
        {"cancel timer: an empty file completes", 0, 3, 1, true, true, 0, 0},
    };
}

inline void CheckCancel(EngineRig& rig, const CancelCase& c)
{
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    const std::string data = Pattern(static_cast<std::size_t>(c.length));
    Text source = rig.root + "in\\f.bin";
    Text folder = rig.root + "out\\";
    ASSERT_TRUE(rig.put(source, data));
    ASSERT_TRUE(rig.put(folder + "f.bin", "the file that was there"));
    rig.state.CancelState = c.presetCancel;
    rig.ui.onPass = [&rig, &c](int pass) {
        if (c.cancelFromPass != 0 &&
            (pass == c.cancelFromPass || (c.renewEveryPass && pass > c.cancelFromPass)))
            rig.state.CancelState = 3;
    };

    EXPECT_EQ(rig.copy(folder, source), c.completes);

    EXPECT_EQ(rig.files.log.writes.size(), c.chunksWritten);
    EXPECT_EQ(rig.state.CancelState, c.cancelAfter);
    EXPECT_EQ(rig.get(folder + "f.bin"), c.completes ? data : "the file that was there");
    EXPECT_EQ(rig.list(folder), std::vector<std::string>{"f.bin"}) << "no temporary file is left";
    if (!c.completes) {
        EXPECT_EQ(rig.state.ProgressPercent, 0);
    }
    EXPECT_EQ(rig.get(source), data);
}

// ---------------------------------------------------------------------------
// The pause after every chunk.

struct PauseCase {
    std::int32_t speed;
    int pauseMs;  // 0: none
};

inline std::vector<PauseCase> PauseCases()
{
    return {{100, 0}, {0, 0}, {-5, 0}, {150, 0}, {60, 40}, {1, 99}, {99, 1}};
}

inline void CheckPause(EngineRig& rig, const PauseCase& c)
{
    SCOPED_TRACE("Speed " + std::to_string(c.speed));
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    Text source = rig.root + "in\\p.bin";
    Text folder = rig.root + "out";
    ASSERT_TRUE(rig.put(source, Pattern(3000)));

    EXPECT_TRUE(rig.copy(folder, source, 1000, c.speed));

    const std::vector<int> expected = c.pauseMs == 0 ? std::vector<int>{} : std::vector<int>(3, c.pauseMs);
    EXPECT_EQ(rig.pause.sleeps, expected);
}

// ---------------------------------------------------------------------------
// Targets and sources the engine refuses, before anything is written.

// Copying a file onto itself, under any spelling, touches nothing.
inline void CheckTargetIsSource(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "data") && rig.makeFolder(rig.root + "other"));
    const std::string data = Pattern(2500, 5);
    ASSERT_TRUE(rig.put(rig.root + "data\\a.txt", data));
    std::vector<std::pair<std::string, Text>> folders{
        {"the same folder", rig.root + "data"},
        {"another spelling", rig.root + "other\\..\\DATA\\"},
    };
    if (rig.hardLink) {
        ASSERT_TRUE(rig.hardLink(rig.root + "data\\a.txt", rig.root + "other\\a.txt"));
        folders.push_back({"a hard link of the source", rig.root + "other"});
    }
    rig.state.ProgressPercent = 42;
    for (auto& [name, folder] : folders) {
        SCOPED_TRACE(name);
        Text source = rig.root + "data\\a.txt";
        const auto before = Sorted(rig.list(rig.root + "other"));

        EXPECT_FALSE(rig.copy(folder, source));

        EXPECT_EQ(rig.get(rig.root + "data\\a.txt"), data);
        EXPECT_EQ(rig.list(rig.root + "data"), std::vector<std::string>{"a.txt"});
        EXPECT_EQ(Sorted(rig.list(rig.root + "other")), before);
        EXPECT_TRUE(rig.files.log.writes.empty());
        EXPECT_EQ(rig.state.ProgressPercent, 42);
    }
}

// A source that cannot be opened leaves a file of its name in the folder as it was.
inline void CheckSourceRefused(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "in\\folder.bin") && rig.makeFolder(rig.root + "out"));
    ASSERT_TRUE(rig.put(rig.root + "in\\held.bin", "held"));
    FileHandle holder = rig.real().open(rig.root + "in\\held.bin", FileAccess::Read, FileShare::None,
                                        FileDisposition::OpenExisting, FileAttribute::Normal);
    ASSERT_TRUE(holder);
    for (const char* name : {"missing.bin", "folder.bin", "held.bin"}) {
        SCOPED_TRACE(name);
        const Text existing = rig.root + "out\\" + name;
        ASSERT_TRUE(rig.put(existing, "keep me"));
        Text source = rig.root + "in\\" + name;
        Text folder = rig.root + "out";
        rig.state.ProgressPercent = 42;

        EXPECT_FALSE(rig.copy(folder, source));

        EXPECT_EQ(rig.get(existing), "keep me");
        EXPECT_EQ(rig.state.ProgressPercent, 42);
        rig.real().remove(existing);
        EXPECT_TRUE(rig.list(rig.root + "out").empty());
    }
    EXPECT_TRUE(rig.files.log.writes.empty());
}

// Targets that cannot take the copy: false before any data is written, and the
// file that is there keeps its bytes and attributes.
inline void CheckTargetRefused(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    const std::string data = Pattern(2500, 7);
    const Text existing = rig.root + "out\\a.txt";
    for (unsigned attribute : {FileAttribute::ReadOnly, FileAttribute::Hidden, FileAttribute::System}) {
        SCOPED_TRACE("attribute " + std::to_string(attribute));
        ASSERT_TRUE(rig.put(rig.root + "in\\a.txt", data));
        ASSERT_TRUE(rig.put(existing, "keep me"));
        ASSERT_TRUE(rig.real().setAttributes(existing, attribute));
        Text source = rig.root + "in\\a.txt";
        Text folder = rig.root + "out";

        EXPECT_FALSE(rig.copy(folder, source));

        unsigned after = 0;
        EXPECT_TRUE(rig.real().attributes(existing, after));
        EXPECT_NE(after & attribute, 0u);
        ASSERT_TRUE(rig.real().setAttributes(existing, FileAttribute::Normal));
        EXPECT_EQ(rig.get(existing), "keep me");
        EXPECT_EQ(rig.list(rig.root + "out"), std::vector<std::string>{"a.txt"});
    }
    {
        SCOPED_TRACE("held without sharing");
        FileHandle holder = rig.real().open(existing, FileAccess::Read, FileShare::None,
                                            FileDisposition::OpenExisting, FileAttribute::Normal);
        ASSERT_TRUE(holder);
        Text source = rig.root + "in\\a.txt";
        Text folder = rig.root + "out";
        EXPECT_FALSE(rig.copy(folder, source));
        holder.reset();
        EXPECT_EQ(rig.get(existing), "keep me");
        EXPECT_EQ(rig.list(rig.root + "out"), std::vector<std::string>{"a.txt"});
    }
    {
        SCOPED_TRACE("a folder of the target's name");
        ASSERT_TRUE(rig.makeFolder(rig.root + "out\\dir.txt"));
        ASSERT_TRUE(rig.put(rig.root + "in\\dir.txt", data));
        Text source = rig.root + "in\\dir.txt";
        Text folder = rig.root + "out";
        EXPECT_FALSE(rig.copy(folder, source));
        EXPECT_EQ(Sorted(rig.list(rig.root + "out")), (std::vector<std::string>{"a.txt", "dir.txt"}));
    }
    for (const Text& folderName : {rig.root + "bad|name", rig.root + std::string(300, 'x')}) {
        SCOPED_TRACE("an invalid folder name");
        Text source = rig.root + "in\\a.txt";
        Text folder = folderName;
        EXPECT_FALSE(rig.copy(folder, source));
    }
    EXPECT_TRUE(rig.files.log.writes.empty());
    EXPECT_EQ(rig.get(rig.root + "in\\a.txt"), data);
}

// ---------------------------------------------------------------------------
// Sources that change while they are copied.

// A source that was empty when measured and has data once the loop runs: the
// copy holds what was measured, and the percentage is left as it was.
inline void CheckEmptyThenGrown(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    Text source = rig.root + "in\\g.bin";
    Text folder = rig.root + "out";
    ASSERT_TRUE(rig.put(source, ""));
    rig.files.log.afterFirstSize = [&rig, source] { ASSERT_TRUE(rig.append(source, "late")); };
    rig.state.ProgressPercent = 42;

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(rig.get(rig.root + "out\\g.bin"), "");
    EXPECT_EQ(rig.state.ProgressPercent, 42);
    EXPECT_EQ(rig.state.CopyCounters.total, 0);
    EXPECT_EQ(rig.state.CopyCounters.done, 0);
    EXPECT_LE(rig.ui.passes, 1);
}

struct ChangeCase {
    const char* name;
    std::size_t length;
    int atPass;              // the pass in which the source changes
    std::int64_t newLength;  // the source is cut to this length, or grown to it
    std::vector<int> percents;
};

inline std::vector<ChangeCase> ChangeCases()
{
    return {
        {"grows, measured length a multiple of the chunk", 2000, 1, 3500, {50, 100, 100}},
        {"grows, measured length not a multiple", 2500, 2, 6000, {40, 80, 100}},
        {"shrinks into a chunk", 5000, 2, 2500, {20, 40, 60}},
        {"shrinks to where the copy stands", 5000, 2, 2000, {20, 40}},
    };
}

// The copy holds the source up to its measured length, or up to its end when
// it was cut shorter meanwhile, and the loop ends either way.
inline void CheckChange(EngineRig& rig, const ChangeCase& c)
{
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    const std::string data = Pattern(
        static_cast<std::size_t>(std::max<std::int64_t>(static_cast<std::int64_t>(c.length), c.newLength)));
    Text source = rig.root + "in\\c.bin";
    Text folder = rig.root + "out";
    ASSERT_TRUE(rig.put(source, data.substr(0, c.length)));
    const auto newLength = static_cast<std::size_t>(c.newLength);
    std::vector<int> seen;
    rig.ui.onPass = [&](int pass) {
        seen.push_back(rig.state.ProgressPercent);
        if (pass != c.atPass)
            return;
        if (newLength > c.length)
            ASSERT_TRUE(rig.append(source, data.substr(c.length, newLength - c.length)));
        else
            ASSERT_TRUE(rig.rewrite(source, data.substr(0, newLength)));
    };

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(rig.get(rig.root + "out\\c.bin"), data.substr(0, std::min(c.length, newLength)));
    EXPECT_EQ(seen, c.percents);
}

// ---------------------------------------------------------------------------
// A copy started from inside another copy's pending-message pass.

inline void CheckNested(EngineRig& rig, bool sameTarget)
{
    SCOPED_TRACE(sameTarget ? "onto the same target" : "into another folder");
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "in2") &&
                rig.makeFolder(rig.root + "out") && rig.makeFolder(rig.root + "out2"));
    const std::string outerData = Pattern(5000, 11);
    const std::string innerData = Pattern(3000, 12);
    ASSERT_TRUE(rig.put(rig.root + "in\\n.bin", outerData));
    ASSERT_TRUE(rig.put(rig.root + "in2\\n.bin", innerData));
    std::vector<int> seen;
    std::optional<bool> innerResult;
    CopyCountersList afterInner;
    rig.ui.onPass = [&](int pass) {
        seen.push_back(rig.state.ProgressPercent);
        if (pass != 2)
            return;
        Text folder = rig.root + (sameTarget ? "out" : "out2");
        Text source = rig.root + "in2\\n.bin";
        innerResult = rig.copy(folder, source);
        afterInner = rig.state.CopyCounters;
    };
    Text folder = rig.root + "out";
    Text source = rig.root + "in\\n.bin";

    EXPECT_TRUE(rig.copy(folder, source));

    EXPECT_EQ(innerResult, true);
    EXPECT_EQ(afterInner.total, 3000);
    EXPECT_EQ(afterInner.done, 3000);
    EXPECT_EQ(seen, (std::vector<int>{20, 40, 33, 66, 100, 60, 80, 100}));
    EXPECT_EQ(rig.state.CopyCounters.total, 5000);
    EXPECT_EQ(rig.state.CopyCounters.done, 5000);
    EXPECT_EQ(rig.get(rig.root + "out\\n.bin"), outerData);
    if (!sameTarget) {
        EXPECT_EQ(rig.get(rig.root + "out2\\n.bin"), innerData);
    }
    EXPECT_EQ(rig.list(rig.root + "out"), std::vector<std::string>{"n.bin"});
}

// ---------------------------------------------------------------------------
// A source of 2 GiB and more, from a sparse file so that it costs little disk.

inline void CheckLargeFile(EngineRig& rig)
{
    ASSERT_TRUE(rig.makeFolder(rig.root + "in") && rig.makeFolder(rig.root + "out"));
    const std::int64_t length = (std::int64_t{1} << 31) + 4096 + 7;
    const std::int32_t chunk = 64 << 20;
    Text source = rig.root + "in\\big.bin";
    Text folder = rig.root + "out";
    ASSERT_TRUE(rig.sparseFile(
        source, length, {{0, "start"}, {(std::int64_t{1} << 31) - 3, "across 2 GiB"}, {length - 3, "end"}}));
    std::vector<int> seen;
    RecordPercents(rig, seen);

    EXPECT_TRUE(rig.copy(folder, source, chunk));

    EXPECT_EQ(rig.state.CopyCounters.total, length);
    EXPECT_EQ(rig.state.CopyCounters.done, length);
    EXPECT_EQ(seen, Percents(length, chunk));
    EXPECT_TRUE(rig.sameContent(source, rig.root + "out\\big.bin"));
    rig.real().remove(rig.root + "out\\big.bin");
    rig.real().remove(source);
}

// ---------------------------------------------------------------------------
// ReplaceAll.

struct ReplaceCase {
    const char* text;
    const char* search;
    const char* replacement;
    const char* expected;
    bool doubleByteOnly = false;
};

inline std::vector<ReplaceCase> ReplaceCases()
{
    // "\325" is the lead byte 0xD5 of a double-byte character of code page 936.
    return {
        {"aXb", "x", "xx", "axxb"},
        {"xXx", "x", "xx", "xxxxxx"},
        {"C:/a/b/", "/", "\\", "C:\\a\\b\\"},
        {"aXbx", "X", "", "ab"},
        {"", "/", "\\", ""},
        {"abc", "", "z", "abc"},
        {"ABAB", "ab", "-", "--"},
        {"\325/x/", "/", "\\", "\325/x\\", true},
        {"\325\\\\", "\\", "/", "\325\\/", true},
        {"\325aA", "A", "b", "\325ab", true},
        {"x\325A\325a", "\325a", "!", "x\325A!", true},
    };
}

inline void CheckReplace(const CodePage& codePage, const ReplaceCase& c)
{
    const Text text = c.text, search = c.search, replacement = c.replacement;
    EXPECT_EQ(ReplaceAll(codePage, text, search, replacement), c.expected)
        << "text " << ::testing::PrintToString(c.text);
    EXPECT_EQ(text, c.text);
}

}  // namespace brenvik::enginetest
