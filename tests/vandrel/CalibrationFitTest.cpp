// The calibration tools: the knot map they evaluate must be the matcher's own, the
// fit must recover a known impostor distribution (also with heavy ties and weighted
// populations), the raw comparisons must give the engine's verification scores, the
// impostor pools must hold every pair of different fingers, and the engine's knots
// must keep the promised false-match rates on the real sets' pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CalibrationFit.h"
#include "CalibrationPools.h"
#include "Engine.h"
#include "Matcher.h"
#include "PngGray.h"
#include "RawComparisons.h"

namespace mivex::vandrel {
namespace {

// n impostor raw values whose share reaching v is 10^(-slope * v): the k-th highest
// value is reached by (k + 0.5) / n of them.
std::vector<WeightedRaw> ExponentialTail(int n, double slope, double weight = 1) {
  std::vector<WeightedRaw> v;
  for (int k = 0; k < n; ++k)
    v.push_back({static_cast<float>(-std::log10((k + 0.5) / n) / slope), weight});
  return v;
}

std::vector<float> Raws(const std::vector<WeightedRaw>& v) {
  std::vector<float> r;
  for (const WeightedRaw& w : v) r.push_back(w.raw);
  return r;
}

void ExpectStrictlyIncreasing(const std::vector<float>& knots) {
  for (std::size_t i = 1; i < knots.size(); ++i) EXPECT_GT(knots[i], knots[i - 1]) << "knot " << i;
}

TEST(CalibrationKnotMap, GivesTheMatchersScoreUnderItsOwnKnots) {
  const CalibrationKnots current = CurrentKnots();
  ASSERT_EQ(current.raw.size(), current.decades.size());
  std::vector<float> raws{-1.0f, 0.0f, 50.0f};
  for (float k : current.raw) raws.insert(raws.end(), {k, std::nextafter(k, -1.0f), std::nextafter(k, 2.0f)});
  for (int i = 0; i <= 3000; ++i) raws.push_back(static_cast<float>(i) * 0.0005f);
  for (float r : raws) ASSERT_EQ(ScoreUnderKnots(r, current), CalibratedScore(r)) << "raw " << r;
}

TEST(CalibrationFit, RecoversAKnownExponentialTail) {
  constexpr double kSlope = 4.0;
  const std::vector<WeightedRaw> impostors = ExponentialTail(100000, kSlope);
  const CalibrationFitResult fit = FitCalibration(impostors, HalfDecades(), 1.0f);
  ASSERT_EQ(fit.knots.raw.size(), 7u);
  EXPECT_EQ(fit.knots.raw[0], impostors.back().raw);  // every impostor reaches the lowest value
  for (std::size_t i = 1; i < fit.knots.raw.size(); ++i)
    EXPECT_NEAR(fit.knots.raw[i], fit.knots.decades[i] / kSlope, 0.002) << "decade " << fit.knots.decades[i];
  EXPECT_TRUE(fit.tailFitted);
  EXPECT_NEAR(fit.knots.tailSlope, kSlope, 0.2);

  // Under the fitted knots the scale's scores hold their promise; score 47 is reached
  // from about 1.96 decades on, as scores are rounded.
  const std::vector<float> raws = Raws(impostors);
  EXPECT_NEAR(ShareAtScore(raws, fit.knots, 47, true), 0.0109, 0.0006);
  EXPECT_NEAR(ShareAtScore(raws, fit.knots, 63, true), 0.00106, 0.0001);
  EXPECT_NEAR(ShareAtScore(raws, fit.knots, 34, true), 0.107, 0.004);
}

TEST(CalibrationFit, KnotsStayIncreasingWhenMostImpostorsTie) {
  // 85 % of impostors find no consolidated pairs (raw 0), the rest spread above.
  std::vector<WeightedRaw> impostors(85000, WeightedRaw{0.0f, 1});
  for (const WeightedRaw& w : ExponentialTail(15000, 3.0)) impostors.push_back({w.raw + 0.01f, 1});
  const CalibrationFitResult fit = FitCalibration(impostors, HalfDecades(), 2.5f);
  EXPECT_EQ(fit.knots.raw[0], 0.0f);
  ExpectStrictlyIncreasing(fit.knots.raw);
  // The 31.6 % decade falls inside the zeros: its knot moves just above them, and
  // only the 15 % with a raw value above zero reach it.
  EXPECT_GT(fit.knots.raw[1], 0.0f);
  EXPECT_LT(fit.knots.raw[1], 0.01f);
  // The 10 % decade lies among the non-zero values and keeps its share.
  const std::vector<float> raws = Raws(impostors);
  std::size_t reaching = 0;
  for (float r : raws) reaching += r >= fit.knots.raw[2];
  EXPECT_LE(reaching, raws.size() / 10);
  EXPECT_GE(reaching, raws.size() / 10 - 20);
}

TEST(CalibrationFit, WeightsDecideWhichPopulationTheKnotsFollow) {
  const std::vector<WeightedRaw> steep = ExponentialTail(100000, 4.0);
  const std::vector<WeightedRaw> flat = ExponentialTail(2000, 2.0);
  std::vector<WeightedRaw> byComparison = steep, balanced;
  byComparison.insert(byComparison.end(), flat.begin(), flat.end());
  for (const WeightedRaw& w : steep) balanced.push_back({w.raw, 1.0 / 100000});
  for (const WeightedRaw& w : flat) balanced.push_back({w.raw, 1.0 / 2000});
  const float steepKnot = 2.0f / 4.0f, flatKnot = 2.0f / 2.0f;  // decade 2 of each alone
  const float knotByComparison = FitCalibration(byComparison, HalfDecades(), 1.0f).knots.raw[4];
  const float knotBalanced = FitCalibration(balanced, HalfDecades(), 1.0f).knots.raw[4];
  EXPECT_GT(knotByComparison, steepKnot);
  EXPECT_LT(knotByComparison - steepKnot, 0.1f * (flatKnot - steepKnot));
  EXPECT_GT(knotBalanced, steepKnot + 0.3f * (flatKnot - steepKnot));
  EXPECT_LT(knotBalanced, flatKnot);
}

TEST(CalibrationFit, KeepsTheFallbackSlopeWithoutATail) {
  const CalibrationFitResult empty = FitCalibration({}, HalfDecades(), 3.5f);
  ExpectStrictlyIncreasing(empty.knots.raw);
  EXPECT_FALSE(empty.tailFitted);
  EXPECT_EQ(empty.knots.tailSlope, 3.5f);

  // 100 comparisons: the top 1 % is a single value, too little for a slope.
  const CalibrationFitResult few = FitCalibration(ExponentialTail(100, 4.0), HalfDecades(), 3.5f);
  ExpectStrictlyIncreasing(few.knots.raw);
  EXPECT_FALSE(few.tailFitted);
  EXPECT_EQ(few.knots.tailSlope, 3.5f);

  // All impostors alike: no spread to fit on, and the knots still increase.
  const CalibrationFitResult alike = FitCalibration(std::vector<WeightedRaw>(5000, {0.2f, 1}), HalfDecades(), 3.5f);
  ExpectStrictlyIncreasing(alike.knots.raw);
  EXPECT_FALSE(alike.tailFitted);
}

class RawComparisonsOfRealImages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(EngineInitialize(), kResultOk); }
  static void TearDownTestSuite() { EngineFinalize(); }
};

