// The engine's own elementary functions against the C library's long double ones:
// within a few units in the last place of a double over the ranges the engine uses,
// exact where the answer is exact, and sound at the edges.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "PortableMath.h"

namespace mivex::vandrel::pm {
namespace {

// Error in units of the double's last place at the reference value.
double Ulps(double got, long double want) {
  const double w = static_cast<double>(want);
  const double ulp = std::nextafter(std::fabs(w), std::numeric_limits<double>::infinity()) - std::fabs(w);
  return static_cast<double>(std::fabs(static_cast<long double>(got) - want) / ulp);
}

TEST(PortableMath, CloseToTheCorrectlyRoundedResult) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> angle(-60, 60), wide(-700, 700), unit(-1, 1), positive(1e-6, 1e6);
  double worst[6] = {};
  for (int i = 0; i < 200000; ++i) {
    const double a = angle(rng);
    double s, c;
    SinCos(a, s, c);
    // Near a zero of sin or cos the absolute error is what the engine feels.
    worst[0] = std::max(worst[0], std::fabs(s - static_cast<double>(std::sin(static_cast<long double>(a)))) / 1e-16);
    worst[1] = std::max(worst[1], std::fabs(c - static_cast<double>(std::cos(static_cast<long double>(a)))) / 1e-16);
    const double w = wide(rng);
    worst[2] = std::max(worst[2], Ulps(Exp(w), std::exp(static_cast<long double>(w))));
    const double p = positive(rng);
    if (std::fabs(p - 1) > 1e-3) worst[3] = std::max(worst[3], Ulps(Log(p), std::log(static_cast<long double>(p))));
    const double y = unit(rng) * positive(rng), x = unit(rng) * positive(rng);
    worst[4] = std::max(worst[4], Ulps(Atan2(y, x), std::atan2(static_cast<long double>(y), static_cast<long double>(x))));
    const double base = positive(rng) * 1e-3, power = unit(rng) * 4;
    worst[5] = std::max(worst[5], Ulps(Pow(base, power), std::pow(static_cast<long double>(base), power)));
  }
  EXPECT_LT(worst[0], 4.0) << "sin";
  EXPECT_LT(worst[1], 4.0) << "cos";
  EXPECT_LT(worst[2], 4.0) << "exp";
  EXPECT_LT(worst[3], 4.0) << "log";
  EXPECT_LT(worst[4], 4.0) << "atan2";
  EXPECT_LT(worst[5], 64.0) << "pow";  // exp(y log x) carries log's error times |y log x|
}

TEST(PortableMath, FloatFormsRoundToTheNearestFloatAlmostAlways) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> angle(-30, 30);
  int off = 0;
  for (int i = 0; i < 100000; ++i) {
    const float a = angle(rng);
    off += Cos(a) != static_cast<float>(std::cos(static_cast<long double>(a)));
    off += Sin(a) != static_cast<float>(std::sin(static_cast<long double>(a)));
  }
  EXPECT_LT(off, 20);
}

TEST(PortableMath, ExactCasesAndEdges) {
  EXPECT_EQ(Sin(0.0), 0.0);
  EXPECT_EQ(Cos(0.0), 1.0);
  EXPECT_EQ(Exp(0.0), 1.0);
  EXPECT_EQ(Log(1.0), 0.0);
  EXPECT_EQ(Pow(2.0, 0.0), 1.0);
  EXPECT_EQ(Pow(0.0, 2.0), 0.0);
  EXPECT_EQ(Pow(1.0, 7.5), 1.0);
  EXPECT_EQ(Hypot(3.0, 4.0), 5.0);
  EXPECT_EQ(Hypot(3.0f, -4.0f), 5.0f);
  EXPECT_EQ(Hypot(0.0, 0.0), 0.0);
  EXPECT_EQ(Hypot(1e300, 1e300), std::hypot(1e300, 1e300));  // no overflow of the squares
  EXPECT_EQ(Atan2(0.0, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(Atan2(0.0, -1.0), M_PI);
  EXPECT_DOUBLE_EQ(Atan2(-1.0, 0.0), -M_PI / 2);
  EXPECT_DOUBLE_EQ(Atan2(1.0, 1.0), M_PI / 4);
  EXPECT_DOUBLE_EQ(Atan2(-1.0, -1.0), -3 * M_PI / 4);
  EXPECT_EQ(Exp(-1000.0), 0.0);
  EXPECT_TRUE(std::isinf(Exp(1000.0)));
  EXPECT_TRUE(std::isnan(Log(-1.0)));
  EXPECT_TRUE(std::isinf(Log(0.0)));
  EXPECT_TRUE(std::isnan(Sin(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(Atan2(std::nan(""), 1.0)));
  EXPECT_DOUBLE_EQ(Pow(10.0, -3.0), 1e-3);
}

}  // namespace
}  // namespace mivex::vandrel::pm
