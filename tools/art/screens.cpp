// Text and backdrops: the font, status labels, link caption, star strip,
// title picture and window icon.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "tools/art/art.h"
#include "tools/art/glyphs.h"

namespace art {

namespace {

constexpr uint8_t kFontLight = 231, kFontMid = 165, kFontDark = 99;

// Warm label colour by row, pale gold at the top to orange at the bottom.
Rgb Warm(double t) {
  return Mix(Rgb{255, 246, 200}, Rgb{255, 150, 70}, t);
}

// Columns of the glyph that hold pixels: [first, last], or first > last.
void UsedColumns(const Glyph& g, int& first, int& last) {
  first = kGlyphW;
  last = -1;
  for (int x = 0; x < kGlyphW; ++x)
    for (int y = 0; y < kGlyphH; ++y)
      if (GlyphPixel(g, x, y)) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
}

// Draws bold small text (each glyph pixel one wide, `tall` high, thickened one
// pixel to the right) with a drop shadow; returns the width used.
int SmallText(Sprite& s, int x0, int y0, std::string_view text, int tall, Rgb shadow,
              Rgb (*colour)(double), bool measureOnly = false) {
  int x = x0;
  for (char ch : text) {
    const Glyph& g = GlyphFor(ch);
    int first, last;
    UsedColumns(g, first, last);
    if (first > last) {
      x += 4;
      continue;
    }
    const bool bold = ch != ':' && ch != '.';
    const int width = last - first + 1 + (bold ? 1 : 0);
    if (!measureOnly) {
      auto on = [&](int px, int py) {
        const int gx = px + first, gy = py / tall;
        return GlyphPixel(g, gx, gy) || (bold && GlyphPixel(g, gx - 1, gy));
      };
      for (int py = 0; py < kGlyphH * tall; ++py)
        for (int px = 0; px < width; ++px)
          if (on(px, py) && !on(px + 1, py + 1) && !s.Solid(x + px + 1, y0 + py + 1))
            s.Set(x + px + 1, y0 + py + 1, shadow);
      for (int py = 0; py < kGlyphH * tall; ++py)
        for (int px = 0; px < width; ++px)
          if (on(px, py))
            s.Set(x + px, y0 + py, colour(static_cast<double>(py) / (kGlyphH * tall - 1)));
    }
    x += width + 1;
  }
  return x - x0;
}

constexpr std::array<std::array<std::string_view, 11>, 10> kDigits{{
    {".#####.", "#######", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##",
     "##...##", "#######", ".#####."},
    {"...##..", "..###..", ".####..", "...##..", "...##..", "...##..", "...##..", "...##..",
     "...##..", ".######", ".######"},
    {".#####.", "#######", "##...##", ".....##", "....###", "..####.", ".###...", "###....",
     "##.....", "#######", "#######"},
    {".#####.", "#######", "##...##", ".....##", "..####.", "..####.", ".....##", ".....##",
     "##...##", "#######", ".#####."},
    {"....##.", "...###.", "..####.", ".##.##.", "##..##.", "##..##.", "#######", "#######",
     "....##.", "....##.", "....##."},
    {"#######", "#######", "##.....", "##.....", "######.", "#######", ".....##", ".....##",
     "##...##", "#######", ".#####."},
    {".#####.", "#######", "##...##", "##.....", "######.", "#######", "##...##", "##...##",
     "##...##", "#######", ".#####."},
    {"#######", "#######", ".....##", "....##.", "...##..", "...##..", "..##...", "..##...",
     "..##...", "..##...", "..##..."},
    {".#####.", "#######", "##...##", "##...##", ".#####.", ".#####.", "##...##", "##...##",
     "##...##", "#######", ".#####."},
    {".#####.", "#######", "##...##", "##...##", "##...##", "#######", ".######", ".....##",
     "##...##", "#######", ".#####."},
}};

// Deep-space backdrop colour of the title picture at row y (no stars).
Rgb TitleSky(int y) {
  const double t = y / 399.0;
  return Mix(Rgb{3, 3, 14}, Rgb{14, 6, 30}, t);
}

constexpr int kBandTop = 374;  // the title's plain strip under the banner starts here
constexpr Rgb kBand{8, 6, 22};

void Paint(Image& dst, const Sprite& s, int dx, int dy) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Solid(x, y)) dst.Set(dx + x, dy + y, s.Get(x, y));
}

