// The clipboard of the simulated desktop.
#pragma once

#include "platform/clipboard.h"
#include "platform/process.h"

namespace brenvik::sim {

// Not built yet: every call ends the run as a fatal error.
class SimClipboard final : public Clipboard {
public:
    explicit SimClipboard(Process& process) : process_(process) {}

    bool isFormatAvailable(unsigned format) override;
    bool open() override;
    ClipboardData data(unsigned format) override;
    std::uint32_t fileCount(ClipboardData data) override;
    std::uint32_t queryFile(ClipboardData data, std::uint32_t index, char* buffer,
                            std::uint32_t size) override;
    void close() override;

private:
    [[noreturn]] void notBuilt() const;
    Process& process_;
};

}  // namespace brenvik::sim
