// Fault injection for the simulated desktop's files: the rules, their
// counters, and the wrapped open files that apply them to reads and writes.
#include "platform/sim/faults.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/desktop.h"
#include "platform/sim/files.h"

namespace brenvik::sim {

namespace {

enum class Action { Fail, ShortWrite, Crash, Grow, Shrink };

struct Rule {
    FileOp op = FileOp::Open;
    Action action = Action::Fail;
    int n = 1;
    bool fromThenOn = false;
    Text pathContains;
    FileError error = FileError::None;
    std::int64_t amount = 0;  // bytes to keep, to append, or the new length
    int seen = 0;
};

Rule MakeRule(FileOp op, Action action, int n, std::int64_t amount, Text pathContains)
{
    Rule rule;
    rule.op = op;
    rule.action = action;
    rule.n = n;
    rule.amount = amount;
    rule.pathContains = std::move(pathContains);
    return rule;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsIgnoringCase(const Text& text, const Text& part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return foldAscii(a) == foldAscii(b); }) != text.end();
}

std::size_t indexOf(FileOp op)
{
    return static_cast<std::size_t>(op);
}

}  // namespace

struct FaultyFiles::State {
    std::vector<Rule> rules;
    std::array<int, kFileOpCount> calls{};
    int injected = 0;
    std::int64_t budget = -1;  // bytes writes may still add; negative: no budget
    std::function<void(const Text&, int)> observer;

    // Counts the call on every matching rule and returns the rules that fire
    // on it, in the order they were set.
    std::vector<Rule> firing(FileOp op, const Text& path, const Text& otherPath = {})
    {
        ++calls[indexOf(op)];
        std::vector<Rule> fired;
        for (Rule& rule : rules) {
            if (rule.op != op)
                continue;
            if (!rule.pathContains.empty() && !containsIgnoringCase(path, rule.pathContains) &&
                !containsIgnoringCase(otherPath, rule.pathContains))
                continue;
            ++rule.seen;
            if (rule.seen == rule.n || (rule.fromThenOn && rule.seen > rule.n))
                fired.push_back(rule);
        }
        return fired;
    }

    // The first fired rule whose action is one of `actions`, or null.
    static const Rule* first(const std::vector<Rule>& fired, std::initializer_list<Action> actions)
    {
        for (const Rule& rule : fired)
            if (std::find(actions.begin(), actions.end(), rule.action) != actions.end())
                return &rule;
        return nullptr;
    }

    // A call that fails by a rule: counted, and reported with the rule's error.
    bool failCall(const Rule& rule, FileError* error)
    {
        ++injected;
        if (error)
            *error = rule.error;
        return false;
    }
};

