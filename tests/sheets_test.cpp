// The committed pictures, loaded the way the game loads them, hold the layouts
// that the drawing code relies on.
#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "assets/resources.h"
#include "assets/surfaces.h"
#include "tools/art/art.h"

namespace {

const PixelFormat kFormat{};
const uint32_t kBlackPixel = kFormat.Rgb(0, 0, 0);
const uint32_t kWhitePixel = kFormat.Rgb(255, 255, 255);

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gfx = std::make_unique<Surfaces>();
    ASSERT_EQ(LoadSurfaces(*gfx, kFormat), "");
  }
  static void TearDownTestSuite() { gfx.reset(); }
  static std::unique_ptr<Surfaces> gfx;
};
std::unique_ptr<Surfaces> Pictures::gfx;

struct NamedSheet {
  const char* name;
  const Surface* sheet;
  SheetLayout layout;
};

bool CellEmpty(const Surface& s, const SheetLayout& l, int cell) {
  for (int y = 0; y < l.cellHeight; ++y)
    for (int x = 0; x < l.cellWidth; ++x)
      if (s.Pixel(cell * l.cellWidth + x, y) != kBlackPixel) return false;
  return true;
}

bool CellsEqual(const Surface& s, const SheetLayout& l, int a, int b) {
  for (int y = 0; y < 2 * l.cellHeight; ++y)
    for (int x = 0; x < l.cellWidth; ++x)
      if (s.Pixel(a * l.cellWidth + x, y) != s.Pixel(b * l.cellWidth + x, y)) return false;
  return true;
}

}  // namespace

TEST_F(Pictures, EverySheetCellHasBlackImageWhiteMaskAndMatchingShapes) {
  const NamedSheet sheets[] = {
      {"sprPlayer", &gfx->sprPlayer, kPlayerSheet},
      {"sprReacteur", &gfx->sprReacteur, kReacteurSheet},
      {"sprBullet", &gfx->sprBullet, kBulletSheet},
      {"sprBlow", &gfx->sprBlow, kBlowSheet},
      {"sprEnnemy0", &gfx->sprEnnemy[0], kEnnemySheets[0]},
      {"sprEnnemy1", &gfx->sprEnnemy[1], kEnnemySheets[1]},
      {"sprEnnemy2", &gfx->sprEnnemy[2], kEnnemySheets[2]},
      {"sprEnnemy3", &gfx->sprEnnemy[3], kEnnemySheets[3]},
      {"picFonte", &gfx->picFonte, kFonteSheet},
      {"sprBulletEnnemy",
       &gfx->sprBulletEnnemy,
       {art::kBulletEnnemyCell, art::kBulletEnnemyCell, art::kBulletEnnemyCells}},
      {"sprBulletBoss",
       &gfx->sprBulletBoss,
       {art::kBulletBossCell, art::kBulletBossCell, art::kBulletBossCells}},
  };
  for (const NamedSheet& n : sheets) {
    SCOPED_TRACE(n.name);
    const Surface& s = *n.sheet;
    const SheetLayout& l = n.layout;
    ASSERT_EQ(s.Width(), l.cellWidth * l.cells);
    ASSERT_EQ(s.Height(), 2 * l.cellHeight);
    int mismatches = 0;
    for (int y = 0; y < l.cellHeight; ++y) {
      for (int x = 0; x < s.Width(); ++x) {
        const uint32_t image = s.Pixel(x, y), mask = s.Pixel(x, y + l.cellHeight);
        const bool maskValid = mask == kBlackPixel || mask == kWhitePixel;
        const bool agree = (mask == kBlackPixel) == (image != kBlackPixel);
        if (!maskValid || !agree) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
  // Cells that must show something: all but the flame's "off" cell and the
  // font's blanks; animation frames must change from one to the next.
  for (const NamedSheet& n : sheets) {
    SCOPED_TRACE(n.name);
    const bool font = n.sheet == &gfx->picFonte;
    for (int c = 0; c < n.layout.cells; ++c) {
      const bool mayBeEmpty =
          (n.sheet == &gfx->sprReacteur && c == 0) || (font && (c == 0 || c == 32));
      EXPECT_EQ(CellEmpty(*n.sheet, n.layout, c), mayBeEmpty) << "cell " << c;
      if (!font && c > 0) {
        EXPECT_FALSE(CellsEqual(*n.sheet, n.layout, c - 1, c)) << "cell " << c;
      }
    }
  }
  EXPECT_FALSE(CellsEqual(gfx->sprPlayer, kPlayerSheet, 0, 2));
}

TEST_F(Pictures, StatusSheetKeepsItemsInTheirRectanglesOnDarkRed) {
  const Surface& s = gfx->sprStatus;
  ASSERT_EQ(s.Width(), 120);
  ASSERT_EQ(s.Height(), 60);
  struct Rect {
    int x, y, w, h;
  };
  std::vector<Rect> items = {{0, 0, 40, 15}, {42, 0, 30, 15}, {80, 0, 38, 15}};
  for (int d = 0; d < 10; ++d) items.push_back({9 * d, 17, 9, 12});
  const uint32_t background = kFormat.Rgb(16, 0, 0);
  std::vector<int> inked(items.size(), 0);
  int strays = 0, mismatches = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 120; ++x) {
      const uint32_t image = s.Pixel(x, y), mask = s.Pixel(x, y + 30);
      if ((image == background) != (mask == kWhitePixel)) ++mismatches;
      if (mask != kWhitePixel && mask != kBlackPixel) ++mismatches;
      if (image == background) continue;
      bool placed = false;
      for (size_t i = 0; i < items.size(); ++i) {
        const Rect& r = items[i];
        if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) {
          ++inked[i];
          placed = true;
        }
      }
      if (!placed) ++strays;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(strays, 0)
      << "ink outside the label and digit rectangles (columns 90..119 of the digits too)";
  for (size_t i = 0; i < items.size(); ++i) EXPECT_GT(inked[i], 20) << "item " << i;
  // No two digits look alike.
  for (int a = 0; a < 10; ++a)
    for (int b = a + 1; b < 10; ++b) {
      bool differ = false;
      for (int y = 17; y < 29 && !differ; ++y)
        for (int x = 0; x < 9 && !differ; ++x)
          differ = s.Pixel(9 * a + x, y) != s.Pixel(9 * b + x, y);
      EXPECT_TRUE(differ) << a << " and " << b;
    }
}

TEST_F(Pictures, FontUsesThreeGreysAndLeavesTheShadowRowFree) {
  const Surface& f = gfx->picFonte;
  std::set<int> levels;
  int bad = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < f.Width(); ++x) {
      const uint32_t p = f.Pixel(x, y);
      const int r = kFormat.Red(p), g = kFormat.Green(p), b = kFormat.Blue(p);
      if (r != g || g != b || (r != 0 && r != 99 && r != 165 && r != 231)) ++bad;
      levels.insert(r);
    }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(levels, (std::set<int>{0, 99, 165, 231}));
  // The banner's drop shadow reaches one row below the glyph: that row (image
  // 15, mask 31) must stay clear, at least for what the banner shows.
  const std::string_view banner = " !.ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (char ch : banner) {
    const int x0 = (ch - 32) * kFonteSheet.cellWidth;
    for (int x = 0; x < kFonteSheet.cellWidth; ++x) {
      EXPECT_EQ(f.Pixel(x0 + x, 15), kBlackPixel) << ch;
      EXPECT_EQ(f.Pixel(x0 + x, 31), kWhitePixel) << ch;
    }
  }
}

