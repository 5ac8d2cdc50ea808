// Texts and code pages: the byte-string type every Part uses, and the code-page
// service that knows how the system's ANSI code page groups bytes into characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brenvik {

// A text is a byte string in the system's ANSI code page. It never holds a zero
// byte; a missing text and the empty text are the same thing.
using Text = std::string;

// The system's ANSI code page as the program sees it.
class CodePage {
public:
    virtual ~CodePage() = default;

    // The code page's number, such as 936 or 1252.
    virtual unsigned id() const = 0;

    // True when this byte begins a two-byte character. With code page 936 every
    // byte of 0x80 or above does; with a single-byte code page none does.
    virtual bool isLeadByte(unsigned char byte) const = 0;

    // Converts ANSI bytes to UTF-8 for display. Bytes the code page cannot map
    // become U+FFFD; never fails.
    virtual std::string toUtf8(std::string_view ansi) const = 0;

    // Converts UTF-8 to ANSI bytes; characters the code page lacks become '?'.
    virtual Text fromUtf8(std::string_view utf8) const = 0;
};

// Length in bytes of the character that starts at byte `pos` of `text`: 2 for a
// lead byte followed by another byte, else 1. A lead byte that is the last byte
// of the text counts as a character of its own.
inline std::size_t CharLength(const CodePage& codePage, std::string_view text, std::size_t pos)
{
    if (codePage.isLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size())
        return 2;
    return 1;
}

}  // namespace brenvik
