#include <gtest/gtest.h>

#include <vector>

#include "assets/surface.h"
#include "assets/surfaces.h"

namespace {

// A 4x4 surface whose pixel (x, y) holds base + 10*y + x, easy to trace.
Surface Numbered(uint32_t base) {
  Surface s(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) s.SetPixel(x, y, base + 10 * y + x);
  return s;
}

}  // namespace

TEST(BitBlt, EachRasterOperationCombinesPerPixel) {
  Surface dst(4, 4, 0xF0F0F0F0);
  Surface src(4, 4, 0x0FF00FF0);
  Surface copy = dst, anded = dst, ored = dst;
  BitBlt(copy, 1, 1, 2, 2, src, 0, 0, kSrcCopy);
  BitBlt(anded, 1, 1, 2, 2, src, 0, 0, kSrcAnd);
  BitBlt(ored, 1, 1, 2, 2, src, 0, 0, kSrcPaint);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
      EXPECT_EQ(copy.Pixel(x, y), inside ? 0x0FF00FF0u : 0xF0F0F0F0u);
      EXPECT_EQ(anded.Pixel(x, y), inside ? 0x00F000F0u : 0xF0F0F0F0u);
      EXPECT_EQ(ored.Pixel(x, y), inside ? 0xFFF0FFF0u : 0xF0F0F0F0u);
    }
  }
  Surface unknown = dst;
  BitBlt(unknown, 0, 0, 4, 4, src, 0, 0, 0x00660046);  // SRCINVERT: not ours, ignored
  EXPECT_EQ(unknown, dst);
}

TEST(BitBlt, ClipsAtEveryDestinationEdge) {
  const Surface src = Numbered(100);
  struct Case {
    int dx, dy;
  };
  for (Case c : {Case{-2, 0}, Case{2, 0}, Case{0, -2}, Case{0, 2}, Case{-3, -3}, Case{3, 3}}) {
    Surface dst(4, 4, 7);
    BitBlt(dst, c.dx, c.dy, 4, 4, src, 0, 0, kSrcCopy);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        const int sx = x - c.dx, sy = y - c.dy;
        const bool covered = sx >= 0 && sx < 4 && sy >= 0 && sy < 4;
        EXPECT_EQ(dst.Pixel(x, y), covered ? src.Pixel(sx, sy) : 7u)
            << "dx " << c.dx << " dy " << c.dy << " at " << x << "," << y;
      }
    }
  }
  Surface dst(4, 4, 7);
  BitBlt(dst, 4, 0, 4, 4, src, 0, 0, kSrcCopy);  // entirely outside
  BitBlt(dst, 0, -4, 4, 4, src, 0, 0, kSrcCopy);
  BitBlt(dst, 0, 0, 0, 4, src, 0, 0, kSrcCopy);  // empty
  EXPECT_EQ(dst, Surface(4, 4, 7));
}

TEST(BitBlt, ReadsPastTheSourceYieldBlack) {
  const Surface src = Numbered(100);
  Surface copy(4, 4, 7), anded(4, 4, 7), ored(4, 4, 7);
  // Source rectangle (2, -1) 4x4: columns 2..5 and rows -1..2 of src.
  BitBlt(copy, 0, 0, 4, 4, src, 2, -1, kSrcCopy);
  BitBlt(anded, 0, 0, 4, 4, src, 2, -1, kSrcAnd);
  BitBlt(ored, 0, 0, 4, 4, src, 2, -1, kSrcPaint);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int sx = x + 2, sy = y - 1;
      const bool inside = sx < 4 && sy >= 0;
      const uint32_t s = inside ? src.Pixel(sx, sy) : 0;
      EXPECT_EQ(copy.Pixel(x, y), s);
      EXPECT_EQ(anded.Pixel(x, y), 7u & s);
      EXPECT_EQ(ored.Pixel(x, y), 7u | s);
    }
  }
  Surface far(4, 4, 7);
  BitBlt(far, 0, 0, 4, 4, src, 1000, 1000, kSrcCopy);
  EXPECT_EQ(far, Surface(4, 4, 0));
}

TEST(BitBlt, SelfCopyReadsTheWholeSourceFirst) {
  // Every direction of overlap, each checked against a copy through a
  // separate surface.
  struct Case {
    int sx, sy, dx, dy;
  };
  for (Case c : {Case{0, 0, 0, 2}, Case{0, 2, 0, 0}, Case{0, 0, 1, 0}, Case{1, 0, 0, 0},
                 Case{0, 0, 1, 1}, Case{1, 1, 0, 0}, Case{1, 0, 0, 1}}) {
    for (uint32_t rop : {kSrcCopy, kSrcAnd, kSrcPaint}) {
      Surface self = Numbered(100);
      Surface expected = self;
      const Surface before = self;
      BitBlt(self, c.dx, c.dy, 3, 3, self, c.sx, c.sy, rop);
      BitBlt(expected, c.dx, c.dy, 3, 3, before, c.sx, c.sy, rop);
      EXPECT_EQ(self, expected) << c.sx << "," << c.sy << " -> " << c.dx << "," << c.dy;
    }
  }
}

