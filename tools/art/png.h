// PNG encoding for the desktop icons, the only pictures that leave the game
// as files other programs read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/art/image.h"

namespace art {

// Called by artgen for each icon: an RGBA PNG of `image` with `alpha` (one
// byte per pixel) as its transparency. Same bytes on every run.
std::string EncodePng(const Image& image, const std::vector<uint8_t>& alpha);

}  // namespace art
