#include "FixedMath.h"

#include <array>

namespace mivex::ostrela {
namespace {

// Internal precision of the table builders: Q30 in 64-bit integers (products of two
// values below 2.8 stay below 2^63).
constexpr std::int64_t kQ30 = std::int64_t{1} << 30;
constexpr std::int64_t kPiQ40 = 3454217652357;   // pi * 2^40
constexpr std::int64_t kTwoPiQ30 = 6746518852;   // 2 pi * 2^30

// Quarter-wave sine table: 1024 steps per quarter turn (4096 per turn), Q16.
constexpr int kSinSteps = 1024;

constexpr std::int64_t SinSeriesQ30(std::int64_t x) {
  // x in [0, pi/2] as Q30; Taylor series with 14 terms is exact to the last bit.
  const std::int64_t x2 = (x * x) >> 30;
  std::int64_t term = x;
  std::int64_t sum = x;
  for (int n = 1; n < 14; ++n) {
    term = -((term * x2) >> 30) / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

constexpr std::array<std::int32_t, kSinSteps + 1> MakeSinTable() {
  std::array<std::int32_t, kSinSteps + 1> t{};
  for (int k = 0; k <= kSinSteps; ++k) {
    // x = k/1024 * pi/2 = k * pi / 2048, in Q30.
    const std::int64_t x = (k * kPiQ40 / 2048) >> 10;
    const std::int64_t s = SinSeriesQ30(x);
    t[k] = static_cast<std::int32_t>((s + (1 << 13)) >> 14);
  }
  t[kSinSteps] = kQ16;
  return t;
}

constexpr std::uint64_t ISqrtConst(std::uint64_t v) {
  std::uint64_t result = 0;
  std::uint64_t bit = std::uint64_t{1} << 62;
  while (bit > v) bit >>= 2;
  while (bit != 0) {
    if (v >= result + bit) {
      v -= result + bit;
      result = (result >> 1) + bit;
    } else {
      result >>= 1;
    }
    bit >>= 2;
  }
  return result;
}

// Arctangent table: atan(i/1024) for i = 0..1024 in units of 2^20 per turn.
constexpr int kAtanSteps = 1024;
constexpr int kAtanFineShift = 4;  // table units are 2^kAtanFineShift finer than kTurn

constexpr std::int64_t AtanQ30(std::int64_t t) {
  // Two argument halvings, atan(t) = 2 atan(t / (1 + sqrt(1 + t^2))), bring t below
  // 0.2, where 16 terms of the power series are exact in Q30.
  for (int h = 0; h < 2; ++h) {
    const std::int64_t root = static_cast<std::int64_t>(
        ISqrtConst(static_cast<std::uint64_t>((kQ30 * kQ30) + t * t)));
    t = (t * kQ30) / (kQ30 + root);
  }
  const std::int64_t t2 = (t * t) >> 30;
  std::int64_t power = t;
  std::int64_t sum = 0;
  for (int n = 0; n < 16; ++n) {
    const std::int64_t term = power / (2 * n + 1);
    sum += (n % 2 == 0) ? term : -term;
    power = (power * t2) >> 30;
  }
  return sum * 4;
}

constexpr std::array<std::int32_t, kAtanSteps + 1> MakeAtanTable() {
  std::array<std::int32_t, kAtanSteps + 1> t{};
  for (int i = 0; i <= kAtanSteps; ++i) {
    const std::int64_t radians = AtanQ30(std::int64_t{i} * kQ30 / kAtanSteps);
    const std::int64_t units = std::int64_t{kTurn} << kAtanFineShift;
    t[i] = static_cast<std::int32_t>((radians * units + kTwoPiQ30 / 2) / kTwoPiQ30);
  }
  return t;
}

// e^-n for n = 0..30 in Q30, and e^-f for f in [0, 1) by series.
constexpr int kExpWhole = 31;

constexpr std::int64_t ExpNegFracQ30(std::int64_t f) {
  std::int64_t term = kQ30;
  std::int64_t sum = kQ30;
  for (int n = 1; n < 16; ++n) {
    term = -((term * f) >> 30) / n;
    sum += term;
  }
  return sum;
}

constexpr std::array<std::int64_t, kExpWhole> MakeExpTable() {
  std::array<std::int64_t, kExpWhole> t{};
  // e^-1 from the series at a higher precision is not needed: Q30 keeps 9 digits,
  // far below the Q16 results.
  const std::int64_t e1 = ExpNegFracQ30(kQ30);
  t[0] = kQ30;
  for (int n = 1; n < kExpWhole; ++n) t[n] = (t[n - 1] * e1 + kQ30 / 2) >> 30;
  return t;
}

constexpr auto kSinTable = MakeSinTable();
constexpr auto kAtanTable = MakeAtanTable();
constexpr auto kExpTable = MakeExpTable();

std::int32_t QuarterSin(std::int32_t within) {
  // within: 0 .. kQuarterTurn, 16 angle units per table step.
  const std::int32_t index = within >> 4;
  const std::int32_t frac = within & 15;
  if (index >= kSinSteps) return kSinTable[kSinSteps];
  const std::int32_t a = kSinTable[index];
  const std::int32_t b = kSinTable[index + 1];
  return a + (((b - a) * frac + 8) >> 4);
}

}  // namespace

std::int32_t SinQ16(std::int32_t angle) {
  const std::int32_t a = angle & (kTurn - 1);
  const std::int32_t quadrant = a >> 14;
  const std::int32_t within = a & (kQuarterTurn - 1);
  switch (quadrant) {
    case 0: return QuarterSin(within);
    case 1: return QuarterSin(kQuarterTurn - within);
    case 2: return -QuarterSin(within);
    default: return -QuarterSin(kQuarterTurn - within);
  }
}

std::int32_t CosQ16(std::int32_t angle) { return SinQ16(angle + kQuarterTurn); }

namespace {

// Arctangent of num/den with 0 <= num <= den, den > 0, in fine units.
std::int32_t AtanRatioFine(std::uint64_t num, std::uint64_t den) {
  // Ratio in Q20 keeps the interpolation below one table step of error.
  while (num >= (std::uint64_t{1} << 42) || den >= (std::uint64_t{1} << 42)) {
    num >>= 1;
    den >>= 1;
  }
  if (den == 0) return 0;
  const std::uint64_t ratio = (num << 20) / den;  // 0 .. 2^20
  const std::uint32_t index = static_cast<std::uint32_t>(ratio >> 10);
  const std::int32_t frac = static_cast<std::int32_t>(ratio & 1023);
  if (index >= static_cast<std::uint32_t>(kAtanSteps)) return kAtanTable[kAtanSteps];
  const std::int32_t a = kAtanTable[index];
  const std::int32_t b = kAtanTable[index + 1];
  return a + (((b - a) * frac + 512) >> 10);
}

}  // namespace

std::int32_t Atan2(std::int64_t y, std::int64_t x) {
  if (x == 0 && y == 0) return 0;
  const std::uint64_t ax = static_cast<std::uint64_t>(x < 0 ? -x : x);
  const std::uint64_t ay = static_cast<std::uint64_t>(y < 0 ? -y : y);
  const std::int32_t eighth = (kTurn / 8) << kAtanFineShift;
  // Angle within the first quadrant, in fine units.
  std::int32_t fine = ay <= ax ? AtanRatioFine(ay, ax) : 2 * eighth - AtanRatioFine(ax, ay);
  const std::int32_t quarter = kQuarterTurn << kAtanFineShift;
  if (x < 0) fine = 2 * quarter - fine;
  if (y < 0) fine = 4 * quarter - fine;
  const std::int32_t units = (fine + (1 << (kAtanFineShift - 1))) >> kAtanFineShift;
  return units & (kTurn - 1);
}

std::int32_t AtanQ16(std::int64_t slope) {
  const std::int32_t a = Atan2(slope, kQ16);
  return a >= kHalfTurn ? a - kTurn : a;
}

std::uint32_t ISqrt(std::uint64_t value) { return static_cast<std::uint32_t>(ISqrtConst(value)); }

std::int32_t ExpNegQ16(std::int64_t u) {
  if (u <= 0) return kQ16;
  const std::int64_t whole = u >> 16;
  if (whole >= kExpWhole) return 0;
  const std::int64_t fracQ30 = (u & 0xFFFF) << 14;
  const std::int64_t value = (kExpTable[whole] * ExpNegFracQ30(fracQ30)) >> 30;
  return static_cast<std::int32_t>((value + (1 << 13)) >> 14);
}

std::int32_t SmoothStepQ16(std::int64_t t) {
  if (t <= 0) return 0;
  if (t >= kQ16) return kQ16;
  const std::int64_t t2 = (t * t) >> 16;
  return static_cast<std::int32_t>((t2 * (3 * kQ16 - 2 * t)) >> 16);
}

}  // namespace mivex::ostrela
