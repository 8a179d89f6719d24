// The simulated population as a whole: pattern classes in the shares of real
// collections, ridge spacing that differs more between people than between one
// person's fingers, creases and scars on some fingers, and presses that vary the way
// real ones do (placed off the usual spot, dragged, dry or wet).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "FixedMath.h"
#include "Impression.h"
#include "MasterCache.h"
#include "OstrelaParams.h"
#include "Random.h"

namespace mivex::ostrela {
namespace {

constexpr std::uint32_t kPeople = 1500;

TEST(Population, PatternClassesComeInTheSharesOfRealCollections) {
  std::array<int, 5> seen{};
  std::array<int, 2> leftLoops{};  // per hand
  std::array<int, 2> loops{};
  int fingers = 0;
  for (std::uint32_t subject = 0; subject < kPeople; ++subject)
    for (std::int32_t finger = 1; finger <= 10; finger += 3) {
      const TFingerDesign d = DesignFinger(subject, finger);
      ++seen[static_cast<std::size_t>(d.Class)];
      ++fingers;
      const std::size_t hand = finger >= 6 ? 1 : 0;
      if (d.Class == TPatternClass::pcLeftLoop || d.Class == TPatternClass::pcRightLoop) {
        ++loops[hand];
        leftLoops[hand] += d.Class == TPatternClass::pcLeftLoop ? 1 : 0;
      }
    }
  // Arch, tented arch, left loop, right loop, whorl in permille; the allowance is about
  // three standard deviations of a sample this size.
  const std::array<int, 5> expected = {37, 29, 338, 317, 279};
  const std::array<int, 5> allowance = {9, 8, 21, 21, 20};
  for (std::size_t c = 0; c < 5; ++c) {
    const int permille = seen[c] * 1000 / fingers;
    EXPECT_NEAR(permille, expected[c], allowance[c]) << PatternClassName(static_cast<TPatternClass>(c));
  }
  // Loops open toward the little finger: mostly left loops on the left hand, right
  // loops on the right hand.
  EXPECT_GT(leftLoops[0] * 10, loops[0] * 8);
  EXPECT_LT(leftLoops[1] * 10, loops[1] * 3);
}

TEST(Population, RidgeSpacingDiffersMoreBetweenPeopleThanWithinOne) {
  // Mean squared deviation of a person's fingers from that person's mean, against the
  // spread of the persons' means.
  std::int64_t within = 0;
  std::int64_t meanSum = 0;
  std::int64_t meanSquares = 0;
  std::array<std::int64_t, 5> byDigit{};
  constexpr std::int64_t kCount = 400;
  for (std::uint32_t subject = 0; subject < kCount; ++subject) {
    std::array<std::int32_t, 10> period{};
    std::int64_t sum = 0;
    for (std::int32_t finger = 1; finger <= 10; ++finger) {
      period[static_cast<std::size_t>(finger - 1)] = DesignFinger(subject, finger).PeriodQ8;
      sum += period[static_cast<std::size_t>(finger - 1)];
      byDigit[static_cast<std::size_t>((finger - 1) % 5)] += period[static_cast<std::size_t>(finger - 1)];
    }
    const std::int64_t mean = sum / 10;
    for (std::int32_t v : period) {
      EXPECT_GE(v, params::kPeriodMinQ8);
      EXPECT_LE(v, params::kPeriodMaxQ8);
      within += (v - mean) * (v - mean);
    }
    meanSum += mean;
    meanSquares += mean * mean;
  }
  const std::int64_t withinVariance = within / (kCount * 10);
  const std::int64_t betweenVariance = meanSquares / kCount - (meanSum / kCount) * (meanSum / kCount);
  EXPECT_GT(betweenVariance, 2 * withinVariance);
  // Whole population about 9 px (Q8), from well below 8.5 to well above 9.5 px.
  EXPECT_NEAR(meanSum / kCount, 9 * 256, 20);
  // Thumbs coarser than little fingers.
  EXPECT_GT(byDigit[0], byDigit[4] + kCount * 40);
}

TEST(Population, SomeFingersAreCreasedAFewScarred) {
  int creased = 0;
  int scarred = 0;
  int creasedOfProne = 0;
  int prone = 0;
  int creasedOfSmooth = 0;
  int smooth = 0;
  for (std::uint32_t subject = 0; subject < kPeople; ++subject) {
    const std::int32_t tendency = PersonTraits(subject).CreaseTendency;
    for (std::int32_t finger = 1; finger <= 10; finger += 3) {
      const TFingerDesign d = DesignFinger(subject, finger);
      bool crease = false;
      bool scar = false;
      for (const TSkinMark& mark : d.Marks) {
        (mark.Kind == TMarkKind::mkCrease ? crease : scar) = true;
        // A mark lies across the finger, not outside it.
        EXPECT_GT(SkinProfileQ16(d.Shape, (mark.X0 + mark.X1) / 2, (mark.Y0 + mark.Y1) / 2), 0);
      }
      creased += crease ? 1 : 0;
      scarred += scar ? 1 : 0;
      if (tendency > 750) {
        ++prone;
        creasedOfProne += crease ? 1 : 0;
      } else if (tendency < 250) {
        ++smooth;
        creasedOfSmooth += crease ? 1 : 0;
      }
    }
  }
  const int fingers = static_cast<int>(kPeople) * 4;
  EXPECT_GT(creased * 100, fingers * 20);
  EXPECT_LT(creased * 100, fingers * 45);
  EXPECT_GT(scarred * 1000, fingers * 20);
  EXPECT_LT(scarred * 1000, fingers * 60);
  // Creases run in people: the creased skin of some, the smooth skin of others.
  EXPECT_GT(creasedOfProne * smooth, 2 * creasedOfSmooth * prone);
}

// The first finger from `subject` on whose design a mark of `kind` lies.
std::uint32_t SubjectWithMark(TMarkKind kind, std::int32_t finger) {
  for (std::uint32_t subject = 0;; ++subject)
    for (const TSkinMark& mark : DesignFinger(subject, finger).Marks)
      if (mark.Kind == kind) return subject;
}

// Ridge height of the master on the middle line of a mark's band, `permille` of the
// way from its start to its end.
std::int32_t HeightOnMark(const TMasterPrint& m, const TSkinMark& mark, std::int64_t permille) {
  // The middle line lies Bend (1 - u^2) pixels left of the chord, u running from -1 to
  // 1; left of the chord from (X0, Y0) to (X1, Y1) is the direction (dy, -dx).
  const std::int64_t dx = mark.X1 - mark.X0;
  const std::int64_t dy = mark.Y1 - mark.Y0;
  const std::int64_t length = ISqrt(static_cast<std::uint64_t>(dx * dx + dy * dy));
  const std::int64_t u = 2 * permille - 1000;
  const std::int64_t bendQ3 = std::int64_t{mark.Bend} * (1000 * 1000 - u * u);  // times 10^6
  const std::int64_t x = mark.X0 + DivRound(dx * permille, 1000) + DivRound(dy * bendQ3, length * 1000000);
  const std::int64_t y = mark.Y0 + DivRound(dy * permille, 1000) - DivRound(dx * bendQ3, length * 1000000);
  return m.Ridges[static_cast<std::size_t>(y * m.Width + x)];
}

TEST(Population, CreasesAndScarsCutTheRidgesOfTheMaster) {
  TMasterCache cache(1);
  for (TMarkKind kind : {TMarkKind::mkCrease, TMarkKind::mkScar}) {
    const std::uint32_t subject = SubjectWithMark(kind, 6);
    const auto master = cache.Get(subject, 6);
    for (const TSkinMark& mark : master->Design.Marks) {
      if (mark.Kind != kind) continue;
      // Along its middle the fold or the scar never touches the sensor: deep valley
      // all the way, where grown ridges would cross it every few pixels.
      int deep = 0;
      int samples = 0;
      for (std::int64_t permille = 300; permille <= 700; permille += 20, ++samples)
        deep += HeightOnMark(*master, mark, permille) <= params::kValleyHeight * 3 / 4 ? 1 : 0;
      EXPECT_GE(deep * 10, samples * 9) << "subject " << subject << (kind == TMarkKind::mkScar ? " scar" : " crease");
    }
  }
}

TEST(Population, PressesVaryLikeRealOnes) {
  constexpr int kPresses = 2000;
  int wide = 0;
  int strained = 0;
  int dry = 0;
  int wet = 0;
  std::int64_t pressureSpread = 0;
  for (std::uint64_t seed = 0; seed < kPresses; ++seed) {
    const TImpressionParams q = DrawPlacement(MixSeed(seed, 99), TPressKind::pkGood);
    // More than three usual deviations off the usual spot, or turned more than that.
    wide += std::abs(q.OffsetXQ8 / 256) > 3 * params::kOffsetSigmaX[0] ||
                    std::abs(q.OffsetYQ8 / 256 - params::kSensorBelowCentre) > 3 * params::kOffsetSigmaY[0] ||
                    std::abs(q.Rotation) > 3 * params::kRotationSigma[0]
                ? 1
                : 0;
    strained += q.WarpQ8 > params::kWarpAmplitudeQ8 ? 1 : 0;
    dry += q.Dryness > 300 ? 1 : 0;
    wet += q.Dryness < -300 ? 1 : 0;
    pressureSpread += std::abs(q.Pressure);
  }
  // Most presses land where the finger usually goes; a good share does not.
  EXPECT_GT(wide * 100, kPresses * 5);
  EXPECT_LT(wide * 100, kPresses * 30);
  EXPECT_NEAR(strained * 1000 / kPresses, params::kStrainedPermille, 40);
  // Dry and wet skin both occur among good presses, dry more often.
  EXPECT_GT(dry * 100, kPresses * 3);
  EXPECT_GT(wet * 100, kPresses * 1);
  EXPECT_GT(dry, wet);
  EXPECT_GT(pressureSpread / kPresses, 5);
}

}  // namespace
}  // namespace mivex::ostrela
