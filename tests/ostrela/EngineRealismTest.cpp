// The simulated sensor judged by the feature engine, as the driver will judge it:
// impressions of one finger mostly match each other and not other fingers, their
// scores spread the way real genuine pairs do instead of all reaching the top of the
// scale, and the extraction scores of good presses leave a few rejected presses per
// hundred, as a real sensor does; light presses are mostly rejected.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Engine.h"
#include "Impression.h"
#include "MasterCache.h"
#include "PressModel.h"

namespace mivex::ostrela {
namespace {

namespace v = mivex::vandrel;

// The driver's acceptance limit for an extraction score (lower is better).
constexpr std::int32_t kExtractThreshold = 120;

class EngineRealism : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(v::EngineInitialize(), v::kResultOk); }
  static void TearDownTestSuite() { v::EngineFinalize(); }

  struct TRecord {
    std::int32_t Score = -1;
    std::vector<std::uint8_t> Bytes;
  };

  TRecord Extract(std::uint32_t subject, std::int32_t finger, TPressKind kind, std::int64_t press, std::int32_t frame) {
    const std::uint64_t seed = PressSeed(0, press, subject, finger);
    std::vector<std::uint8_t> image;
    RenderImpression(*Cache.Get(subject, finger), FrameOfPress(DrawPlacement(seed, kind), frame, seed), image);
    TRecord r;
    r.Bytes.assign(10000, 0);
    std::int32_t length = 0;
    r.Score = v::ExtractRecord(256, 288, image.data(), 500, r.Bytes.data(), &length, 0);
    r.Bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return r;
  }

  // The engine's similarity score of two records (its false-acceptance scale: 47 is
  // reached by about 1 % of impostor pairs, 63 by about 0.1 %).
  static std::int32_t Similarity(const TRecord& a, const TRecord& b) {
    std::int32_t details[5] = {static_cast<std::int32_t>(sizeof details), 0, 0, 0, 0};
    return v::VerifyRecords(a.Bytes.data(), b.Bytes.data(), details, 0) >= 0 ? details[1] : -1;
  }

  // Presses of which no frame after the first passes the driver's limit.
  int RejectedPresses(TPressKind kind, std::uint32_t firstSubject, int fingers, int pressesPerFinger) {
    int rejected = 0;
    for (int s = 0; s < fingers; ++s) {
      const std::uint32_t subject = firstSubject + static_cast<std::uint32_t>(s);
      const std::int32_t finger = 1 + s % 10;
      for (std::int64_t press = 0; press < pressesPerFinger; ++press) {
        bool accepted = false;
        for (std::int32_t frame = 1; frame < 6 && !accepted; ++frame) {
          const TRecord r = Extract(subject, finger, kind, press, frame);
          accepted = r.Score >= 0 && r.Score <= kExtractThreshold;
        }
        rejected += accepted ? 0 : 1;
      }
    }
    return rejected;
  }

  TMasterCache Cache{2};
};

TEST_F(EngineRealism, ImpressionsMatchTheirOwnFingerOnly) {
  constexpr int kFingers = 10;
  constexpr int kPresses = 4;
  std::vector<std::vector<TRecord>> records(kFingers);
  for (int s = 0; s < kFingers; ++s)
    for (std::int64_t press = 0; press < kPresses; ++press)
      records[static_cast<std::size_t>(s)].push_back(
          Extract(500 + static_cast<std::uint32_t>(s), 1 + s % 10, TPressKind::pkGood, press, 3));
  constexpr std::int32_t kOnePercent = 47;
  constexpr std::int32_t kOnePerMille = 63;
  std::vector<std::int32_t> genuineScores;
  int impostor = 0;
  int impostorOverOnePercent = 0;
  int impostorOverOnePerMille = 0;
  for (int s = 0; s < kFingers; ++s) {
    const auto& mine = records[static_cast<std::size_t>(s)];
    for (int i = 0; i < kPresses; ++i) {
      for (int j = i + 1; j < kPresses; ++j)
        genuineScores.push_back(Similarity(mine[static_cast<std::size_t>(i)], mine[static_cast<std::size_t>(j)]));
      for (int t = s + 1; t < kFingers; ++t) {
        ++impostor;
        const std::int32_t score = Similarity(mine[static_cast<std::size_t>(i)], records[static_cast<std::size_t>(t)][0]);
        impostorOverOnePercent += score >= kOnePercent ? 1 : 0;
        impostorOverOnePerMille += score >= kOnePerMille ? 1 : 0;
      }
    }
  }
  const int genuine = static_cast<int>(genuineScores.size());
  const auto reaching = [&genuineScores](std::int32_t score) {
    return static_cast<int>(std::count_if(genuineScores.begin(), genuineScores.end(),
                                          [score](std::int32_t s) { return s >= score; }));
  };
  const int genuineMatched = reaching(kOnePercent);
  const int saturated = reaching(2000);
  std::sort(genuineScores.begin(), genuineScores.end());
  std::printf("genuine pairs matched %d/%d (10th percentile %d, median %d, %d at 2000); impostor pairs at 1 %% %d/%d, "
              "at 0.1 %% %d/%d\n",
              genuineMatched, genuine, genuineScores[static_cast<std::size_t>(genuine / 10)],
              genuineScores[static_cast<std::size_t>(genuine / 2)], saturated, impostorOverOnePercent, impostor,
              impostorOverOnePerMille, impostor);
  // Real genuine pairs miss the 1 % point about one time in ten (the shared real sets'
  // 10th percentile lies near 55): presses put down far off, dragged or barely
  // touching overlap too little. These are frames of whole presses, unfiltered by the
  // driver's checks, so somewhat more miss; most still match.
  EXPECT_GE(genuineMatched * 100, genuine * 65);
  EXPECT_LT(genuineMatched, genuine);
  // Genuine scores spread over the scale as real ones do (from about 20 to the top),
  // rather than all reaching its top.
  EXPECT_LT(saturated * 2, genuine);
  EXPECT_GE(genuineScores[static_cast<std::size_t>(genuine / 2)], 400);
  // Synthetic fingers are as distinct as real ones: impostors reach the engine's
  // thresholds about as rarely as its scale promises (with room for a small sample).
  EXPECT_LE(impostorOverOnePercent * 100, impostor * 4);
  EXPECT_LE(impostorOverOnePerMille * 100, impostor * 1);
}

TEST_F(EngineRealism, GoodPressesAreRejectedAFewTimesPerHundred) {
  const int rejected = RejectedPresses(TPressKind::pkGood, 700, 20, 5);
  std::printf("good presses rejected: %d of 100\n", rejected);
  EXPECT_GE(rejected, 1);
  EXPECT_LE(rejected, 10);
}

TEST_F(EngineRealism, LightPressesAreMostlyRejected) {
  const int rejected = RejectedPresses(TPressKind::pkLight, 800, 10, 2);
  std::printf("light presses rejected: %d of 20\n", rejected);
  EXPECT_GE(rejected, 12);
}

}  // namespace
}  // namespace mivex::ostrela
