// Enrollment from three samples: the elastic alignment of one press onto another, and
// the generalized record's minutiae under bent presses, crowded places and a sample
// that barely agrees.
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "BlockOps.h"
#include "ElasticAlignment.h"
#include "Generalizer.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Minutia At(float x, float y, float direction) {
  Minutia m;
  m.x = x;
  m.y = y;
  m.direction = direction;
  m.quality = 0.6f;
  return m;
}

std::vector<Minutia> RandomFinger(std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> x(15, 245), y(15, 295), d(-kPi, kPi);
  std::vector<Minutia> out;
  while (static_cast<int>(out.size()) < count) {
    const Minutia m = At(x(rng), y(rng), d(rng));
    bool clear = true;
    for (const Minutia& o : out) clear = clear && std::hypot(o.x - m.x, o.y - m.y) >= 14;
    if (clear) out.push_back(m);
  }
  return out;
}

// A press bent by about `bend` pixels at the top and bottom of the print: each place
// turns about the centre (130, 150) by an angle that grows with its height, as a finger
// rolled while pressed, so no single rigid motion fits the whole print.
Minutia Bend(const Minutia& m, float bend) {
  const float dx = m.x - 130, dy = m.y - 150;
  const float a = bend / 150 * (dy / 150), c = std::cos(a), s = std::sin(a);
  Minutia out = m;
  out.x = 130 + c * dx - s * dy;
  out.y = 150 + s * dx + c * dy;
  out.direction = WrapTurn(m.direction + a);
  return out;
}

std::vector<Minutia> Press(const std::vector<Minutia>& finger, std::mt19937& rng, float bend, float missRate) {
  std::normal_distribution<float> jitter(0, 1.5f);
  std::uniform_real_distribution<float> unit(0, 1);
  std::vector<Minutia> out;
  for (const Minutia& m : finger) {
    if (unit(rng) < missRate) continue;
    Minutia p = Bend(m, bend);
    p.x += jitter(rng);
    p.y += jitter(rng);
    out.push_back(p);
  }
  return out;
}

float Distance(const Minutia& a, const Minutia& b) { return std::hypot(a.x - b.x, a.y - b.y); }

float Nearest(const std::vector<Minutia>& set, const Minutia& m) {
  float best = 1e9f;
  for (const Minutia& o : set) best = std::min(best, Distance(o, m));
  return best;
}

TEST(VandrelElasticAlignment, RigidLandmarksGiveTheirRigidMotionEverywhere) {
  const float angle = 0.3f, c = std::cos(angle), s = std::sin(angle);
  auto move = [&](float x, float y) { return std::pair<float, float>{c * x - s * y + 17, s * x + c * y - 9}; };
  std::vector<Landmark> landmarks;
  for (auto [x, y] : {std::pair<float, float>{40, 50}, {200, 60}, {120, 250}, {90, 140}}) {
    const auto [tx, ty] = move(x, y);
    landmarks.push_back({x, y, tx, ty});
  }
  const ElasticAlignment alignment(landmarks, params::kAlignStiffness);
  for (const Minutia& m : {At(0, 0, 1.0f), At(130, 150, -2.0f), At(400, -100, 3.0f)}) {
    const Minutia out = alignment.Apply(m);
    const auto [ex, ey] = move(m.x, m.y);
    EXPECT_NEAR(out.x, ex, 0.05f);
    EXPECT_NEAR(out.y, ey, 0.05f);
    EXPECT_NEAR(WrapTurn(out.direction - m.direction - angle), 0.0f, 1e-4f);
  }
}

TEST(VandrelElasticAlignment, FewLandmarksMoveWithoutTurning) {
  const Minutia m = At(50, 60, 0.5f);
  const Minutia same = ElasticAlignment({}, params::kAlignStiffness).Apply(m);
  EXPECT_EQ(same.x, m.x);
  EXPECT_EQ(same.y, m.y);
  const Minutia moved = ElasticAlignment({{10, 10, 30, 5}}, params::kAlignStiffness).Apply(m);
  EXPECT_NEAR(moved.x, 70, 1e-3f);
  EXPECT_NEAR(moved.y, 55, 1e-3f);
  EXPECT_NEAR(moved.direction, 0.5f, 1e-5f);
}

TEST(VandrelElasticAlignment, FollowsABentPressCloserThanOneRigidMotion) {
  std::mt19937 rng(21);
  const std::vector<Minutia> finger = RandomFinger(rng, 45);
  std::vector<Landmark> landmarks;
  for (std::size_t i = 0; i < finger.size(); i += 2) {
    const Minutia b = Bend(finger[i], 24);
    landmarks.push_back({b.x, b.y, finger[i].x, finger[i].y});
  }
  const ElasticAlignment elastic(landmarks, params::kAlignStiffness), rigid(landmarks, 1e6f);
  float elasticError = 0, rigidError = 0, elasticWorst = 0, rigidWorst = 0;
  for (std::size_t i = 1; i < finger.size(); i += 2) {  // places between the landmarks
    const Minutia b = Bend(finger[i], 24);
    const float e = Distance(elastic.Apply(b), finger[i]), r = Distance(rigid.Apply(b), finger[i]);
    elasticError += e, rigidError += r;
    elasticWorst = std::max(elasticWorst, e), rigidWorst = std::max(rigidWorst, r);
  }
  EXPECT_LT(elasticError, 0.7f * rigidError);
  EXPECT_LT(elasticWorst, 0.7f * rigidWorst);  // the far places, where rigid fits split minutiae
}