TEST_F(Pictures, TitleCarriesTheCaptionAndAPlainBannerStrip) {
  const Surface& t = gfx->picTitle;
  const Surface& link = gfx->sprLink;
  int differentFromCaption = 0, litEqualsNormal = 0;
  for (int y = 0; y < art::kLinkH; ++y)
    for (int x = 0; x < art::kLinkW; ++x) {
      if (t.Pixel(art::kLinkX + x, art::kLinkY + y) != link.Pixel(x, y)) ++differentFromCaption;
      if (link.Pixel(x, y) == link.Pixel(x, y + art::kLinkH)) ++litEqualsNormal;
    }
  EXPECT_EQ(differentFromCaption, 0);
  EXPECT_LT(litEqualsNormal, art::kLinkW * art::kLinkH)
      << "the lit caption looks like the normal one";
  EXPECT_GT(art::kLinkW * art::kLinkH - litEqualsNormal, 150) << "too little text in the caption";
  // Rows 380..396 lie under the scrolling banner and its shadow: one dark colour.
  const uint32_t band = t.Pixel(0, 380);
  EXPECT_LT(kFormat.Red(band) + kFormat.Green(band) + kFormat.Blue(band), 96);
  for (int y = 380; y <= 396; ++y)
    for (int x = 0; x < 400; ++x) ASSERT_EQ(t.Pixel(x, y), band) << x << "," << y;
}

TEST_F(Pictures, StarStripHasNoEmptyStretchInTheScrolledColumns) {
  const Surface& s = gfx->sprStars;
  // The game scrolls the left 400 columns; every 40-row stretch of them
  // must carry stars, or a gap would roll down the screen.
  for (int top = 0; top + 40 <= s.Height(); top += 40) {
    int stars = 0;
    for (int y = top; y < top + 40; ++y)
      for (int x = 0; x < 400; ++x) stars += s.Pixel(x, y) != kBlackPixel;
    EXPECT_GE(stars, 15) << "rows " << top << ".." << top + 39;
  }
}

TEST(ArtGenerator, RebuildsTheCommittedPictures) {
  // The build packs the pictures, so compare what both decode to.
  const std::vector<art::ArtFile> files = art::GenerateArt();
  EXPECT_EQ(files.size(), 16u);
  const PixelFormat format;
  for (const art::ArtFile& file : files) {
    SCOPED_TRACE(file.name);
    const std::span<const uint8_t> generated(reinterpret_cast<const uint8_t*>(file.bytes.data()),
                                             file.bytes.size());
    const std::span<const uint8_t> committed = FindResource(file.name);
    ASSERT_GE(generated.size(), 11u);
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(reinterpret_cast<const char*>(generated.data()), "P6 %d %d", &w, &h), 2);
    Surface fromGenerator(w, h), fromBuild(w, h);
    ASSERT_TRUE(DecodePicture(generated, format, fromGenerator));
    ASSERT_TRUE(DecodePicture(committed, format, fromBuild)) << "run scripts/make-art.sh";
    EXPECT_TRUE(fromGenerator == fromBuild) << "run scripts/make-art.sh";
  }
}
