#include "tools/art/image.h"

#include <algorithm>
#include <cmath>

namespace art {

namespace {

uint8_t Clamp8(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ static_cast<uint32_t>(x) * 0x85EBCA77u ^
               static_cast<uint32_t>(y) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

int Wrap(int v, int period) {
  return period > 0 ? ((v % period) + period) % period : v;
}

}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
  return {Clamp8(a.r + (b.r - a.r) * t), Clamp8(a.g + (b.g - a.g) * t),
          Clamp8(a.b + (b.b - a.b) * t)};
}

Rgb Scale(Rgb c, double k) {
  return {Clamp8(c.r * k), Clamp8(c.g * k), Clamp8(c.b * k)};
}

Image::Image(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

void Image::Blit(const Image& src, int dx, int dy) {
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) Set(dx + x, dy + y, src.Get(x, y));
}

std::string Image::EncodePpm() const {
  std::string out = "P6\n" + std::to_string(w_) + " " + std::to_string(h_) + "\n255\n";
  out.reserve(out.size() + px_.size() * 3);
  for (const Rgb& p : px_) {
    out.push_back(static_cast<char>(p.r));
    out.push_back(static_cast<char>(p.g));
    out.push_back(static_cast<char>(p.b));
  }
  return out;
}

void Sprite::Set(int x, int y, Rgb c) {
  if (!image_.Inside(x, y)) return;
  image_.Set(x, y, c);
  solid_[static_cast<size_t>(y) * Width() + x] = 1;
}

void Sprite::Clear(int x, int y) {
  if (!image_.Inside(x, y)) return;
  image_.Set(x, y, kBlack);
  solid_[static_cast<size_t>(y) * Width() + x] = 0;
}

void Sprite::Outline(Rgb edge) {
  std::vector<uint8_t> ring(solid_.size(), 0);
  for (int y = 0; y < Height(); ++y) {
    for (int x = 0; x < Width(); ++x) {
      if (Solid(x, y)) continue;
      if (Solid(x - 1, y) || Solid(x + 1, y) || Solid(x, y - 1) || Solid(x, y + 1))
        ring[static_cast<size_t>(y) * Width() + x] = 1;
    }
  }
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x)
      if (ring[static_cast<size_t>(y) * Width() + x]) Set(x, y, edge);
}

Image BuildSheet(const std::vector<Sprite>& cells) {
  const int w = cells.front().Width(), h = cells.front().Height();
  Image sheet(w * static_cast<int>(cells.size()), 2 * h);
  for (size_t i = 0; i < cells.size(); ++i) {
    const int ox = static_cast<int>(i) * w;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool solid = cells[i].Solid(x, y);
        Rgb c = solid ? cells[i].Get(x, y) : kBlack;
        if (solid && c == kBlack) c = Rgb{8, 8, 16};
        sheet.Set(ox + x, y, c);
        sheet.Set(ox + x, h + y, solid ? kBlack : kWhite);
      }
    }
  }
  return sheet;
}

uint32_t Rng::Next() {
  s_ ^= s_ << 13;
  s_ ^= s_ >> 17;
  s_ ^= s_ << 5;
  return s_;
}

double ValueNoise(double x, double y, uint32_t seed, int periodX, int periodY) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  auto corner = [&](int cx, int cy) {
    return (Hash(Wrap(cx, periodX), Wrap(cy, periodY), seed) & 0xFFFF) / 65535.0;
  };
  const double tx = x - fx, ty = y - fy;
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * sx;
  const double bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * sx;
  return top + (bottom - top) * sy;
}

double Fbm(double x, double y, uint32_t seed, int octaves, int periodX, int periodY) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise(x, y, seed + static_cast<uint32_t>(o) * 101u, periodX, periodY);
    norm += amp;
    x *= 2;
    y *= 2;
    periodX *= 2;
    periodY *= 2;
    amp *= 0.5;
  }
  return sum / norm;
}

Rgb Ramp::Pick(double t) const {
  const int n = static_cast<int>(colours.size());
  const int i = std::clamp(static_cast<int>(std::lround(t * (n - 1))), 0, n - 1);
  return colours[static_cast<size_t>(i)];
}

}  // namespace art
