// The random source of spawning, injectable so tests can script every draw.
#pragma once

#include <cstdint>
#include <random>

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Seed(uint32_t seed) = 0;
  // A uniform draw u with 0 <= u < 1.
  virtual double Next() = 0;
};

class DefaultRandom : public RandomSource {
 public:
  void Seed(uint32_t seed) override { engine_.seed(seed); }
  double Next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

 private:
  std::mt19937 engine_;
};
