// The simulator's own random numbers: splitmix64 with fixed range and chance
// mappings, so that a seed gives the same run on every machine and library
// (the standard distributions are free to differ between implementations).
#pragma once

#include <cstdint>

namespace klv::sim {

class TRandom {
 public:
  explicit TRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // A number from 0 to n - 1 (n > 0): the top 32 bits scaled, no modulo.
  std::uint32_t Below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
  }

  // True with probability p: never for 0, always for 1.
  bool Chance(double p) { return static_cast<double>(Next() >> 11) * 0x1.0p-53 < p; }

 private:
  std::uint64_t state_;
};

}  // namespace klv::sim
