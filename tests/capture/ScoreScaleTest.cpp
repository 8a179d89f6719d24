#include "capture/ScoreScale.h"

#include <cmath>

#include <gtest/gtest.h>

namespace mivex {
namespace {

TEST(ScoreScale, FARToScoreWorkedValues) {
  EXPECT_EQ(FARToScore(0.001), 63);
  EXPECT_EQ(FARToScore(0.004), 53);
  EXPECT_EQ(FARToScore(0.007), 49);
  EXPECT_EQ(FARToScore(0.01), 47);
  EXPECT_EQ(FARToScore(0.02), 43);
  EXPECT_EQ(FARToScore(1), 22);
  EXPECT_EQ(FARToScore(0.1), 34);
  // Beyond the last inner knot the line runs to (10, 2000).
  EXPECT_EQ(FARToScore(1e-4), 340);
}

TEST(ScoreScale, FARToScoreClampsBothEnds) {
  EXPECT_EQ(FARToScore(100), 0);
  EXPECT_EQ(FARToScore(1000), 0);
  EXPECT_EQ(FARToScore(1e-10), 2000);
  EXPECT_EQ(FARToScore(1e-12), 2000);
  EXPECT_EQ(FARToScore(0), 2000);
}

TEST(ScoreScale, FARToScoreRoundsHalvesToEven) {
  // On the first segment score = (x + 2) * 11: x = -0.5 gives 16.5, x = -1.5 gives 5.5.
  const double a = std::sqrt(10.0);
  if (-std::log10(a) == -0.5) {
    EXPECT_EQ(FARToScore(a), 16);
  }
  const double b = std::pow(10.0, 1.5);
  if (-std::log10(b) == -1.5) {
    EXPECT_EQ(FARToScore(b), 6);
  }
}

TEST(ScoreScale, DecadesGiveTheScoreOfTheirRateWithoutRoundingThroughIt) {
  EXPECT_EQ(DecadesToScore(2), 47);
  EXPECT_EQ(DecadesToScore(3), 63);
  EXPECT_EQ(DecadesToScore(-0.5), 16);  // halves to even, exactly, with no logarithm in between
  EXPECT_EQ(DecadesToScore(-1.5), 6);
  EXPECT_EQ(DecadesToScore(-3), 0);
  EXPECT_EQ(DecadesToScore(11), 2000);
  EXPECT_EQ(DecadesToScore(std::nan("")), 0);
  for (double x = -2; x <= 10; x += 0.013) EXPECT_EQ(DecadesToScore(x), FARToScore(std::pow(10.0, -x))) << x;
}

TEST(ScoreScale, ScoreToFARWorkedValues) {
  EXPECT_DOUBLE_EQ(ScoreToFAR(63), 0.001);
  EXPECT_DOUBLE_EQ(ScoreToFAR(47), 0.01);
  EXPECT_DOUBLE_EQ(ScoreToFAR(22), 1);
  EXPECT_DOUBLE_EQ(ScoreToFAR(34), 0.1);
}

TEST(ScoreScale, ScoreToFARRoundsToTheRatesMagnitude) {
  EXPECT_DOUBLE_EQ(ScoreToFAR(53), 0.004);   // 0.00422 -> 3 places
  EXPECT_DOUBLE_EQ(ScoreToFAR(40), 0.03);    // 0.0346 -> 2 places
  EXPECT_DOUBLE_EQ(ScoreToFAR(30), 0.2);     // 0.215 -> 1 place
  EXPECT_DOUBLE_EQ(ScoreToFAR(100), 0.0007);  // 0.000735 -> 4 places
  // Below 22 the rate lies on the line from (0, -2) to (22, 0), rounded to integers.
  EXPECT_DOUBLE_EQ(ScoreToFAR(11), 10);
  EXPECT_DOUBLE_EQ(ScoreToFAR(10), 12);
  EXPECT_DOUBLE_EQ(ScoreToFAR(5), 35);
}

TEST(ScoreScale, ScoreToFARClampsBothEnds) {
  EXPECT_DOUBLE_EQ(ScoreToFAR(0), 100);
  EXPECT_DOUBLE_EQ(ScoreToFAR(-50), 100);
  EXPECT_DOUBLE_EQ(ScoreToFAR(2000), 1e-10);
  EXPECT_DOUBLE_EQ(ScoreToFAR(100000), 1e-10);
}

TEST(ScoreScale, RoundTripsTheSecurityLevelRates) {
  for (double far : {0.001, 0.01, 0.1, 1.0}) EXPECT_DOUBLE_EQ(ScoreToFAR(FARToScore(far)), far);
}

}  // namespace
}  // namespace mivex
