// The extraction stages, matching and generalization on inputs with a known answer.
#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "BlockOps.h"
#include "EnhancedImage.h"
#include "Extractor.h"
#include "FeatureRecord.h"
#include "ForegroundMask.h"
#include "Generalizer.h"
#include "LocalStructures.h"
#include "Matcher.h"
#include "MinutiaeDetection.h"
#include "MinutiaeFilter.h"
#include "NormalizedImage.h"
#include "OrientationField.h"
#include "PortableMath.h"
#include "RidgeSkeleton.h"
#include "RidgeWavelength.h"
#include "SimilarPairs.h"
#include "SingularPoints.h"
#include "SyntheticImages.h"
#include "VandrelParams.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {
namespace {

using testing::kPi;

float AngleGap(float a, float b) { return std::abs(WrapTurn(a - b)); }
float HalfTurnGap(float a, float b) {
  const float d = std::abs(WrapHalfTurn(a) - WrapHalfTurn(b));
  return std::min(d, std::numbers::pi_v<float> - d);
}

struct Stages {
  NormalizedImage normalized;
  OrientationField field;
  ForegroundMask mask;
  RidgeWavelength wavelength;
};

Stages Analyse(const std::vector<std::uint8_t>& img, int w, int h) {
  Stages s;
  s.normalized = NormalizeImage(GrayView{w, h, img.data()});
  s.field = EstimateOrientation(s.normalized.pixels, params::kOrientationSmoothRadius);
  s.mask = SegmentForeground(s.field, s.normalized.blockStd, s.normalized.blockInk);
  s.wavelength = EstimateWavelength(s.normalized.pixels, s.field, s.mask);
  return s;
}

TEST(VandrelStages, OrientationFollowsStraightRidges) {
  for (double degrees : {0.0, 30.0, 60.0, 90.0, 135.0, 170.0}) {
    const float angle = static_cast<float>(degrees * kPi / 180);
    const Stages s = Analyse(testing::ParallelRidges(256, 288, angle, 9), 256, 288);
    const int bx = s.field.angle.width / 2, by = s.field.angle.height / 2;
    EXPECT_LT(HalfTurnGap(s.field.angle.at(bx, by), angle), 0.05f) << degrees;
    EXPECT_GT(s.field.coherence.at(bx, by), 0.9f) << degrees;
  }
}

TEST(VandrelStages, WavelengthMatchesTheRidgePeriod) {
  for (double period : {6.0, 9.0, 12.0}) {
    const Stages s = Analyse(testing::ParallelRidges(256, 288, 0.4, period), 256, 288);
    EXPECT_NEAR(s.wavelength.median, period, 0.8) << period;
    EXPECT_GT(s.wavelength.validFraction, 0.8f) << period;
  }
}

TEST(VandrelStages, ForegroundIsWhereTheRidgesAre) {
  std::vector<std::uint8_t> img = testing::ParallelRidges(256, 288, 1.0, 9);
  for (int y = 0; y < 288; ++y)
    for (int x = 0; x < 256; ++x)
      if (std::hypot(x - 128, y - 144) > 90) img[static_cast<std::size_t>(y) * 256 + x] = 200;
  const Stages s = Analyse(img, 256, 288);
  EXPECT_TRUE(s.mask.blocks.at(16, 18));
  EXPECT_FALSE(s.mask.blocks.at(1, 1));
  EXPECT_FALSE(s.mask.blocks.at(30, 34));
  const float area = static_cast<float>(s.mask.foregroundBlocks * 64);
  EXPECT_NEAR(area, kPi * 90 * 90, 0.25 * kPi * 90 * 90);

  const std::vector<std::uint8_t> blank(256 * 288, 180);
  EXPECT_EQ(Analyse(blank, 256, 288).mask.foregroundBlocks, 0);
}

// A light, dry press: faint ridges sprinkled with bright specks of bare sensor.
TEST(VandrelStages, SpeckledFaintRidgesAreForeground) {
  std::vector<std::uint8_t> img = testing::ParallelRidges(256, 288, 1.0, 9);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> share(0, 1);
  for (std::uint8_t& v : img) v = share(random) < 0.3f ? 255 : static_cast<std::uint8_t>(150 + (v - 128) / 5);
  const Stages s = Analyse(img, 256, 288);
  float raw = 0, blurred = 0;
  for (int by = 8; by < 28; ++by)
    for (int bx = 8; bx < 24; ++bx) {
      raw += s.field.coherence.at(bx, by) / 320;
      blurred += s.field.blurredCoherence.at(bx, by) / 320;
    }
  EXPECT_GT(blurred, 2 * raw);
  EXPECT_GT(s.mask.foregroundBlocks, s.mask.blocks.width * s.mask.blocks.height * 3 / 4);
}

// A dry press of curved ridges, broken into specks: the directions read again from the
// enhanced ridges follow the rings more closely than those of the raw gradients.
TEST(VandrelStages, RefinedDirectionsFollowSpeckledRidgesCloser) {
  const int w = 288, h = 288;
  const double cx = 144, cy = 144;
  std::vector<std::uint8_t> img = testing::Rings(w, h, cx, cy, 9);
  std::mt19937 random(11);
  std::uniform_real_distribution<float> share(0, 1);
  std::normal_distribution<float> noise(0, 25);
  for (std::uint8_t& v : img)
    v = share(random) < 0.35f ? 255 : static_cast<std::uint8_t>(std::clamp(150 + (v - 128) / 4 + noise(random), 0.0f, 255.0f));
  const Stages s = Analyse(img, w, h);
  const FloatPlane enhanced = EnhanceRidges(s.normalized.pixels, s.field, s.wavelength, s.mask, GaborBank());
  const OrientationField refined = RefineOrientation(s.field, enhanced, s.mask.blocks);
  float rawError = 0, refinedError = 0;
  int blocks = 0;
  for (int by = 0; by < s.field.angle.height; ++by)
    for (int bx = 0; bx < s.field.angle.width; ++bx) {
      const float x = (static_cast<float>(bx) + 0.5f) * params::kBlock, y = (static_cast<float>(by) + 0.5f) * params::kBlock;
      const float r = std::hypot(x - static_cast<float>(cx), y - static_cast<float>(cy));
      if (!s.mask.blocks.at(bx, by) || r < 30 || r > 120) continue;
      const float ring = WrapHalfTurn(std::atan2(y - static_cast<float>(cy), x - static_cast<float>(cx)) + kPi / 2);
      rawError += HalfTurnGap(s.field.angle.at(bx, by), ring);
      refinedError += HalfTurnGap(refined.angle.at(bx, by), ring);
      ++blocks;
      EXPECT_EQ(refined.coherence.at(bx, by), s.field.coherence.at(bx, by));
    }
  ASSERT_GT(blocks, 400);
  EXPECT_LT(refinedError, 0.8f * rawError) << rawError / blocks << " " << refinedError / blocks;
  for (int by = 0; by < s.field.angle.height; ++by)
    for (int bx = 0; bx < s.field.angle.width; ++bx)
      if (!s.mask.blocks.at(bx, by)) {
        EXPECT_EQ(refined.angle.at(bx, by), s.field.angle.at(bx, by));
      }
}

// Scratches or dried residue on the sensor beside the finger: thin, parallel dark lines on
// the bright surface. They are strongly oriented, but carry almost no ink.
TEST(VandrelStages, StreaksBesideThePrintAreBackground) {
  std::vector<std::uint8_t> img = testing::ParallelRidges(256, 288, 1.0, 9);
  for (int y = 0; y < 288; ++y)
    for (int x = 0; x < 256; ++x) {
      if (std::hypot(x - 100, y - 144) <= 75) continue;
      img[static_cast<std::size_t>(y) * 256 + x] = x > 120 && x % 10 == 0 ? 150 : 235;
    }
  const Stages s = Analyse(img, 256, 288);
  EXPECT_TRUE(s.mask.blocks.at(12, 18));
  for (int by = 2; by < 34; by += 4) EXPECT_FALSE(s.mask.blocks.at(28, by)) << by;
  const float area = static_cast<float>(s.mask.foregroundBlocks * 64);
  EXPECT_LT(area, 1.4f * kPi * 75 * 75);
}

TEST(VandrelStages, SkeletonIsOnePixelWideWithOneLinePerRidge) {
  const std::vector<std::uint8_t> img = testing::ParallelRidges(256, 288, 0, 10);  // horizontal ridges
  const Stages s = Analyse(img, 256, 288);
  GaborBank bank;
  const FloatPlane enhanced = EnhanceRidges(s.normalized.pixels, s.field, s.wavelength, s.mask, bank);
  BytePlane skeleton = BinarizeRidges(enhanced, s.mask);
  ThinRidges(skeleton);
  // Down the middle column, every ridge is crossed exactly once, by a single pixel.
  int lines = 0;
  for (int y = 40; y < 248; ++y)
    if (skeleton.at(128, y) && !skeleton.at(128, y - 1)) ++lines;
  EXPECT_NEAR(lines, 208 / 10, 1);
  for (int y = 40; y < 248; ++y)
    for (int x = 40; x < 216; ++x)
      if (skeleton.at(x, y)) {
        EXPECT_FALSE(skeleton.at(x, y + 1)) << x << "," << y;
      }
}

// Thinning as plainly as it can be written: each sub-iteration judges every ridge pixel
// by its eight neighbours before any goes; then staircase corners go, in raster order.
BytePlane PlainThinning(BytePlane img) {
  const int w = img.width, h = img.height;
  auto at = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && img.at(x, y) != 0; };
  // P2..P9 clockwise from north.
  const int nx[8] = {0, 1, 1, 1, 0, -1, -1, -1}, ny[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  auto neighbours = [&](int x, int y, bool* p) {
    for (int i = 0; i < 8; ++i) p[i] = at(x + nx[i], y + ny[i]);
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<std::pair<int, int>> gone;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          if (!at(x, y)) continue;
          bool p[8];
          neighbours(x, y, p);
          int b = 0, a = 0;
          for (int i = 0; i < 8; ++i) b += p[i], a += !p[i] && p[(i + 1) % 8];
          const bool side = pass == 0 ? !(p[0] && p[2] && p[4]) && !(p[2] && p[4] && p[6])
                                      : !(p[0] && p[2] && p[6]) && !(p[0] && p[4] && p[6]);
          if (b >= 2 && b <= 6 && a == 1 && side) gone.emplace_back(x, y);
        }
      for (const auto& [x, y] : gone) img.at(x, y) = 0;
      changed = changed || !gone.empty();
    }
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!at(x, y)) continue;
      bool p[8];
      neighbours(x, y, p);
      const bool n = p[0], ne = p[1], e = p[2], se = p[3], s = p[4], sw = p[5], wt = p[6], nw = p[7];
      if ((n && e && !sw && !s && !wt) || (e && s && !nw && !n && !wt) || (s && wt && !ne && !n && !e) ||
          (wt && n && !se && !s && !e))
        img.at(x, y) = 0;
    }
  return img;
}