TEST(BitBlt, ScrollDownTwoRowsWithoutSmearing) {
  Surface s(3, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 3; ++x) s.SetPixel(x, y, 1000 + 10 * y + x);
  const Surface before = s;
  BitBlt(s, 0, 2, 3, 6, s, 0, 0, kSrcCopy);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(s.Pixel(x, 0), before.Pixel(x, 0));  // rows 0 and 1 keep their pixels
    EXPECT_EQ(s.Pixel(x, 1), before.Pixel(x, 1));
    for (int y = 2; y < 8; ++y) EXPECT_EQ(s.Pixel(x, y), before.Pixel(x, y - 2));
  }
}

TEST(MaskedDraw, ReplacesOnlyTheShape) {
  // Sheet 2x4: image rows 0..1 (pure black outside the shape), mask rows 2..3.
  Surface sheet(2, 4, 0);
  sheet.SetPixel(0, 0, 0x00123456);  // shape pixel
  sheet.SetPixel(0, 2, 0);           // mask: shape black
  sheet.SetPixel(1, 2, 0x00FFFFFF);  // elsewhere white
  sheet.SetPixel(0, 3, 0x00FFFFFF);
  sheet.SetPixel(1, 3, 0x00FFFFFF);
  Surface dst(3, 3, 0x00ABCDEF);
  MaskedDraw(dst, 1, 1, sheet, 0, 0, 2, 2, 2);
  EXPECT_EQ(dst.Pixel(1, 1), 0x00123456u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      if (x == 1 && y == 1) continue;
      EXPECT_EQ(dst.Pixel(x, y), 0x00ABCDEFu) << x << "," << y;
    }
  }
}

TEST(DecodePicture, ReadsPpmAndPackedRunsAndRefusesDamage) {
  const PixelFormat rgb;  // 0x00RRGGBB
  const std::vector<uint8_t> ppm = {'P', '6', '\n', '#', ' ', 'x', '\n', '3', ' ', '1', '\n',
                                    '2', '5', '5', '\n', 1, 2, 3, 4, 5, 6, 7, 8, 9};
  Surface s(3, 1);
  ASSERT_TRUE(DecodePicture(ppm, rgb, s));
  EXPECT_EQ(s.Pixel(0, 0), 0x010203u);
  EXPECT_EQ(s.Pixel(2, 0), 0x070809u);

  // 2x2: a literal run of one pixel, then one pixel repeated three times.
  const std::vector<uint8_t> packed = {'K', 'P', 'I', 'C', 2, 0, 2, 0, 0, 9, 9, 9, 130, 1, 1, 1};
  Surface q(2, 2);
  ASSERT_TRUE(DecodePicture(packed, rgb, q));
  EXPECT_EQ(q.Pixel(0, 0), 0x090909u);
  EXPECT_EQ(q.Pixel(1, 0), 0x010101u);
  EXPECT_EQ(q.Pixel(1, 1), 0x010101u);

  Surface other(2, 3);
  EXPECT_FALSE(DecodePicture(packed, rgb, other));  // wrong size
  for (size_t cut = 0; cut < packed.size(); ++cut) {
    Surface t(2, 2);
    EXPECT_FALSE(DecodePicture({packed.data(), cut}, rgb, t)) << cut;
  }
  for (size_t cut = 0; cut < ppm.size(); ++cut) {
    Surface t(3, 1);
    EXPECT_FALSE(DecodePicture({ppm.data(), cut}, rgb, t)) << cut;
  }
  // A run longer than the picture is refused, not written past the end.
  const std::vector<uint8_t> overlong = {'K', 'P', 'I', 'C', 1, 0, 1, 0, 131, 1, 1, 1};
  Surface one(1, 1);
  EXPECT_FALSE(DecodePicture(overlong, rgb, one));
}

TEST(Surface, CopiesAreDeepAndStartBlack) {
  Surface a(5, 3);
  EXPECT_EQ(a.Pixel(4, 2), 0u);
  a.SetPixel(1, 1, 42);
  Surface b = a;
  b.SetPixel(1, 1, 7);
  EXPECT_EQ(a.Pixel(1, 1), 42u);
  a = b;
  EXPECT_EQ(a, b);
  EXPECT_EQ(Surface(2, 2, 9).Pixel(1, 1), 9u);
}
