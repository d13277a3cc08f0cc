// The playfield sprites: the fighter, its flame and shots, the explosion and
// the four enemies.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/art/art.h"
#include "tools/art/render3d.h"

namespace art {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180;

const Ramp kHull{{{26, 30, 52},
                  {48, 58, 90},
                  {78, 94, 132},
                  {118, 136, 172},
                  {164, 180, 210},
                  {214, 224, 240},
                  {248, 250, 255}}};
const Ramp kGlass{{{12, 24, 56}, {18, 56, 110}, {40, 110, 180}, {110, 200, 240}, {220, 250, 255}}};
const Ramp kAccent{{{90, 16, 24}, {160, 30, 30}, {220, 70, 40}, {255, 140, 70}}};
const Ramp kGun{{{30, 30, 40}, {60, 62, 76}, {110, 112, 128}, {180, 182, 196}}};
const Ramp kRed{{{56, 4, 12},
                 {100, 10, 20},
                 {150, 22, 28},
                 {200, 44, 38},
                 {238, 84, 60},
                 {255, 150, 120},
                 {255, 224, 210}}};
const Ramp kGold{
    {{64, 36, 8}, {118, 72, 16}, {172, 116, 28}, {222, 168, 52}, {250, 212, 100}, {255, 244, 190}}};
const Ramp kSteel{{{40, 34, 40}, {80, 72, 80}, {130, 120, 126}, {186, 176, 178}, {240, 234, 230}}};
constexpr Rgb kShipEdge{10, 12, 26};
constexpr Rgb kRedEdge{24, 4, 10};

// Light used by the flat-shaded ship parts, same direction as the enemies'.
double ShipLight(Vec3 n) {
  static const Vec3 light = Normalize({-0.5, -0.55, 0.68});
  return std::clamp(0.12 + 0.78 * std::max(0.0, Dot(n, light)), 0.0, 1.0);
}

enum class Part { None, Hull, Wing, Stripe, Glass, Gun, Nozzle, Fin };

// The ship's plan view in its own units: u across (-22..22), v from the nose
// (0) to the tail (44). Returns the part there and its surface normal.
Part ShipPart(double u, double v, bool body, Vec3& n) {
  const double au = std::abs(u);
  if (body) {
    // Fuselage: a pointed nose widening into a long body with a tail flare.
    double hw = 0;
    if (v >= 1 && v < 15)
      hw = 0.6 + (v - 1) * 0.24;
    else if (v >= 15 && v < 36)
      hw = 4.0;
    else if (v >= 36 && v <= 42.5)
      hw = 4.0 + (v - 36) * 0.15;
    if (hw > 0 && au < hw) {
      const double k = u / hw;
      n = Normalize({k, v < 15 ? -0.35 : 0.0, std::sqrt(std::max(0.05, 1 - k * k))});
      const double cu = u / 2.1, cv = (v - 14.5) / 5.0;
      if (cu * cu + cv * cv < 1) return Part::Glass;
      if (v > 40.5) return Part::Nozzle;
      if (v > 22 && v < 24 && au < 3) return Part::Stripe;
      return Part::Hull;
    }
    return Part::None;
  }
  // Wing-tip cannons, pointing forward.
  if (au > 17.6 && au < 19.8 && v > 21 && v < 35) {
    n = Normalize({(au - 18.7) / 1.1 * (u < 0 ? -1 : 1), 0, 0.9});
    return Part::Gun;
  }
  // Main delta wings.
  const double lead = 18 + (au - 3) * 0.72, trail = 37.5 - (au - 3) * 0.12;
  if (au < 18.2 && v > lead && v < trail) {
    n = Normalize({u < 0 ? -0.12 : 0.12, v - lead < 2 ? -0.5 : 0.0, 1});
    if (v - lead < 2.2 && au > 6) return Part::Stripe;
    return Part::Wing;
  }
  // Canards near the cockpit.
  const double clead = 14 + (au - 3) * 0.9, ctrail = 19 - (au - 3) * 0.1;
  if (au < 8 && v > clead && v < ctrail) {
    n = Normalize({0, -0.2, 1});
    return Part::Wing;
  }
  // Twin tail fins.
  if (std::abs(au - 6.5) < 0.9 && v > 33 && v < 42) {
    n = Normalize({u < 0 ? 0.6 : -0.6, 0, 0.8});
    return Part::Fin;
  }
  return Part::None;
}

Rgb PartColour(Part p, double light) {
  switch (p) {
    case Part::Hull:
      return kHull.Pick(light);
    case Part::Wing:
      return kHull.Pick(light * 0.88);
    case Part::Stripe:
      return kAccent.Pick(light);
    case Part::Glass:
      return kGlass.Pick(light);
    case Part::Gun:
      return kGun.Pick(light);
    case Part::Nozzle:
      return kGun.Pick(light * 0.7);
    case Part::Fin:
      return kHull.Pick(light * 0.75);
    case Part::None:
      break;
  }
  return kBlack;
}

}  // namespace

