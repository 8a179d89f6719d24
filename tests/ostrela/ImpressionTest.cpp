// Masters and impressions: geometry, the pattern classes, and how the press kinds and
// the frames of a press differ.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "FixedMath.h"
#include "GaborBank.h"
#include "Impression.h"
#include "MasterCache.h"
#include "OstrelaParams.h"
#include "PressModel.h"

namespace mivex::ostrela {
namespace {

// Masters are costly under the sanitizers: one shared cache for the whole program.
TMasterCache& Cache() {
  static TMasterCache cache(8);
  return cache;
}

std::vector<std::uint8_t> Shot(std::uint32_t subject, std::int32_t finger, TPressKind kind, std::int64_t press,
                               std::int32_t frame) {
  const std::uint64_t seed = PressSeed(0, press, subject, finger);
  std::vector<std::uint8_t> image;
  RenderImpression(*Cache().Get(subject, finger), FrameOfPress(DrawPlacement(seed, kind), frame, seed), image);
  return image;
}

// Pixels clearly darker than the background: ridges in contact.
int InkPixels(const std::vector<std::uint8_t>& image) {
  int n = 0;
  for (std::uint8_t v : image) n += v < 170 ? 1 : 0;
  return n;
}

TEST(Design, EveryClassHasItsSingularPoints) {
  std::array<int, 5> seen{};
  for (std::uint32_t subject = 0; subject < 400; ++subject) {
    const std::int32_t finger = 1 + static_cast<std::int32_t>(subject % 10);
    const TFingerDesign d = DesignFinger(subject, finger);
    int cores = 0;
    int deltas = 0;
    for (const TSingularPoint& p : d.Points) (p.Core ? cores : deltas) += 1;
    switch (d.Class) {
      case TPatternClass::pcArch: EXPECT_EQ(cores + deltas, 0); break;
      case TPatternClass::pcTentedArch:
      case TPatternClass::pcLeftLoop:
      case TPatternClass::pcRightLoop:
        EXPECT_EQ(cores, 1);
        EXPECT_EQ(deltas, 1);
        break;
      case TPatternClass::pcWhorl:
        EXPECT_EQ(cores, 2);
        EXPECT_EQ(deltas, 2);
        break;
    }
    // The pattern lies well inside the finger.
    EXPECT_GT(SkinProfileQ16(d.Shape, d.CentreX, d.CentreY), kQ16 / 2);
    if (d.Class == TPatternClass::pcLeftLoop || d.Class == TPatternClass::pcRightLoop) {
      // The delta sits below the core, on the side away from the loop's opening.
      const bool deltaRight = d.Points[1].X > d.Points[0].X;
      EXPECT_GT(d.Points[1].Y, d.Points[0].Y);
      EXPECT_EQ(deltaRight, d.Class == TPatternClass::pcLeftLoop);
    }
    ++seen[static_cast<std::size_t>(d.Class)];
  }
  // Natural frequencies: loops most common, arches rare but present.
  for (int count : seen) EXPECT_GT(count, 0);
  EXPECT_GT(seen[2] + seen[3], seen[4]);
  EXPECT_GT(seen[4], seen[0] + seen[1]);
}

TEST(Master, RidgesFillTheFingerAndNothingElse) {
  const auto m = Cache().Get(1, kDefaultFinger);
  ASSERT_EQ(m->Width, params::kMasterWidth);
  ASSERT_EQ(m->Height, params::kMasterHeight);
  ASSERT_EQ(m->Ridges.size(), static_cast<std::size_t>(m->Width * m->Height));
  int inside = 0;
  int ridge = 0;
  int outsideRidge = 0;
  for (std::size_t i = 0; i < m->Ridges.size(); ++i) {
    if (m->Skin[i] == 255) {
      ++inside;
      ridge += m->Ridges[i] > 0 ? 1 : 0;
    } else if (m->Skin[i] == 0) {
      const std::int32_t x = static_cast<std::int32_t>(i % static_cast<std::size_t>(m->Width));
      const std::int32_t y = static_cast<std::int32_t>(i / static_cast<std::size_t>(m->Width));
      // Ridges end within a few pixels of the edge, not across the canvas.
      if (SkinProfileQ16(m->Design.Shape, x, y + 12) == 0 && SkinProfileQ16(m->Design.Shape, x - 12, y) == 0 &&
          SkinProfileQ16(m->Design.Shape, x + 12, y) == 0)
        outsideRidge += m->Ridges[i] != 0 ? 1 : 0;
    }
  }
  EXPECT_GT(inside, m->Width * m->Height / 2);
  // Ridges and valleys about equally wide.
  EXPECT_GT(ridge, inside * 4 / 10);
  EXPECT_LT(ridge, inside * 6 / 10);
  EXPECT_EQ(outsideRidge, 0);
}

TEST(Impression, SensorGeometryAndGreyLevels) {
  const std::vector<std::uint8_t> image = Shot(1, kDefaultFinger, TPressKind::pkGood, 1, 3);
  ASSERT_EQ(image.size(), static_cast<std::size_t>(256 * 288));
  int dark = 0;
  int light = 0;
  for (std::uint8_t v : image) {
    dark += v < 120 ? 1 : 0;
    light += v > 200 ? 1 : 0;
  }
  // A settled good press covers most of the window with ridges and valleys.
  EXPECT_GT(dark, 256 * 288 / 5);
  EXPECT_GT(light, 256 * 288 / 5);
}

TEST(Impression, FirstFramesTouchOnlyPartly) {
  for (std::int64_t press = 0; press < 4; ++press) {
    const int first = InkPixels(Shot(2, 3, TPressKind::pkGood, press, 0));
    const int second = InkPixels(Shot(2, 3, TPressKind::pkGood, press, 1));
    const int settled = InkPixels(Shot(2, 3, TPressKind::pkGood, press, 4));
    EXPECT_LT(first, second) << press;
    EXPECT_LT(second, settled) << press;
  }
}

TEST(Impression, FramesOfAPressAreNearlyTheSamePictureButNotEqual) {
  const auto a = Shot(3, 8, TPressKind::pkGood, 0, 3);
  const auto b = Shot(3, 8, TPressKind::pkGood, 0, 4);
  const auto other = Shot(3, 8, TPressKind::pkGood, 1, 4);
  ASSERT_NE(a, b);
  // Mean absolute difference: frames of one placement differ by noise and jitter,
  // another placement moves the whole pattern.
  const auto mad = [](const std::vector<std::uint8_t>& x, const std::vector<std::uint8_t>& y) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < x.size(); ++i) sum += x[i] > y[i] ? x[i] - y[i] : y[i] - x[i];
    return sum / static_cast<std::int64_t>(x.size());
  };
  EXPECT_LT(mad(a, b) * 2, mad(a, other));
  // Rendering is a pure function of its inputs.
  EXPECT_EQ(a, Shot(3, 8, TPressKind::pkGood, 0, 3));
}

