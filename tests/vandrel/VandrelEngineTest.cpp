// The engine's calls as the library and a host's server use them: result codes,
// parameters per context, records, and concurrent use. Runs natively on the portable
// engine and, in the Windows build, through Vandrel.dll's exports (VandrelApi.h).
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../support/HostFloatState.h"
#include "SyntheticImages.h"
#include "VandrelApi.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {
namespace {

constexpr std::int32_t kTypeInt = 6;

class VandrelEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(api_.Load());
    ASSERT_EQ(api_.Initialize(), 0);
  }
  void TearDown() override { api_.Finalize(); }

  std::vector<std::uint8_t> Extract(const std::vector<std::uint8_t>& img, std::intptr_t ctx, std::int32_t* score) {
    std::vector<std::uint8_t> record(10000);
    std::int32_t length = 0;
    *score = api_.Extract(256, 288, img.data(), 500, record.data(), &length, ctx);
    return record;
  }

  VandrelApi api_;
};

TEST_F(VandrelEngine, NothingWorksBeforeInitialize) {
  api_.Finalize();
  std::int32_t value = 0;
  EXPECT_EQ(api_.GetParameter(200, &value, 0), -3);
  EXPECT_EQ(api_.SetParameter(200, 50, 1), -3);
  EXPECT_EQ(api_.CreateContext(), 0);
  const std::vector<std::uint8_t> img(256 * 288, 128);
  std::vector<std::uint8_t> record(10000);
  EXPECT_EQ(api_.Extract(256, 288, img.data(), 500, record.data(), &value, 0), -3);
  std::int32_t details[5] = {20};
  EXPECT_EQ(api_.Verify(record.data(), record.data(), details, 0), -3);
  ASSERT_EQ(api_.Initialize(), 0);
}

TEST_F(VandrelEngine, ParametersAreIntegersPerContext) {
  for (std::int32_t id : {110, 200, 300, 11000}) EXPECT_EQ(api_.GetParameter(0, reinterpret_cast<void*>(std::intptr_t{id}), 0), kTypeInt);
  EXPECT_EQ(api_.GetParameter(0, reinterpret_cast<void*>(std::intptr_t{123}), 0), -10);

  const std::intptr_t a = api_.CreateContext(), b = api_.CreateContext();
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  ASSERT_NE(a, b);
  EXPECT_EQ(api_.SetParameter(200, 63, a), 0);
  EXPECT_EQ(api_.SetParameter(110, 2, a), 0);
  std::int32_t value = 0;
  EXPECT_EQ(api_.GetParameter(200, &value, a), 0);
  EXPECT_EQ(value, 63);
  EXPECT_EQ(api_.GetParameter(200, &value, b), 0);
  EXPECT_EQ(value, 47);  // untouched default
  EXPECT_EQ(api_.GetParameter(110, &value, b), 0);
  EXPECT_EQ(value, 1);

  EXPECT_EQ(api_.SetParameter(200, 63, 0), -11);  // the null context is read-only
  EXPECT_EQ(api_.SetParameter(999, 1, a), -10);
  EXPECT_EQ(api_.SetParameter(110, 3, a), -5);
  EXPECT_EQ(api_.SetParameter(200, 1, a + b + 100), -5);
  EXPECT_EQ(api_.GetParameter(200, nullptr, a), -4);
  EXPECT_EQ(api_.SetParameter(11000, 1, a), 0);
  EXPECT_EQ(api_.FreeContext(a), 0);
  EXPECT_EQ(api_.GetParameter(200, &value, a), -5);  // freed
  EXPECT_EQ(api_.FreeContext(b), 0);
}

TEST_F(VandrelEngine, ExtractionChecksItsArguments) {
  const std::vector<std::uint8_t> img = testing::Rings(256, 288, 128, 144, 9);
  std::vector<std::uint8_t> record(10000);
  std::int32_t length = 0;
  EXPECT_EQ(api_.Extract(256, 288, nullptr, 500, record.data(), &length, 0), -4);
  EXPECT_EQ(api_.Extract(256, 288, img.data(), 500, nullptr, &length, 0), -4);
  EXPECT_EQ(api_.Extract(127, 288, img.data(), 500, record.data(), &length, 0), -102);
  EXPECT_EQ(api_.Extract(256, 1025, img.data(), 500, record.data(), &length, 0), -102);
  EXPECT_EQ(api_.Extract(256, 288, img.data(), 300, record.data(), &length, 0), -101);
  EXPECT_EQ(api_.Extract(256, 288, img.data(), 1000, record.data(), &length, 0), -101);
  EXPECT_EQ(api_.Extract(256, 288, img.data(), 500, record.data(), &length, 77777), -5);
}

