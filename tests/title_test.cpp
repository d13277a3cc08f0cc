#include "display/title.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "display/banner.h"
#include "tests/fakes.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kLastFrame = 0x123456;

// Every title pixel is its own colour, never black or white, so each one can
// be traced and survives an AND with a white mask.
uint32_t TitlePixel(int x, int y) {
  return 0x400000u + static_cast<uint32_t>(y * 400 + x);
}

// The glyph colour of a character code; blanks draw nothing.
uint32_t GlyphColour(int code) {
  return 0x10100u * static_cast<uint32_t>(code);
}
constexpr int kGlyphX = 3;  // each glyph is one column in its cell, rows 2..14

struct TitleTest : ::testing::Test, GameRig {
  TitleTest() {
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) gfx->picTitle.SetPixel(x, y, TitlePixel(x, y));
    // A font whose glyphs are one column each, in the character's own colour,
    // with their masks 16 rows below.
    gfx->picFonte.Fill(0);
    for (int x = 0; x < 868; ++x)
      for (int y = 16; y < 32; ++y) gfx->picFonte.SetPixel(x, y, kWhite);
    for (int code = 33; code < 94; ++code) {
      const int x = (code - 32) * 14 + kGlyphX;
      for (int y = 2; y < 15; ++y) {
        gfx->picFonte.SetPixel(x, y, GlyphColour(code));
        gfx->picFonte.SetPixel(x, y + 16, 0);
      }
    }
    gfx->picScrollBuffer.Fill(kWhite);
    gfx->canvas.Fill(kLastFrame);
  }

  // The character code rendered into cell i of the banner surface, read back
  // from its glyph column; 32 for an empty cell.
  int CellCode(int i) const {
    const uint32_t pixel = gfx->picScrollBuffer.Pixel(i * 14 + kGlyphX, 5);
    return pixel == 0 ? 32 : static_cast<int>(pixel / 0x10100u);
  }
  std::string BannerCells() const {
    std::string s;
    for (int i = 0; i < 30; ++i) s += static_cast<char>(CellCode(i));
    return s;
  }
};

}  // namespace

