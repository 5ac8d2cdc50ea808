// The simulated system's ANSI code page: 936 (double-byte, every byte of 0x80
// or above leads a character) or 1252 (single-byte), converted through iconv.
#pragma once

#include <memory>

#include "platform/text.h"

namespace brenvik::sim {

class SimCodePage final : public CodePage {
public:
    // Only 936 and 1252 are simulated; any other number stops the test binary
    // with a message, since a silently wrong code page would mislead every test.
    explicit SimCodePage(unsigned id);
    ~SimCodePage() override;
    SimCodePage(const SimCodePage&) = delete;
    SimCodePage& operator=(const SimCodePage&) = delete;

    unsigned id() const override { return id_; }
    bool isLeadByte(unsigned char byte) const override;
    std::string toUtf8(std::string_view ansi) const override;
    Text fromUtf8(std::string_view utf8) const override;

private:
    struct Converters;
    unsigned id_;
    std::unique_ptr<Converters> converters_;
};

}  // namespace brenvik::sim