TEST_F(VandrelEngine, ExtractionWritesADecodableRecordAndAScore) {
  const std::intptr_t ctx = api_.CreateContext();
  const std::vector<std::uint8_t> img = testing::Rings(256, 288, 128, 144, 9);
  std::int32_t score = 0;
  std::vector<std::uint8_t> record = Extract(img, ctx, &score);
  EXPECT_GE(score, 40);
  EXPECT_LE(score, 120);  // clear ridges over most of the frame
  FeatureModel m;
  EXPECT_GT(DecodeFeatures(record.data(), record.size(), m), 0);
  EXPECT_EQ(m.GridWidth, 0);  // default: grid omitted
  EXPECT_EQ(m.SingularCount, 1);  // the rings' centre
  EXPECT_EQ(m.Singular[0].Type, 3);

  EXPECT_EQ(api_.SetParameter(110, 0, ctx), 0);
  record = Extract(img, ctx, &score);
  ASSERT_GT(DecodeFeatures(record.data(), record.size(), m), 0);
  EXPECT_EQ(m.GridWidth, 16);
  EXPECT_EQ(m.GridHeight, 18);
  EXPECT_EQ(api_.SetParameter(110, 2, ctx), 0);
  record = Extract(img, ctx, &score);
  ASSERT_GT(DecodeFeatures(record.data(), record.size(), m), 0);
  EXPECT_EQ(m.SingularCount, 0);

  const std::vector<std::uint8_t> blank(256 * 288, 190);
  Extract(blank, ctx, &score);
  EXPECT_GT(score, 120);
  api_.FreeContext(ctx);
}

TEST_F(VandrelEngine, VerifyReportsScoreAndDecision) {
  std::int32_t score = 0;
  const std::vector<std::uint8_t> a = Extract(testing::Rings(256, 288, 128, 144, 9), 0, &score);
  const std::vector<std::uint8_t> b = Extract(testing::ParallelRidges(256, 288, 0.7, 8), 0, &score);
  std::int32_t details[5] = {20, -1, -1, -1, -1};
  EXPECT_EQ(api_.Verify(a.data(), a.data(), details, 0), details[1] >= 47 ? 1 : 0);
  EXPECT_EQ(details[4], 47);
  EXPECT_EQ(details[2], details[1] >= 47 ? 1 : 0);

  std::int32_t small[2] = {8, -1};
  EXPECT_GE(api_.Verify(a.data(), b.data(), small, 0), 0);
  EXPECT_GE(small[1], 0);
  std::int32_t tiny[5] = {4};
  EXPECT_EQ(api_.Verify(a.data(), b.data(), tiny, 0), -5);
  EXPECT_EQ(api_.Verify(nullptr, b.data(), details, 0), -4);
  EXPECT_EQ(api_.Verify(a.data(), b.data(), nullptr, 0), -4);

  // A record the engine cannot read is refused, not trusted.
  std::vector<std::uint8_t> junk(10000, 0xFF);
  EXPECT_EQ(api_.Verify(junk.data(), b.data(), details, 0), -5);
}