// Thinning, which judges 64 pixels of a row at once, leaves the skeleton plain
// thinning leaves: on thick random blobs, where pixels go over many rounds, and on
// thin ridges with pores; in images narrower than one word, of whole words and with
// a few bits in a last word, where the neighbours cross from word to word.
TEST(VandrelStages, ThinningGivesThePlainSkeleton) {
  std::mt19937 rng(31);
  const int widths[] = {61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 1, 2, 128, 129, 191, 256};
  for (int trial = 0; trial < static_cast<int>(std::size(widths)); ++trial) {
    BytePlane img(widths[trial], 47 + 2 * (trial % 12), 0);
    std::uniform_int_distribution<int> cx(0, img.width - 1), cy(0, img.height - 1), radius(1, 2 + trial % 6);
    for (int blob = 0; blob < 25; ++blob) {
      const int x0 = cx(rng), y0 = cy(rng), r = radius(rng);
      for (int y = std::max(0, y0 - r); y <= std::min(img.height - 1, y0 + r); ++y)
        for (int x = std::max(0, x0 - r); x <= std::min(img.width - 1, x0 + r); ++x)
          if ((x - x0) * (x - x0) + (y - y0) * (y - y0) <= r * r) img.at(x, y) = 1;
    }
    std::bernoulli_distribution pore(0.03);
    for (std::uint8_t& v : img.data) v = v && !pore(rng);
    const BytePlane expected = PlainThinning(img);
    ThinRidges(img);
    EXPECT_EQ(img.data, expected.data) << "trial " << trial;
  }
}

// Horizontal ridges, one of them cut between x = 100 and x = 150.
std::vector<std::uint8_t> CutRidge(int& ridgeY) {
  std::vector<std::uint8_t> img = testing::ParallelRidges(256, 288, 0, 10);
  ridgeY = 140;  // cos(2 pi y / 10) is 1 (light, a valley) at multiples of 10; ridges at 5 + 10k
  ridgeY = 145;
  for (int y = ridgeY - 3; y <= ridgeY + 3; ++y)
    for (int x = 100; x <= 150; ++x) img[static_cast<std::size_t>(y) * 256 + x] = 228;
  return img;
}

TEST(VandrelStages, RidgeEndingsPointIntoTheGap) {
  int ridgeY;
  const std::vector<std::uint8_t> img = CutRidge(ridgeY);
  const Stages s = Analyse(img, 256, 288);
  GaborBank bank;
  const FloatPlane enhanced = EnhanceRidges(s.normalized.pixels, s.field, s.wavelength, s.mask, bank);
  BytePlane skeleton = BinarizeRidges(enhanced, s.mask);
  ThinRidges(skeleton);
  const std::vector<Minutia> found = DetectMinutiae(skeleton, s.field, s.mask);
  const Minutia *left = nullptr, *right = nullptr;
  for (const Minutia& m : found) {
    if (std::abs(m.y - static_cast<float>(ridgeY)) > 4 || m.kind != MinutiaKind::Ending) continue;
    if (std::abs(m.x - 100) < 12) left = &m;
    if (std::abs(m.x - 150) < 12) right = &m;
  }
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  EXPECT_LT(AngleGap(left->direction, 0), 0.2f);  // the left piece ends pointing right
  EXPECT_LT(AngleGap(right->direction, std::numbers::pi_v<float>), 0.2f);
  // The gap is wide (50 px): both endings survive the filter.
  const std::vector<Minutia> kept = FilterMinutiae(found, s.mask, 256, 288);
  int survivors = 0;
  for (const Minutia& m : kept) survivors += std::abs(m.y - static_cast<float>(ridgeY)) <= 4;
  EXPECT_EQ(survivors, 2);
}

ForegroundMask FullMask(int w, int h) {
  ForegroundMask mask;
  mask.blocks = BytePlane(w / params::kBlock, h / params::kBlock, 1);
  mask.borderDistance = FloatPlane(w / params::kBlock, h / params::kBlock, 100.0f);
  mask.foregroundBlocks = static_cast<int>(mask.blocks.data.size());
  return mask;
}

// A ridge that ends along the flow is an ending; one whose skeleton hooks away from the
// flow before it ends (a curl of noise, a blob's outline) is none.
TEST(VandrelStages, EndingsLeavingTheFlowAreNoMinutiae) {
  constexpr int w = 128, h = 128;
  BytePlane skeleton(w, h);
  for (int x = 10; x <= 70; ++x) skeleton.at(x, 40) = 1;
  for (int x = 10; x <= 60; ++x) skeleton.at(x, 80) = 1;
  for (int y = 81; y <= 95; ++y) skeleton.at(60, y) = 1;
  OrientationField field;
  field.angle = FloatPlane(w / params::kBlock, h / params::kBlock, 0.0f);
  field.coherence = FloatPlane(w / params::kBlock, h / params::kBlock, 1.0f);
  const std::vector<Minutia> found = DetectMinutiae(skeleton, field, FullMask(w, h));
  bool straight = false;
  for (const Minutia& m : found) {
    straight = straight || (std::abs(m.x - 70) < 2 && std::abs(m.y - 40) < 2 && AngleGap(m.direction, 0) < 0.01f);
    EXPECT_FALSE(std::abs(m.x - 60) < 4 && std::abs(m.y - 95) < 4) << m.x << " " << m.y << " " << m.direction;
  }
  EXPECT_TRUE(straight);
}

Minutia At(float x, float y, float dir, MinutiaKind kind = MinutiaKind::Ending, float quality = 0.5f) {
  Minutia m;
  m.x = x;
  m.y = y;
  m.direction = dir;
  m.kind = kind;
  m.quality = quality;
  return m;
}

TEST(VandrelStages, PoresInRidgesAreFilledButLongerGapsStay) {
  // Horizontal ridges 5 pixels wide every 10, as the enhancement leaves them.
  FloatPlane enhanced(256, 288);
  for (int y = 0; y < 288; ++y)
    for (int x = 0; x < 256; ++x) enhanced.at(x, y) = std::cos(2 * std::numbers::pi_v<float> * static_cast<float>(y) / 10);
  // Pores of a wet press, 3 x 3 pixels in the middle of the ridge at y = 100.
  for (int px : {60, 100, 140, 180})
    for (int y = 99; y <= 101; ++y)
      for (int x = px - 1; x <= px + 1; ++x) enhanced.at(x, y) = -1;
  // A slit of 3 x 20 pixels along the ridge at y = 200: two ridges side by side there.
  for (int y = 199; y <= 201; ++y)
    for (int x = 100; x < 120; ++x) enhanced.at(x, y) = -1;
  const ForegroundMask mask = FullMask(256, 288);
  BytePlane skeleton = BinarizeRidges(enhanced, mask);
  for (int px : {60, 100, 140, 180}) EXPECT_TRUE(skeleton.at(px, 100)) << px;
  EXPECT_FALSE(skeleton.at(110, 200));
  ThinRidges(skeleton);
  // Through the pores the ridge thins to one line; beside the slit to two.
  for (int x = 40; x < 216; ++x) {
    int lines = 0;
    for (int y = 94; y <= 106; ++y) lines += skeleton.at(x, y) && !skeleton.at(x, y - 1);
    EXPECT_EQ(lines, 1) << x;
  }
  int lines = 0;
  for (int y = 194; y <= 206; ++y) lines += skeleton.at(110, y) && !skeleton.at(110, y - 1);
  EXPECT_EQ(lines, 2);
}

// Gap filling by runs along the rows gives what a plain 4-connected flood fill gives:
// gaps of at most kMaxRidgeHole pixels that do not reach the edge become ridge, on
// random speckle where gaps of every size and shape meet the edges and masked blocks.
TEST(VandrelStages, GapsFilledAsAFloodFillFillsThem) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 16; ++trial) {
    const int w = 17 + 13 * trial, h = 9 + 11 * (trial % 7);
    FloatPlane enhanced(w, h);
    std::bernoulli_distribution ridge(0.45 + 0.03 * (trial % 6));
    for (float& v : enhanced.data) v = ridge(rng) ? 1.0f : -1.0f;
    ForegroundMask mask;
    mask.blocks = BytePlane((w + params::kBlock - 1) / params::kBlock, (h + params::kBlock - 1) / params::kBlock, 1);
    if (trial % 3 == 1) mask.blocks.at(1, 0) = 0;  // a masked block is gap too
    BytePlane expected(w, h, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        expected.at(x, y) = enhanced.at(x, y) > 0 && mask.blocks.at(x / params::kBlock, y / params::kBlock);
    BytePlane seen(w, h, 0);
    for (int y0 = 0; y0 < h; ++y0)
      for (int x0 = 0; x0 < w; ++x0) {
        if (expected.at(x0, y0) || seen.at(x0, y0)) continue;
        std::vector<std::pair<int, int>> region{{x0, y0}};
        seen.at(x0, y0) = 1;
        bool edge = false;
        for (std::size_t k = 0; k < region.size(); ++k) {
          const auto [x, y] = region[k];
          edge = edge || x == 0 || y == 0 || x == w - 1 || y == h - 1;
          const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
          for (int i = 0; i < 4; ++i)
            if (expected.contains(nx[i], ny[i]) && !expected.at(nx[i], ny[i]) && !seen.at(nx[i], ny[i])) {
              seen.at(nx[i], ny[i]) = 1;
              region.emplace_back(nx[i], ny[i]);
            }
        }
        if (!edge && static_cast<int>(region.size()) <= params::kMaxRidgeHole)
          for (const auto& [x, y] : region) expected.at(x, y) = 2;
      }
    for (std::uint8_t& v : expected.data) v = v != 0;
    EXPECT_EQ(BinarizeRidges(enhanced, mask).data, expected.data) << "trial " << trial;
  }
}