TEST_F(RawComparisonsOfRealImages, ScoresAreTheEnginesAndPairsAreLabelled) {
  const std::int32_t context = CreateContext();
  ASSERT_EQ(SetParameter(kParamQualityBytes, 1, context), kResultOk);
  std::vector<std::string> fingers;
  std::vector<MatchTemplate> templates;
  std::vector<StoredSample> samples;
  for (const char* name : {"101_1", "101_2", "101_3", "102_1", "102_2", "102_3"}) {
    GrayImage img;
    ASSERT_TRUE(ReadPngGray(std::string(MIVEX_DATA_DIR) + "/fingerprints/fvc2000_db2_b/" + name + ".png", img));
    StoredSample s;
    ASSERT_TRUE(ExtractStoredSample(img.pixels.data(), img.width, img.height, context, s)) << name;
    EXPECT_EQ(s.record.size(), 10000u);
    MatchTemplate t;
    ASSERT_TRUE(TemplateOfRecord(s.record.data(), t));
    fingers.push_back(std::string(name, 3));
    templates.push_back(std::move(t));
    samples.push_back(std::move(s));
  }
  std::FILE* dump = std::tmpfile();
  ASSERT_NE(dump, nullptr);
  const ComparedPopulation c = CompareAll("db2", fingers, templates, dump);
  ASSERT_EQ(c.genuineScore.size(), 6u);
  ASSERT_EQ(c.impostorScore.size(), 9u);
  ASSERT_EQ(c.raw.genuine.size(), 6u);
  ASSERT_EQ(c.raw.impostor.size(), 9u);

  // Pairs come in (i < j) order; each score is what verification reports for the pair.
  std::size_t g = 0, im = 0;
  std::rewind(dump);
  for (std::size_t i = 0; i < samples.size(); ++i)
    for (std::size_t j = i + 1; j < samples.size(); ++j) {
      std::int32_t details[5] = {20, 0, 0, 0, 0};
      ASSERT_GE(VerifyRecords(samples[i].record.data(), samples[j].record.data(), details, 0), 0);
      const bool genuine = fingers[i] == fingers[j];
      const std::int32_t score = genuine ? c.genuineScore[g] : c.impostorScore[im];
      const float raw = genuine ? c.raw.genuine[g++] : c.raw.impostor[im++];
      EXPECT_EQ(score, details[1]) << i << " " << j;
      EXPECT_EQ(score, CalibratedScore(raw));
      char kind = 0;
      float dumpedRaw = 0;
      int dumpedScore = 0;
      ASSERT_EQ(std::fscanf(dump, " %c %f %d%*[^\n]", &kind, &dumpedRaw, &dumpedScore), 3);
      EXPECT_EQ(kind, genuine ? 'g' : 'i');
      EXPECT_NEAR(dumpedRaw, raw, 1e-5f);
      EXPECT_EQ(dumpedScore, score);
    }
  std::fclose(dump);
  // Impressions of one finger score higher than any two different fingers here.
  float bestImpostor = 0, worstGenuine = 1e9f;
  for (float r : c.raw.impostor) bestImpostor = std::max(bestImpostor, r);
  for (float r : c.raw.genuine) worstGenuine = std::min(worstGenuine, r);
  EXPECT_GT(worstGenuine, bestImpostor);
  FreeContext(context);
}

