#include "Random.h"

namespace mivex::ostrela {
namespace {

std::uint64_t Scramble(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b) {
  return Scramble(Scramble(a + 0x9E3779B97F4A7C15ULL) ^ (b * 0xD6E8FEB86659FD93ULL + 0x632BE59BD9B4E019ULL));
}

std::uint64_t TRandom::Next() {
  FState += 0x9E3779B97F4A7C15ULL;
  return Scramble(FState);
}

std::int32_t TRandom::Below(std::int32_t n) {
  if (n <= 1) return 0;
  const std::uint64_t high = Next() >> 32;
  return static_cast<std::int32_t>((high * static_cast<std::uint64_t>(n)) >> 32);
}

std::int32_t TRandom::Range(std::int32_t lo, std::int32_t hi) {
  if (hi <= lo) return lo;
  return lo + Below(hi - lo + 1);
}

std::int32_t TRandom::NormalQ16() {
  // Irwin-Hall: four uniforms on [0, 1) have mean 2 and variance 1/3; scaling the
  // centred sum by sqrt(3) gives unit variance. 113512 / 65536 = sqrt(3).
  const std::uint64_t bits = Next();
  std::int64_t sum = 0;
  for (int i = 0; i < 4; ++i) sum += static_cast<std::int64_t>((bits >> (16 * i)) & 0xFFFF);
  const std::int64_t centred = sum - 2 * 65536;
  return static_cast<std::int32_t>((centred * 113512) >> 16);
}

bool TRandom::Chance(std::int32_t permille) { return Below(1000) < permille; }

}  // namespace mivex::ostrela
