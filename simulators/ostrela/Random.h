#pragma once
// Deterministic pseudo-random numbers (SplitMix64) with integer-only helpers, so that a
// seed gives the same fingerprint on every platform; the standard library's
// distributions are implementation-specific and are not used.
#include <cstdint>

namespace mivex::ostrela {

// Mixes two values into a new, well-scrambled seed.
std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b);

class TRandom {
 public:
  explicit TRandom(std::uint64_t seed) : FState(seed) {}

  std::uint64_t Next();
  // Uniform in [0, n) for n >= 1.
  std::int32_t Below(std::int32_t n);
  // Uniform in [lo, hi], both inclusive.
  std::int32_t Range(std::int32_t lo, std::int32_t hi);
  // Approximately normal with mean 0 and deviation 1, in Q16 (sum of four uniforms).
  std::int32_t NormalQ16();
  // True with a probability of permille / 1000.
  bool Chance(std::int32_t permille);

 private:
  std::uint64_t FState;
};

}  // namespace mivex::ostrela
