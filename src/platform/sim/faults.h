// Fault injection for the simulated desktop's files: a pass-through wrapper
// that fails chosen calls, cuts writes short, resizes a file between reads,
// holds a file without sharing, or ends the run with a crash at a write.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/files.h"
#include "platform/text.h"

namespace brenvik::sim {

class SimFiles;

// The kinds of call that rules count and fail.
enum class FileOp { Open, Read, Write, Move, Remove, SetAttributes };
inline constexpr int kFileOpCount = 6;

// Every call goes to the inner files unless a rule fires. A rule counts the
// calls of its kind made after it was set, only those whose path contains its
// `pathContains` text (letters A to Z compared without case; empty matches
// every path; a move matches on either path; a read or write matches on the
// path its file was opened with). Calls are numbered from 1. Resizes before a
// read all take place; of the other rules that fire on one call, the one set
// first decides what happens. Every matching rule counts the call all the same.
class FaultyFiles final : public Files {
public:
    explicit FaultyFiles(SimFiles& inner);
    ~FaultyFiles() override;
    FaultyFiles(const FaultyFiles&) = delete;
    FaultyFiles& operator=(const FaultyFiles&) = delete;

    // The n-th call of `op` fails with `error` and does nothing else; with
    // `fromThenOn` every later matching call fails as well.
    void failNth(FileOp op, int n, FileError error, bool fromThenOn = false, Text pathContains = {});

    // The n-th write writes only its first `bytesWritten` bytes and reports
    // DiskFull, as a disk that filled up during that write.
    void shortWriteNth(int n, std::size_t bytesWritten, Text pathContains = {});

    // From now on writes may add `bytes` bytes in all; a write that does not
    // fit writes what fits and reports DiskFull, as a full disk. Space freed by
    // truncating or deleting files is not given back. A negative value removes
    // the budget.
    void setDiskBudget(std::int64_t bytes);

    // Before the n-th read, another process appends `bytes` bytes ('+') to the
    // file being read, through the host file.
    void growBeforeRead(int n, std::size_t bytes, Text pathContains = {});

    // Before the n-th read, another process truncates the file being read to
    // `length` bytes (or extends it with zeros), through the host file.
    void shrinkBeforeRead(int n, std::int64_t length, Text pathContains = {});

    // The n-th write writes its first `prefixBytes` bytes (clamped to its
    // size), then throws InjectedCrash: the run ends there and the disk stays
    // as it is.
    void crashAtWrite(int n, std::size_t prefixBytes = 0, Text pathContains = {});

    // Another process opens the existing file without sharing and keeps it
    // open until released: every open with data access, every delete and every
    // move of it then fails with SharingViolation. False when it cannot be
    // opened so. Holding is not a call of the program and is not counted.
    bool holdWithoutSharing(const Text& path);
    void release(const Text& path);
    void releaseAll();

    // Called after each write that wrote everything it was asked to, with the
    // path its file was opened with and the number of that write on its file
    // (1 for the first write call on that handle, counting failed ones).
    void setWriteObserver(std::function<void(const Text& path, int writeNumberOnThisHandle)> observer);

    // Removes every rule and the disk budget; holds and counters stay.
    void clearRules();

    // Calls of a kind made through this wrapper, faulted or not.
    int calls(FileOp op) const;

    // Faults injected so far: failed calls, short writes, cut writes of the
    // budget, resizes and crashes.
    int injectedCount() const;

    FileHandle open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                    unsigned attributes, FileError* error = nullptr) override;
    bool remove(const Text& path, FileError* error = nullptr) override;
    bool move(const Text& from, const Text& to, bool replaceExisting, FileError* error = nullptr) override;
    bool attributes(const Text& path, unsigned& out, FileError* error = nullptr) override;
    bool setAttributes(const Text& path, unsigned attributes, FileError* error = nullptr) override;
    bool exists(const Text& path) override;
    bool setCurrentDirectory(const Text& path) override;

    struct State;  // rules and counters, shared with the wrapped open files

private:
    SimFiles& inner_;
    std::shared_ptr<State> state_;
    std::map<Text, FileHandle> held_;
};

}  // namespace brenvik::sim