// Recent records are recognised by their bytes: one that starts like a cached record
// but differs further on (here, in its last minutia) is compared as itself. The
// same comparison is made once with the cached record still recent and once after
// other records have pushed it out.
TEST_F(VandrelEngine, RecordsAreComparedAsThemselvesNotAsRecentOnesTheyStartLike) {
  // A print of 40 minutiae on a jittered grid.
  FeatureModel model;
  ClearFeatureModel(model);
  std::mt19937 rng(3);
  model.MinutiaeCount = 40;
  for (int i = 0; i < model.MinutiaeCount; ++i)
    model.Minutiae[i] = {static_cast<std::int16_t>(30 + (i % 6) * 36 + static_cast<int>(rng() % 12)),
                         static_cast<std::int16_t>(30 + (i / 6) * 34 + static_cast<int>(rng() % 12)),
                         static_cast<std::uint8_t>(rng() % 240), 255, static_cast<std::uint8_t>(rng() % 2)};
  const auto encode = [](const FeatureModel& m) {
    std::vector<std::uint8_t> out(10000);
    EXPECT_GT(EncodeFeatures(m, out.data(), out.size()), 0);
    return out;
  };
  const std::vector<std::uint8_t> a = encode(model);
  FeatureModel moved = model;
  FeatureMinutia& last = moved.Minutiae[moved.MinutiaeCount - 1];
  last.X = static_cast<std::int16_t>(last.X > 128 ? last.X - 60 : last.X + 60);
  const std::vector<std::uint8_t> a2 = encode(moved);
  ASSERT_NE(std::memcmp(a.data(), a2.data(), 10000), 0);

  std::int32_t self[5] = {20}, recent[5] = {20}, fresh[5] = {20};
  api_.Verify(a.data(), a.data(), self, 0);
  api_.Verify(a2.data(), a.data(), recent, 0);
  for (int shift = 1; shift <= 40; ++shift) {
    FeatureModel other = model;
    for (int i = 0; i < other.MinutiaeCount; ++i) other.Minutiae[i].Y = static_cast<std::int16_t>(other.Minutiae[i].Y + shift);
    const std::vector<std::uint8_t> r = encode(other);
    std::int32_t details[5] = {20};
    api_.Verify(r.data(), r.data(), details, 0);
  }
  api_.Verify(a2.data(), a.data(), fresh, 0);
  EXPECT_EQ(recent[1], fresh[1]);
  EXPECT_EQ(recent[3], fresh[3]);
  EXPECT_LT(fresh[3], self[3]);  // the moved minutia found no partner
}

TEST_F(VandrelEngine, GeneralizeNeedsThreeAgreeingRecords) {
  std::int32_t score = 0;
  const std::vector<std::uint8_t> r = Extract(testing::Rings(256, 288, 128, 144, 9), 0, &score);
  const std::uint8_t* three[3] = {r.data(), r.data(), r.data()};
  std::vector<std::uint8_t> out(10000);
  std::int32_t length = 0;
  EXPECT_EQ(api_.Generalize(2, three, out.data(), &length, 0), -5);
  EXPECT_EQ(api_.Generalize(3, nullptr, out.data(), &length, 0), -4);
  const std::uint8_t* withNull[3] = {r.data(), nullptr, r.data()};
  EXPECT_EQ(api_.Generalize(3, withNull, out.data(), &length, 0), -4);
  std::vector<std::uint8_t> junk(10000, 0xFF);
  const std::uint8_t* withJunk[3] = {r.data(), junk.data(), r.data()};
  EXPECT_EQ(api_.Generalize(3, withJunk, out.data(), &length, 0), -5);
  const std::intptr_t ctx = api_.CreateContext();
  EXPECT_EQ(api_.SetParameter(300, 2000, ctx), 0);
  EXPECT_LT(api_.Generalize(3, three, out.data(), &length, ctx), 0);  // nothing reaches 2000
  api_.FreeContext(ctx);
}

TEST_F(VandrelEngine, ContextsWorkConcurrently) {
  const std::vector<std::uint8_t> img1 = testing::Rings(256, 288, 128, 144, 9);
  const std::vector<std::uint8_t> img2 = testing::Rings(256, 288, 100, 160, 10);
  std::int32_t s1 = 0, s2 = 0;
  const std::vector<std::uint8_t> ref1 = Extract(img1, 0, &s1), ref2 = Extract(img2, 0, &s2);
  std::int32_t details[5] = {20};
  api_.Verify(ref1.data(), ref2.data(), details, 0);
  const std::int32_t refScore = details[1];
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const std::intptr_t ctx = t % 2 ? api_.CreateContext() : 0;
      for (int i = 0; i < 3; ++i) {
        std::vector<std::uint8_t> record(10000);
        std::int32_t length = 0;
        const std::vector<std::uint8_t>& img = (t + i) % 2 ? img1 : img2;
        const std::int32_t score = api_.Extract(256, 288, img.data(), 500, record.data(), &length, ctx);
        const std::vector<std::uint8_t>& ref = (t + i) % 2 ? ref1 : ref2;
        if (score != ((t + i) % 2 ? s1 : s2) || !std::equal(record.begin(), record.begin() + length, ref.begin()))
          ++mismatches[t];
        std::int32_t d[5] = {20};
        api_.Verify(ref1.data(), ref2.data(), d, 0);
        if (d[1] != refScore) ++mismatches[t];
      }
      if (ctx) api_.FreeContext(ctx);
    });
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(mismatches[t], 0) << t;
}

