// The simulated sensor as the entry points drive it, with a clock that only records:
// every image request waits one frame, the scenario advances only on real polls, and
// images arrive bottom row first.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Impression.h"
#include "MasterCache.h"
#include "SimSensor.h"

namespace mivex::ostrela {
namespace {

struct TClockLog {
  int Waits = 0;
  std::int32_t LastMs = 0;
};

class TRecordingClock final : public TFrameClock {
 public:
  explicit TRecordingClock(TClockLog& log) : FLog(log) {}
  std::int64_t BeginFrame() override { return ++FStarts; }
  void EndFrame(std::int64_t start, std::int32_t frameMs) override {
    EXPECT_EQ(start, FStarts);
    ++FLog.Waits;
    FLog.LastMs = frameMs;
  }

 private:
  TClockLog& FLog;
  std::int64_t FStarts = 0;
};

class SimSensorTest : public ::testing::Test {
 protected:
  void Make(const std::string& text) {
    TScenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, s, error)) << error;
    Sensor = std::make_unique<TSimSensor>(s, std::make_unique<TRecordingClock>(Log));
  }
  // One driver-style request: zeroed area of one image plus a byte.
  bool Request(std::int32_t mode = 0, std::int32_t dpi = 500) {
    Area.assign(256 * 288 + 1, 0);
    Width = 256;
    Height = 288;
    Sensor->StartImage();
    return Sensor->GetBinaryImage(Area.data(), mode, dpi, &Width, &Height);
  }
  std::int32_t Param(std::int32_t id) {
    std::int32_t v = -99;
    EXPECT_TRUE(Sensor->GetParameter(id, &v));
    return v;
  }

