// The pictures that leave the game as files other programs read: PNG for the
// desktop icons, BMP for the Windows installer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/art/image.h"

namespace art {

// Called by artgen for each icon: an RGBA PNG of `image` with `alpha` (one
// byte per pixel) as its transparency. Same bytes on every run.
std::string EncodePng(const Image& image, const std::vector<uint8_t>& alpha);

struct IconPicture {
  int size;         // width and height, 1 to 256
  std::string png;  // as EncodePng made it
};
// Called by artgen once the icons are made: the Windows icon file holding
// them all, each as its PNG (which Windows reads since Vista).
std::string EncodeIco(const std::vector<IconPicture>& pictures);

// Called by artgen for the installer's pictures: a 24-bit BMP, the one
// format its wizard shows.
std::string EncodeBmp(const Image& image);

}  // namespace art