// Ridge profiles sample the image at positions rounded as std::lround rounds: halves
// away from zero, everything else to the nearest integer, on both sides of zero.
TEST(VandrelStages, ProfileSamplesRoundAsTheLibraryRounds) {
  std::vector<float> values;
  for (int k = -2400; k <= 2400; ++k) {
    const float v = static_cast<float>(k) / 8;
    values.insert(values.end(), {v, std::nextafter(v, -1e9f), std::nextafter(v, 1e9f)});
  }
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> any(-600.0f, 600.0f);
  for (int i = 0; i < 20000; ++i) values.push_back(any(rng));
  values.insert(values.end(), {0.49999997f, -0.49999997f, 8388607.5f, -8388607.5f, 16777216.0f, -0.0f});
  for (float v : values) EXPECT_EQ(RoundToInt(v), std::lround(v)) << v;
}

TEST(VandrelStages, FilterRemovesBrokenRidgesSpursAndBorders) {
  const ForegroundMask mask = FullMask(256, 288);
  const float pi = std::numbers::pi_v<float>;
  std::vector<Minutia> in = {
      At(100, 100, 0), At(110, 100, pi),                              // facing endings, 10 px: one ridge
      At(60, 200, 1.0f, MinutiaKind::Bifurcation), At(63, 203, 2.0f),  // 4 px apart: spur
      At(3, 150, 0),                                                   // at the image edge
      At(180, 60, 0.5f), At(180, 200, 2.5f, MinutiaKind::Bifurcation),  // genuine, far apart
  };
  const std::vector<Minutia> out = FilterMinutiae(in, mask, 256, 288);
  ASSERT_EQ(out.size(), 2u);
  for (const Minutia& m : out) EXPECT_EQ(m.x, 180);
  // Endings facing each other a ridge and a half apart end two neighbouring ridges.
  EXPECT_EQ(FilterMinutiae({At(100, 100, 0), At(114, 100, pi)}, mask, 256, 288).size(), 2u);

  std::vector<Minutia> many;
  for (int i = 0; i < 120; ++i)
    many.push_back(At(20.0f + static_cast<float>(i % 12) * 18, 20.0f + static_cast<float>(i / 12) * 25, 0,
                      MinutiaKind::Ending, static_cast<float>(i) / 120));
  const std::vector<Minutia> capped = FilterMinutiae(many, mask, 256, 288);
  ASSERT_EQ(capped.size(), 80u);
  for (std::size_t i = 1; i < capped.size(); ++i) EXPECT_GE(capped[i - 1].quality, capped[i].quality);
}

OrientationField FieldOf(int cols, int rows, float (*angleAt)(float dx, float dy)) {
  OrientationField f;
  f.angle = FloatPlane(cols, rows);
  f.coherence = FloatPlane(cols, rows, 1.0f);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      f.angle.at(x, y) = WrapHalfTurn(angleAt(static_cast<float>(x - cols / 2) + 0.45f, static_cast<float>(y - rows / 2) + 0.3f));
  return f;
}

TEST(VandrelStages, PoincareIndexFindsCoresDeltasAndWhorls) {
  const ForegroundMask mask = FullMask(256, 288);
  struct Case {
    float (*field)(float, float);
    int type;
  } cases[] = {
      {[](float dx, float dy) { return 0.5f * std::atan2(dy, dx); }, 1},
      {[](float dx, float dy) { return -0.5f * std::atan2(dy, dx); }, 2},
      {[](float dx, float dy) { return std::atan2(dy, dx) + std::numbers::pi_v<float> / 2; }, 3},
  };
  for (const Case& c : cases) {
    const std::vector<SingularPoint> points = FindSingularPoints(FieldOf(32, 36, c.field), mask);
    ASSERT_EQ(points.size(), 1u) << c.type;
    EXPECT_EQ(points[0].type, c.type);
    EXPECT_NEAR(points[0].x, 128, 12);
    EXPECT_NEAR(points[0].y, 144, 12);
  }
  const std::vector<SingularPoint> none = FindSingularPoints(FieldOf(32, 36, [](float, float) { return 0.7f; }), mask);
  EXPECT_TRUE(none.empty());
}

Features SampleFeatures() {
  Features f;
  f.minutiae = {At(20, 30, 0.1f, MinutiaKind::Bifurcation, 0.9f), At(200, 250, 3.0f, MinutiaKind::Ending, 0.2f),
                At(120, 40, -2.0f)};
  f.singularPoints = {{130, 150, 1, 1.5f}, {60, 260, 2, 0.3f}};
  f.grid.width = 16;
  f.grid.height = 18;
  f.grid.cells.assign(16 * 18, 40);
  f.grid.cells[5] = 255;
  return f;
}

TEST(VandrelRecords, SelectionDecidesWhatIsWritten) {
  const Features f = SampleFeatures();
  struct Case {
    FeatureSelection selection;
    bool singular, grid;
  } cases[] = {{FeatureSelection::AllFeatures, true, true},
               {FeatureSelection::OmitBO, true, false},
               {FeatureSelection::OmitBOAndC, false, false}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> rec(params::kRecordBufferSize);
    const std::int32_t n = WriteFeatureRecord(f, c.selection, true, rec.data(), rec.size());
    ASSERT_GT(n, 0);
    FeatureModel m;
    ASSERT_EQ(DecodeFeatures(rec.data(), static_cast<std::size_t>(n), m), n);
    EXPECT_EQ(m.SingularCount, c.singular ? 2 : 0);
    EXPECT_EQ(m.GridWidth, c.grid ? 16 : 0);
    Features back;
    ASSERT_TRUE(ReadFeatureRecord(rec.data(), static_cast<std::size_t>(n), back));
    ASSERT_EQ(back.minutiae.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(back.minutiae[i].x, f.minutiae[i].x, 0.5);
      EXPECT_LT(AngleGap(back.minutiae[i].direction, f.minutiae[i].direction), 2 * kPi / 240);
      EXPECT_EQ(back.minutiae[i].kind, f.minutiae[i].kind);
      EXPECT_NEAR(back.minutiae[i].quality, f.minutiae[i].quality, 0.01);
    }
    if (c.grid) {
      EXPECT_EQ(back.grid.cells, f.grid.cells);
    }
  }
}

TEST(VandrelRecords, ForeignDirectionsAreRejected) {
  FeatureModel m;
  ClearFeatureModel(m);
  m.MinutiaeCount = 1;
  m.Minutiae[0] = {10, 10, 250, 255, 0};  // no engine writes a direction of 240 or more
  std::vector<std::uint8_t> rec(kMaxEncodedFeatures);
  const std::int32_t n = EncodeFeatures(m, rec.data(), rec.size());
  Features f;
  EXPECT_FALSE(ReadFeatureRecord(rec.data(), static_cast<std::size_t>(n), f));
}

// A random finger: minutiae spread over a 230 x 280 area, at least 12 px apart.
std::vector<Minutia> RandomFinger(std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> x(15, 245), y(15, 295), d(-std::numbers::pi_v<float>, std::numbers::pi_v<float>);
  std::vector<Minutia> out;
  while (static_cast<int>(out.size()) < count) {
    const Minutia m = At(x(rng), y(rng), d(rng), rng() % 2 ? MinutiaKind::Ending : MinutiaKind::Bifurcation);
    bool clear = true;
    for (const Minutia& o : out) clear = clear && std::hypot(o.x - m.x, o.y - m.y) >= 12;
    if (clear) out.push_back(m);
  }
  return out;
}

// Another press of the same finger: turned, shifted, bent, jittered, with some
// minutiae missed and some spurious ones found.
std::vector<Minutia> Press(const std::vector<Minutia>& finger, std::mt19937& rng, float rotation, float shiftX,
                           float shiftY, float bend, float keepFrom = -1000, float keepTo = 1000) {
  std::normal_distribution<float> jitter(0, 2.0f), turn(0, 0.06f);
  std::uniform_real_distribution<float> unit(0, 1);
  std::vector<Minutia> out;
  const float c = std::cos(rotation), s = std::sin(rotation);
  for (const Minutia& m : finger) {
    if (unit(rng) < 0.2f || m.x < keepFrom || m.x > keepTo) continue;
    const float bx = m.x + bend * std::sin(m.y / 60), by = m.y + bend * std::sin(m.x / 70);
    Minutia p = m;
    p.x = c * (bx - 130) - s * (by - 150) + 130 + shiftX + jitter(rng);
    p.y = s * (bx - 130) + c * (by - 150) + 150 + shiftY + jitter(rng);
    p.direction = WrapTurn(m.direction + rotation + turn(rng));
    out.push_back(p);
  }
  std::vector<Minutia> noise = RandomFinger(rng, 5);
  out.insert(out.end(), noise.begin(), noise.end());
  return out;
}

int Score(const std::vector<Minutia>& a, const std::vector<Minutia>& b) {
  MatchTemplate ta, tb;
  BuildMatchTemplate(a, ta);
  BuildMatchTemplate(b, tb);
  return MatchTemplates(ta, tb).score;
}

TEST(VandrelMatcher, SameFingerMatchesUnderRotationDistortionAndPartialOverlap) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 10; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 40);
    EXPECT_GE(Score(finger, Press(finger, rng, 0.5f, 30, -20, 0)), 63) << trial;     // ~29 degrees
    EXPECT_GE(Score(finger, Press(finger, rng, -0.5f, -25, 15, 0)), 63) << trial;
    EXPECT_GE(Score(finger, Press(finger, rng, 0.2f, 10, 10, 8)), 47) << trial;      // elastic bend
    EXPECT_GE(Score(finger, Press(finger, rng, 0.1f, 0, 0, 0, -1000, 140)), 47) << trial;  // left half only
  }
}