#if defined(__i386__) || defined(__x86_64__)
using mivex::testing::FloatState;
using mivex::testing::ReadFloatState;
using mivex::testing::WriteFloatState;

// Whatever state the host calls in, features and scores are the engine's own, and
// the host's state is as it was after every call. Calls made in the host's state
// only read and write integers here; the state is set back before anything is
// checked.
TEST_F(VandrelEngine, TheHostsFloatingPointStateChangesNothing) {
  const std::vector<std::vector<std::uint8_t>> images = {
      testing::RingsWithMinutiae(256, 288, 128, 144, 9), testing::RingsWithMinutiae(256, 288, 110, 170, 8.5),
      testing::Rings(256, 288, 100, 160, 10), testing::ParallelRidges(256, 288, 0.7, 8)};
  const std::size_t n = images.size();
  const auto run = [&](std::vector<std::vector<std::uint8_t>>& records, std::vector<std::int32_t>& scores) {
    for (const std::vector<std::uint8_t>& img : images) {
      records.emplace_back(10000);
      std::int32_t length = 0;
      scores.push_back(api_.Extract(256, 288, img.data(), 500, records.back().data(), &length, 0));
    }
    for (std::size_t a = 0; a < n; ++a)
      for (std::size_t b = 0; b < n; ++b) {
        std::int32_t details[5] = {20};
        scores.push_back(api_.Verify(records[a].data(), records[b].data(), details, 0));
        scores.push_back(details[1]);
      }
  };
  std::vector<std::vector<std::uint8_t>> ownRecords, hostRecords;
  std::vector<std::int32_t> ownScores, hostScores;
  run(ownRecords, ownScores);

  const FloatState engine = ReadFloatState(), host = mivex::testing::kDelphiHostRoundingDown;
  WriteFloatState(host);
  run(hostRecords, hostScores);
  const FloatState after = ReadFloatState();
  WriteFloatState(engine);

  EXPECT_TRUE(after == host) << std::hex << after.vector << " " << after.x87;
  EXPECT_EQ(hostScores, ownScores);
  for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(hostRecords[i] == ownRecords[i]) << i;
}
#endif

// A server comparing a stream of new records on several threads: the engine's
// recent templates are replaced all the time, and storage that no caller holds any
// more is prepared over. Every comparison must give what it gives on one thread.
TEST_F(VandrelEngine, ThreadsStreamingNewRecordsGetTheirOwnScores) {
  std::mt19937 rng(9);
  std::vector<std::vector<std::uint8_t>> records;
  for (int r = 0; r < 96; ++r) {
    FeatureModel model;
    ClearFeatureModel(model);
    model.MinutiaeCount = 20 + r % 25;
    for (int i = 0; i < model.MinutiaeCount; ++i)
      model.Minutiae[i] = {static_cast<std::int16_t>(20 + rng() % 220), static_cast<std::int16_t>(20 + rng() % 250),
                           static_cast<std::uint8_t>(rng() % 240), 255, static_cast<std::uint8_t>(rng() % 2)};
    records.emplace_back(10000);
    ASSERT_GT(EncodeFeatures(model, records.back().data(), records.back().size()), 0);
  }
  // Each record against itself and against a neighbour in the stream.
  const auto compare = [&](std::size_t k, std::int32_t* self, std::int32_t* other) {
    std::int32_t d[5] = {20};
    api_.Verify(records[k].data(), records[k].data(), d, 0);
    *self = d[1];
    api_.Verify(records[k].data(), records[(k + 1) % records.size()].data(), d, 0);
    *other = d[1];
  };
  std::vector<std::int32_t> selfScore(records.size()), otherScore(records.size());
  for (std::size_t k = 0; k < records.size(); ++k) compare(k, &selfScore[k], &otherScore[k]);
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < records.size(); ++i) {
          const std::size_t k = (i * 7 + static_cast<std::size_t>(t) * 29) % records.size();
          std::int32_t self = 0, other = 0;
          compare(k, &self, &other);
          mismatches[static_cast<std::size_t>(t)] += (self != selfScore[k]) + (other != otherScore[k]);
        }
    });
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << t;
  EXPECT_GE(selfScore[0], 47);
}

}  // namespace
}  // namespace mivex::vandrel
