// Code pages 936 and 1252 over glibc's iconv. Conversions never fail: a byte
// sequence that cannot be mapped becomes U+FFFD, a character the code page lacks '?'.
#include "platform/sim/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace brenvik::sim {

namespace {

// The five bytes that code page 1252 leaves undefined. Windows maps them to
// the control characters of the same value, so paths holding them survive a
// round trip; glibc refuses them, so they are handled here.
bool IsUndefinedIn1252(unsigned value)
{
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

// Length of the UTF-8 sequence at the start of `in`, counting only the bytes
// that belong to it; at least 1.
std::size_t Utf8SequenceLength(std::string_view in)
{
    const auto lead = static_cast<unsigned char>(in[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    std::size_t have = 1;
    while (have < length && have < in.size() && (static_cast<unsigned char>(in[have]) & 0xC0) == 0x80)
        ++have;
    return have;
}

// A replacement for an unconvertible sequence and the number of input bytes it stands for.
using Replacement = std::pair<std::string, std::size_t>;

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "brenvik sim: iconv cannot convert from %s to %s\n", from, to);
            std::abort();
        }
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; at each sequence iconv refuses, `replace` says what
    // to write instead and how many bytes to step over.
    template <class Replace>
    std::string convert(std::string_view in, Replace replace) const
    {
        std::string out;
        std::string input(in);  // iconv takes a non-const input pointer
        char* inPtr = input.data();
        std::size_t inLeft = input.size();
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char buffer[512];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            // EILSEQ (not mappable) or EINVAL (cut off at the end).
            Replacement r = replace(std::string_view(inPtr, inLeft));
            out += r.first;
            inPtr += r.second;
            inLeft -= r.second;
        }
        return out;
    }

private:
    iconv_t handle_;
};

}  // namespace

struct SimCodePage::Converters {
    Converter toUtf8;
    Converter fromUtf8;
    explicit Converters(const char* name) : toUtf8("UTF-8", name), fromUtf8(name, "UTF-8") {}
};

SimCodePage::SimCodePage(unsigned id) : id_(id)
{
    if (id != 936 && id != 1252) {
        std::fprintf(stderr, "brenvik sim: code page %u is not simulated (936 or 1252)\n", id);
        std::abort();
    }
    converters_ = std::make_unique<Converters>(id == 936 ? "CP936" : "CP1252");
}

SimCodePage::~SimCodePage() = default;

bool SimCodePage::isLeadByte(unsigned char byte) const
{
    return id_ == 936 && byte >= 0x80;
}

std::string SimCodePage::toUtf8(std::string_view ansi) const
{
    const bool singleByte = id_ == 1252;
    return converters_->toUtf8.convert(ansi, [singleByte](std::string_view rest) {
        const auto byte = static_cast<unsigned char>(rest[0]);
        if (singleByte && IsUndefinedIn1252(byte)) {
            std::string same{static_cast<char>(0xC2), static_cast<char>(byte)};
            return Replacement{same, 1};
        }
        return Replacement{"\xEF\xBF\xBD", 1};
    });
}

Text SimCodePage::fromUtf8(std::string_view utf8) const
{
    const bool singleByte = id_ == 1252;
    return converters_->fromUtf8.convert(utf8, [singleByte](std::string_view rest) {
        const std::size_t length = Utf8SequenceLength(rest);
        if (singleByte && length == 2 && static_cast<unsigned char>(rest[0]) == 0xC2 &&
            IsUndefinedIn1252(static_cast<unsigned char>(rest[1])))
            return Replacement{std::string(1, rest[1]), 2};
        return Replacement{"?", length};
    });
}

}  // namespace brenvik::sim