// A finger placed 50 degrees turned from its enrollment is still a placement: minutiae
// turned that far apart, give or take their directions' noise, must still be compared.
TEST(VandrelMatcher, PressesTurnedFiftyDegreesApartMatch) {
  std::mt19937 rng(13);
  constexpr float kFiftyDegrees = 50 * std::numbers::pi_v<float> / 180;
  for (int trial = 0; trial < 10; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 40);
    EXPECT_GE(Score(finger, Press(finger, rng, kFiftyDegrees, 15, -10, 0)), 63) << trial;
    EXPECT_GE(Score(finger, Press(finger, rng, -kFiftyDegrees, -10, 15, 0)), 63) << trial;
  }
}

TEST(VandrelMatcher, DifferentFingersStayLow) {
  std::mt19937 rng(11);
  int high = 0;
  for (int trial = 0; trial < 200; ++trial) high += Score(RandomFinger(rng, 40), RandomFinger(rng, 40)) >= 47;
  EXPECT_LE(high, 6);  // about 1 % at score 47
  const std::vector<Minutia> finger = RandomFinger(rng, 40);
  EXPECT_LT(Score(finger, Press(finger, rng, 2.2f, 0, 0, 0)), 47);  // turned 126 degrees: not a placement
  EXPECT_EQ(Score({}, finger), 0);
}

TEST(VandrelMatcher, UnpairedMinutiaeOfPoorQualityWeighLess) {
  std::mt19937 rng(21);
  // Extra minutiae among a print's own, apart from them.
  auto extrasFor = [&](const std::vector<Minutia>& print) {
    std::vector<Minutia> extras;
    for (const Minutia& m : RandomFinger(rng, 60)) {
      bool clear = m.x > 40 && m.x < 220 && m.y > 40 && m.y < 260;
      for (const Minutia& o : print) clear = clear && std::hypot(o.x - m.x, o.y - m.y) >= 12;
      if (clear && extras.size() < 10) extras.push_back(m);
    }
    return extras;
  };
  for (int trial = 0; trial < 5; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 30);
    const std::vector<Minutia> press = Press(finger, rng, 0.2f, 10, -5, 0);
    const std::vector<Minutia> extrasA = extrasFor(finger), extrasB = extrasFor(press);
    auto raw = [&](float extraQuality, float ownQuality) {
      std::vector<Minutia> a = finger, b = press;
      for (auto* print : {&a, &b})
        for (Minutia& m : *print) m.quality = ownQuality;
      for (Minutia m : extrasA) {
        m.quality = extraQuality;
        a.push_back(m);
      }
      for (Minutia m : extrasB) {
        m.quality = extraQuality;
        b.push_back(m);
      }
      MatchTemplate ta, tb;
      BuildMatchTemplate(a, ta);
      BuildMatchTemplate(b, tb);
      return MatchTemplates(ta, tb).raw;
    };
    // Unpaired smudge-like minutiae cost less than sharp ones...
    EXPECT_GT(raw(0.05f, 0.5f), raw(0.9f, 0.5f)) << trial;
    // ...and quality at or above the full weight, or unknown (read as 0.5), changes nothing.
    EXPECT_FLOAT_EQ(raw(0.5f, 0.5f), raw(1.0f, 1.0f)) << trial;
  }
}

// The finger turned and shifted exactly: every minutia lands on its partner.
std::vector<Minutia> Moved(const std::vector<Minutia>& finger, float rotation, float shiftX, float shiftY) {
  const float c = std::cos(rotation), s = std::sin(rotation);
  std::vector<Minutia> out = finger;
  for (Minutia& m : out) {
    const float x = m.x, y = m.y;
    m.x = c * x - s * y + shiftX;
    m.y = s * x + c * y + shiftY;
    m.direction = WrapTurn(m.direction + rotation);
  }
  return out;
}

MatchResult Match(const std::vector<Minutia>& a, const std::vector<Minutia>& b) {
  MatchTemplate ta, tb;
  BuildMatchTemplate(a, ta);
  BuildMatchTemplate(b, tb);
  return MatchTemplates(ta, tb);
}

// The place of minutia k moved by `by` along `heading`, when no other minutia of the
// print lies within `clear` of it there.
bool FreeSpot(const std::vector<Minutia>& print, std::size_t k, float by, float heading, float clear, Minutia& moved) {
  moved = print[k];
  moved.x += by * std::cos(heading);
  moved.y += by * std::sin(heading);
  for (std::size_t o = 0; o < print.size(); ++o)
    if (o != k && std::hypot(print[o].x - moved.x, print[o].y - moved.y) < clear) return false;
  return true;
}

TEST(VandrelMatcher, RigidPairsAreMutualNearestUnderTheFittedMotion) {
  std::mt19937 rng(31);
  for (int trial = 0; trial < 5; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 30);
    const std::vector<Minutia> press = Moved(finger, 0.3f, 20, -10);
    const MatchResult exact = Match(finger, press);
    ASSERT_EQ(exact.rigidPairs, 30) << trial;

    // A spurious minutia beside a true one, in either print, is not the nearest of the
    // true one's partner: nothing more pairs.
    for (const auto& [a, b] : {std::pair{&finger, &press}, std::pair{&press, &finger}}) {
      std::vector<Minutia> crowded = *a;
      Minutia spurious = crowded[4];
      spurious.x += 5;
      crowded.push_back(spurious);
      EXPECT_EQ(Match(crowded, *b).rigidPairs, 30) << trial;
    }

    // A second minutia beside a true one, in each print, pairs as well where each is
    // the other's nearest (6 px off in one print, 10 px in the other: 4 px apart).
    std::size_t j = 0;
    Minutia six, ten;
    while (j < finger.size() && !(FreeSpot(finger, j, 6, 2.0f, 2 * params::kRigidReach + 4, six) &&
                                  FreeSpot(finger, j, 10, 2.0f, 2 * params::kRigidReach + 4, ten)))
      ++j;
    ASSERT_LT(j, finger.size()) << trial;
    std::vector<Minutia> withSix = finger, withTen = press;
    withSix.push_back(six);
    withTen.push_back(Moved({ten}, 0.3f, 20, -10)[0]);
    EXPECT_EQ(Match(withSix, withTen).rigidPairs, 31) << trial;

    // One whose nearest is nearer still to a true minutia pairs with nothing: 13 px
    // below a true minutia in one print, while the other has one 5 px below it (8 px
    // from the first, 5 px from the true minutia, and found after it from above).
    std::size_t t = 0;
    Minutia spot, five;
    const float down = kPi / 2;
    while (t < press.size() && !(FreeSpot(press, t, 13, down, 2 * params::kRigidReach + 4, spot) &&
                                 FreeSpot(press, t, 5, down, 2 * params::kRigidReach + 4, five)))
      ++t;
    ASSERT_LT(t, press.size()) << trial;
    std::vector<Minutia> withThirteen = finger, withFive = press;
    Minutia thirteen = finger[t];  // where the press has `spot`: turned back by the press's 0.3
    thirteen.x += 13 * std::cos(down - 0.3f);
    thirteen.y += 13 * std::sin(down - 0.3f);
    withThirteen.push_back(thirteen);
    withFive.push_back(five);
    EXPECT_EQ(Match(withThirteen, withFive).rigidPairs, 30) << trial;

    // A minutia turned further than the motion allows, or carried past the reach,
    // pairs no more; within the reach it still does.
    std::vector<Minutia> turned = press;
    turned[7].direction = WrapTurn(turned[7].direction + 0.6f);
    EXPECT_EQ(Match(finger, turned).rigidPairs, 29) << trial;
    std::size_t k = 0;
    Minutia far, near;
    while (k < press.size() && !(FreeSpot(press, k, params::kRigidReach + 2, 1.0f, 2 * params::kRigidReach + 4, far) &&
                                 FreeSpot(press, k, params::kRigidReach - 3, 1.0f, 2 * params::kRigidReach + 4, near)))
      ++k;
    ASSERT_LT(k, press.size()) << trial;
    std::vector<Minutia> shifted = press;
    shifted[k] = far;
    EXPECT_EQ(Match(finger, shifted).rigidPairs, 29) << trial;
    shifted[k] = near;
    EXPECT_EQ(Match(finger, shifted).rigidPairs, 30) << trial;
  }
}

TEST(VandrelMatcher, RawSimilarityRisesWithTheRigidlyPairedShare) {
  // As many consolidated pairs, alike, in as large an overlap: more rigid pairs score higher.
  float previous = 0;
  for (int rigid = 0; rigid <= 40; rigid += 5) {
    const float raw = RawSimilarity(12, 8, 4.0f, 30, 35, rigid);
    EXPECT_GT(raw, previous) << rigid;
    previous = raw;
  }
  // The smaller overlap bounds both shares, whichever print it belongs to; rigid pairs
  // beyond it still count, but never as more than the whole overlap.
  EXPECT_FLOAT_EQ(RawSimilarity(12, 8, 4.0f, 30, 35, 20), RawSimilarity(12, 8, 4.0f, 35, 30, 20));
  EXPECT_LT(RawSimilarity(12, 8, 4.0f, 30, 35, 40), RawSimilarity(12, 8, 4.0f, 30, 35, 41));
  EXPECT_LT(RawSimilarity(12, 8, 4.0f, 30, 35, 1000) - RawSimilarity(12, 8, 4.0f, 30, 35, 0), params::kRigidShareWeight);
  // Without a consolidated alignment there is nothing to read.
  EXPECT_EQ(RawSimilarity(12, 2, 4.0f, 30, 35, 30), 0.0f);
}

