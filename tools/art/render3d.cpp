#include "tools/art/render3d.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace art {

Mat3 Mat3::operator*(const Mat3& o) const {
  const Vec3 c0{o.r0.x, o.r1.x, o.r2.x}, c1{o.r0.y, o.r1.y, o.r2.y}, c2{o.r0.z, o.r1.z, o.r2.z};
  Mat3 m;
  m.r0 = {Dot(r0, c0), Dot(r0, c1), Dot(r0, c2)};
  m.r1 = {Dot(r1, c0), Dot(r1, c1), Dot(r1, c2)};
  m.r2 = {Dot(r2, c0), Dot(r2, c1), Dot(r2, c2)};
  return m;
}

Mat3 Mat3::RotX(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{1, 0, 0}, {0, c, -s}, {0, s, c}};
}
Mat3 Mat3::RotY(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
}
Mat3 Mat3::RotZ(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
}

double Lighting(Vec3 n, const Material& m) {
  static const Vec3 light = Normalize({-0.55, -0.65, 0.55});
  static const Vec3 half = Normalize(light + Vec3{0, 0, 1});
  const double diffuse = std::max(0.0, Dot(n, light));
  const double shine = std::pow(std::max(0.0, Dot(n, half)), 24.0) * m.specular;
  return std::clamp(m.ambient + (1 - m.ambient) * diffuse * 0.82 + shine, 0.0, 1.0);
}

Scene::Scene(int w, int h)
    : w_(w),
      h_(h),
      depth_(static_cast<size_t>(w) * h, -std::numeric_limits<double>::infinity()),
      colour_(static_cast<size_t>(w) * h) {}

void Scene::Put(double x, double y, double z, Rgb c) {
  const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
  if (px < 0 || py < 0 || px >= w_ || py >= h_) return;
  const size_t i = static_cast<size_t>(py) * w_ + px;
  if (z <= depth_[i]) return;
  depth_[i] = z;
  colour_[i] = c;
}

void Scene::Shade(double x, double y, double z, Vec3 normal, const Material& m) {
  if (normal.z < 0) normal = normal * -1.0;  // seen from behind: light the side we see
  Put(x, y, z, m.ramp.Pick(Lighting(normal, m)));
}

void Scene::Sphere(Vec3 c, double r, const Material& m, const Mat3& spin, bool (*dark)(Vec3)) {
  // Transpose of a rotation is its inverse: takes a view normal back to the body.
  const Mat3 back{{spin.r0.x, spin.r1.x, spin.r2.x},
                  {spin.r0.y, spin.r1.y, spin.r2.y},
                  {spin.r0.z, spin.r1.z, spin.r2.z}};
  for (int py = 0; py < h_; ++py) {
    for (int px = 0; px < w_; ++px) {
      const double dx = px + 0.5 - c.x, dy = py + 0.5 - c.y;
      const double d2 = dx * dx + dy * dy;
      if (d2 >= r * r) continue;
      const double dz = std::sqrt(r * r - d2);
      const Vec3 n{dx / r, dy / r, dz / r};
      double light = Lighting(n, m);
      if (dark && dark(back * n)) light *= 0.55;
      Put(px + 0.5, py + 0.5, c.z + dz, m.ramp.Pick(light));
    }
  }
}

void Scene::Torus(Vec3 c, double major, double minor, const Mat3& orient, const Material& m) {
  const int steps = static_cast<int>(2 * std::numbers::pi * major * 5);
  const int around = 48;
  for (int i = 0; i < steps; ++i) {
    const double a = 2 * std::numbers::pi * i / steps;
    const Vec3 radial{std::cos(a), std::sin(a), 0};
    for (int j = 0; j < around; ++j) {
      const double b = 2 * std::numbers::pi * j / around;
      const Vec3 n = radial * std::cos(b) + Vec3{0, 0, std::sin(b)};
      const Vec3 p = radial * major + n * minor;
      const Vec3 wp = orient * p, wn = orient * n;
      Shade(c.x + wp.x, c.y + wp.y, c.z + wp.z, wn, m);
    }
  }
}

void Scene::Triangle(Vec3 a, Vec3 b, Vec3 c, const Material& m) {
  const Vec3 n = Normalize(Cross(b - a, c - a));
  const double len = std::max({std::sqrt(Dot(b - a, b - a)), std::sqrt(Dot(c - a, c - a)), 1.0});
  const int steps = static_cast<int>(len * 4) + 1;
  for (int i = 0; i <= steps; ++i) {
    for (int j = 0; i + j <= steps; ++j) {
      const double u = static_cast<double>(i) / steps, v = static_cast<double>(j) / steps;
      const Vec3 p = a + (b - a) * u + (c - a) * v;
      Shade(p.x, p.y, p.z, n, m);
    }
  }
}

void Scene::Cone(Vec3 base, Vec3 tip, double radius, const Material& m) {
  const Vec3 axis = tip - base;
  const double len = std::sqrt(Dot(axis, axis));
  const Vec3 k = Normalize(axis);
  const Vec3 helper = std::abs(k.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
  const Vec3 u = Normalize(Cross(k, helper)), v = Cross(k, u);
  const int along = static_cast<int>(len * 5) + 1, around = 40;
  for (int i = 0; i <= along; ++i) {
    const double t = static_cast<double>(i) / along;
    const double r = radius * (1 - t);
    for (int j = 0; j < around; ++j) {
      const double a = 2 * std::numbers::pi * j / around;
      const Vec3 radial = u * std::cos(a) + v * std::sin(a);
      const Vec3 p = base + axis * t + radial * r;
      const Vec3 n = Normalize(radial * len + k * radius);
      Shade(p.x, p.y, p.z, n, m);
    }
  }
}

Sprite Scene::ToSprite(Rgb outline) const {
  Sprite s(w_, h_);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      const size_t i = static_cast<size_t>(y) * w_ + x;
      if (depth_[i] != -std::numeric_limits<double>::infinity()) s.Set(x, y, colour_[i]);
    }
  s.Outline(outline);
  return s;
}

}  // namespace art