void DrawShip(Sprite& s, double cx, double top, double scale, double roll) {
  constexpr double kEye = 55;        // perspective distance, in ship units
  constexpr double kBodyLift = 2.5;  // fuselage height above the wing plane
  const double c = std::cos(roll), sn = std::sin(roll);
  for (int py = 0; py < s.Height(); ++py) {
    for (int px = 0; px < s.Width(); ++px) {
      const double X = (px + 0.5 - cx) / scale, Y = (py + 0.5 - top) / scale - 22;
      Part part = Part::None;
      Vec3 n;
      for (int layer = 0; layer < 2 && part == Part::None; ++layer) {
        const bool body = layer == 0;
        const double lift = body ? kBodyLift : 0;
        // Undo the roll and the perspective for a point at height `lift`.
        const double x0 = X - lift * sn;
        const double u = x0 * kEye / (kEye * c - x0 * sn);
        const double depth = -u * sn + lift * c;
        const double v = Y * (kEye - depth) / kEye + 22;
        part = ShipPart(u, v, body, n);
      }
      if (part == Part::None) continue;
      const Vec3 rolled{n.x * c + n.z * sn, n.y, -n.x * sn + n.z * c};
      s.Set(px, py, PartColour(part, ShipLight(Normalize(rolled))));
    }
  }
}

void DrawFlame(Sprite& s, double cx, double top, double halfWidth, double length, int flicker) {
  if (length <= 0) return;
  for (int py = 0; py < s.Height(); ++py) {
    for (int px = 0; px < s.Width(); ++px) {
      const double y = (py + 0.5 - top) / length;
      if (y < 0 || y > 1) continue;
      const double wobble = 0.08 * std::sin(y * 9 + flicker * 2.1);
      const double hw = halfWidth * (std::pow(1 - y, 0.7) * (0.75 + 0.5 * std::sqrt(y)) + wobble);
      const double d = std::abs(px + 0.5 - cx) / std::max(hw, 0.01);
      if (d > 1) continue;
      const double heat = std::max(d, y * 0.9);
      Rgb col;
      if (heat < 0.3)
        col = {255, 255, 230};
      else if (heat < 0.55)
        col = {255, 236, 90};
      else if (heat < 0.78)
        col = {255, 168, 60};
      else
        col = {230, 60, 200};
      s.Set(px, py, col);
    }
  }
}

