// Sample capture, enrollment and verification with scripted frames and matches.
#include <gtest/gtest.h>

#include <cstring>

#include "CaptureTestSupport.h"
#include "capture/FeatureCodec.h"

using namespace mivex;
using namespace capture_test;

namespace {

class Enrollment : public ::testing::Test {
 protected:
  void SetUp() override {
    f = &Start();
    f->FV_Reset();
    f->FO_Reset();
    device = CreateSensorDevice();
    events = std::make_unique<EventRecorder>(*device);
    ASSERT_TRUE(device->Open());
    events->Clear();
  }
  void TearDown() override {
    events.reset();
    device.reset();
  }

  // Runs the current operation to its end; false when it did not end in time.
  bool Run() {
    device->Start();
    return WaitIdle(*device);
  }

  std::vector<int> GeneralizeTags(int call) {
    std::int32_t tags[3] = {-1, -1, -1};
    f->FV_GeneralizeTags(call, tags);
    return {tags[0], tags[1], tags[2]};
  }

  std::vector<std::pair<int, int>> VerifyPairs() {
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < f->FV_VerifyCalls(); ++i) {
      std::int32_t a = 0, b = 0;
      f->FV_VerifyPair(i, &a, &b);
      pairs.emplace_back(a, b);
    }
    return pairs;
  }

  // The header byte of the template the device holds (the tag of its sample).
  int TemplateTag() { return device->GetTemplate()[1]; }

  const Fakes* f = nullptr;
  std::unique_ptr<TKV310> device;
  std::unique_ptr<EventRecorder> events;
};

using Pairs = std::vector<std::pair<int, int>>;

}  // namespace

TEST_F(Enrollment, FrameAtExactlyTheThresholdAndTheMinimumMinutiaeIsAccepted) {
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  f->FO_QueueFrame(120, 14, 7);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Joined(), "status:7 status:3 status:4 quality:60 sample:256x288 done status:8");
  EXPECT_EQ(f->FO_Count(kStopImageCalls), 1);
  EXPECT_EQ(TemplateTag(), 7);
  // The template is the re-encoded record: it decodes with all its minutiae.
  FeatureModel model;
  ClearFeatureModel(model);
  ASSERT_EQ(DecodeFeatures(device->GetTemplate(), device->TemplateSize(), model), device->TemplateSize());
  EXPECT_EQ(model.MinutiaeCount, 14);
  EXPECT_EQ(model.RelationHeader[0], 1);
}

TEST_F(Enrollment, FramesOverTheThresholdOrUnderTheMinutiaeMinimumAreRejected) {
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  LogCapture log;
  f->FO_QueueFrame(121, 40, 1);  // refused by the sensor driver's own threshold test
  f->FO_QueueFrame(120, 13, 2);  // passes the driver, too few minutiae
  f->FO_QueueFrame(-5, 40, 3);   // an engine error is no score
  f->FO_QueueFrame(60, 14, 4);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Joined(),
            "status:7 status:3 status:3 status:4 status:6 status:3 status:3 status:4 quality:90 sample:256x288 "
            "done status:8");
  EXPECT_EQ(TemplateTag(), 4);
  EXPECT_EQ(f->FO_Count(kStopImageCalls), 2);
  EXPECT_EQ(log.CountStartingWith("Begin to Fetch Image....."), 4);
  EXPECT_EQ(log.CountStartingWith("End to Fetch Image....."), 4);
  EXPECT_EQ(log.CountStartingWith("bAPI4_GetBinaryImage spent :["), 2);
}

TEST_F(Enrollment, AFrameClaimingAnotherSizeIsNotUsed) {
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  f->FO_QueueSizedFrame(60, 30, 1, 400, 400);
  f->FO_QueueSizedFrame(60, 30, 2, -3, 288);
  f->FO_QueueFrame(60, 30, 3);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("done"), 1);
  EXPECT_EQ(TemplateTag(), 3);
}