// Cell `index` of a sheet made by BuildSheet, square cells of `size`.
Sprite SheetCell(const Image& sheet, int size, int index) {
  const int h = sheet.Height() / 2, x0 = index * size;
  Sprite s(size, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < size; ++x)
      if (sheet.Get(x0 + x, h + y) == kBlack) s.Set(x, y, sheet.Get(x0 + x, y));
  return s;
}

// Adds light to a pixel (glows, nebula), never darkening it.
void Glow(Image& img, int x, int y, Rgb add, double k) {
  if (!img.Inside(x, y)) return;
  const Rgb c = img.Get(x, y);
  auto ch = [k](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::min(255.0, a + b * k)); };
  img.Set(x, y, {ch(c.r, add.r), ch(c.g, add.g), ch(c.b, add.b)});
}

// The game's name in bevelled gold letters, `pix` pixels to a glyph pixel,
// centred on the picture `top` rows down, with a dark rim and a shadow.
void PaintName(Image& img, int top, int pix) {
  constexpr std::string_view kName = "KESTRANE";
  const int advance = 6 * pix, width = static_cast<int>(kName.size()) * advance - pix;
  const int x0 = (img.Width() - width) / 2;
  const int drop = std::max(1, (3 * pix + 2) / 5);  // 3 at the title's 5
  Sprite name(img.Width(), top + kGlyphH * pix + drop + 2);
  const Ramp gold{{{120, 50, 10}, {190, 100, 20}, {240, 160, 40}, {255, 210, 90}, {255, 244, 190}}};
  for (size_t i = 0; i < kName.size(); ++i) {
    const Glyph& g = GlyphFor(kName[i]);
    for (int gy = 0; gy < kGlyphH; ++gy)
      for (int gx = 0; gx < kGlyphW; ++gx) {
        if (!GlyphPixel(g, gx, gy)) continue;
        for (int y = 0; y < pix; ++y)
          for (int x = 0; x < pix; ++x) {
            double t = 0.85 - (gy * pix + y) / (kGlyphH * pix - 1.0) * 0.6;
            if (y == 0 && !GlyphPixel(g, gx, gy - 1)) t = 1.0;
            if (x == 0 && !GlyphPixel(g, gx - 1, gy)) t = std::min(1.0, t + 0.25);
            if (y == pix - 1 && !GlyphPixel(g, gx, gy + 1)) t = 0.05;
            if (x == pix - 1 && !GlyphPixel(g, gx + 1, gy)) t = std::max(0.0, t - 0.35);
            name.Set(x0 + static_cast<int>(i) * advance + gx * pix + x, top + gy * pix + y,
                     gold.Pick(t));
          }
      }
  }
  Sprite shade(name.Width(), name.Height());
  for (int y = 0; y < shade.Height(); ++y)
    for (int x = 0; x < shade.Width(); ++x)
      if (name.Solid(x - drop, y - drop)) shade.Set(x, y, Rgb{40, 10, 60});
  Paint(img, shade, 0, 0);
  name.Outline({30, 10, 8});
  Paint(img, name, 0, 0);
}

}  // namespace

Image MakeStars() {
  constexpr int kW = 600, kH = 360, kCell = 24;
  Image img(kW, kH);
  Rng rng(2024);
  // One star per cell of a jittered grid keeps the field even without a
  // visible pattern; big stars stay clear of the rows where the strip wraps.
  for (int cy = 0; cy < kH; cy += kCell) {
    for (int cx = 0; cx < kW; cx += kCell) {
      const int x = cx + rng.Below(kCell), y = cy + rng.Below(kCell);
      const int kind = rng.Below(100);
      if (kind < 50) {
        const uint8_t v = static_cast<uint8_t>(70 + rng.Below(40));
        img.Set(x, y, {v, v, static_cast<uint8_t>(v + 12)});
      } else if (kind < 80) {
        const uint8_t v = static_cast<uint8_t>(140 + rng.Below(40));
        img.Set(x, y, {v, v, v});
      } else if (kind < 95 || y < 6 || y > kH - 8 || x < 2 || x > kW - 3) {
        const Rgb tint[3] = {{255, 255, 255}, {200, 220, 255}, {255, 236, 200}};
        img.Set(x, y, tint[rng.Below(3)]);
      } else {
        img.Set(x, y, {255, 255, 255});
        const Rgb arm{120, 130, 170};
        img.Set(x - 1, y, arm);
        img.Set(x + 1, y, arm);
        img.Set(x, y - 1, arm);
        img.Set(x, y + 1, arm);
      }
    }
  }
  return img;
}