Image MakePlayer() {
  std::vector<Sprite> cells;
  for (double roll : {-34.0, 0.0, 34.0}) {
    Sprite s(45, 45);
    DrawShip(s, 22.5, 1, 1, roll * kDeg);
    s.Outline(kShipEdge);
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

Image MakeReacteur() {
  std::vector<Sprite> cells(3, Sprite(13, 16));
  DrawFlame(cells[1], 6.5, 0, 3.6, 8, 1);
  DrawFlame(cells[2], 6.5, 0, 4.6, 16, 2);
  return BuildSheet(cells);
}

Image MakeBullet() {
  const Ramp shot{{{14, 64, 34}, {40, 134, 70}, {96, 206, 120}, {170, 248, 180}, {236, 255, 238}}};
  std::vector<Sprite> cells;
  for (int f = 0; f < 3; ++f) {
    Sprite s(14, 24);
    // A round head leading a tapering tail; energy bands run down the tail
    // and the head pulses from frame to frame.
    const double head = 3.4 + 0.45 * std::sin(f * 2.1 + 0.5);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 14; ++x) {
        const double dx = x + 0.5 - 7, dy = y + 0.5 - 6.5;
        const double dh = std::hypot(dx, dy) / head;
        const double t = (y + 0.5 - 6.5) / 16.0;  // 0 at the head, 1 at the tail's end
        const double tail = t > 0 && t < 1 ? std::abs(dx) / (head * std::pow(1 - t, 0.9) + 0.3) : 2;
        const double d = std::min(dh, tail);
        if (d > 1) continue;
        const double band = t > 0 ? 0.18 * std::sin((y - f * 2.6) * 1.4) : 0;
        const double fade = std::max(0.0, t) * 0.55;
        s.Set(x, y, shot.Pick(std::clamp(1.15 - d - fade + band, 0.0, 1.0)));
      }
    }
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

Image MakeBlow() {
  constexpr int kFrames = 19;
  // Fire cooling into smoke: the bottom two entries are the last embers.
  const Ramp blow{{{52, 18, 26},
                   {92, 26, 22},
                   {150, 34, 12},
                   {214, 66, 16},
                   {246, 124, 26},
                   {255, 184, 52},
                   {255, 234, 124},
                   {255, 255, 228}}};
  std::vector<Sprite> cells;
  for (int f = 0; f < kFrames; ++f) {
    Sprite s(32, 32);
    if (f < 3) {
      // The first flash: a hot point with long glints.
      const double radius = 2.5 + 1.8 * f;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          const double d = std::hypot(x + 0.5 - 16, y + 0.5 - 16) / radius;
          if (d < 1) s.Set(x, y, blow.Pick(1.0 - 0.45 * d));
        }
      const int arm = 5 + 3 * f;
      for (int k = -arm; k <= arm; ++k) {
        const Rgb c = blow.Pick(1.0 - 0.5 * std::abs(k) / arm);
        if (!s.Solid(16 + k, 16)) s.Set(16 + k, 16, c);
        if (!s.Solid(16, 16 + k)) s.Set(16, 16 + k, c);
      }
      cells.push_back(s);
      continue;
    }
    // The ball swells fast, then slows while it cools and tears into puffs.
    const double radius = 6 + 9.5 * (1 - std::exp(-(f - 2) / 2.6));
    const double age = f < 9 ? 0.0 : (f - 9) / 9.0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
        const double d = std::hypot(dx, dy) / radius;
        const double drift = 1 - 0.18 * age;
        const double n = Fbm(16 + dx * drift / 4.2 + f * 0.05, 16 + dy * drift / 4.2, 77, 3);
        const double edge = 1.0 + 0.35 * (n - 0.5);
        if (d > edge) continue;
        if (age > 0 && n < 0.32 + 0.42 * age + 0.12 * d * age) continue;  // tearing apart
        const double cooling = 0.035 * std::min(f - 3, 6) + 0.85 * age;
        const double heat = (1 - cooling) * (1.05 - 0.6 * d) + 0.45 * (n - 0.5) - 0.25 * age;
        s.Set(x, y, blow.Pick(std::clamp(heat, 0.0, 1.0)));
      }
    }
    // Sparks flung out once the ball has formed.
    if (f >= 5) {
      Rng rng(1234);
      for (int k = 0; k < 24; ++k) {
        const double a = rng.Unit() * 2 * kPi, speed = 0.6 + rng.Unit() * 0.7;
        const double life = 0.55 + rng.Unit() * 0.5;
        const double sparkAge = (f - 5) / 13.0;
        const double r = 9 + speed * (f - 5) * 0.9;
        if (sparkAge > life || r > 15) continue;
        const int x = static_cast<int>(std::floor(16 + std::cos(a) * r));
        const int y = static_cast<int>(std::floor(16 + std::sin(a) * r));
        const double glow = 1 - sparkAge / life;
        s.Set(x, y, blow.Pick(0.3 + 0.7 * glow));
      }
    }
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

namespace {

Material Mat(const Ramp& r, double specular = 0.6) {
  return {r, specular, 0.18};
}

bool Meridians(Vec3 p) {
  // Panel seams every 45 degrees of longitude plus an equator band.
  const double lon = std::atan2(p.x, p.z) / (kPi / 4);
  return std::abs(lon - std::round(lon)) < 0.09 || std::abs(p.y) < 0.08;
}

bool MineSeams(Vec3 p) {
  return std::abs(p.y) < 0.1;
}

Sprite Mine(int f) {
  Scene sc(32, 32);
  const Vec3 c{16, 16, 0};
  const double spin = f * (45.0 / 10) * kDeg;
  sc.Sphere(c, 7.5, Mat(kRed), Mat3::RotZ(spin), MineSeams);
  for (int k = 0; k < 8; ++k) {
    const double a = spin + k * 45 * kDeg;
    const Vec3 dir{std::cos(a), std::sin(a), 0};
    const Vec3 tilt = k % 2 ? Vec3{0, 0, 0.35} : Vec3{0, 0, -0.1};
    const Vec3 d = Normalize(dir + tilt);
    sc.Cone(c + d * 5.5, c + d * (k % 2 ? 13.0 : 14.8), 2.6, Mat(kSteel, 0.8));
    sc.Sphere(c + d * 6.8, 1.3, Mat(kGold, 0.9), Mat3{});
  }
  return sc.ToSprite(kRedEdge);
}

Sprite RingedSphere(int f) {
  Scene sc(32, 32);
  const Vec3 c{16, 16, 0};
  const double turn = f * (180.0 / 8) * kDeg;
  const Mat3 tilt = Mat3::RotX(-22 * kDeg);
  sc.Sphere(c, 8.2, Mat(kRed), tilt * Mat3::RotY(turn), Meridians);
  sc.Torus(c, 12.2, 1.7, tilt * Mat3::RotY(turn), Mat(kGold, 0.9));
  return sc.ToSprite(kRedEdge);
}

Sprite RingedGem(int f) {
  Scene sc(32, 32);
  const Vec3 c{16, 16, 0};
  const Mat3 gemTurn = Mat3::RotX(18 * kDeg) * Mat3::RotY(f * (90.0 / 8) * kDeg);
  const Vec3 tip{0, -9.5, 0}, foot{0, 9.5, 0};
  Vec3 belt[4];
  for (int k = 0; k < 4; ++k) {
    const double a = k * 90 * kDeg;
    belt[k] = {6.5 * std::cos(a), -1.2, 6.5 * std::sin(a)};
  }
  const Material gem = Mat(kRed, 1.0);
  for (int k = 0; k < 4; ++k) {
    const Vec3 a = c + gemTurn * belt[k], b = c + gemTurn * belt[(k + 1) % 4];
    sc.Triangle(c + gemTurn * tip, a, b, gem);
    sc.Triangle(c + gemTurn * foot, a, b, gem);
  }
  const Mat3 ringTurn = Mat3::RotZ(-30 * kDeg) * Mat3::RotX(f * (180.0 / 8) * kDeg + 20 * kDeg);
  sc.Torus(c, 12.6, 1.6, ringTurn, Mat(kGold, 0.9));
  return sc.ToSprite(kRedEdge);
}

// The big enemy: a four-lobed hull round a gold core, lit as a low relief.
Sprite Lobes(int f) {
  Sprite s(48, 48);
  const double turn = f * (90.0 / 23) * kDeg;
  const double cx = 24, cy = 24;
  auto edge = [](double a) { return 12.5 + 9.5 * std::pow(std::abs(std::cos(2 * a)), 1.6); };
  auto height = [&](double x, double y) {
    const double r = std::hypot(x, y), a = std::atan2(y, x) - turn;
    const double e = edge(a);
    if (r >= e) return -1.0;
    return std::sqrt(1 - (r / e) * (r / e)) * 6;
  };
  for (int py = 0; py < 48; ++py) {
    for (int px = 0; px < 48; ++px) {
      const double x = px + 0.5 - cx, y = py + 0.5 - cy;
      const double h = height(x, y);
      if (h < 0) continue;
      const double r = std::hypot(x, y), a = std::atan2(y, x) - turn;
      // Nearest lobe axis, in the shape's own frame.
      const double lobe = std::round(a / (kPi / 2)) * (kPi / 2);
      const double across = r * std::sin(a - lobe), along = r * std::cos(a - lobe);
      Vec3 n;
      if (r < 6.5) {
        const double k = r / 6.5;
        n = Normalize({x / 6.5, y / 6.5, std::sqrt(1 - k * k) + 0.2});
        s.Set(px, py, kGold.Pick(Lighting(n, Mat(kGold, 1.0))));
        continue;
      }
      if (r < 8) {
        s.Set(px, py, Rgb{40, 6, 10});
        continue;
      }
      const double hx = height(x + 0.5, y) - height(x - 0.5, y);
      const double hy = height(x, y + 0.5) - height(x, y - 0.5);
      n = Normalize({-hx, -hy, 1.2});
      double light = Lighting(n, Mat(kRed, 0.5));
      // A vent on each lobe glowing orange, and a groove along its axis.
      const double vx = along - 15, vd = std::hypot(vx, across);
      if (vd < 2.6) {
        s.Set(px, py, vd < 1.3 ? Rgb{255, 200, 90} : Rgb{200, 80, 30});
        continue;
      }
      if (vd < 3.4)
        light *= 0.45;
      else if (std::abs(across) < 0.7 && along > 8.5 && along < 12.5)
        light *= 0.55;
      s.Set(px, py, kRed.Pick(light));
    }
  }
  s.Outline(kRedEdge);
  return s;
}

}  // namespace

Image MakeEnnemy(int kind) {
  std::vector<Sprite> cells;
  const int frames[4] = {10, 8, 8, 23};
  for (int f = 0; f < frames[kind]; ++f) {
    switch (kind) {
      case 0:
        cells.push_back(Mine(f));
        break;
      case 1:
        cells.push_back(RingedSphere(f));
        break;
      case 2:
        cells.push_back(RingedGem(f));
        break;
      default:
        cells.push_back(Lobes(f));
        break;
    }
  }
  return BuildSheet(cells);
}

Image MakeBulletEnnemy() {
  const Rgb pulse[kBulletEnnemyCells][2] = {
      {{255, 230, 120}, {230, 90, 30}},  {{255, 250, 190}, {250, 130, 40}},
      {{255, 255, 240}, {255, 170, 60}}, {{255, 250, 190}, {250, 130, 40}},
      {{255, 230, 120}, {230, 90, 30}},  {{250, 200, 90}, {200, 60, 24}}};
  std::vector<Sprite> cells;
  for (const auto& p : pulse) {
    Sprite s(kBulletEnnemyCell, kBulletEnnemyCell);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const bool corner = (x == 0 || x == 3) && (y == 0 || y == 3);
        const bool core = x >= 1 && x <= 2 && y >= 1 && y <= 2;
        if (!corner) s.Set(x, y, core ? p[0] : p[1]);
      }
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

Image MakeBulletBoss() {
  const Ramp plasma{
      {{60, 10, 70}, {120, 30, 150}, {190, 70, 220}, {240, 150, 255}, {255, 235, 255}}};
  std::vector<Sprite> cells;
  for (int f = 0; f < kBulletBossCells; ++f) {
    Sprite s(kBulletBossCell, kBulletBossCell);
    for (int y = 0; y < kBulletBossCell; ++y)
      for (int x = 0; x < kBulletBossCell; ++x) {
        const double dx = x + 0.5 - 10, dy = y + 0.5 - 10;
        const double r = std::hypot(dx, dy), a = std::atan2(dy, dx);
        const double spikes = 6.5 + 2.2 * std::pow(std::abs(std::cos(3 * (a - f * kPi / 12))), 4);
        if (r > spikes) continue;
        s.Set(x, y, plasma.Pick(1.05 - r / spikes + 0.1 * std::sin(r * 2 - f * 1.5)));
      }
    s.Outline({30, 6, 40});
    cells.push_back(s);
  }
  return BuildSheet(cells);
}

}  // namespace art
