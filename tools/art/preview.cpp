// Composes the pictures the way the game draws them, a title screen with its
// banner and a busy moment of play, so the art can be judged in place.
// Usage: artpreview TITLE.ppm PLAY.ppm
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>

#include "assets/surfaces.h"

namespace {

const PixelFormat kFormat{};

bool WritePpm(const Surface& s, const char* path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << s.Width() << " " << s.Height() << "\n255\n";
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const uint32_t p = s.Pixel(x, y);
      const char rgb[3] = {static_cast<char>(kFormat.Red(p)), static_cast<char>(kFormat.Green(p)),
                           static_cast<char>(kFormat.Blue(p))};
      out.write(rgb, 3);
    }
  return static_cast<bool>(out);
}

void DrawCell(Surface& dst, const Surface& sheet, const SheetLayout& l, int cell, int x, int y) {
  MaskedDraw(dst, x, y, sheet, cell * l.cellWidth, 0, l.cellWidth, l.cellHeight, l.cellHeight);
}

void Title(Surfaces& g) {
  BitBlt(g.canvas, 0, 0, 400, 400, g.picTitle, 0, 0, kSrcCopy);
  constexpr std::string_view kText = "...KESTRANE!!!   THIS TINY GAME";
  for (size_t i = 0; i < 30; ++i)
    BitBlt(g.picScrollBuffer, static_cast<int>(i) * 14, 0, 14, 32, g.picFonte, (kText[i] - 32) * 14,
           0, kSrcCopy);
  BitBlt(g.canvas, 0, 380, 400, 16, g.picScrollBuffer, 6, 16, kSrcAnd);
  BitBlt(g.canvas, 1, 381, 400, 16, g.picScrollBuffer, 6, 16, kSrcAnd);
  BitBlt(g.canvas, 0, 380, 400, 16, g.picScrollBuffer, 6, 0, kSrcPaint);
}

void Play(Surfaces& g) {
  BitBlt(g.canvas, 0, 0, 400, 400, g.sprStars, 0, 0, kSrcCopy);
  BitBlt(g.canvas, 0, 360, 400, 40, g.sprStars, 0, 2, kSrcCopy);
  for (int k = 0; k < 4; ++k) {
    const SheetLayout& l = kEnnemySheets[k];
    for (int i = 0; i < 3; ++i)
      DrawCell(g.canvas, g.sprEnnemy[k], l, (i * 3 + k) % l.cells, 30 + i * 120 + k * 12,
               40 + k * 60);
  }
  for (int i = 0; i < 4; ++i)
    DrawCell(g.canvas, g.sprBlow, kBlowSheet, 3 + i * 4, 40 + i * 90, 280);
  const int labels[3][4] = {{0, 20, 40, 15}, {42, 340, 30, 15}, {80, 165, 38, 15}};
  for (const auto& l : labels) MaskedDraw(g.canvas, l[1], 0, g.sprStatus, l[0], 0, l[2], l[3], 30);
  const int digits[8][2] = {{60, 0},  {69, 1},  {375, 3}, {210, 0},
                            {219, 1}, {228, 2}, {237, 7}, {246, 5}};
  for (const auto& d : digits) MaskedDraw(g.canvas, d[0], 0, g.sprStatus, 9 * d[1], 17, 9, 12, 30);
  for (int a = 0; a < 3; ++a) {
    const int x = 120 + a * 70, y = 330;
    DrawCell(g.canvas, g.sprPlayer, kPlayerSheet, a, x, y - a * 6);
    DrawCell(g.canvas, g.sprReacteur, kReacteurSheet, a, x + 16, y - a * 6 + 44);
    DrawCell(g.canvas, g.sprBullet, kBulletSheet, a, x + 15, y - 60 - a * 20);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: artpreview TITLE.ppm PLAY.ppm\n");
    return 2;
  }
  auto g = std::make_unique<Surfaces>();
  const std::string failed = LoadSurfaces(*g, kFormat);
  if (!failed.empty()) {
    std::fprintf(stderr, "artpreview: cannot load %s\n", failed.c_str());
    return 1;
  }
  Title(*g);
  if (!WritePpm(g->canvas, argv[1])) return 1;
  Play(*g);
  return WritePpm(g->canvas, argv[2]) ? 0 : 1;
}