Image MakeFonte() {
  std::vector<Sprite> cells;
  for (int code = 32; code <= 93; ++code) {
    Sprite s(14, 16);
    const Glyph& g = GlyphFor(code);
    // Each glyph pixel becomes 2 x 2, thickened one column to the right so
    // strokes stay bold while the banner scrolls; the last rows stay clear
    // for the banner's drop shadow.
    auto on = [&](int x, int y) {
      return x >= 2 && y >= 0 &&
             (GlyphPixel(g, (x - 2) >> 1, y >> 1) ||
              (x >= 3 && GlyphPixel(g, (x - 3) >> 1, y >> 1)));
    };
    for (int y = 0; y < 14; ++y)
      for (int x = 2; x < 13; ++x) {
        if (!on(x, y)) continue;
        uint8_t v = kFontMid;
        if (!on(x, y - 1) || !on(x - 1, y))
          v = kFontLight;
        else if (!on(x, y + 1))
          v = kFontDark;
        s.Set(x, y, {v, v, v});
      }
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

Image MakeStatus() {
  constexpr Rgb kBackground{16, 0, 0};
  constexpr Rgb kShadow{80, 26, 8};
  Sprite s(120, 30);
  SmallText(s, 0, 0, "STAGE:", 2, kShadow, Warm);
  SmallText(s, 42, 0, "SHIP:", 2, kShadow, Warm);
  SmallText(s, 80, 0, "SCORE:", 2, kShadow, Warm);
  for (int d = 0; d < 10; ++d) {
    auto on = [&](int x, int y) {
      return x >= 0 && y >= 0 && x < 7 && y < 11 && kDigits[d][y][x] == '#';
    };
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 8; ++x) {
        if (on(x, y))
          s.Set(9 * d + x, 17 + y, Warm(y / 10.0));
        else if (on(x - 1, y - 1))
          s.Set(9 * d + x, 17 + y, kShadow);
      }
  }
  Image img(120, 60);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool solid = s.Solid(x, y);
      img.Set(x, y, solid ? s.Get(x, y) : kBackground);
      img.Set(x, y + 30, solid ? kBlack : kWhite);
    }
  return img;
}

Image MakeLink() {
  constexpr std::string_view kCaption = "VISIT OUR WEB PAGE";
  Image img(kLinkW, 2 * kLinkH);
  const Rgb looks[2] = {{250, 250, 255}, {255, 226, 60}};
  for (int look = 0; look < 2; ++look) {
    Sprite text(kLinkW, kLinkH);
    auto colour = look ? +[](double) { return Rgb{255, 226, 60}; } : +[](double) {
      return Rgb{250, 250, 255};
    };
    const int width = SmallText(text, 0, 0, kCaption, 1, kBlack, colour, true) - 1;
    const int x0 = (kLinkW - width) / 2;
    SmallText(text, x0, 1, kCaption, 1, Scale(looks[look], 0.3), colour);
    for (int x = x0; x < x0 + width; x += 1) text.Set(x, 9, Scale(looks[look], 0.55));
    for (int y = 0; y < kLinkH; ++y)
      for (int x = 0; x < kLinkW; ++x)
        img.Set(x, look * kLinkH + y, text.Solid(x, y) ? text.Get(x, y) : TitleSky(kLinkY + y));
  }
  return img;
}