TEST(Impression, LightPressesAreFaintAndSmall) {
  std::int64_t goodInk = 0;
  std::int64_t lightInk = 0;
  for (std::int64_t press = 0; press < 6; ++press) {
    goodInk += InkPixels(Shot(4, 2, TPressKind::pkGood, press, 3));
    lightInk += InkPixels(Shot(4, 2, TPressKind::pkLight, press, 3));
  }
  EXPECT_LT(lightInk * 4, goodInk);
}

TEST(Impression, PlacementsVaryWithinTheirLimits) {
  std::set<std::int32_t> rotations;
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    for (TPressKind kind : {TPressKind::pkGood, TPressKind::pkPoor, TPressKind::pkLight}) {
      const TImpressionParams q = DrawPlacement(seed, kind);
      EXPECT_LE(std::abs(q.Rotation), params::kRotationLimit);
      EXPECT_GE(q.Dryness, -1000);
      EXPECT_LE(q.Dryness, 1000);
      EXPECT_GT(q.ContactScale, 300);
      EXPECT_LT(q.RidgeGrey, q.BackgroundGrey);
      rotations.insert(q.Rotation);
    }
  }
  EXPECT_GT(rotations.size(), 500u);
}

TEST(GaborBank, KernelsPassTheirOwnRidgesAndRejectFlatAreas) {
  TGaborBank bank;
  for (std::int32_t o = 0; o < params::kOrientationBins; o += 5) {
    for (std::int32_t f = 0; f < params::kPeriodBins; f += 3) {
      const std::int16_t* k = bank.Kernel(o, f);
      std::int64_t flat = 0;
      for (std::int32_t i = 0; i < (2 * params::kKernelRadius + 1) * params::kKernelStride; ++i) flat += k[i];
      EXPECT_EQ(flat, 0);
    }
  }
  EXPECT_EQ(TGaborBank::OrientationBin(kHalfTurn), 0);
  EXPECT_EQ(TGaborBank::OrientationBin(kHalfTurn - 10), 0);
  EXPECT_EQ(TGaborBank::PeriodBin(0), 0);
  EXPECT_EQ(TGaborBank::PeriodBin(100 * 256), params::kPeriodBins - 1);
}

TEST(MasterCache, GeneratesOncePerFingerAndEvictsTheOldest) {
  TMasterCache cache(2);
  const auto a = cache.Get(900, 1);
  EXPECT_EQ(cache.Get(900, 1), a);
  EXPECT_EQ(cache.Generated(), 1);
  cache.Get(900, 2);
  cache.Get(900, 1);
  cache.Get(900, 3);  // evicts (900, 2), the least recently used
  EXPECT_EQ(cache.Generated(), 3);
  cache.Get(900, 1);
  EXPECT_EQ(cache.Generated(), 3);
  cache.Get(900, 2);
  EXPECT_EQ(cache.Generated(), 4);
  // An evicted master stays valid for whoever still holds it.
  EXPECT_EQ(a->Design.Seed, MasterSeed(900, 1));
}

}  // namespace
}  // namespace mivex::ostrela
