// A small deterministic generator so every run draws the same pictures and sounds.
#pragma once

#include <cstdint>

namespace assetgen {

class Rng {
  public:
    explicit Rng(std::uint32_t seed) : s_(seed ? seed : 1) {}
    std::uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    float unit() { return (next() >> 8) / 16777216.0f; } // [0, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }

  private:
    std::uint32_t s_;
};

} // namespace assetgen
