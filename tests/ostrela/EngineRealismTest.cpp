// The simulated sensor judged by the feature engine, as the driver will judge it:
// impressions of one finger mostly match each other and not other fingers, their
// scores spread the way real genuine pairs do instead of all reaching the top of the
// scale, and the extraction scores of good presses leave a few rejected presses per
// hundred, as a real sensor does; light presses are mostly rejected.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "Engine.h"
#include "FingerDesign.h"
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
  // rather than all reaching its top. Real pairs reach the top often too (one of the
  // shared real sets has its genuine median there, the other just below it), so only
  // some more than half may.
  EXPECT_LT(saturated * 3, genuine * 2);
  EXPECT_GE(genuineScores[static_cast<std::size_t>(genuine / 2)], 400);
  // Synthetic fingers are as distinct as real ones: impostors reach the engine's
  // thresholds about as rarely as its scale promises (with room for a small sample).
  EXPECT_LE(impostorOverOnePercent * 100, impostor * 4);
  EXPECT_LE(impostorOverOnePerMille * 100, impostor * 1);
}

// Fingers of one pattern class share their flow; if their minutiae only lay where that
// flow makes ridges begin and end, they would lie at the same places on all of them and
// impostors of one class would match far more often than the scale promises (they did:
// about 3 % of such pairs reached the 1 % point). Real minutiae also lie scattered at
// places of each finger's own, and so must simulated ones.
TEST_F(EngineRealism, ImpostorsOfOnePatternClassMatchRarely) {
  constexpr int kFingers = 40;
  constexpr std::int32_t kOnePercent = 47;
  std::vector<TRecord> records;
  for (std::uint32_t subject = 2000; static_cast<int>(records.size()) < kFingers; ++subject) {
    if (DesignFinger(subject, 2).Class != TPatternClass::pcRightLoop) continue;
    TRecord r = Extract(subject, 2, TPressKind::pkGood, 0, 3);
    if (r.Score >= 0) records.push_back(std::move(r));
  }
  int pairs = 0;
  int reaching = 0;
  for (std::size_t i = 0; i < records.size(); ++i)
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      ++pairs;
      reaching += Similarity(records[i], records[j]) >= kOnePercent ? 1 : 0;
    }
  std::printf("right loops of different people: %d of %d pairs at 1 %%\n", reaching, pairs);
  // Pairs of one class are the hardest impostors, so some more than 1 % may reach it.
  EXPECT_LE(reaching * 1000, pairs * 22);
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