TEST(VandrelMatcher, PrintRegionQuickAnswersAgreeWithInside) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> offset(-80, 80), turn(-3.2f, 3.2f);
  const float pi = std::numbers::pi_v<float>;
  for (int trial = 0; trial < 20; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 15 + trial * 3);
    const PrintRegion region(finger);
    const PrintRegion portableRegion(finger, Kernel::Portable);
    std::vector<std::pair<Kernel, PrintRegion>> byKernel;
    for (Kernel kernel : {Kernel::BitCount, Kernel::Vector256, Kernel::Vector})
      if (KernelAvailable(kernel)) byKernel.emplace_back(kernel, PrintRegion(finger, kernel));
    int deep = 0;
    for (float y = -40; y < 340; y += 7)
      for (float x = -40; x < 300; x += 7) {
        // Everything within the clear radius is inside.
        const float clear = region.ClearRadius(x, y);
        if (clear > 0) {
          ASSERT_TRUE(region.Inside(x, y)) << trial << " " << x << "," << y;
        }
        deep += clear >= params::kCylinderRadius;
        for (float r = 5; r <= clear; r += 5)
          for (int k = 0; k < 48; ++k) {
            const float a = 2 * pi * static_cast<float>(k) / 48;
            ASSERT_TRUE(region.Inside(x + r * std::cos(a), y + r * std::sin(a))) << trial << " " << x << "," << y;
          }
        // Turned offsets, 64 at a time, as Inside sees them one by one (up to rounding
        // on a cell's edge, hence a few mismatches at most).
        float dx[64], dy[64];
        for (int k = 0; k < 64; ++k) dx[k] = offset(rng), dy[k] = offset(rng);
        const float angle = turn(rng), c = std::cos(angle), s = std::sin(angle);
        const std::uint64_t inside = region.InsideOffsets(x, y, c, s, dx, dy, 64);
        int mismatches = 0;
        for (int k = 0; k < 64; ++k)
          mismatches += ((inside >> k & 1) != 0) != region.Inside(x + dx[k] * c - dy[k] * s, y + dx[k] * s + dy[k] * c);
        ASSERT_LE(mismatches, 1) << trial << " " << x << "," << y;
        // Every vector form gives the portable answer exactly, for any number of points.
        const int count = static_cast<int>(rng() % 65);
        for (Kernel kernel : {Kernel::Vector256, Kernel::Vector})
          if (KernelAvailable(kernel)) {
            ASSERT_EQ(region.InsideOffsets(x, y, c, s, dx, dy, count, kernel),
                      region.InsideOffsets(x, y, c, s, dx, dy, count, Kernel::Portable))
                << static_cast<int>(kernel) << " " << trial << " " << x << "," << y << " " << count;
          }
        // The region's depths do not depend on the form that eroded it.
        for (const auto& [kernel, other] : byKernel)
          ASSERT_EQ(portableRegion.ClearRadius(x, y), other.ClearRadius(x, y))
              << static_cast<int>(kernel) << " " << trial << " " << x << "," << y;
      }
    if (finger.size() >= 40) {
      EXPECT_GT(deep, 0) << trial;  // a full print has a middle
    }
  }
}

// A template prepared over the storage of others (as the engine's cache of recent
// records prepares each new one) is the template prepared afresh: nothing of a larger,
// smaller or empty template before it is left behind, for every kernel.
TEST(VandrelMatcher, TemplatePreparedOverAnotherIsPreparedAfresh) {
  std::mt19937 rng(31);
  std::vector<std::vector<Minutia>> fingers;
  for (int count : {70, 12, 0, 45, 1, 80, 30, 120, 60}) fingers.push_back(RandomFinger(rng, count));
  // Prints wider and taller than any before, so that their regions' rasters grow: one
  // within the working rows kept at hand, and one beyond them, as is a template of
  // more minutiae than records hold.
  for (Minutia& m : fingers[5]) m.x *= 1.6f, m.y *= 1.5f;
  for (Minutia& m : fingers[8]) m.x *= 3.0f, m.y *= 2.5f;
  for (Kernel kernel : {Kernel::Portable, Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    MatchTemplate reused;
    for (std::size_t f = 0; f < fingers.size(); ++f) {
      const std::vector<Minutia>& m = fingers[f];
      MatchTemplate fresh;
      BuildMatchTemplate(m, fresh, kernel);
      BuildMatchTemplate(m, reused, kernel);
      const std::string where = "kernel " + std::to_string(static_cast<int>(kernel)) + " finger " + std::to_string(f);
      ASSERT_EQ(reused.minutiae.size(), m.size()) << where;
      ASSERT_EQ(reused.cylinders.size(), fresh.cylinders.size()) << where;
      for (std::size_t i = 0; i < fresh.cylinders.size(); ++i) {
        const Cylinder &e = fresh.cylinders[i], &g = reused.cylinders[i];
        ASSERT_TRUE(std::equal(e.bits, e.bits + params::kCylinderDirections, g.bits) && e.valid == g.valid &&
                    e.usable == g.usable)
            << where << " cylinder " << i;
      }
      EXPECT_EQ(reused.cosDir, fresh.cosDir) << where;
      EXPECT_EQ(reused.sinDir, fresh.sinDir) << where;
      EXPECT_EQ(reused.sortedDirections, fresh.sortedDirections) << where;
      EXPECT_EQ(reused.byDirection, fresh.byDirection) << where;
      EXPECT_EQ(reused.orderedStride, fresh.orderedStride) << where;
      EXPECT_EQ(reused.orderedWords, fresh.orderedWords) << where;
      EXPECT_EQ(reused.orderedTurns, fresh.orderedTurns) << where;
      EXPECT_EQ(reused.directionStarts, fresh.directionStarts) << where;
      ASSERT_EQ(reused.turnRuns.size(), fresh.turnRuns.size()) << where;
      for (std::size_t k = 0; k < fresh.turnRuns.size(); ++k)
        EXPECT_TRUE(reused.turnRuns[k].from == fresh.turnRuns[k].from && reused.turnRuns[k].to == fresh.turnRuns[k].to)
            << where << " run " << k;
      EXPECT_EQ(reused.sortedY, fresh.sortedY) << where;
      EXPECT_EQ(reused.byY, fresh.byY) << where;
      EXPECT_EQ(reused.sortedX, fresh.sortedX) << where;
      EXPECT_EQ(reused.bandStarts, fresh.bandStarts) << where;
      for (float y = -60; y < 800; y += 6)
        for (float x = -60; x < 800; x += 6)
          ASSERT_EQ(reused.region.ClearRadius(x, y), fresh.region.ClearRadius(x, y)) << where << " " << x << "," << y;
    }
  }
}

// The quick look-ups of a template against brute force: the bands of rows around a
// place hold every minutia within reach of it (read in that order without going
// through the indices: the same coordinates), and the similar pairs listed with no
// similarity required are exactly the pairs of usable cylinders turned at most as far
// apart as kMinPairTurnCos allows, each once, across the wrap of a full turn too, by
// every kernel this processor has.
TEST(VandrelMatcher, TemplateLookUpsMissNothing) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> row(-60, 360), reach(0, 40);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<Minutia> a = RandomFinger(rng, 10 + 3 * trial), b = RandomFinger(rng, 12 + 2 * trial);
    // Directions on both sides of the wrap.
    a[0].direction = 0.001f;
    b[0].direction = 2 * std::numbers::pi_v<float> - 0.001f;
    b[1].direction = -0.002f;
    // The float nearest 2 pi, just past it, and turns that reach 60 degrees past 0 or
    // 2 pi (the farthest a run wraps).
    a[1].direction = 2 * std::numbers::pi_v<float>;
    a[2].direction = std::numbers::pi_v<float> / 3;
    a[3].direction = 5 * std::numbers::pi_v<float> / 3;
    b[2].direction = std::numbers::pi_v<float> / 3 + 0.002f;
    b[3].direction = 5 * std::numbers::pi_v<float> / 3 - 0.002f;
    MatchTemplate ta, tb;
    BuildMatchTemplate(a, ta);
    BuildMatchTemplate(b, tb);
    ASSERT_EQ(tb.sortedX.size(), b.size());
    for (std::size_t place = 0; place < b.size(); ++place) {
      const Minutia& m = b[static_cast<std::size_t>(tb.byY[place])];
      ASSERT_TRUE(tb.sortedX[place] == m.x && tb.sortedY[place] == m.y) << trial << " place " << place;
    }
    for (int probe = 0; probe < 50; ++probe) {
      const float y = row(rng), r = reach(rng);
      const auto [from, to] = tb.RowsAround(y, r);
      for (std::size_t j = 0; j < b.size(); ++j) {
        if (std::abs(b[j].y - y) > r) continue;
        bool held = false;
        for (int place = from; place < to; ++place) held = held || tb.byY[static_cast<std::size_t>(place)] == static_cast<int>(j);
        ASSERT_TRUE(held) << trial << " row " << y << " reach " << r << " minutia " << j;
      }
    }
    for (Kernel kernel : {Kernel::Portable, Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
      if (!KernelAvailable(kernel)) continue;
      std::vector<SimilarPair> out(a.size() * b.size());
      const int listed = SimilarPairs(ta, tb, 0.0f, out.data(), kernel);
      // Every pair clearly within the turn is listed, once, and none clearly beyond it.
      std::set<std::pair<int, int>> listedPairs;
      for (int k = 0; k < listed; ++k)
        listedPairs.emplace(out[static_cast<std::size_t>(k)].a(), out[static_cast<std::size_t>(k)].b());
      ASSERT_EQ(listedPairs.size(), static_cast<std::size_t>(listed)) << static_cast<int>(kernel) << " trial " << trial;
      for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) {
          if (!ta.cylinders[i].usable || !tb.cylinders[j].usable) continue;
          const float turnCos = std::cos(a[i].direction - b[j].direction);
          const bool isListed = listedPairs.count({static_cast<int>(i), static_cast<int>(j)}) != 0;
          if (turnCos >= params::kMinPairTurnCos + 1e-4f) {
            EXPECT_TRUE(isListed) << static_cast<int>(kernel) << " trial " << trial << " " << i << "," << j;
          }
          if (turnCos <= params::kMinPairTurnCos - 1e-4f) {
            EXPECT_FALSE(isListed) << static_cast<int>(kernel) << " trial " << trial << " " << i << "," << j;
          }
        }
    }
    int usablePairs = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
      for (std::size_t j = 0; j < b.size(); ++j) usablePairs += ta.cylinders[i].usable && tb.cylinders[j].usable;
    EXPECT_GT(usablePairs, 0) << trial;
  }
}