Image MakeTitle(const Image& link) {
  constexpr double kPi = std::numbers::pi;
  Image img(400, 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) img.Set(x, y, TitleSky(y));

  // Nebula: two tinted clouds, faded out towards the title and the banner.
  for (int y = 70; y < kBandTop; ++y) {
    const double fade = std::min({1.0, (y - 70) / 60.0, (kBandTop - y) / 50.0});
    for (int x = 0; x < 400; ++x) {
      const double a = Fbm(x / 70.0, y / 70.0, 5, 5), b = Fbm(x / 45.0 + 9, y / 45.0, 17, 5);
      const double violet = std::max(0.0, a - 0.45) * 2.4 * fade;
      const double teal = std::max(0.0, b - 0.55) * 2.0 * fade;
      Glow(img, x, y, {120, 40, 160}, violet * 0.55);
      Glow(img, x, y, {30, 110, 140}, teal * 0.4);
    }
  }
  // Stars, kept off the caption.
  Rng rng(99);
  for (int k = 0; k < 420; ++k) {
    const int x = rng.Below(400), y = rng.Below(kBandTop - 2);
    if (y > 44 && y < 66 && x > 122 && x < 282) continue;
    const int kind = rng.Below(100);
    const uint8_t v = static_cast<uint8_t>(kind < 60 ? 90 + rng.Below(60) : 170 + rng.Below(85));
    img.Set(x, y, {v, v, static_cast<uint8_t>(std::min(255, v + 20))});
    if (kind > 95 && y > 70) {
      for (int d = 1; d <= 3; ++d) {
        const double k2 = 0.5 / d;
        Glow(img, x - d, y, {160, 180, 255}, k2);
        Glow(img, x + d, y, {160, 180, 255}, k2);
        Glow(img, x, y - d, {160, 180, 255}, k2);
        Glow(img, x, y + d, {160, 180, 255}, k2);
      }
    }
  }

  // A small cratered moon on the left, lit like everything else.
  {
    const double mcx = 52, mcy = 258, mr = 17;
    const Ramp rock{{{22, 20, 40},
                     {48, 46, 72},
                     {84, 82, 110},
                     {130, 128, 150},
                     {186, 184, 200},
                     {230, 228, 236}}};
    for (int y = 230; y < 290; ++y)
      for (int x = 20; x < 90; ++x) {
        const double dx = (x + 0.5 - mcx) / mr, dy = (y + 0.5 - mcy) / mr;
        const double d2 = dx * dx + dy * dy;
        if (d2 >= 1) continue;
        const double dz = std::sqrt(1 - d2);
        const double light = std::max(0.0, -0.6 * dx - 0.5 * dy + 0.62 * dz);
        const double craters = Fbm(x / 6.0, y / 6.0, 63, 3);
        const double pits = craters < 0.38 ? -0.22 : (craters > 0.62 ? 0.1 : 0);
        img.Set(x, y, rock.Pick(std::clamp(light * 0.95 + pits + 0.05, 0.0, 1.0)));
      }
  }

  // A ringed planet on the right, lit from the upper left.
  {
    const double pcx = 338, pcy = 206, pr = 74;
    const Ramp land{{{16, 10, 40},
                     {40, 24, 80},
                     {80, 50, 130},
                     {140, 90, 180},
                     {200, 150, 220},
                     {240, 210, 250}}};
    for (int y = 0; y < kBandTop; ++y)
      for (int x = 200; x < 400; ++x) {
        const double dx = (x + 0.5 - pcx) / pr, dy = (y + 0.5 - pcy) / pr;
        const double d2 = dx * dx + dy * dy;
        if (d2 < 1) {
          const double dz = std::sqrt(1 - d2);
          const double light = std::max(0.0, -0.6 * dx - 0.5 * dy + 0.62 * dz);
          const double bands = Fbm(x / 60.0, (y + 0.6 * x) / 9.0, 41, 3);
          img.Set(x, y, land.Pick(std::clamp(light * 0.85 + (bands - 0.5) * 0.5 + 0.06, 0.0, 1.0)));
        } else if (d2 < 1.12) {
          const double rim = (1.12 - d2) / 0.12;
          const double side = std::max(0.0, -dx - dy);
          Glow(img, x, y, {110, 90, 255}, rim * (0.25 + 0.5 * side));
        }
      }
    // Ring: an ellipse band in front of the planet's lower half.
    for (int y = 120; y < kBandTop; ++y)
      for (int x = 180; x < 400; ++x) {
        const double rx = x + 0.5 - pcx, ry = y + 0.5 - pcy;
        const double ex = rx * std::cos(-0.32) - ry * std::sin(-0.32);
        const double ey = (rx * std::sin(-0.32) + ry * std::cos(-0.32)) / 0.22;
        const double r = std::hypot(ex, ey) / pr;
        if (r < 1.3 || r > 1.9) continue;
        const bool behind = ey < 0 && std::hypot(rx, ry) < pr;
        if (behind) continue;
        if (r > 1.56 && r < 1.61) continue;  // the gap between the inner and outer ring
        const double stripe = 0.5 + 0.5 * std::sin(r * 40);
        const double lit = 0.55 + 0.45 * std::clamp(-ex / (1.9 * pr), -1.0, 1.0);
        const Rgb ring = Scale(Mix(Rgb{150, 120, 90}, Rgb{236, 210, 160}, stripe), lit);
        img.Set(x, y, Mix(img.Get(x, y), ring, 0.8));
      }
  }

  // Enemies far ahead and a few shots on their way.
  Paint(img, SheetCell(MakeEnnemy(3), 48, 5), 84, 92);
  Paint(img, SheetCell(MakeEnnemy(0), 32, 3), 36, 176);
  Paint(img, SheetCell(MakeEnnemy(1), 32, 2), 220, 84);
  const Image shots = MakeBullet();
  Paint(img, SheetCell(shots, 14, 0), 171, 146);
  Paint(img, SheetCell(shots, 14, 1), 182, 104);
  Paint(img, SheetCell(shots, 14, 2), 193, 128);

  // The fighter, large, climbing out of the picture's centre.
  {
    Sprite ship(140, 170);
    DrawShip(ship, 70, 4, 2.8, -12 * kPi / 180);
    DrawFlame(ship, 72, 126, 11, 40, 3);
    ship.Outline({10, 12, 26});
    // Engine glow under the flame.
    for (int y = 0; y < 170; ++y)
      for (int x = 0; x < 140; ++x) {
        const double d = std::hypot((x - 72) / 18.0, (y - 140) / 30.0);
        if (d < 1) Glow(img, 130 + x, 150 + y, {200, 60, 180}, (1 - d) * 0.35);
      }
    Paint(img, ship, 130, 150);
  }

  PaintName(img, 6, 5);

  // Key help near the bottom, keys in yellow.
  {
    constexpr std::string_view kLines[3] = {"M - MUSIC ON/OFF", "S - SOUND ON/OFF",
                                            "SPACE - START GAME"};
    for (int i = 0; i < 3; ++i) {
      Sprite text(400, 20);
      const std::string_view line = kLines[i];
      const size_t dash = line.find(" - ");
      auto key = +[](double t) { return Mix(Rgb{255, 240, 120}, Rgb{255, 170, 40}, t); };
      auto rest = +[](double t) { return Mix(Rgb{230, 236, 255}, Rgb{150, 170, 220}, t); };
      const int w = SmallText(text, 0, 0, line, 2, kBlack, rest, true) - 1;
      int x = (400 - w) / 2;
      x += SmallText(text, x, 1, line.substr(0, dash), 2, Rgb{20, 10, 40}, key);
      SmallText(text, x, 1, line.substr(dash), 2, Rgb{20, 10, 40}, rest);
      text.Outline({6, 4, 18});
      Paint(img, text, 0, 302 + i * 22);
    }
  }

  // The plain strip the banner scrolls over, with a thin rule above it.
  for (int y = kBandTop; y < 400; ++y)
    for (int x = 0; x < 400; ++x) img.Set(x, y, kBand);
  for (int x = 0; x < 400; ++x) {
    const double k = 1 - std::abs(x - 199.5) / 200;
    img.Set(x, kBandTop, Mix(kBand, Rgb{120, 80, 200}, k * 0.8));
  }

  // The caption exactly as the link draws it when not lit.
  for (int y = 0; y < kLinkH; ++y)
    for (int x = 0; x < kLinkW; ++x) img.Set(kLinkX + x, kLinkY + y, link.Get(x, y));
  return img;
}

