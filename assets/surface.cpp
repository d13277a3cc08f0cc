#include "assets/surface.h"

#include <algorithm>
#include <cstring>

#include <cstdlib>
#include <new>

void Surface::Free::operator()(uint32_t* p) const { std::free(p); }

Surface::Surface(int width, int height, uint32_t fill)
    : width_(width),
      height_(height),
      pixels_(static_cast<uint32_t*>(std::calloc(Count() == 0 ? 1 : Count(), sizeof(uint32_t)))) {
  if (!pixels_) throw std::bad_alloc();
  if (fill != 0) Fill(fill);
}

Surface::Surface(const Surface& other) : Surface(other.width_, other.height_) {
  std::memcpy(pixels_.get(), other.pixels_.get(), Count() * sizeof(uint32_t));
}

Surface& Surface::operator=(const Surface& other) {
  if (this != &other) {
    Surface copy(other);
    std::swap(width_, copy.width_);
    std::swap(height_, copy.height_);
    std::swap(pixels_, copy.pixels_);
  }
  return *this;
}

bool Surface::operator==(const Surface& other) const {
  return width_ == other.width_ && height_ == other.height_ &&
         std::memcmp(pixels_.get(), other.pixels_.get(), Count() * sizeof(uint32_t)) == 0;
}

void Surface::Fill(uint32_t p) { std::fill(pixels_.get(), pixels_.get() + Count(), p); }

namespace {

// Combines one run of n source pixels into the destination. The run may
// overlap itself (a self-copy on the same row), hence memmove and the
// backwards loops.
void CombineRun(uint32_t* d, const uint32_t* s, int n, uint32_t rop, bool backwards) {
  switch (rop) {
    case kSrcCopy:
      std::memmove(d, s, static_cast<size_t>(n) * sizeof(uint32_t));
      return;
    case kSrcAnd:
      if (backwards) {
        for (int i = n - 1; i >= 0; --i) d[i] &= s[i];
      } else {
        for (int i = 0; i < n; ++i) d[i] &= s[i];
      }
      return;
    case kSrcPaint:
      if (backwards) {
        for (int i = n - 1; i >= 0; --i) d[i] |= s[i];
      } else {
        for (int i = 0; i < n; ++i) d[i] |= s[i];
      }
      return;
    default:
      return;
  }
}

// The effect of a black source pixel run: copy and AND clear, OR keeps.
void CombineBlack(uint32_t* d, int n, uint32_t rop) {
  if (rop == kSrcCopy || rop == kSrcAnd) std::fill(d, d + n, 0u);
}

}  // namespace

void BitBlt(Surface& dst, int dx, int dy, int w, int h, const Surface& src, int sx, int sy,
            uint32_t rop) {
  if (rop != kSrcCopy && rop != kSrcAnd && rop != kSrcPaint) return;
  // Clip the destination rectangle; the source moves with it.
  int x0 = std::max(dx, 0), y0 = std::max(dy, 0);
  int x1 = std::min(dx + w, dst.Width()), y1 = std::min(dy + h, dst.Height());
  if (x0 >= x1 || y0 >= y1) return;
  const int ox = sx - dx, oy = sy - dy;  // source = destination + offset

  // Within the clipped destination row, the part whose source lies inside src.
  const int sx0 = std::clamp(x0 + ox, 0, src.Width()) - ox;
  const int sx1 = std::clamp(x1 + ox, 0, src.Width()) - ox;
  const int inner0 = std::clamp(sx0, x0, x1), inner1 = std::clamp(sx1, x0, x1);

  // On a self-copy, walk rows and columns so that every source pixel is read
  // before the copy overwrites it.
  const bool same = &dst == &src;
  const bool bottomUp = same && oy < 0;
  const bool rightToLeft = same && oy == 0 && ox < 0;

  for (int i = 0; i < y1 - y0; ++i) {
    const int y = bottomUp ? y1 - 1 - i : y0 + i;
    uint32_t* drow = dst.Row(y);
    const int srcY = y + oy;
    if (srcY < 0 || srcY >= src.Height() || inner0 >= inner1) {
      CombineBlack(drow + x0, x1 - x0, rop);
      continue;
    }
    CombineBlack(drow + x0, inner0 - x0, rop);
    CombineBlack(drow + inner1, x1 - inner1, rop);
    CombineRun(drow + inner0, src.Row(srcY) + inner0 + ox, inner1 - inner0, rop, rightToLeft);
  }
}

void MaskedDraw(Surface& dst, int x, int y, const Surface& sheet, int sx, int sy, int w, int h,
                int maskOffset) {
  BitBlt(dst, x, y, w, h, sheet, sx, sy + maskOffset, kSrcAnd);
  BitBlt(dst, x, y, w, h, sheet, sx, sy, kSrcPaint);
}
