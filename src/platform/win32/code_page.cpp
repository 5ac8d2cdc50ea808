// The system's ANSI code page over GetACP and the Windows conversion functions,
// and the UTF-8/UTF-16 conversions the rest of the layer uses for fixed texts.
#include "platform/win32/desktop.h"
#include "platform/win32/native.h"

namespace brenvik::win32 {

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

int ToInt(std::size_t size)
{
    // The layer's texts are far below 2 GiB; a larger one is cut rather than
    // wrapped into a negative length.
    return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
}

std::wstring MultiToWide(UINT codePage, DWORD flags, std::string_view bytes, bool* ok)
{
    if (ok != nullptr)
        *ok = true;
    if (bytes.empty())
        return {};
    const int length = ToInt(bytes.size());
    const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (needed <= 0) {
        if (ok != nullptr)
            *ok = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data(), needed);
    return wide;
}

std::string WideToMulti(UINT codePage, DWORD flags, std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int length = ToInt(wide.size());
    const int needed =
        WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

}  // namespace

std::wstring Widen(std::string_view utf8)
{
    return MultiToWide(CP_UTF8, 0, utf8, nullptr);
}

std::string Narrow(std::wstring_view utf16)
{
    return WideToMulti(CP_UTF8, 0, utf16);
}

Win32CodePage::Win32CodePage() : id_(GetACP()) {}

bool Win32CodePage::isLeadByte(unsigned char byte) const
{
    // With 936 the program treats every byte of 0x80 or above as the start of
    // a two-byte character; other code pages use the system's lead-byte table,
    // which has no lead bytes for a single-byte code page.
    if (id_ == 936)
        return byte >= 0x80;
    return IsDBCSLeadByteEx(id_, byte) != FALSE;
}

std::string Win32CodePage::toUtf8(std::string_view ansi) const
{
    bool ok = false;
    std::wstring wide = MultiToWide(id_, MB_ERR_INVALID_CHARS, ansi, &ok);
    if (!ok) {
        // Some bytes do not map: convert character by character, so that each
        // unmappable one becomes U+FFFD and the rest stays legible.
        wide.clear();
        for (std::size_t pos = 0; pos < ansi.size();) {
            const std::size_t length = CharLength(*this, ansi, pos);
            bool charOk = false;
            const std::wstring part =
                MultiToWide(id_, MB_ERR_INVALID_CHARS, ansi.substr(pos, length), &charOk);
            if (charOk)
                wide += part;
            else
                wide += kReplacementCharacter;
            pos += length;
        }
    }
    return Narrow(wide);
}

Text Win32CodePage::fromUtf8(std::string_view utf8) const
{
    // Without best-fit mapping, WideCharToMultiByte writes the code page's
    // default character, '?', for every character the code page lacks, instead
    // of a look-alike that would name a different file.
    // UTF-8 and GB18030 as the ANSI code page refuse that flag, and lack nothing.
    const DWORD flags = (id_ == CP_UTF8 || id_ == 54936) ? 0 : WC_NO_BEST_FIT_CHARS;
    return WideToMulti(id_, flags, Widen(utf8));
}

}  // namespace brenvik::win32