GeneralizeResult Generalize(const std::vector<Minutia>& a, const std::vector<Minutia>& b,
                            const std::vector<Minutia>& c, int threshold) {
  Features samples[3];
  samples[0].minutiae = a;
  samples[1].minutiae = b;
  samples[2].minutiae = c;
  const Features* pointers[3] = {&samples[0], &samples[1], &samples[2]};
  return GeneralizeSamples(pointers, threshold);
}

TEST(VandrelGeneralizer, BentPressesGiveOneMinutiaPerPlace) {
  std::mt19937 rng(8);
  int duplicates = 0, found = 0, real = 0;
  for (int trial = 0; trial < 5; ++trial) {
    const std::vector<Minutia> finger = RandomFinger(rng, 40);
    const GeneralizeResult g =
        Generalize(Press(finger, rng, 0, 0.15f), Press(finger, rng, 22, 0.15f), Press(finger, rng, -22, 0.15f), 47);
    ASSERT_TRUE(g.agreed) << trial;
    const std::vector<Minutia>& out = g.features.minutiae;
    // Two output minutiae close together where the finger has one are one minutia
    // split by a misalignment.
    for (std::size_t i = 0; i < out.size(); ++i)
      for (std::size_t j = i + 1; j < out.size(); ++j)
        duplicates += Distance(out[i], out[j]) < 10 && std::abs(WrapTurn(out[i].direction - out[j].direction)) < 0.6f;
    for (const Minutia& m : finger) found += Nearest(out, Bend(m, 0)) < 6;
    real += static_cast<int>(finger.size());
  }
  EXPECT_LE(duplicates, 2);
  EXPECT_GE(found, real * 85 / 100);  // seen in two or three presses: almost all
}

TEST(VandrelGeneralizer, NeighbouringMinutiaeOfOneSampleAreNotAveragedTogether) {
  std::mt19937 rng(4);
  std::vector<Minutia> finger = RandomFinger(rng, 35);
  // Two parallel minutiae 12 px apart in a clear place.
  std::erase_if(finger, [](const Minutia& m) { return std::hypot(m.x - 130, m.y - 150) < 40; });
  finger.push_back(At(124, 150, 0.4f));
  finger.push_back(At(136, 150, 0.4f));
  std::vector<Minutia> second = finger;
  second.resize(second.size() - 2);
  second.push_back(At(130, 151, 0.4f));  // the second press shows one, between the two
  const GeneralizeResult g = Generalize(finger, second, finger, 47);
  ASSERT_TRUE(g.agreed);
  EXPECT_LT(Nearest(g.features.minutiae, At(124, 150, 0)), 4.0f);
  EXPECT_LT(Nearest(g.features.minutiae, At(136, 150, 0)), 4.0f);
}

TEST(VandrelGeneralizer, ASampleThatBarelyAgreesAddsNoMinutiae) {
  std::mt19937 rng(13);
  const std::vector<Minutia> finger = RandomFinger(rng, 40);
  const std::vector<Minutia> stranger = RandomFinger(rng, 40);
  // Threshold 0 lets the stranger pass as agreeing; its tie to the anchor is too weak
  // to trust its alignment, so none of its minutiae may enter the record.
  const GeneralizeResult g = Generalize(Press(finger, rng, 0, 0.1f), stranger, Press(finger, rng, 0, 0.1f), 0);
  ASSERT_TRUE(g.agreed);
  EXPECT_LT(g.weakestScore, params::kJoinScore);
  for (const Minutia& m : g.features.minutiae) EXPECT_LT(Nearest(finger, m), 6.0f) << m.x << "," << m.y;
}

TEST(VandrelGeneralizer, ConfirmedMinutiaeSurviveTheCap) {
  std::mt19937 rng(17);
  const std::vector<Minutia> finger = RandomFinger(rng, 110);
  std::vector<Minutia> presses[3];
  for (auto& p : presses) {
    p = Press(finger, rng, 0, 0.1f);
    // Spurious minutiae of high quality that no other press confirms.
    for (Minutia m : RandomFinger(rng, 12)) {
      m.quality = 0.95f;
      if (Nearest(finger, m) > 12) p.push_back(m);
    }
  }
  const GeneralizeResult g = Generalize(presses[0], presses[1], presses[2], 47);
  ASSERT_TRUE(g.agreed);
  ASSERT_EQ(g.features.minutiae.size(), static_cast<std::size_t>(params::kMaxMinutiae));
  int spurious = 0;
  for (const Minutia& m : g.features.minutiae) spurious += Nearest(finger, m) > 6;
  EXPECT_LE(spurious, 3);
}

}  // namespace
}  // namespace mivex::vandrel