TEST(FingerprintFolder, NumberedImpressionsShareAFingerAndOtherNamesStandAlone) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "mivex-calibration-folder-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (const char* name : {"101_2.png", "101_10.png", "upektc_img.png", "uru4000-4500.png", "_3.png", "notes.txt"})
    std::ofstream(dir / name) << "x";
  std::vector<FolderImage> images;
  ASSERT_TRUE(ListFingerprintFolder(dir.string(), images));
  std::filesystem::remove_all(dir);
  ASSERT_EQ(images.size(), 5u);  // sorted by name, the text file passed over
  EXPECT_EQ(images[0].finger, "101");
  EXPECT_EQ(images[0].impression, 10);
  EXPECT_EQ(images[1].finger, "101");
  EXPECT_EQ(images[1].impression, 2);
  EXPECT_EQ(images[2].finger, "_3");  // no finger before the underscore: a capture of its own
  EXPECT_EQ(images[3].finger, "upektc_img");  // no impression number after it
  EXPECT_EQ(images[3].impression, 0);
  EXPECT_EQ(images[4].finger, "uru4000-4500");
}

// A template of n minutiae on a slanted line, so that prints of different n differ.
MatchTemplate LineTemplate(int n) {
  std::vector<Minutia> minutiae;
  for (int i = 0; i < n; ++i) {
    Minutia m;
    m.x = 40.0f + 13.0f * static_cast<float>(i);
    m.y = 60.0f + 7.0f * static_cast<float>(i * i % 11);
    m.direction = 0.3f * static_cast<float>(i);
    minutiae.push_back(m);
  }
  MatchTemplate t;
  BuildMatchTemplate(minutiae, t);
  return t;
}

TEST(ImpostorPool, HoldsEveryPairOfDifferentFingersWithinAndAcrossSets) {
  std::vector<PoolMember> members;
  // Set a: fingers 1 (two impressions) and 2; set b: fingers 1 and 3. Finger 1 of b is
  // another finger than finger 1 of a.
  for (const auto& [set, finger] : std::vector<std::pair<const char*, const char*>>{
           {"a", "1"}, {"a", "1"}, {"a", "2"}, {"b", "1"}, {"b", "3"}})
    members.push_back({set, finger, LineTemplate(static_cast<int>(members.size()) + 6)});
  const ImpostorPool pool = RealImpostorPool(members);
  ASSERT_EQ(pool.groups.size(), 3u);
  EXPECT_EQ(pool.groups[0].name, "within a");
  EXPECT_EQ(pool.groups[0].raw.size(), 2u);  // a/1 x a/2, twice
  EXPECT_EQ(pool.groups[1].name, "across a x b");
  EXPECT_EQ(pool.groups[1].raw.size(), 6u);
  EXPECT_EQ(pool.groups[2].name, "within b");
  EXPECT_EQ(pool.groups[2].raw.size(), 1u);
  EXPECT_EQ(pool.Size(), 9u);
  EXPECT_EQ(pool.All().size(), 9u);
  // Each raw value is the matcher's for that pair.
  EXPECT_EQ(pool.groups[2].raw[0], MatchTemplates(members[3].templ, members[4].templ).raw);
}

