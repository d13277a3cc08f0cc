// The one hand-drawn letter set behind every piece of text in the pictures:
// 5 by 7 pixel glyphs for the codes 32 to 93.
#pragma once

#include <array>
#include <string_view>

namespace art {

constexpr int kGlyphW = 5;
constexpr int kGlyphH = 7;
using Glyph = std::array<std::string_view, kGlyphH>;  // '#' marks a pixel

// The glyph for `code` (32..93); blank for anything else. Codes 91..93 are
// small pictograms: a ship, a star and a heart.
const Glyph& GlyphFor(int code);

inline bool GlyphPixel(const Glyph& g, int x, int y) {
  return x >= 0 && y >= 0 && x < kGlyphW && y < kGlyphH &&
         g[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#';
}

}  // namespace art
