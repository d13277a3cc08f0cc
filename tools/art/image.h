// Pixel buffers and small drawing helpers for the art generator. Everything
// here is deterministic: no clocks, no library random engines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

Rgb Mix(Rgb a, Rgb b, double t);
Rgb Scale(Rgb c, double k);

// A plain picture.
class Image {
 public:
  Image(int w, int h, Rgb fill = kBlack);
  int Width() const { return w_; }
  int Height() const { return h_; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  Rgb Get(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  void Set(int x, int y, Rgb c) {
    if (Inside(x, y)) px_[static_cast<size_t>(y) * w_ + x] = c;
  }
  void Blit(const Image& src, int dx, int dy);
  std::string EncodePpm() const;

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

// A sprite cell under construction: colour plus coverage, so the mask can be
// derived from exactly the pixels that were painted.
class Sprite {
 public:
  Sprite(int w, int h) : image_(w, h), solid_(static_cast<size_t>(w) * h, 0) {}
  int Width() const { return image_.Width(); }
  int Height() const { return image_.Height(); }
  bool Solid(int x, int y) const {
    return image_.Inside(x, y) && solid_[static_cast<size_t>(y) * Width() + x] != 0;
  }
  Rgb Get(int x, int y) const { return image_.Get(x, y); }
  void Set(int x, int y, Rgb c);
  void Clear(int x, int y);
  // Rings the shape with one pixel of `edge` wherever a transparent pixel
  // touches it side by side; keeps sprites readable on the star field.
  void Outline(Rgb edge);

 private:
  Image image_;
  std::vector<uint8_t> solid_;
};

// Lays cells side by side, image band on top and mask band one cell height
// below. Solid pixels that happen to be pure black are lifted to a near-black
// so image and mask always agree.
Image BuildSheet(const std::vector<Sprite>& cells);

// Small deterministic generator (xorshift) for scattering things.
class Rng {
 public:
  explicit Rng(uint32_t seed) : s_(seed ? seed : 1u) {}
  uint32_t Next();
  double Unit() { return (Next() >> 8) * (1.0 / 16777216.0); }  // [0, 1)
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t s_;
};

// Smooth value noise in [0, 1], periodic with the given period in x and y
// (0 means no wrap), and its fractal sum.
double ValueNoise(double x, double y, uint32_t seed, int periodX = 0, int periodY = 0);
double Fbm(double x, double y, uint32_t seed, int octaves, int periodX = 0, int periodY = 0);

// A ramp of colours from dark to light; Pick maps 0..1 onto it.
struct Ramp {
  std::vector<Rgb> colours;
  Rgb Pick(double t) const;
};

}  // namespace art