TEST(ImpostorPool, TargetsAndDistanceFollowTheSharesReachingEachScore) {
  // Knots mapping raw r to r decades: a raw value of 2 scores 47 and of 3 scores 63.
  CalibrationKnots knots;
  knots.raw = {0, 1, 2, 3};
  knots.decades = {0, 1, 2, 3};
  knots.tailSlope = 1;
  ASSERT_EQ(ScoreUnderKnots(2.0f, knots), 47);
  ASSERT_EQ(ScoreUnderKnots(3.0f, knots), 63);
  // 10 000 impostors: `at47` reach 47 (raw 2.5), `at63` of them also 63 (raw 3.5).
  const auto pool = [](int at47, int at63) {
    std::vector<float> raws(10000, 0.5f);
    for (int i = 0; i < at47; ++i) raws[i] = i < at63 ? 3.5f : 2.5f;
    return raws;
  };
  EXPECT_EQ(ShareReaching(pool(100, 10), knots, 47).reaching, 100u);
  EXPECT_EQ(ShareReaching(pool(100, 10), knots, 63).reaching, 10u);
  EXPECT_TRUE(MeetsCalibrationTargets(pool(100, 10), knots));
  EXPECT_TRUE(MeetsCalibrationTargets(pool(70, 7), knots));    // both lower bounds
  EXPECT_TRUE(MeetsCalibrationTargets(pool(140, 14), knots));  // both upper bounds
  EXPECT_FALSE(MeetsCalibrationTargets(pool(69, 10), knots));
  EXPECT_FALSE(MeetsCalibrationTargets(pool(141, 10), knots));
  EXPECT_FALSE(MeetsCalibrationTargets(pool(100, 6), knots));
  EXPECT_FALSE(MeetsCalibrationTargets(pool(100, 15), knots));
  EXPECT_FALSE(MeetsCalibrationTargets({}, knots));

  const ScoreShare real{47, 10, 1000};
  EXPECT_NEAR(DecadesApart({47, 100, 1000}, real), 1.0, 1e-12);
  EXPECT_NEAR(DecadesApart({47, 10, 10000}, real), -1.0, 1e-12);
  // A pool none of whose impostors reach the score counts half a pair.
  EXPECT_NEAR(DecadesApart({47, 0, 1000}, real), std::log10(0.05), 1e-12);
}

TEST_F(RawComparisonsOfRealImages, EnginesKnotsKeepThePromisedRatesOnTheRealPool) {
  // Every impostor pair of the two shared sets, within and across them, as the
  // library's devices store the records: the scale was fitted on these.
  const std::int32_t context = CreateContext();
  ASSERT_EQ(SetParameter(kParamFeatureSelection, 1, context), kResultOk);
  ASSERT_EQ(SetParameter(kParamQualityBytes, 1, context), kResultOk);
  std::vector<PoolMember> members;
  for (const char* set : {"fvc2000_db2_b", "fvc2000_db4_b"}) {
    std::vector<FolderImage> images;
    ASSERT_TRUE(ListFingerprintFolder(std::string(MIVEX_DATA_DIR) + "/fingerprints/" + set, images));
    ASSERT_EQ(images.size(), 80u) << set;
    for (const FolderImage& image : images) {
      GrayImage img;
      StoredSample s;
      PoolMember m{set, image.finger, {}};
      ASSERT_TRUE(ReadPngGray(image.path.string(), img));
      ASSERT_TRUE(ExtractStoredSample(img.pixels.data(), img.width, img.height, context, s)) << image.path;
      ASSERT_TRUE(TemplateOfRecord(s.record.data(), m.templ));
      members.push_back(std::move(m));
    }
  }
  const ImpostorPool pool = RealImpostorPool(members);
  ASSERT_EQ(pool.Size(), 12160u);
  const std::vector<float> all = pool.All();
  EXPECT_TRUE(MeetsCalibrationTargets(all, CurrentKnots()))
      << "FMR at 47: " << 100 * ShareReaching(all, CurrentKnots(), 47).Share()
      << " %, at 63: " << 100 * ShareReaching(all, CurrentKnots(), 63).Share() << " %";
  FreeContext(context);
}

}  // namespace
}  // namespace mivex::vandrel