TEST_F(TitleTest, RevealPaintsOneRowInTenPerPassOverTheLastFrameWithTenPauses) {
  // As on a return from play: both timers are off during the reveal.
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  g.world.BannerChar = 57;
  g.world.BannerShift = 6;
  p.now = 1000;
  std::vector<uint32_t> presentTimes;
  int pass = 0;
  p.onPresent = [&](const Surface& canvas) {
    presentTimes.push_back(p.now);
    for (int y = 0; y < 400; ++y) {
      const bool painted = y % 10 <= pass;
      for (int x : {0, 217, 399}) {
        ASSERT_EQ(canvas.Pixel(x, y), painted ? TitlePixel(x, y) : kLastFrame)
            << "pass " << pass << " row " << y;
      }
    }
    ++pass;
  };
  ShowTitleScreen(g);

  EXPECT_EQ(presentTimes,
            (std::vector<uint32_t>{1000, 1050, 1100, 1150, 1200, 1250, 1300, 1350, 1400, 1450}));
  EXPECT_EQ(p.now, 1500u);
  EXPECT_EQ(gfx->canvas, gfx->picTitle);
  EXPECT_TRUE(loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_FALSE(loop.TimerEnabled(TimerId::Main));
  EXPECT_EQ(g.world.BannerChar, 0);
  EXPECT_EQ(g.world.BannerShift, 0);
  EXPECT_EQ(BannerCells(), BannerText.substr(0, 30));
}

TEST_F(TitleTest, AtStartUpBannerTicksInThePausesTouchOnlyTheBannerRows) {
  // The banner timer is created enabled, so it ticks during the first reveal.
  int ticks = 0;
  p.onPresent = [&](const Surface&) { ++ticks; };
  ShowTitleScreen(g);
  EXPECT_GT(ticks, 10 + 10);
  for (int y = 0; y < 400; ++y) {
    if (y >= 380 && y <= 396) continue;
    for (int x = 0; x < 400; ++x) ASSERT_EQ(gfx->canvas.Pixel(x, y), TitlePixel(x, y));
  }
  // The first tick after the reveal starts from character 0, shift 2.
  const uint32_t end = p.now;
  RunUntil(loop, p, end + 20);
  EXPECT_EQ(g.world.BannerShift, 2);
  EXPECT_EQ(g.world.BannerChar, 0);
}

TEST_F(TitleTest, ARoundStartedInARevealPauseEndsTheRevealAndKeepsTheBannerOff) {
  // As inside BackToTitle, with Space pressed in the third pause.
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.KeyDownAt(120, kVkSpace);
  ShowTitleScreen(g);

  EXPECT_TRUE(g.world.GameRunning);
  EXPECT_EQ(p.now, 150u);
  EXPECT_EQ(p.presents, 3);
  EXPECT_FALSE(loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_TRUE(loop.TimerEnabled(TimerId::Main));
  EXPECT_EQ(gfx->canvas.Pixel(5, 3), kLastFrame);  // pass 3 never painted

  // The round's frame ticks own the window; no banner tick comes.
  RunUntil(loop, p, 1000);
  EXPECT_EQ(g.world.BannerShift, 0);
  EXPECT_TRUE(loop.TimerEnabled(TimerId::Main));
}

TEST_F(TitleTest, KeysMashedInTheRevealPausesNeitherStackRevealsNorOutlastTheStorm) {
  // Escape ends a round, then thousands of Space and Escape presses arrive,
  // every one inside the pauses of the reveal that return starts: each pair
  // starts a round and ends it again.
  StartPlaying(*this);
  gfx->canvas.Fill(kLastFrame);
  const uint32_t start = p.now + 10;
  constexpr uint32_t kPairs = 3000;
  p.KeyDownAt(start, kVkEscape);
  for (uint32_t i = 1; i <= kPairs; ++i) {
    for (int16_t key : {kVkSpace, kVkEscape}) {
      p.KeyDownAt(start + i, key);
      p.KeyUpAt(start + i, key);
    }
  }
  const uintptr_t top = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  uintptr_t deepest = top;
  p.onPresent = [&](const Surface&) {
    deepest = std::min(deepest, reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  };
  const uint32_t stormEnd = start + kPairs;
  RunUntil(loop, p, stormEnd + 1000);

  EXPECT_TRUE(p.Idle());
  EXPECT_LT(top - deepest, 64u << 10) << "reveals nested inside each other";
  EXPECT_FALSE(g.world.GameRunning);
  EXPECT_TRUE(loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_FALSE(loop.TimerEnabled(TimerId::Main));
  for (int y = 0; y < 380; ++y)
    for (int x : {0, 217, 399}) ASSERT_EQ(gfx->canvas.Pixel(x, y), TitlePixel(x, y)) << y;
  EXPECT_GT(g.world.BannerShift + g.world.BannerChar, 0);
}

TEST_F(TitleTest, BuildBannerTextRendersThirtyCharactersAndWrapsAt171) {
  g.world.BannerChar = 0;
  BuildBannerText(g, 0);
  EXPECT_EQ(BannerCells(), BannerText.substr(0, 30));
  EXPECT_EQ(BannerCells().substr(28), "..");

  g.world.BannerChar = 40;
  BuildBannerText(g, 40);
  EXPECT_EQ(BannerCells(), BannerText.substr(40, 30));

  // 170 still fits (characters 170..199, all blank), leaving no old glyphs.
  g.world.BannerChar = 170;
  BuildBannerText(g, 170);
  EXPECT_EQ(BannerCells(), std::string(30, ' '));
  EXPECT_EQ(g.world.BannerChar, 170);

  g.world.BannerChar = 171;
  BuildBannerText(g, 171);
  EXPECT_EQ(BannerCells(), BannerText.substr(0, 30));
  EXPECT_EQ(g.world.BannerChar, 0);

  // The part of the surface past the 30 cells keeps its background.
  EXPECT_EQ(gfx->picScrollBuffer.Pixel(425, 5), kWhite);
  EXPECT_EQ(gfx->picScrollBuffer.Pixel(10, 35), kWhite);
}

TEST_F(TitleTest, TicksScrollTwoPixelsAndAdvanceACharacterEverySeventh) {
  gfx->canvas = gfx->picTitle;
  BuildBannerText(g, 0);
  std::vector<int> shifts, chars;
  for (int i = 0; i < 7; ++i) {
    tmrScrollText_Timer(g);
    shifts.push_back(g.world.BannerShift);
    chars.push_back(g.world.BannerChar);
    if (i == 0) {
      // Character 28, the first full stop, is the only glyph in view: cell 28
      // at x = 14 * 28 - 2, its shadow one pixel right and down.
      const int x = 14 * 28 - 2 + kGlyphX;
      EXPECT_EQ(gfx->canvas.Pixel(x, 385), GlyphColour('.'));
      EXPECT_EQ(gfx->canvas.Pixel(x + 1, 386), 0u);
      EXPECT_EQ(gfx->canvas.Pixel(x + 1, 395), 0u);            // the shadow of glyph row 14
      EXPECT_EQ(gfx->canvas.Pixel(x, 382), GlyphColour('.'));  // the glyph's top row
      EXPECT_EQ(gfx->canvas.Pixel(x + 1, 382), TitlePixel(x + 1, 382));
      EXPECT_EQ(gfx->canvas.Pixel(x - 1, 385), TitlePixel(x - 1, 385));
    }
  }
  EXPECT_EQ(shifts, (std::vector<int>{2, 4, 6, 8, 10, 12, 0}));
  EXPECT_EQ(chars, (std::vector<int>{0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(p.presents, 7);

  // Seventh tick: characters 1..30 at shift 0, so character 28 sits in cell 27
  // and character 29 has come into view in cell 28.
  EXPECT_EQ(gfx->canvas.Pixel(14 * 27 + kGlyphX, 390), GlyphColour('.'));
  EXPECT_EQ(gfx->canvas.Pixel(14 * 28 + kGlyphX, 390), GlyphColour('.'));
  EXPECT_EQ(gfx->canvas.Pixel(14 * 28 + kGlyphX - 2, 390), TitlePixel(14 * 28 + kGlyphX - 2, 390));

  // Only rows 380..395 changed; row 396 and all others keep the title picture.
  for (int y : {0, 379, 396, 397, 399})
    for (int x = 0; x < 400; ++x) ASSERT_EQ(gfx->canvas.Pixel(x, y), TitlePixel(x, y));
}

TEST_F(TitleTest, TheStripIsRedrawnFromTheTitlePictureEachTick) {
  // A mouse caption or an old frame drawn over the strip does not linger.
  gfx->canvas = gfx->picTitle;
  BuildBannerText(g, 0);
  for (int y = 380; y < 396; ++y)
    for (int x = 0; x < 380; ++x) gfx->canvas.SetPixel(x, y, kLastFrame);
  tmrScrollText_Timer(g);
  for (int y = 380; y < 396; ++y)
    for (int x = 0; x < 380; ++x) ASSERT_EQ(gfx->canvas.Pixel(x, y), TitlePixel(x, y));
}

TEST_F(TitleTest, ABannerLoopIs1197TicksAndWrapsBackToTheStart) {
  BuildBannerText(g, 0);
  for (int i = 0; i < 170 * 7; ++i) {
    tmrScrollText_Timer(g);
    ASSERT_LE(g.world.BannerChar, 170);
    ASSERT_LE(g.world.BannerShift, 12);
  }
  // The last step before the wrap shows only blanks.
  EXPECT_EQ(g.world.BannerChar, 170);
  EXPECT_EQ(BannerCells(), std::string(30, ' '));
  for (int i = 0; i < 7; ++i) tmrScrollText_Timer(g);
  EXPECT_EQ(g.world.BannerChar, 0);
  EXPECT_EQ(g.world.BannerShift, 0);
  EXPECT_EQ(BannerCells(), BannerText.substr(0, 30));
  EXPECT_EQ(p.presents, 171 * 7);
}
