// The windows' images on the simulated desktop, and the checks of icon and
// PNG bytes that stand for the real desktop's decoders.
#include "platform/sim/images.h"

namespace brenvik::sim {

namespace {

std::uint32_t Little16(std::span<const unsigned char> b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8;
}

std::uint32_t Little32(std::span<const unsigned char> b, std::size_t at)
{
    return Little16(b, at) | Little16(b, at + 2) << 16;
}

std::uint32_t Big32(std::span<const unsigned char> b, std::size_t at)
{
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 |
           std::uint32_t{b[at + 3]};
}

}  // namespace

std::optional<IconImage> ReadIconFile(std::span<const unsigned char> bytes)
{
    // The file header is 6 bytes, each directory entry 16.
    constexpr std::size_t kHeader = 6, kEntry = 16;
    if (bytes.size() < kHeader + kEntry)
        return std::nullopt;
    if (Little16(bytes, 0) != 0 || Little16(bytes, 2) != 1)
        return std::nullopt;
    const std::uint32_t count = Little16(bytes, 4);
    if (count == 0 || bytes.size() < kHeader + kEntry * count)
        return std::nullopt;
    const std::uint32_t size = Little32(bytes, kHeader + 8);
    const std::uint32_t offset = Little32(bytes, kHeader + 12);
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset)
        return std::nullopt;
    IconImage image;
    image.width = bytes[kHeader] == 0 ? 256 : bytes[kHeader];
    image.height = bytes[kHeader + 1] == 0 ? 256 : bytes[kHeader + 1];
    image.bitCount = static_cast<int>(Little16(bytes, kHeader + 6));
    return image;
}

std::optional<PngImage> ReadPngHeader(std::span<const unsigned char> bytes)
{
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // The signature, then the IHDR chunk: length 13, type, width, height.
    if (bytes.size() < 8 + 8 + 13)
        return std::nullopt;
    for (std::size_t i = 0; i < sizeof kSignature; ++i)
        if (bytes[i] != kSignature[i])
            return std::nullopt;
    if (Big32(bytes, 8) != 13 || bytes[12] != 'I' || bytes[13] != 'H' || bytes[14] != 'D' || bytes[15] != 'R')
        return std::nullopt;
    PngImage image{Big32(bytes, 16), Big32(bytes, 20)};
    if (image.width == 0 || image.height == 0)
        return std::nullopt;
    return image;
}

bool SimWindowImages::setWindowIcon(WindowId window, std::span<const unsigned char> iconFile)
{
    if (!ui_.isAlive(window) || !ReadIconFile(iconFile))
        return false;
    icons_[window.value].assign(iconFile.begin(), iconFile.end());
    return true;
}

bool SimWindowImages::setPicture(ControlId picture, std::span<const unsigned char> png)
{
    const std::optional<PngImage> size = ReadPngHeader(png);
    if (!ui_.isAlive(picture.window) || !size)
        return false;
    pictures_[{picture.window.value, picture.index}] = {{png.begin(), png.end()}, *size};
    return true;
}

std::vector<unsigned char> SimWindowImages::windowIcon(WindowId window) const
{
    auto it = icons_.find(window.value);
    return it == icons_.end() ? std::vector<unsigned char>{} : it->second;
}

std::vector<unsigned char> SimWindowImages::picture(ControlId picture) const
{
    auto it = pictures_.find({picture.window.value, picture.index});
    return it == pictures_.end() ? std::vector<unsigned char>{} : it->second.bytes;
}

std::optional<PngImage> SimWindowImages::pictureSize(ControlId picture) const
{
    auto it = pictures_.find({picture.window.value, picture.index});
    if (it == pictures_.end())
        return std::nullopt;
    return it->second.size;
}

}  // namespace brenvik::sim
