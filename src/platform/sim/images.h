// The windows' images on the simulated desktop: a window's icon and a picture
// control's PNG, kept as bytes for tests, after the checks that decide whether
// the desktop could make an image of them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/images.h"
#include "platform/platform.h"
#include "platform/sim/ui.h"

namespace brenvik::sim {

// The first image of an icon file, as its directory entry describes it.
struct IconImage {
    int width = 0;  // pixels; an entry's 0 stands for 256
    int height = 0;
    int bitCount = 0;
};

// Reads the header of an icon file: reserved 0, type 1 (icon), at least one
// image, and the first image's directory entry and data inside the bytes.
// Nothing when no icon can be made of them.
std::optional<IconImage> ReadIconFile(std::span<const unsigned char> bytes);

// A PNG image's size from its header: the signature, then the IHDR chunk with
// a width and height that are not 0. Nothing when the bytes are not a PNG.
struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};
std::optional<PngImage> ReadPngHeader(std::span<const unsigned char> bytes);

class SimWindowImages final : public WindowImages {
public:
    explicit SimWindowImages(SimUi& ui) : ui_(ui) {}

    bool setWindowIcon(WindowId window, std::span<const unsigned char> iconFile) override;
    bool setPicture(ControlId picture, std::span<const unsigned char> png) override;

    // --- for tests -------------------------------------------------------------

    static SimWindowImages& of(Platform& platform) { return static_cast<SimWindowImages&>(platform.images); }

    // The bytes last set as the window's icon, or of the picture; empty if none.
    std::vector<unsigned char> windowIcon(WindowId window) const;
    std::vector<unsigned char> picture(ControlId picture) const;
    // The picture's decoded size, if it shows one.
    std::optional<PngImage> pictureSize(ControlId picture) const;

private:
    struct Picture {
        std::vector<unsigned char> bytes;
        PngImage size;
    };
    SimUi& ui_;
    std::map<std::uint32_t, std::vector<unsigned char>> icons_;
    std::map<std::pair<std::uint32_t, int>, Picture> pictures_;
};

}  // namespace brenvik::sim
