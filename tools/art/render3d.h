// A tiny depth-buffered point renderer for the round, shiny enemies: shapes
// are sampled densely, lit from the upper left and shaded with a colour ramp.
#pragma once

#include <cmath>
#include <vector>

#include "tools/art/image.h"

namespace art {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double k) {
  return {a.x * k, a.y * k, a.z * k};
}
inline double Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 Normalize(Vec3 a) {
  const double n = std::sqrt(Dot(a, a));
  return n > 0 ? a * (1.0 / n) : Vec3{0, 0, 1};
}

// Rotations as 3x3 matrices (rows); screen x right, y down, z to the viewer.
struct Mat3 {
  Vec3 r0{1, 0, 0}, r1{0, 1, 0}, r2{0, 0, 1};
  Vec3 operator*(Vec3 v) const { return {Dot(r0, v), Dot(r1, v), Dot(r2, v)}; }
  Mat3 operator*(const Mat3& o) const;
  static Mat3 RotX(double a);
  static Mat3 RotY(double a);
  static Mat3 RotZ(double a);
};

struct Material {
  Ramp ramp;
  double specular = 0.6;  // strength of the white-ish highlight
  double ambient = 0.18;
};

// Light from the upper left and a little in front.
double Lighting(Vec3 normal, const Material& m);

class Scene {
 public:
  Scene(int w, int h);
  // Writes colour c at screen (x, y) if nothing nearer is there.
  void Put(double x, double y, double z, Rgb c);
  void Shade(double x, double y, double z, Vec3 normal, const Material& m);
  void Sphere(Vec3 centre, double radius, const Material& m, const Mat3& spin,
              bool (*dark)(Vec3 local) = nullptr);
  void Torus(Vec3 centre, double major, double minor, const Mat3& orient, const Material& m);
  void Triangle(Vec3 a, Vec3 b, Vec3 c, const Material& m);
  void Cone(Vec3 base, Vec3 tip, double radius, const Material& m);
  Sprite ToSprite(Rgb outline) const;

 private:
  int w_, h_;
  std::vector<double> depth_;
  std::vector<Rgb> colour_;
};

}  // namespace art