// Every form of template preparation and pair listing this processor has gives the
// portable code's result exactly: the same cylinders, and the same pairs in the same
// order with the same similarities bit for bit. Presses of one finger give pairs of
// every similarity; runs of every length (so vectors end anywhere), directions across
// the wrap, and templates with no usable cylinder are among them.
TEST(VandrelMatcher, KernelsGiveExactlyWhatPortableCodeGives) {
  std::mt19937 rng(23);
  int kernelsChecked = 0, filledLists = 0;
  for (Kernel kernel : {Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    ++kernelsChecked;
    for (int trial = 0; trial < 40; ++trial) {
      const std::vector<Minutia> finger = RandomFinger(rng, 3 + trial * 2);
      std::vector<Minutia> a = Press(finger, rng, 0.3f, 10, -5, 2), b = Press(finger, rng, -0.2f, -8, 12, 3);
      if (trial % 5 == 1) {
        a[0].direction = 0.001f;
        b[0].direction = 2 * std::numbers::pi_v<float> - 0.001f;
      }
      if (trial % 7 == 3) b.resize(1);
      // Whole pixels and 240ths of a turn, as records hold them: many equal rows and
      // directions, which every kernel must order by index.
      if (trial % 4 == 0)
        for (Minutia& m : a) {
          m.x = std::round(m.x), m.y = std::round(m.y / 4) * 4;
          m.direction = std::round(m.direction * (240 / (2 * std::numbers::pi_v<float>))) * (2 * std::numbers::pi_v<float> / 240);
        }
      // All minutiae turned alike: with no similarity required every pair is listed,
      // filling the list to the last place (kernels writing whole vectors must not
      // write past it).
      if (trial % 6 == 4)
        for (std::vector<Minutia>* side : {&a, &b})
          for (std::size_t k = 0; k < side->size(); ++k) (*side)[k].direction = 1.0f + 0.01f * static_cast<float>(k % 5);
      // Minutiae turned just about as far apart as a pair may be: the turn test must
      // round as the portable code does.
      if (trial % 3 == 2)
        for (std::size_t k = 0; k < b.size(); ++k)
          b[k].direction = WrapTurn(a[k % a.size()].direction + std::numbers::pi_v<float> / 3 +
                                    static_cast<float>(k % 9) * 1e-7f * (k % 2 ? 1.0f : -1.0f));
      MatchTemplate ta, tb, portable;
      BuildMatchTemplate(a, ta, kernel);
      BuildMatchTemplate(b, tb, kernel);
      BuildMatchTemplate(a, portable, Kernel::Portable);
      for (std::size_t i = 0; i < a.size(); ++i) {
        const Cylinder &e = portable.cylinders[i], &g = ta.cylinders[i];
        ASSERT_TRUE(std::equal(e.bits, e.bits + params::kCylinderDirections, g.bits) && e.valid == g.valid &&
                    e.usable == g.usable)
            << static_cast<int>(kernel) << " trial " << trial << " cylinder " << i;
        // Pair listing counts the marks two cylinders share without masking them to
        // their common cells: a cylinder marks its valid cells only.
        for (std::uint64_t word : e.bits) ASSERT_EQ(word & ~e.valid, 0u) << "trial " << trial << " cylinder " << i;
      }
      ASSERT_EQ(ta.byDirection, portable.byDirection) << static_cast<int>(kernel) << " trial " << trial;
      ASSERT_EQ(ta.byY, portable.byY) << static_cast<int>(kernel) << " trial " << trial;
      for (float least : {0.0f, params::kMinPairSimilarity}) {
        std::vector<SimilarPair> expected(a.size() * b.size()), got(a.size() * b.size());
        const int n = SimilarPairs(ta, tb, least, expected.data(), Kernel::Portable);
        ASSERT_EQ(SimilarPairs(ta, tb, least, got.data(), kernel), n) << static_cast<int>(kernel) << " " << trial;
        filledLists += static_cast<std::size_t>(n) == expected.size();
        for (int k = 0; k < n; ++k) {
          const SimilarPair &e = expected[static_cast<std::size_t>(k)], &g = got[static_cast<std::size_t>(k)];
          ASSERT_TRUE(e.a() == g.a() && e.b() == g.b() &&
                      std::bit_cast<std::uint32_t>(e.similarity()) == std::bit_cast<std::uint32_t>(g.similarity()))
              << static_cast<int>(kernel) << " trial " << trial << " pair " << k;
        }
      }
    }
  }
  EXPECT_GT(filledLists, 0);
  RecordProperty("kernels_checked", kernelsChecked);
}

// Every kernel sorts the alike pairs as the plain sort does: lists of every length up
// to the most sorted at once (so the last four end anywhere), with similarities that
// tie often (ratios of small counts) and ones that differ in the last bit, indices up
// to the largest records' and pairs of the same minutia of A or of B side by side.
TEST(VandrelMatcher, PairSortKernelsSortAsThePlainSort) {
  std::mt19937 rng(29);
  std::uniform_int_distribution<int> count(0, 12), index(0, 79);
  for (Kernel kernel : {Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    for (int n = 0; n <= kMostSortedAtOnce; ++n) {
      std::set<std::pair<int, int>> minutiae;
      while (static_cast<int>(minutiae.size()) < n) minutiae.emplace(index(rng), index(rng) % (n % 3 == 0 ? 80 : 4));
      std::vector<SimilarPair> pairs;
      for (const auto& [a, b] : minutiae) {
        float similarity = 1.0f - static_cast<float>(count(rng)) / 12.0f;
        if (n % 5 == 1 && pairs.size() % 2 == 1) similarity = std::nextafter(similarity, 0.0f);
        pairs.emplace_back(similarity, a, b);
      }
      std::shuffle(pairs.begin(), pairs.end(), rng);
      std::vector<SimilarPair> expected = pairs;
      std::sort(expected.begin(), expected.end());
      SortPairs(pairs.data(), n, kernel);
      for (int k = 0; k < n; ++k)
        ASSERT_EQ(pairs[static_cast<std::size_t>(k)].key(), expected[static_cast<std::size_t>(k)].key())
            << static_cast<int>(kernel) << " n " << n << " place " << k;
    }
  }
}

// The best of more pairs than are kept come out as the first places of the whole
// sort, with every kernel: lists on both sides of the most ranked at once, the kept
// count below, at and above the list's length.
TEST(VandrelMatcher, BestPairsAreTheFirstOfTheWholeSort) {
  std::mt19937 rng(37);
  std::uniform_int_distribution<int> count(0, 12), index(0, 79);
  for (Kernel kernel : {Kernel::Portable, Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    for (const int n : {0, 1, 5, 37, 63, 64, 65, 101, 127, 128, 129, 300}) {
      for (const int keep : {1, 20, kMostSortedAtOnce}) {
        std::set<std::pair<int, int>> minutiae;
        while (static_cast<int>(minutiae.size()) < n) minutiae.emplace(index(rng), index(rng));
        std::vector<SimilarPair> pairs;
        for (const auto& [a, b] : minutiae) pairs.emplace_back(1.0f - static_cast<float>(count(rng)) / 12.0f, a, b);
        std::shuffle(pairs.begin(), pairs.end(), rng);
        std::vector<SimilarPair> expected = pairs;
        std::sort(expected.begin(), expected.end());
        SortBestPairs(pairs.data(), n, keep, kernel);
        for (int k = 0; k < std::min(n, keep); ++k)
          ASSERT_EQ(pairs[static_cast<std::size_t>(k)].key(), expected[static_cast<std::size_t>(k)].key())
              << static_cast<int>(kernel) << " n " << n << " keep " << keep << " place " << k;
      }
    }
  }
}

// Whole comparisons give with every kernel exactly what the portable code gives: the
// same pairs in the same order and the same figures bit for bit. Presses of one finger
// and different fingers, with few minutiae and with so many that more pairs are alike
// than are kept as candidates, one scratch reused throughout as a search reuses it.
TEST(VandrelMatcher, ComparisonKernelsGiveExactlyWhatPortableCodeGives) {
  std::mt19937 rng(31);
  MatchScratch scratch;
  MatchResult expected, got;
  int manyCandidates = 0, matched = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const int size = trial % 3 == 0 ? 80 : 4 + trial;
    const std::vector<Minutia> finger = RandomFinger(rng, size);
    const std::vector<Minutia> a = Press(finger, rng, 0.3f, 10, -5, 2);
    const std::vector<Minutia> b = trial % 4 == 3 ? RandomFinger(rng, size) : Press(finger, rng, -0.2f, -8, 12, 3);
    MatchTemplate ta, tb;
    BuildMatchTemplate(a, ta);
    BuildMatchTemplate(b, tb);
    std::vector<SimilarPair> alike(a.size() * b.size());
    manyCandidates += SimilarPairs(ta, tb, params::kMinPairSimilarity, alike.data()) > params::kCandidatePairs;
    MatchTemplates(ta, tb, scratch, expected, Kernel::Portable);
    matched += expected.score >= 47;
    for (Kernel kernel : {Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
      if (!KernelAvailable(kernel)) continue;
      MatchTemplates(ta, tb, scratch, got, kernel);
      ASSERT_EQ(got.pairs, expected.pairs) << static_cast<int>(kernel) << " trial " << trial;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(got.raw), std::bit_cast<std::uint32_t>(expected.raw)) << trial;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(got.similaritySum), std::bit_cast<std::uint32_t>(expected.similaritySum));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(got.overlapA), std::bit_cast<std::uint32_t>(expected.overlapA));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(got.overlapB), std::bit_cast<std::uint32_t>(expected.overlapB));
      ASSERT_EQ(got.rigidPairs, expected.rigidPairs);
      ASSERT_EQ(got.score, expected.score);
    }
  }
  EXPECT_GT(manyCandidates, 0);
  EXPECT_GT(matched, 10);
}