TEST_F(Enrollment, CountPolicyTakesThreePressesAndOneGeneralization) {
  LogCapture log;
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Joined(),
            "status:7 status:3 status:4 quality:90 sample:256x288 progress:1/3 "
            "status:3 status:4 quality:90 sample:256x288 progress:2/3 "
            "status:3 status:4 quality:90 sample:256x288 progress:3/3 done status:8");
  ASSERT_EQ(f->FV_GeneralizeCalls(), 1);
  EXPECT_EQ(GeneralizeTags(0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(f->FV_VerifyCalls(), 0);
  EXPECT_EQ(TemplateTag(), 0xEE);
  EXPECT_GT(device->TemplateSize(), 0);
  EXPECT_EQ(log.CountStartingWith("GetTemplateOperation [0] spent :["), 1);
  EXPECT_EQ(log.CountStartingWith("GetTemplateOperation [2] spent :["), 1);
  EXPECT_EQ(log.CountStartingWith("Do VFGeneralize"), 0);
  EXPECT_TRUE(log.Contains("Do Lastest VFGeneralize"));
  EXPECT_TRUE(log.Contains("Do Lastest VFGeneralize OK"));
  EXPECT_TRUE(log.Contains("EnrollOperation Finished."));
  for (const auto& line : log.Lines()) EXPECT_EQ(line.substr(19, 1), " ") << line;
}

TEST_F(Enrollment, QualityPolicyReplacesSampleTwoWhenTheLowTotalsTie) {
  device->SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
  device->SetMaxEnrollTry(8);
  LogCapture log;
  // cross = (10, 50, 50): t0 = t1 = 60 < t2 = 100; the trial generalization fails.
  f->FV_SetMatch(1, 2, 10, 0);
  f->FV_SetMatch(2, 3, 50, 0);
  f->FV_SetMatch(3, 1, 50, 0);
  f->FV_QueueGeneralizeResult(-1);
  for (int tag = 1; tag <= 4; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("done"), 1);
  EXPECT_EQ(events->Count("progress:4/8"), 1);
  EXPECT_EQ(VerifyPairs(), (Pairs{{1, 2}, {2, 3}, {3, 1}, {1, 2}, {2, 4}, {4, 1}}));
  ASSERT_EQ(f->FV_GeneralizeCalls(), 3);
  EXPECT_EQ(GeneralizeTags(0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(GeneralizeTags(1), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(GeneralizeTags(2), (std::vector<int>{1, 2, 4}));
  EXPECT_TRUE(log.Contains("Do VFGeneralize......1"));
  EXPECT_TRUE(log.Contains("Do VFGeneralize......2"));
  EXPECT_EQ(log.CountStartingWith("Do VFGeneralize OK"), 2);
  EXPECT_EQ(log.CountStartingWith("GetTemplateOperation [2] spent :["), 2);
}

TEST_F(Enrollment, QualityPolicyReplacesTheSampleWithTheStrictlyLowestTotal) {
  device->SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
  // Sample 1 agrees with nobody: match(1,2) fails, so t1 = 5 + 5 is lowest.
  f->FV_SetMatch(1, 2, 5, -1);
  f->FV_SetMatch(2, 3, 5, 0);
  f->FV_SetMatch(3, 1, 90, 0);
  for (int tag = 1; tag <= 4; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("done"), 1);
  EXPECT_EQ(GeneralizeTags(1), (std::vector<int>{1, 4, 3}));
}

TEST_F(Enrollment, ReachingMaxEnrollTryEndsWithMinusOneAtOnce) {
  device->SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
  device->SetMaxEnrollTry(4);
  LogCapture log;
  f->FV_SetMatch(1, 2, 0, -1);
  f->FV_SetMatch(2, 3, 0, -1);
  f->FV_SetMatch(3, 1, 0, -1);
  for (int tag = 1; tag <= 6; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("progress:4/4"), 1);
  EXPECT_EQ(events->Count("progress:5/4"), 0);
  EXPECT_EQ(events->Count("error:-1"), 1);
  EXPECT_EQ(f->FV_GeneralizeCalls(), 1);  // the first trial only
  EXPECT_EQ(f->FO_PendingFrames(), 2);
  EXPECT_FALSE(log.Contains("EnrollOperation Finished."));
}

TEST_F(Enrollment, GeneralizationEventsCanVetoAndCannotOverrunTheTemplate) {
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  device->OnBeforeGeneralize = [](TObject*, TPreTemplate& pre, bool& can) {
    EXPECT_EQ(pre.Samples[2][1], 3);
    can = false;
  };
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("error:-1"), 1);
  EXPECT_EQ(f->FV_GeneralizeCalls(), 0);

  device->OnBeforeGeneralize = nullptr;
  device->OnAfterGeneralize = [](TObject*, TPreTemplate&, std::uint8_t*, std::int32_t& length, bool&) {
    length = 20000;
  };
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("error:-1"), 2);

  device->OnAfterGeneralize = [](TObject*, TPreTemplate&, std::uint8_t* tmpl, std::int32_t& length, bool&) {
    EXPECT_EQ(tmpl[1], 0xEE);
    length = 9;
  };
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("done"), 1);
  EXPECT_EQ(device->TemplateSize(), 9);

  // A failed final generalization fails the enrollment.
  device->OnAfterGeneralize = nullptr;
  f->FV_QueueGeneralizeResult(-103);
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Count("error:-1"), 3);
}

TEST_F(Enrollment, VerifyMatchesANewSampleAgainstTheTemplateHeld) {
  for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
  ASSERT_TRUE(Run());
  ASSERT_EQ(TemplateTag(), 0xEE);
  events->Clear();

  device->SetOperation(FT_OPERATION::ftVerify);
  f->FV_SetMatch(0xEE, 9, 77, 0);
  f->FO_QueueFrame(60, 30, 9);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Joined(), "status:7 status:3 status:4 quality:90 sample:256x288 verify:77 done status:8");
  EXPECT_EQ(device->Score(), 77);

  // The new sample became the reference; a failing match fails the operation.
  events->Clear();
  f->FV_SetMatch(9, 10, 3, -1);
  f->FO_QueueFrame(60, 30, 10);
  ASSERT_TRUE(Run());
  EXPECT_EQ(events->Joined(), "status:7 status:3 status:4 quality:90 sample:256x288 error:-1 status:8");
  EXPECT_EQ(device->Score(), 3);
}
