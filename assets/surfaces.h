// The game's one set of surfaces: the window canvas, the background, every
// sprite sheet and picture. Made once at start-up, alive until the end.
#pragma once

#include <span>
#include <string>

#include "assets/surface.h"

struct SheetLayout {
  int cellWidth, cellHeight, cells;  // one row of cells; masks one cell height below
};

// Cell layouts of the uniform sheets.
constexpr SheetLayout kPlayerSheet{45, 45, 3};
constexpr SheetLayout kReacteurSheet{13, 16, 3};
constexpr SheetLayout kBulletSheet{14, 24, 3};
constexpr SheetLayout kBlowSheet{32, 32, 19};
constexpr SheetLayout kEnnemySheets[4] = {{32, 32, 10}, {32, 32, 8}, {32, 32, 8}, {48, 48, 23}};
constexpr SheetLayout kFonteSheet{14, 16, 62};

constexpr int kCanvasSize = 400;

// Masked draw of cell `column` of a one-row sheet: the picture at
// (cellWidth * column, 0), its mask one cell height below.
inline void DrawSheetCell(Surface& dst, int x, int y, const Surface& sheet,
                          const SheetLayout& layout, int column) {
  MaskedDraw(dst, x, y, sheet, layout.cellWidth * column, 0, layout.cellWidth, layout.cellHeight,
             layout.cellHeight);
}

struct Surfaces {
  Surface canvas{kCanvasSize, kCanvasSize};  // what the window shows when presented
  Surface bufTiles{605, 645};                // scrolling star-field background
  Surface sprStars{600, 360};
  Surface sprPlayer{135, 90};
  Surface sprReacteur{39, 32};
  Surface sprBullet{42, 48};
  Surface sprBlow{608, 64};
  Surface sprEnnemy[4] = {{320, 64}, {256, 64}, {256, 64}, {1104, 96}};
  Surface sprStatus{120, 60};
  Surface picTitle{400, 400};
  Surface picFonte{868, 32};
  Surface picScrollBuffer{440, 40};
  Surface sprLink{141, 20};
  Surface sprBulletEnnemy{24, 8};
  Surface sprBulletBoss{80, 40};
  Surface icon{32, 32};
};

// Decodes a picture into dst, which must have exactly the picture's size:
// a binary PPM (P6, maxval 255), or the run-length form the build embeds
// ("KPIC", width and height as 16-bit little-endian, then runs: a byte n < 128
// followed by n + 1 literal RGB pixels, or a byte 128 + n followed by one RGB
// pixel repeated n + 1 times). Returns false on anything else or on data
// that ends early; dst may then be partly written.
bool DecodePicture(std::span<const uint8_t> file, const PixelFormat& format, Surface& dst);

// Fills every picture surface from the embedded data and makes the banner
// work surface white (canvas and background start black). Returns an empty
// string on success, else the name of the picture that failed.
std::string LoadSurfaces(Surfaces& s, const PixelFormat& format);