  TClockLog Log;
  std::unique_ptr<TSimSensor> Sensor;
  std::vector<std::uint8_t> Area;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

TEST_F(SimSensorTest, EveryRequestWaitsOneFrameWithOrWithoutFinger) {
  Make("frame-ms 33; gap 2; frames 2; press 5 L4");
  EXPECT_FALSE(Request());  // closed: no poll, but still a frame's wait
  EXPECT_EQ(Log.Waits, 1);
  EXPECT_EQ(Log.LastMs, 33);
  EXPECT_EQ(Param(spPolls), 0);
  ASSERT_TRUE(Sensor->Open());
  EXPECT_FALSE(Sensor->GetBinaryImage(Area.data(), 0, 500, &Width, &Height));  // not armed
  EXPECT_EQ(Param(spPolls), 0);
  const bool expected[] = {false, false, true, true, false, false};
  for (bool e : expected) EXPECT_EQ(Request(), e);
  EXPECT_EQ(Log.Waits, 8);
  EXPECT_EQ(Param(spPolls), 6);
  EXPECT_EQ(Param(spImages), 2);
  EXPECT_EQ(Param(spPresses), 1);
}

TEST_F(SimSensorTest, ImagesArriveBottomRowFirstInTheCallersArea) {
  Make("gap 0; frames 3; press 6 R3 good");
  ASSERT_TRUE(Sensor->Open());
  ASSERT_TRUE(Request());
  ASSERT_TRUE(Request());
  EXPECT_EQ(Width, 256);
  EXPECT_EQ(Height, 288);
  EXPECT_EQ(Area[256 * 288], 0);  // the spare byte stays untouched
  TMasterCache cache(1);
  const std::uint64_t seed = PressSeed(0, 0, 6, 8);
  std::vector<std::uint8_t> upright;
  RenderImpression(*cache.Get(6, 8), FrameOfPress(DrawPlacement(seed, TPressKind::pkGood), 1, seed), upright);
  for (int y = 0; y < 288; ++y)
    ASSERT_EQ(std::memcmp(&Area[static_cast<std::size_t>(287 - y) * 256], &upright[static_cast<std::size_t>(y) * 256], 256), 0)
        << y;
  // The last image can be fetched again without waiting.
  std::vector<std::uint8_t> again(256 * 288, 0);
  std::int32_t w = 256;
  std::int32_t h = 288;
  const int waits = Log.Waits;
  ASSERT_TRUE(Sensor->GetImage(again.data(), &w, &h));
  EXPECT_EQ(Log.Waits, waits);
  EXPECT_EQ(std::memcmp(again.data(), Area.data(), again.size()), 0);
}

TEST_F(SimSensorTest, BadArgumentsFailAfterAFrameWithoutUsingAPoll) {
  Make("gap 0; frames 1; press 1 R2 x3");
  ASSERT_TRUE(Sensor->Open());
  EXPECT_FALSE(Request(1, 500));
  EXPECT_FALSE(Request(0, 300));
  Sensor->StartImage();
  std::int32_t w = 255;
  std::int32_t h = 288;
  EXPECT_FALSE(Sensor->GetBinaryImage(Area.data(), 0, 500, &w, &h));
  EXPECT_FALSE(Sensor->GetBinaryImage(nullptr, 0, 500, &Width, &Height));
  EXPECT_FALSE(Sensor->GetBinaryImage(Area.data(), 0, 500, nullptr, &Height));
  EXPECT_EQ(Log.Waits, 5);
  EXPECT_EQ(Param(spPolls), 0);
  EXPECT_TRUE(Request());
  // Without an image, or with too small an area, GetImage fails.
  Make("");
  std::int32_t gw = 256;
  std::int32_t gh = 288;
  ASSERT_TRUE(Sensor->Open());
  EXPECT_FALSE(Sensor->GetImage(Area.data(), &gw, &gh));
}

TEST_F(SimSensorTest, UnplugFailsOpensAndCutsAnOpenSensor) {
  Make("gap 0; frames 1; unplug 2; press 1 R2; unplug 2; press 1 R2");
  EXPECT_EQ(Sensor->Status(), ssUnplugged);
  EXPECT_FALSE(Sensor->Open());
  EXPECT_FALSE(Sensor->Open());
  EXPECT_EQ(Sensor->Status(), ssClosed);
  ASSERT_TRUE(Sensor->Open());
  EXPECT_EQ(Sensor->Status(), ssOpen);
  EXPECT_TRUE(Request());
  EXPECT_EQ(Sensor->Status(), ssFinger);
  EXPECT_FALSE(Request());  // unplugged: the connection is lost
  EXPECT_EQ(Sensor->Status(), ssUnplugged);
  EXPECT_FALSE(Request());  // closed now: the scenario does not advance
  EXPECT_EQ(Sensor->Status(), ssUnplugged);
  EXPECT_FALSE(Sensor->Open());  // second call of the unplug step
  ASSERT_TRUE(Sensor->Open());
  EXPECT_TRUE(Request());
}

TEST_F(SimSensorTest, AnUnreadableScenarioNeverOpens) {
  Sensor = std::make_unique<TSimSensor>(std::string("scenario line 1: bad"), std::make_unique<TRecordingClock>(Log));
  EXPECT_EQ(Sensor->Status(), ssBadScenario);
  EXPECT_FALSE(Sensor->Open());
  EXPECT_FALSE(Request());
  EXPECT_EQ(Log.Waits, 1);
  EXPECT_EQ(Sensor->ScenarioError(), "scenario line 1: bad");
}

TEST_F(SimSensorTest, CountersAndParameters) {
  Make("gap 1; frames 2; press 77 L5 poor");
  ASSERT_TRUE(Sensor->Open());
  EXPECT_EQ(Param(spSubject), -1);
  Request();
  Request();
  EXPECT_EQ(Param(spSubject), 77);
  EXPECT_EQ(Param(spFinger), 5);
  EXPECT_EQ(Param(spPressKind), 1);
  EXPECT_EQ(Param(spStep), 0);
  EXPECT_TRUE(Sensor->SetParameter(spFrameMs, 7));
  Request();
  EXPECT_EQ(Log.LastMs, 7);
  EXPECT_EQ(Param(spStep), 1);  // past the last step: the sensor is empty
  EXPECT_FALSE(Sensor->SetParameter(spFrameMs, 0));
  EXPECT_FALSE(Sensor->SetParameter(spFramesPerPress, 101));
  EXPECT_FALSE(Sensor->SetParameter(spGapPolls, -1));
  EXPECT_FALSE(Sensor->SetParameter(spPolls, 5));  // counters are read-only
  std::int32_t v = 0;
  EXPECT_FALSE(Sensor->GetParameter(999, &v));
  EXPECT_FALSE(Sensor->GetParameter(spPolls, nullptr));
  EXPECT_EQ(Param(spFrameMs), 7);
  EXPECT_TRUE(Sensor->SetParameter(spFramesPerPress, 9));
  EXPECT_TRUE(Sensor->SetParameter(spGapPolls, 0));
  EXPECT_EQ(Param(spFramesPerPress), 9);
  EXPECT_EQ(Param(spGapPolls), 0);
}

TEST_F(SimSensorTest, MatcherEnrolsThreePressesAndKnowsTheFinger) {
  Make("gap 1; frames 2; press 3 R2 x2; press 3 R2 light; press 3 R2; press 9 R2; press 3 R2; repeat");
  std::int32_t progress = -1;
  EXPECT_FALSE(Sensor->MatcherOpen());  // the sensor must be open
  ASSERT_TRUE(Sensor->Open());
  ASSERT_TRUE(Sensor->MatcherOpen());
  EXPECT_FALSE(Sensor->MatcherStartEnroll(16));
  ASSERT_TRUE(Sensor->MatcherStartEnroll(4));
  // Press 1: gap, then two frames of which only the first counts.
  EXPECT_FALSE(Sensor->MatcherEnroll(&progress));
  EXPECT_TRUE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(progress, 1);
  EXPECT_FALSE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(progress, 1);
  // Press 2.
  Sensor->MatcherEnroll(&progress);
  EXPECT_TRUE(Sensor->MatcherEnroll(&progress));
  Sensor->MatcherEnroll(&progress);
  EXPECT_EQ(progress, 2);
  // A light press is too faint.
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(progress, 2);
  // Press 4 completes the slot; the enrolment is over and takes no more polls.
  Sensor->MatcherEnroll(&progress);
  EXPECT_TRUE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(progress, 3);
  EXPECT_FALSE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(Param(spPolls), 11);
  // The rest of press 4 is subject 3's finger; press 5 is subject 9's, press 6 subject 3's.
  std::int32_t matched = -1;
  EXPECT_TRUE(Sensor->MatcherVerify(4, &matched));
  EXPECT_EQ(matched, 1);
  EXPECT_FALSE(Sensor->MatcherVerify(4, &matched));  // the gap before press 5
  EXPECT_TRUE(Sensor->MatcherVerify(4, &matched));
  EXPECT_EQ(matched, 0);
  EXPECT_TRUE(Sensor->MatcherVerify(5, &matched));  // an empty slot matches nothing
  EXPECT_EQ(matched, 0);
  EXPECT_FALSE(Sensor->MatcherVerify(4, &matched));
  EXPECT_TRUE(Sensor->MatcherVerify(4, &matched));
  EXPECT_EQ(matched, 1);
  EXPECT_FALSE(Sensor->MatcherVerify(-1, &matched));
  EXPECT_TRUE(Sensor->MatcherClose());
  EXPECT_FALSE(Sensor->MatcherClose());
  EXPECT_FALSE(Sensor->MatcherVerify(4, &matched));
}

TEST_F(SimSensorTest, AnotherFingerRestartsTheEnrolment) {
  Make("gap 0; frames 1; press 1 L1 x2; press 2 L1; press 2 L1");
  ASSERT_TRUE(Sensor->Open());
  ASSERT_TRUE(Sensor->MatcherOpen());
  ASSERT_TRUE(Sensor->MatcherStartEnroll(0));
  std::int32_t progress = 0;
  Sensor->MatcherEnroll(&progress);
  Sensor->MatcherEnroll(&progress);
  EXPECT_EQ(progress, 2);
  EXPECT_TRUE(Sensor->MatcherEnroll(&progress));
  EXPECT_EQ(progress, 1);
  Sensor->MatcherEnroll(&progress);
  EXPECT_EQ(progress, 2);
}

}  // namespace
}  // namespace mivex::ostrela