// The pairwise test judged four candidates at a time, and many at once as a growing
// set judges them (with every kernel), answers exactly as one at a time, and either way
// round: on pairs all about the tolerances, on pairs turned half a turn apart (whose
// mean rotation has no direction), and on pairs found on the very edge of each test
// (one unit of the last place apart, inside and outside), where a rounding done
// differently would flip the answer.
TEST(VandrelMatcher, PairwiseTestFourAtATimeIsTheSingleTest) {
  std::mt19937 rng(25);
  std::uniform_real_distribution<float> unit(0, 1);
  // Candidates of earlier trials, judged beside each trial's own so that more are
  // judged at once than a vector has lanes.
  std::vector<MatchCandidate> earlier;
  const float turn = 2 * std::numbers::pi_v<float>;
  const auto candidate = [](float rotation, float ax, float ay, float bx, float by) {
    return MatchCandidate{0.5f, 0, 0, std::cos(rotation), std::sin(rotation), ax, ay, bx, by};
  };
  // Where the answer flips as one number of c goes from `inside` (agrees) to `outside`
  // (does not): the two candidates next to each other there.
  const auto edge = [](const MatchCandidate& p, MatchCandidate c, float MatchCandidate::*field, float inside,
                       float outside) {
    for (int step = 0; step < 200; ++step) {
      const float middle = inside + (outside - inside) / 2;
      if (middle == inside || middle == outside) break;
      c.*field = middle;
      (PairsAgree(p, c) ? inside : outside) = middle;
    }
    MatchCandidate out = c;
    c.*field = inside, out.*field = outside;
    return std::pair{c, out};
  };
  int agreeing = 0, turnedApart = 0, lengthsApart = 0, segmentsTurnedApart = 0;
  const auto count = [&](const MatchCandidate& p, const MatchCandidate& c) {
    const bool agree = PairsAgree(p, c), turned = p.cosRot * c.cosRot + p.sinRot * c.sinRot >= params::kCosDirectionTolerance;
    const float la = std::hypot(c.ax - p.ax, c.ay - p.ay), lb = std::hypot(c.bx - p.bx, c.by - p.by);
    const bool lengthApart = std::abs(la - lb) > params::kDistanceTolerance + params::kDistanceToleranceRelative * la;
    agreeing += agree, turnedApart += !turned, lengthsApart += lengthApart;
    segmentsTurnedApart += !agree && turned && !lengthApart;
  };
  for (int trial = 0; trial < 3000; ++trial) {
    const float rotation = unit(rng) * turn;
    const MatchCandidate p = candidate(rotation, 50 + 300 * unit(rng), 50 + 300 * unit(rng), 50 + 300 * unit(rng),
                                       50 + 300 * unit(rng));
    std::vector<MatchCandidate> others;
    for (int k = 0; k < 4; ++k) {
      // A rotation near the tolerance's edge (about 20 degrees) or half a turn away; a
      // segment of a whose image in b is stretched and turned about as far as the
      // length and turn tolerances allow.
      const float apart = k == 3 ? std::numbers::pi_v<float> : (unit(rng) - 0.5f) * 0.8f;
      const float length = 5 + 150 * unit(rng);
      const float direction = unit(rng) * turn;
      const float ax = length * std::cos(direction), ay = length * std::sin(direction);
      const float stretch = 1 + (unit(rng) - 0.5f) * 2 * (params::kDistanceToleranceRelative + 8 / length) * 1.2f;
      const float bend = rotation + apart / 2 + (unit(rng) - 0.5f) * 0.7f;
      const float bx = stretch * (std::cos(bend) * ax - std::sin(bend) * ay);
      const float by = stretch * (std::sin(bend) * ax + std::cos(bend) * ay);
      MatchCandidate c = candidate(rotation + apart, p.ax + ax, p.ay + ay, p.bx + bx, p.by + by);
      // Whole pixels, as records hold them: segments of equal lengths in both prints.
      if (trial % 3 == 0) c.ax = std::round(c.ax), c.ay = std::round(c.ay), c.bx = std::round(c.bx), c.by = std::round(c.by);
      others.push_back(c);
    }
    // Pairs on the edges: a segment of b carried along or across itself until its
    // length or its turn no longer agrees, and a rotation turned until it no longer
    // agrees.
    const float length = 5 + 150 * unit(rng), direction = (trial % 4) * (std::numbers::pi_v<float> / 2) + (unit(rng) - 0.5f) * 0.2f;
    const float ax = length * std::cos(direction), ay = length * std::sin(direction);
    const MatchCandidate fits = candidate(rotation, p.ax + ax, p.ay + ay, p.bx + std::cos(rotation) * ax - std::sin(rotation) * ay,
                                          p.by + std::sin(rotation) * ax + std::cos(rotation) * ay);
    if (!PairsAgree(p, fits)) continue;
    float MatchCandidate::*const larger = std::abs(p.cosRot) > std::abs(p.sinRot) ? &MatchCandidate::cosRot : &MatchCandidate::sinRot;
    for (float MatchCandidate::*field : {&MatchCandidate::bx, &MatchCandidate::by, larger}) {
      // The rotation's larger part turned to the other sign is over 90 degrees away.
      const float outside = field == larger ? -std::copysign(1.0f, fits.*field) : fits.*field + (trial % 2 ? 60.0f : -60.0f);
      const auto [in, out] = edge(p, fits, field, fits.*field, outside);
      ASSERT_TRUE(PairsAgree(p, in) && !PairsAgree(p, out)) << "trial " << trial;
      others.push_back(in), others.push_back(out);
    }
    for (std::size_t k = 0; k < others.size(); ++k) {
      const MatchCandidate& c = others[k];
      ASSERT_EQ(PairsAgree(p, c), PairsAgree(c, p)) << "trial " << trial << " candidate " << k;
      count(p, c);
    }
    for (std::size_t first = 0; first + 4 <= others.size(); ++first) {
      const unsigned four = PairsAgreeFour(p, {others[first], others[first + 1], others[first + 2], others[first + 3]});
      for (std::size_t l = 0; l < 4; ++l)
        ASSERT_EQ((four >> l & 1) != 0, PairsAgree(p, others[first + l])) << "trial " << trial << " candidate " << first + l;
    }
    std::vector<MatchCandidate> many = others;
    // Up to 63 in all: ten of the trial's and up to 53 earlier ones.
    const std::size_t added = std::min<std::size_t>(earlier.size(), static_cast<std::size_t>(trial % 54));
    many.insert(many.end(), earlier.begin(), earlier.begin() + static_cast<std::ptrdiff_t>(added));
    for (Kernel kernel : {Kernel::Portable, Kernel::Vector256, Kernel::Vector}) {
      if (!KernelAvailable(kernel)) continue;
      const std::uint64_t atOnce = PairsAgreeAtOnce(p, many, kernel);
      for (std::size_t k = 0; k < many.size(); ++k)
        ASSERT_EQ((atOnce >> k & 1) != 0, PairsAgree(p, many[k]))
            << "trial " << trial << " kernel " << static_cast<int>(kernel) << " candidate " << k;
    }
    earlier.insert(earlier.begin(), others.begin(), others.end());
    earlier.resize(std::min<std::size_t>(earlier.size(), 60));
  }
  // Every way of agreeing or not is met often.
  RecordProperty("agreeing", agreeing), RecordProperty("turned_apart", turnedApart);
  RecordProperty("lengths_apart", lengthsApart), RecordProperty("segments_turned_apart", segmentsTurnedApart);
  EXPECT_GT(agreeing, 4000);
  EXPECT_GT(turnedApart, 4000);
  EXPECT_GT(lengthsApart, 4000);
  EXPECT_GT(segmentsTurnedApart, 2000);
}

// Pairs turned exactly half a turn apart (a direction's sine and cosine and their
// negatives) have no mean rotation. Judging them must not divide by its length of 0:
// the invalid-operation and divide-by-zero exceptions that raises would stop a host
// that runs with them unmasked.
TEST(VandrelMatcher, PairsTurnedHalfATurnApartRaiseNoFloatingPointException) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int trial = 0; trial < 100; ++trial) {
    const float rotation = unit(rng) * 2 * std::numbers::pi_v<float>;
    const float x = 100 * unit(rng), y = 100 * unit(rng);
    const MatchCandidate p{0.5f, 0, 0, std::cos(rotation), std::sin(rotation), x, y, x + 10, y - 10};
    MatchCandidate c = p;
    c.cosRot = -p.cosRot, c.sinRot = -p.sinRot;
    c.ax += trial % 7, c.bx += trial % 5;
    std::feclearexcept(FE_ALL_EXCEPT);
    const bool agree = PairsAgree(p, c);
    const unsigned four = PairsAgreeFour(p, {c, p, c, c});
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_FALSE(agree) << "trial " << trial;
    EXPECT_EQ(four & 0b1101u, 0u) << "trial " << trial;
    ASSERT_EQ(raised, 0) << "trial " << trial;
  }
}

// A template's sines and cosines are the engine's own of each direction, bit for bit:
// of the directions records hold (looked up) and of any other (worked out).
TEST(VandrelMatcher, TemplateTurnsAreThoseOfTheDirections) {
  std::mt19937 rng(29);
  std::uniform_real_distribution<float> any(-7.0f, 7.0f);
  std::vector<Minutia> minutiae;
  for (int u = 0; u < 240; ++u) minutiae.push_back(At(10.0f + static_cast<float>(u), 20, UnitsToDirection(u), MinutiaKind::Ending));
  for (int k = 0; k < 200; ++k) minutiae.push_back(At(10, 30.0f + static_cast<float>(k), any(rng), MinutiaKind::Ending));
  // Next to the record directions, one step of the float either way.
  for (int u = 0; u < 240; u += 7) {
    const float d = UnitsToDirection(u);
    minutiae.push_back(At(5, 5, std::nextafter(d, 10.0f), MinutiaKind::Ending));
    minutiae.push_back(At(5, 5, std::nextafter(d, -10.0f), MinutiaKind::Ending));
  }
  MatchTemplate t;
  BuildMatchTemplate(minutiae, t);
  for (std::size_t i = 0; i < minutiae.size(); ++i) {
    float s, c;
    pm::SinCos(minutiae[i].direction, s, c);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(t.sinDir[i]), std::bit_cast<std::uint32_t>(s)) << i;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(t.cosDir[i]), std::bit_cast<std::uint32_t>(c)) << i;
  }
}

