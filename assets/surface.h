// Off-screen pictures and the one drawing primitive of the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Raster operations: the only three the game uses, with their classic codes
// (named apart from <windows.h>'s macros of the same codes).
constexpr uint32_t kSrcCopy = 0x00CC0020;   // destination = source
constexpr uint32_t kSrcAnd = 0x008800C6;    // destination = destination AND source
constexpr uint32_t kSrcPaint = 0x00EE0086;  // destination = destination OR source

// Where the red, green and blue bytes sit inside a 32-bit pixel of the display.
// The platform layer fills it in; pictures are converted once, at load.
struct PixelFormat {
  uint8_t rshift = 16, gshift = 8, bshift = 0;
  uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) const {
    return uint32_t{r} << rshift | uint32_t{g} << gshift | uint32_t{b} << bshift;
  }
  uint8_t Red(uint32_t p) const { return static_cast<uint8_t>(p >> rshift); }
  uint8_t Green(uint32_t p) const { return static_cast<uint8_t>(p >> gshift); }
  uint8_t Blue(uint32_t p) const { return static_cast<uint8_t>(p >> bshift); }
  // The shift of the lowest bit of a channel's mask, as window systems give it.
  static uint8_t MaskShift(uint64_t mask) {
    uint8_t shift = 0;
    for (; mask != 0 && (mask & 1) == 0; mask >>= 1) ++shift;
    return shift;
  }
  static PixelFormat FromMasks(uint64_t r, uint64_t g, uint64_t b) {
    return {MaskShift(r), MaskShift(g), MaskShift(b)};
  }
};

// A fixed-size buffer of 32-bit pixels in the display's format. Its memory is
// taken once, when it is made; nothing that draws on it allocates.
class Surface {
 public:
  Surface(int width, int height, uint32_t fill = 0);
  Surface(const Surface& other);
  Surface& operator=(const Surface& other);

  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t* Row(int y) { return pixels_.get() + static_cast<size_t>(y) * width_; }
  const uint32_t* Row(int y) const { return pixels_.get() + static_cast<size_t>(y) * width_; }
  uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
  void SetPixel(int x, int y, uint32_t p) { Row(y)[x] = p; }
  void Fill(uint32_t p);

  bool operator==(const Surface& other) const;

 private:
  struct Free {
    void operator()(uint32_t* p) const;
  };
  size_t Count() const { return static_cast<size_t>(width_) * height_; }

  int width_;
  int height_;
  // Zeroed pages from calloc are not touched until drawn on, so parts of a
  // surface the game never uses cost no memory.
  std::unique_ptr<uint32_t[], Free> pixels_;
};

// Copies the w x h rectangle at (sx, sy) of src to (dx, dy) of dst with the
// raster operation rop. Writes past dst's edges are clipped; reads past src's
// edges yield black. Copying a surface onto itself behaves as if the whole
// source were read before anything is written.
void BitBlt(Surface& dst, int dx, int dy, int w, int h, const Surface& src, int sx, int sy,
            uint32_t rop);

// Draws a sheet cell with transparency: AND of the mask cell (maskOffset rows
// below the image cell), then OR of the image cell, both at (x, y).
void MaskedDraw(Surface& dst, int x, int y, const Surface& sheet, int sx, int sy, int w, int h,
                int maskOffset);
