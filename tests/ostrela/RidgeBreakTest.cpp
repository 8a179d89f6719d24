// Ridge breaks on a plain pattern of straight ridges: the stretch taken away lies on
// one ridge, runs the way asked for as far as asked for, and leaves the ridges on
// either side whole; a break is traced on the ridges as grown, not on its own track.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FixedMath.h"
#include "MasterPrint.h"

namespace mivex::ostrela {
namespace {

constexpr std::int32_t kWidth = 200;
constexpr std::int32_t kHeight = 120;
constexpr std::int32_t kPeriod = 9;
constexpr std::int32_t kCrestHeight = 96;

// Horizontal ridges with crests on the rows that are multiples of the period.
struct TStripes {
  TMasterPrint Master;
  std::vector<std::int32_t> Angle = std::vector<std::int32_t>(kWidth * kHeight, 0);
  std::vector<std::int32_t> Period = std::vector<std::int32_t>(kWidth * kHeight, kPeriod * 256);

  TStripes() {
    Master.Width = kWidth;
    Master.Height = kHeight;
    Master.Skin.assign(kWidth * kHeight, 255);
    Master.Ridges.resize(kWidth * kHeight);
    for (std::int32_t y = 0; y < kHeight; ++y)
      for (std::int32_t x = 0; x < kWidth; ++x)
        Master.Ridges[static_cast<std::size_t>(y * kWidth + x)] =
            static_cast<std::int8_t>((kCrestHeight * CosQ16(y % kPeriod * kTurn / kPeriod)) >> 16);
  }
  std::int32_t At(std::int32_t x, std::int32_t y) const { return Master.Ridges[static_cast<std::size_t>(y * kWidth + x)]; }
};

TEST(RidgeBreak, TakesAwayAStretchOfTheNearestRidgeOnly) {
  TStripes s;
  // Row 56 lies two rows below the crest of row 54 and seven above that of row 63.
  BreakRidge(s.Master, s.Angle, s.Period, 80, 56, 40, false);
  for (std::int32_t x = 82; x <= 118; ++x) {
    EXPECT_LT(s.At(x, 54), 0) << "crest left at x " << x;
    EXPECT_EQ(s.At(x, 45), kCrestHeight) << "ridge above harmed at x " << x;
    EXPECT_EQ(s.At(x, 63), kCrestHeight) << "ridge below harmed at x " << x;
  }
  // Two ridge endings: the ridge goes on whole before and after the stretch.
  EXPECT_EQ(s.At(70, 54), kCrestHeight);
  EXPECT_EQ(s.At(132, 54), kCrestHeight);
}

TEST(RidgeBreak, RunsBackwardWhenAsked) {
  TStripes s;
  BreakRidge(s.Master, s.Angle, s.Period, 120, 54, 40, true);
  EXPECT_LT(s.At(90, 54), 0);
  EXPECT_EQ(s.At(140, 54), kCrestHeight);
  EXPECT_EQ(s.At(70, 54), kCrestHeight);
}

TEST(RidgeBreak, StopsAtTheEdgeOfTheSkin) {
  TStripes s;
  for (std::int32_t y = 0; y < kHeight; ++y)
    for (std::int32_t x = 100; x < kWidth; ++x) s.Master.Skin[static_cast<std::size_t>(y * kWidth + x)] = 0;
  BreakRidge(s.Master, s.Angle, s.Period, 80, 54, 60, false);
  EXPECT_LT(s.At(90, 54), 0);
  EXPECT_EQ(s.At(120, 54), kCrestHeight);
}

}  // namespace
}  // namespace mivex::ostrela
