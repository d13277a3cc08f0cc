#include "display/status_bar.h"

#include <cstdio>

namespace {
// Sheet sprStatus: images in rows 0..29, each mask 30 rows below its image.
constexpr int kMaskOffset = 30;
constexpr int kLabelHeight = 15;
constexpr int kDigitWidth = 9, kDigitHeight = 12, kDigitSheetY = 17;

struct Label {
  int windowX, sheetX, width;
};
constexpr Label kStageLabel{20, 0, 40};
constexpr Label kShipLabel{340, 42, 30};
constexpr Label kScoreLabel{165, 80, 38};

constexpr int kStageX = 60, kStageDigits = 2;
constexpr int kLivesX = 375;
constexpr int kScoreX = 210, kScoreDigits = 5;

void DrawCell(Game& g, int windowX, int sheetX, int sheetY, int w, int h) {
  MaskedDraw(g.gfx.canvas, windowX, 0, g.gfx.sprStatus, sheetX, sheetY, w, h, kMaskOffset);
}

void DrawLabel(Game& g, const Label& l) {
  DrawCell(g, l.windowX, l.sheetX, 0, l.width, kLabelHeight);
}

void DrawDigit(Game& g, int windowX, int digit) {
  DrawCell(g, windowX, kDigitWidth * digit, kDigitSheetY, kDigitWidth, kDigitHeight);
}

// Formats value with at least `digits` digits, zero-padded, and draws the
// first `digits` characters from left to right.
void DrawNumber(Game& g, int windowX, int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  for (int i = 0; i < digits; ++i) DrawDigit(g, windowX + kDigitWidth * i, text[i] - '0');
}
}  // namespace

void DrawStatusBar(Game& g) {
  const World& w = g.world;
  DrawLabel(g, kStageLabel);
  DrawLabel(g, kShipLabel);
  DrawLabel(g, kScoreLabel);
  DrawNumber(g, kStageX, w.StageNumber, kStageDigits);
  DrawDigit(g, kLivesX, w.Lives);
  DrawNumber(g, kScoreX, w.Score, kScoreDigits);
}