namespace {
// The icon's glow with the ship over it, the ship `share` of its full size
// and centred on the icon.
Image DrawIcon(int size, double share) {
  // Drawn at each size rather than scaled, so small icons stay crisp.
  const double k = size / 32.0, mid = size / 2.0 - 0.5;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double d = std::hypot(x - mid, y - mid) / (22 * k);
      img.Set(x, y, Mix(Rgb{30, 26, 70}, Rgb{6, 6, 20}, std::min(1.0, d)));
    }
  Sprite ship(size, size);
  // At full size the ship spans rows k to 31k; smaller, it keeps the centre.
  DrawShip(ship, size / 2.0, k + 15 * k * (1 - share), 0.66 * k * share, 0);
  for (int ring = 0; ring <= size / 96; ++ring) ship.Outline({6, 8, 20});
  Paint(img, ship, 0, 0);
  return img;
}
}  // namespace

Image MakeIcon(int size) {
  return DrawIcon(size, 1.0);
}

Image MakeMaskableIcon(int size) {
  return DrawIcon(size, 0.6);
}

std::vector<uint8_t> IconCoverage(int size) {
  // A rounded square, its edge smoothed over one pixel.
  const double half = size / 2.0, radius = size * 0.22;
  std::vector<uint8_t> alpha(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double qx = std::max(std::abs(x + 0.5 - half) - (half - radius), 0.0);
      const double qy = std::max(std::abs(y + 0.5 - half) - (half - radius), 0.0);
      const double outside = std::hypot(qx, qy) - radius;
      alpha[static_cast<size_t>(y) * size + x] =
          static_cast<uint8_t>(std::lround(255 * std::clamp(0.5 - outside, 0.0, 1.0)));
    }
  return alpha;
}