// A plane takes the block the last plane of its size in bytes freed, and starts out
// zero as a fresh one does; a plane of another size never gets that block.
TEST(VandrelPlanes, FreedPlanesAreReusedAndStartZero) {
  const void* freed;
  {
    const FloatPlane dirty(300, 200, 7.0f);
    freed = dirty.data.data();
  }
  {
    const FloatPlane larger(301, 200);
    EXPECT_NE(static_cast<const void*>(larger.data.data()), freed);
  }
  {
    FloatPlane next(300, 200);
    EXPECT_EQ(static_cast<const void*>(next.data.data()), freed);
    EXPECT_TRUE(std::all_of(next.data.begin(), next.data.end(), [](float v) { return v == 0; }));
    std::fill(next.data.begin(), next.data.end(), -1.0f);
  }
  const BytePlane bytes(300 * 4, 200);
  EXPECT_EQ(static_cast<const void*>(bytes.data.data()), freed);
  EXPECT_TRUE(std::all_of(bytes.data.begin(), bytes.data.end(), [](std::uint8_t v) { return v == 0; }));
}

#ifdef __SANITIZE_ADDRESS__
// A kept block stays poisoned: a plane read after it was freed is still reported.
TEST(VandrelPlanesDeathTest, ReadingAFreedPlaneIsReported) {
  EXPECT_DEATH(
      {
        const float* freed;
        {
          const FloatPlane gone(300, 200, 1.0f);
          freed = gone.data.data();
        }
        const volatile float v = freed[100];
        (void)v;
      },
      "use-after-poison");
}
#endif

// Box smoothing, whose windows of a row grow side by side, gives the means of summing
// each window on its own from its first value, bit for bit: fields narrower and wider
// than the window, radii 0 to 4.
TEST(VandrelStages, BoxSmoothingGivesThePlainWindowMeans) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-10, 10);
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{7, 9}, std::pair{32, 46}, std::pair{33, 5}})
    for (int radius = 0; radius <= 4; ++radius) {
      FloatPlane in(w, h);
      for (float& v : in.data) v = std::ldexp(mantissa(rng), exponent(rng));
      const auto mean = [](const auto& value, int p, int n, int r) {
        float s = 0;
        const int lo = std::max(0, p - r), hi = std::min(n - 1, p + r);
        for (int k = lo; k <= hi; ++k) s += value(k);
        return s / static_cast<float>(hi - lo + 1);
      };
      FloatPlane rows(w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rows.at(x, y) = mean([&](int k) { return in.at(k, y); }, x, w, radius);
      const FloatPlane got = BoxSmooth(in, radius);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(std::bit_cast<std::uint32_t>(got.at(x, y)),
                    std::bit_cast<std::uint32_t>(mean([&](int k) { return rows.at(x, k); }, y, h, radius)))
              << w << "x" << h << " radius " << radius << " at " << x << "," << y;
    }
}

// Block sums of rows, in every form, are the sums of adding each pixel to its block's
// sum in raster order, bit for bit: values of mixed signs and magnitudes, whose sums
// round differently in any other order; widths around whole vectors of blocks.
TEST(VandrelStages, BlockSumKernelsGiveExactlyThePlainSums) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-12, 12);
  int kernelsChecked = 0;
  for (Kernel kernel : {Kernel::Portable, Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    ++kernelsChecked;
    for (int width : {1, 7, 8, 9, 63, 64, 65, 127, 128, 130, 256, 300}) {
      const int blocks = (width + params::kBlock - 1) / params::kBlock;
      std::vector<float> plain(static_cast<std::size_t>(blocks), 0.0f), got = plain, row(static_cast<std::size_t>(width));
      for (int y = 0; y < params::kBlock + 3; ++y) {
        for (float& v : row) v = std::ldexp(mantissa(rng), exponent(rng));
        for (int x = 0; x < width; ++x) plain[static_cast<std::size_t>(x / params::kBlock)] += row[static_cast<std::size_t>(x)];
        AddRowToBlocks(row.data(), width, got.data(), kernel);
      }
      for (int b = 0; b < blocks; ++b)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got[static_cast<std::size_t>(b)]),
                  std::bit_cast<std::uint32_t>(plain[static_cast<std::size_t>(b)]))
            << static_cast<int>(kernel) << " width " << width << " block " << b;
    }
  }
  RecordProperty("kernels_checked", kernelsChecked);
}

// The ridge filter of every form this processor has gives the portable code's plane
// bit for bit: on images whose sides are whole blocks and on images whose last row and
// column of blocks are cut short, with ridges of several directions and periods.
TEST(VandrelStages, RidgeFilterKernelsGiveExactlyWhatPortableCodeGives) {
  GaborBank bank;
  int kernelsChecked = 0;
  for (Kernel kernel : {Kernel::BitCount, Kernel::Vector256, Kernel::Vector}) {
    if (!KernelAvailable(kernel)) continue;
    ++kernelsChecked;
    struct Case {
      int w, h;
      std::vector<std::uint8_t> img;
    };
    const Case cases[] = {{256, 288, testing::Rings(256, 288, 120, 150, 9)},
                          {251, 283, testing::RingsWithMinutiae(251, 283, 130, 140, 8)},
                          {200, 197, testing::ParallelRidges(200, 197, 0.7, 11)}};
    for (const Case& c : cases) {
      const Stages s = Analyse(c.img, c.w, c.h);
      const FloatPlane expected = EnhanceRidges(s.normalized.pixels, s.field, s.wavelength, s.mask, bank, Kernel::Portable);
      const FloatPlane got = EnhanceRidges(s.normalized.pixels, s.field, s.wavelength, s.mask, bank, kernel);
      ASSERT_EQ(got.data.size(), expected.data.size());
      int filtered = 0;
      for (std::size_t i = 0; i < got.data.size(); ++i) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got.data[i]), std::bit_cast<std::uint32_t>(expected.data[i]))
            << static_cast<int>(kernel) << " " << c.w << "x" << c.h << " pixel " << i;
        filtered += expected.data[i] != 0;
      }
      EXPECT_GT(filtered, c.w * c.h / 4) << c.w << "x" << c.h;
    }
  }
  RecordProperty("kernels_checked", kernelsChecked);
}

TEST(VandrelMatcher, CalibrationPassesThroughTheScaleKnots) {
  EXPECT_EQ(CalibratedScore(0), 22);
  EXPECT_EQ(CalibratedScore(params::kCalibrationRaw[2]), 34);
  EXPECT_EQ(CalibratedScore(params::kCalibrationRaw[4]), 47);
  EXPECT_EQ(CalibratedScore(params::kCalibrationRaw[6]), 63);
  EXPECT_EQ(CalibratedScore(100), 2000);
  int previous = 0;
  for (float raw = 0; raw < 4; raw += 0.01f) {
    EXPECT_GE(CalibratedScore(raw), previous);
    previous = CalibratedScore(raw);
  }
}

TEST(VandrelGeneralizer, KeepsConfirmedMinutiaeAndDropsSpuriousOnes) {
  std::mt19937 rng(3);
  const std::vector<Minutia> finger = RandomFinger(rng, 40);
  Features samples[3];
  samples[0].minutiae = Press(finger, rng, 0, 0, 0, 0);
  samples[1].minutiae = Press(finger, rng, 0.15f, 12, -8, 2);
  samples[2].minutiae = Press(finger, rng, -0.1f, -10, 6, 2);
  const Features* pointers[3] = {&samples[0], &samples[1], &samples[2]};
  const GeneralizeResult g = GeneralizeSamples(pointers, 47);
  ASSERT_TRUE(g.agreed);
  // Spurious minutiae are random per press: few survive. Real ones mostly do.
  int real = 0;
  for (const Minutia& m : g.features.minutiae) {
    bool found = false;
    for (const Minutia& f : finger) found = found || std::hypot(f.x - m.x, f.y - m.y) < 30;
    real += found;
  }
  EXPECT_GE(real, 28);
  EXPECT_LE(static_cast<int>(g.features.minutiae.size()) - real, 5);

  EXPECT_FALSE(GeneralizeSamples(pointers, 2001).agreed);
  Features stranger;
  stranger.minutiae = RandomFinger(rng, 40);
  const Features* mixed[3] = {&samples[0], &samples[1], &stranger};
  EXPECT_FALSE(GeneralizeSamples(mixed, 47).agreed);
}

TEST(VandrelGeneralizer, EnrollmentCoversMoreThanAnySample) {
  std::mt19937 rng(5);
  int better = 0;  // pairs with the enrollment minus pairs with the best sample
  for (int trial = 0; trial < 10; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 45);
    // Three presses, each off to one side; the probe is the whole finger.
    Features samples[3];
    samples[0].minutiae = Press(finger, rng, 0, 0, 0, 0, -1000, 170);
    samples[1].minutiae = Press(finger, rng, 0, 0, 0, 0, 90, 1000);
    samples[2].minutiae = Press(finger, rng, 0, 0, 0, 0, 40, 220);
    const Features* pointers[3] = {&samples[0], &samples[1], &samples[2]};
    const GeneralizeResult g = GeneralizeSamples(pointers, 22);
    ASSERT_TRUE(g.agreed);
    const std::vector<Minutia> probe = Press(finger, rng, 0.1f, 5, 5, 2);
    MatchTemplate tg, tp;
    BuildMatchTemplate(g.features.minutiae, tg);
    BuildMatchTemplate(probe, tp);
    const std::size_t generalized = MatchTemplates(tg, tp).pairs.size();
    std::size_t single = 0;
    for (const Features& s : samples) {
      MatchTemplate ts;
      BuildMatchTemplate(s.minutiae, ts);
      single = std::max(single, MatchTemplates(ts, tp).pairs.size());
    }
    better += static_cast<int>(generalized) - static_cast<int>(single);
  }
  EXPECT_GT(better, 0);  // over all trials, more minutiae pair with the enrollment
}

}  // namespace
}  // namespace mivex::vandrel