namespace {

// Grows or shrinks a file as another process would, beside the program's handles.
void resizeOnHost(const std::filesystem::path& host, const Rule& rule)
{
    if (rule.action == Action::Shrink) {
        std::error_code ec;
        std::filesystem::resize_file(host, static_cast<std::uintmax_t>(rule.amount), ec);
        return;
    }
    const int fd = ::open(host.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::string extra(static_cast<std::size_t>(rule.amount), '+');
    std::size_t done = 0;
    while (done < extra.size()) {
        const ssize_t put = ::write(fd, extra.data() + done, extra.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    ::close(fd);
}

// An open file of the inner files with the read and write rules in front.
class FaultyOpenFile final : public OpenFile {
public:
    FaultyOpenFile(FileHandle inner, Text path, std::filesystem::path host,
                   std::shared_ptr<FaultyFiles::State> state)
        : inner_(std::move(inner)), path_(std::move(path)), host_(std::move(host)), state_(std::move(state))
    {
    }

    IoResult read(void* buffer, std::size_t size) override
    {
        const std::vector<Rule> fired = state_->firing(FileOp::Read, path_);
        for (const Rule& rule : fired) {
            if (rule.action == Action::Grow || rule.action == Action::Shrink) {
                resizeOnHost(host_, rule);
                ++state_->injected;
            }
        }
        if (const Rule* rule = FaultyFiles::State::first(fired, {Action::Fail})) {
            ++state_->injected;
            return {0, rule->error};
        }
        return inner_->read(buffer, size);
    }

    IoResult write(const void* data, std::size_t size) override
    {
        const int writeNumber = ++writes_;
        const std::vector<Rule> fired = state_->firing(FileOp::Write, path_);
        const Rule* rule =
            FaultyFiles::State::first(fired, {Action::Fail, Action::ShortWrite, Action::Crash});
        if (rule && rule->action == Action::Fail) {
            ++state_->injected;
            return {0, rule->error};
        }
        if (rule) {
            const std::size_t kept = std::min(size, static_cast<std::size_t>(rule->amount));
            const IoResult prefix = kept > 0 ? writeWithinBudget(data, kept) : IoResult{};
            ++state_->injected;
            if (rule->action == Action::Crash)
                throw InjectedCrash{};
            return {prefix.bytes, prefix.ok() ? FileError::DiskFull : prefix.error};
        }
        const IoResult result = writeWithinBudget(data, size);
        if (result.ok() && result.bytes == size && state_->observer)
            state_->observer(path_, writeNumber);
        return result;
    }

    std::int64_t size() const override { return inner_->size(); }
    std::int64_t position() const override { return inner_->position(); }
    bool seekToEnd() override { return inner_->seekToEnd(); }
    bool identity(FileIdentity& out) const override { return inner_->identity(out); }

private:
    // Writes through the inner file; with a disk budget, only what fits.
    IoResult writeWithinBudget(const void* data, std::size_t size)
    {
        std::int64_t& budget = state_->budget;
        if (budget < 0)
            return inner_->write(data, size);
        if (static_cast<std::uint64_t>(budget) >= size) {
            const IoResult result = inner_->write(data, size);
            budget -= static_cast<std::int64_t>(result.bytes);
            return result;
        }
        const auto fits = static_cast<std::size_t>(budget);
        const IoResult part = fits > 0 ? inner_->write(data, fits) : IoResult{};
        budget -= static_cast<std::int64_t>(part.bytes);
        ++state_->injected;
        return {part.bytes, part.ok() ? FileError::DiskFull : part.error};
    }

    FileHandle inner_;
    Text path_;
    std::filesystem::path host_;
    std::shared_ptr<FaultyFiles::State> state_;
    int writes_ = 0;
};

}  // namespace

FaultyFiles::FaultyFiles(SimFiles& inner) : inner_(inner), state_(std::make_shared<State>()) {}

FaultyFiles::~FaultyFiles() = default;

void FaultyFiles::failNth(FileOp op, int n, FileError error, bool fromThenOn, Text pathContains)
{
    Rule rule = MakeRule(op, Action::Fail, n, 0, std::move(pathContains));
    rule.fromThenOn = fromThenOn;
    rule.error = error;
    state_->rules.push_back(std::move(rule));
}

void FaultyFiles::shortWriteNth(int n, std::size_t bytesWritten, Text pathContains)
{
    state_->rules.push_back(MakeRule(FileOp::Write, Action::ShortWrite, n,
                                     static_cast<std::int64_t>(bytesWritten), std::move(pathContains)));
}

void FaultyFiles::setDiskBudget(std::int64_t bytes)
{
    state_->budget = bytes < 0 ? -1 : bytes;
}

void FaultyFiles::growBeforeRead(int n, std::size_t bytes, Text pathContains)
{
    state_->rules.push_back(
        MakeRule(FileOp::Read, Action::Grow, n, static_cast<std::int64_t>(bytes), std::move(pathContains)));
}

void FaultyFiles::shrinkBeforeRead(int n, std::int64_t length, Text pathContains)
{
    state_->rules.push_back(MakeRule(FileOp::Read, Action::Shrink, n, std::max<std::int64_t>(length, 0),
                                     std::move(pathContains)));
}

void FaultyFiles::crashAtWrite(int n, std::size_t prefixBytes, Text pathContains)
{
    state_->rules.push_back(MakeRule(FileOp::Write, Action::Crash, n, static_cast<std::int64_t>(prefixBytes),
                                     std::move(pathContains)));
}

bool FaultyFiles::holdWithoutSharing(const Text& path)
{
    if (held_.count(path) != 0)
        return true;
    FileHandle handle = inner_.open(path, FileAccess::Read, FileShare::None, FileDisposition::OpenExisting,
                                    FileAttribute::Normal);
    if (!handle)
        return false;
    held_.emplace(path, std::move(handle));
    return true;
}

void FaultyFiles::release(const Text& path)
{
    held_.erase(path);
}

void FaultyFiles::releaseAll()
{
    held_.clear();
}

void FaultyFiles::setWriteObserver(std::function<void(const Text&, int)> observer)
{
    state_->observer = std::move(observer);
}

void FaultyFiles::clearRules()
{
    state_->rules.clear();
    state_->budget = -1;
}

int FaultyFiles::calls(FileOp op) const
{
    return state_->calls[indexOf(op)];
}

int FaultyFiles::injectedCount() const
{
    return state_->injected;
}

FileHandle FaultyFiles::open(const Text& path, unsigned access, unsigned share, FileDisposition disposition,
                             unsigned attributes, FileError* error)
{
    const std::vector<Rule> fired = state_->firing(FileOp::Open, path);
    if (const Rule* rule = State::first(fired, {Action::Fail})) {
        state_->failCall(*rule, error);
        return nullptr;
    }
    FileHandle file = inner_.open(path, access, share, disposition, attributes, error);
    if (!file)
        return nullptr;
    return std::make_unique<FaultyOpenFile>(std::move(file), path, inner_.hostPath(path), state_);
}

bool FaultyFiles::remove(const Text& path, FileError* error)
{
    const std::vector<Rule> fired = state_->firing(FileOp::Remove, path);
    if (const Rule* rule = State::first(fired, {Action::Fail}))
        return state_->failCall(*rule, error);
    return inner_.remove(path, error);
}

bool FaultyFiles::move(const Text& from, const Text& to, bool replaceExisting, FileError* error)
{
    const std::vector<Rule> fired = state_->firing(FileOp::Move, from, to);
    if (const Rule* rule = State::first(fired, {Action::Fail}))
        return state_->failCall(*rule, error);
    return inner_.move(from, to, replaceExisting, error);
}

bool FaultyFiles::attributes(const Text& path, unsigned& out, FileError* error)
{
    return inner_.attributes(path, out, error);
}

bool FaultyFiles::setAttributes(const Text& path, unsigned attributes, FileError* error)
{
    const std::vector<Rule> fired = state_->firing(FileOp::SetAttributes, path);
    if (const Rule* rule = State::first(fired, {Action::Fail}))
        return state_->failCall(*rule, error);
    return inner_.setAttributes(path, attributes, error);
}

bool FaultyFiles::exists(const Text& path)
{
    return inner_.exists(path);
}

bool FaultyFiles::setCurrentDirectory(const Text& path)
{
    return inner_.setCurrentDirectory(path);
}

}  // namespace brenvik::sim
