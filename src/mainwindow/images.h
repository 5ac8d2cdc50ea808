// The program's own images, as the bytes of their files.
#pragma once

#include <cstddef>

namespace brenvik {

// The icon: icon-file format, one 33 x 32 image at 32 bits per pixel. It is
// the window's icon and the tray icon.
extern const unsigned char kIconImage[];
extern const std::size_t kIconImageSize;

// The logo shown in MainWindow: a 125 x 27 RGB image in PNG form.
extern const unsigned char kLogoImage[];
extern const std::size_t kLogoImageSize;

}  // namespace brenvik