namespace {
// Deep space for the installer's pictures: the title's sky, nebula and stars
// at the picture's size.
Image InstallerSky(int w, int h, uint32_t seed, int stars) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      img.Set(x, y, TitleSky(y * 399 / std::max(1, h - 1)));
      const double a = Fbm(x / 50.0, y / 50.0, seed, 4),
                   b = Fbm(x / 35.0 + 9, y / 35.0, seed + 12, 4);
      Glow(img, x, y, {120, 40, 160}, std::max(0.0, a - 0.45) * 1.3);
      Glow(img, x, y, {30, 110, 140}, std::max(0.0, b - 0.55) * 0.8);
    }
  Rng rng(seed);
  for (int k = 0; k < stars; ++k) {
    const int x = rng.Below(w), y = rng.Below(h);
    const uint8_t v =
        static_cast<uint8_t>(rng.Below(100) < 60 ? 90 + rng.Below(60) : 170 + rng.Below(85));
    img.Set(x, y, {v, v, static_cast<uint8_t>(std::min(255, v + 20))});
  }
  return img;
}

// The fighter climbing with its flame, nose at `top`, and the engine's glow.
void PaintFighter(Image& img, double cx, double top, double scale) {
  constexpr double kRoll = -12 * std::numbers::pi / 180;
  const double k = scale / 2.8;  // the title's fighter is drawn at 2.8
  Sprite ship(img.Width(), img.Height());
  DrawShip(ship, cx, top, scale, kRoll);
  DrawFlame(ship, cx + 2 * k, top + 122 * k, 11 * k, 40 * k, 3);
  ship.Outline({10, 12, 26});
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const double d = std::hypot((x - cx - 2 * k) / (18 * k), (y - top - 136 * k) / (30 * k));
      if (d < 1) Glow(img, x, y, {200, 60, 180}, (1 - d) * 0.35);
    }
  Paint(img, ship, 0, 0);
}
}  // namespace

Image MakeWizardPicture() {
  Image img = InstallerSky(kWizardW, kWizardH, 311, 150);
  // A moon low on the left, lit from the upper left as the title's planets.
  const double mcx = 22, mcy = 282, mr = 46;
  const Ramp rock{{{16, 10, 40}, {40, 24, 80}, {80, 50, 130}, {140, 90, 180}, {200, 150, 220}}};
  for (int y = 0; y < kWizardH; ++y)
    for (int x = 0; x < kWizardW; ++x) {
      const double dx = (x + 0.5 - mcx) / mr, dy = (y + 0.5 - mcy) / mr, d2 = dx * dx + dy * dy;
      if (d2 >= 1) continue;
      const double light = std::max(0.0, -0.6 * dx - 0.5 * dy + 0.62 * std::sqrt(1 - d2));
      const double bands = Fbm(x / 40.0, (y + 0.6 * x) / 8.0, 41, 3);
      img.Set(x, y, rock.Pick(std::clamp(light * 0.85 + (bands - 0.5) * 0.5 + 0.06, 0.0, 1.0)));
    }
  Paint(img, SheetCell(MakeEnnemy(0), 32, 3), 18, 96);
  Paint(img, SheetCell(MakeEnnemy(1), 32, 2), 112, 70);
  const Image shots = MakeBullet();
  Paint(img, SheetCell(shots, 14, 0), 76, 120);
  Paint(img, SheetCell(shots, 14, 1), 86, 92);
  PaintFighter(img, 84, 150, 2.0);
  PaintName(img, 16, 3);
  return img;
}

Image MakeWizardHeader() {
  Image img = InstallerSky(kHeaderW, kHeaderH, 57, 40);
  PaintFighter(img, 22, 6, 0.8);
  Image name(kHeaderW - 38, kHeaderH);
  for (int y = 0; y < name.Height(); ++y)
    for (int x = 0; x < name.Width(); ++x) name.Set(x, y, img.Get(38 + x, y));
  PaintName(name, 21, 2);
  img.Blit(name, 38, 0);
  return img;
}

}  // namespace art
