// The integer trigonometry the fingerprints are built with must track the real
// functions closely, or ridges bend and kernels lose their shape.
#include <gtest/gtest.h>

#include <cmath>

#include "FixedMath.h"

namespace mivex::ostrela {
namespace {

constexpr double kTwoPi = 6.283185307179586;

TEST(FixedMath, SineAndCosineFollowTheRealFunctions) {
  double worst = 0;
  for (std::int32_t a = -70000; a <= 140000; a += 13) {
    worst = std::fmax(worst, std::fabs(SinQ16(a) / 65536.0 - std::sin(a * kTwoPi / kTurn)));
    worst = std::fmax(worst, std::fabs(CosQ16(a) / 65536.0 - std::cos(a * kTwoPi / kTurn)));
  }
  EXPECT_LT(worst, 5e-5);
  EXPECT_EQ(SinQ16(0), 0);
  EXPECT_EQ(SinQ16(kQuarterTurn), kQ16);
  EXPECT_EQ(CosQ16(kHalfTurn), -kQ16);
}

TEST(FixedMath, Atan2CoversAllQuadrantsWithinOneUnit) {
  double worst = 0;
  for (std::int64_t y = -3000; y <= 3000; y += 37) {
    for (std::int64_t x = -3000; x <= 3000; x += 41) {
      if (x == 0 && y == 0) continue;
      double expected = std::atan2(static_cast<double>(y), static_cast<double>(x)) * kTurn / kTwoPi;
      if (expected < 0) expected += kTurn;
      const std::int32_t got = Atan2(y, x);
      ASSERT_GE(got, 0);
      ASSERT_LT(got, kTurn);
      double diff = got - expected;
      if (diff > kTurn / 2) diff -= kTurn;
      if (diff < -kTurn / 2) diff += kTurn;
      worst = std::fmax(worst, std::fabs(diff));
    }
  }
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(Atan2(0, 0), 0);
  EXPECT_EQ(Atan2(0, -5), kHalfTurn);
  // Huge vectors are scaled down, not overflowed.
  EXPECT_NEAR(Atan2(std::int64_t{1} << 60, std::int64_t{1} << 60), kTurn / 8, 1);
  EXPECT_NEAR(AtanQ16(-kQ16), -kTurn / 8, 1);
}

TEST(FixedMath, ExponentialAndSquareRoot) {
  for (std::int64_t u = 0; u < 31 * kQ16; u += 977) {
    EXPECT_NEAR(ExpNegQ16(u) / 65536.0, std::exp(-u / 65536.0), 2e-5) << u;
  }
  EXPECT_EQ(ExpNegQ16(-5), kQ16);
  EXPECT_EQ(ExpNegQ16(std::int64_t{40} * kQ16), 0);
  for (std::uint64_t r : {0ULL, 1ULL, 2ULL, 65535ULL, 65536ULL, 4294967295ULL}) {
    EXPECT_EQ(ISqrt(r * r), r);
    if (r > 0) {
      EXPECT_EQ(ISqrt(r * r - 1), r - 1);
    }
  }
  EXPECT_EQ(ISqrt(~0ULL), 4294967295U);
}

TEST(FixedMath, SmoothStepAndAngleDelta) {
  EXPECT_EQ(SmoothStepQ16(-1), 0);
  EXPECT_EQ(SmoothStepQ16(kQ16 / 2), kQ16 / 2);
  EXPECT_EQ(SmoothStepQ16(2 * kQ16), kQ16);
  EXPECT_EQ(AngleDelta(10, kTurn - 10), 20);
  EXPECT_EQ(AngleDelta(kTurn - 10, 10), -20);
  EXPECT_EQ(DivRound(-7, 2), -4);
  EXPECT_EQ(DivRound(7, 2), 4);
}

}  // namespace
}  // namespace mivex::ostrela
