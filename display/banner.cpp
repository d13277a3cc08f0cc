#include "display/banner.h"

#include "assets/surfaces.h"

namespace {

// The message enters from the right edge and leaves the view empty before
// it wraps, hence the blanks on either side.
constexpr std::string_view kBannerText =
    "                            "
    "...KESTRANE!!!   THIS TINY GAME WAS CODED FOR FUN. THE GAME CONTAINS NO END AND ONLY "
    "RANDOM ENNEMY. TRY TO SHOOT MOST AS POSSIBLE. HAVE FUN..."
    "                               ";
static_assert(kBannerText.size() == 201);

constexpr int kCells = 30;       // characters that can be in view at once
constexpr int kGlyphWidth = 14;  // every character advances this far
constexpr int kCellHeight = 32;  // image rows 0..15, mask rows 16..31
constexpr int kStripHeight = 16;
constexpr int kStripY = 380;        // window rows the banner scrolls along
constexpr int kFirstGlyph = 32;     // the font sheet starts at the blank
constexpr int16_t kScrollStep = 2;  // pixels per tick

// Every character of the text has its glyph on the font sheet.
constexpr bool InFont(std::string_view text) {
  for (char c : text) {
    if (c < kFirstGlyph || c >= kFirstGlyph + kFonteSheet.cells) return false;
  }
  return true;
}
static_assert(InFont(kBannerText));

}  // namespace

const std::string_view BannerText = kBannerText;

void BuildBannerText(Game& g, int16_t start) {
  Surface& buffer = g.gfx.picScrollBuffer;
  // The corner past the 30 cells is never drawn on, so it still holds the
  // surface's background colour.
  buffer.Fill(buffer.Pixel(buffer.Width() - 1, buffer.Height() - 1));

  const int length = static_cast<int>(kBannerText.size());
  if (start < 0 || start + kCells >= length) {
    start = 0;
    g.world.BannerChar = 0;
  }
  for (int i = 0; i < kCells; ++i) {
    const int code = static_cast<unsigned char>(kBannerText[static_cast<size_t>(start + i)]);
    BitBlt(buffer, i * kGlyphWidth, 0, kGlyphWidth, kCellHeight, g.gfx.picFonte,
           (code - kFirstGlyph) * kGlyphWidth, 0, kSrcCopy);
  }
}

void tmrScrollText_Timer(Game& g) {
  World& w = g.world;
  w.BannerShift = static_cast<int16_t>(w.BannerShift + kScrollStep);
  if (w.BannerShift >= kGlyphWidth) {
    w.BannerShift = 0;
    ++w.BannerChar;
    BuildBannerText(g, w.BannerChar);
  }

  Surface& canvas = g.gfx.canvas;
  const Surface& buffer = g.gfx.picScrollBuffer;
  BitBlt(canvas, 0, kStripY, kCanvasSize, kStripHeight, g.gfx.picTitle, 0, kStripY, kSrcCopy);
  BitBlt(canvas, 0, kStripY, kCanvasSize, kStripHeight, buffer, w.BannerShift, kStripHeight,
         kSrcAnd);
  // The same mask once more, one pixel right and down: the drop shadow.
  BitBlt(canvas, 1, kStripY + 1, kCanvasSize, kStripHeight, buffer, w.BannerShift, kStripHeight,
         kSrcAnd);
  BitBlt(canvas, 0, kStripY, kCanvasSize, kStripHeight, buffer, w.BannerShift, 0, kSrcPaint);
  g.host.window.PresentRows(canvas, kStripY, kStripY + kStripHeight + 1);  // with the shadow's row
}
