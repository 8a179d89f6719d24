#include "workflow/SampleStepShow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/XUIBase.h"
#include "workflow/Fingers.h"
#include "workflow/QualityMessage.h"

using namespace mivex;

namespace {
// A look that records the step operations it receives.
class RecordingLook : public TBaseUI {
 public:
  RecordingLook() : TBaseUI(nullptr) {}
  std::vector<std::string> ops;
  std::string Take() {
    std::string all;
    for (const auto& op : ops) all += op + " ";
    ops.clear();
    return all;
  }
  void StepDone(int n) override { ops.push_back("D" + std::to_string(n)); }
  void StepFailed(int n) override { ops.push_back("F" + std::to_string(n)); }
  void StepCurrent(int n) override { ops.push_back("C" + std::to_string(n)); }
  void StepPending(int n) override { ops.push_back("P" + std::to_string(n)); }
  void StepHidden(int n) override { ops.push_back("H" + std::to_string(n)); }
  void RefreshLook() override {}
  int LookWidth() override { return 530; }
  int LookHeight() override { return 400; }
  std::unique_ptr<TFinger> CreateFinger(int) override { return nullptr; }
  void ShowFinger(TFinger*) override {}
  void AttachFinger(TFinger*) override {}
  void EnableFinger(TFinger*, bool) override {}
  std::string GetUserIDText() override { return {}; }
  void SetUserIDText(const std::string&) override {}
  void ShowUserIDBox(bool) override {}
  void EnableUserIDBox(bool) override {}
  void BindDevice(TFPBase*) override {}
  void ShowStatus(const std::string&) override {}
  void EnableCancel(bool) override {}
  void SetCancelHint(const std::string&) override {}
  void EnableFinish(bool) override {}
  win::TControl* Widget(int) override { return nullptr; }
};

// The library's sensor: 0..100 is an accepted sample.
int SensorMessage(std::int32_t q) { return QualityMessage(30, true, q); }
}  // namespace

TEST(SampleStepShow, EightPressesRunOverTwoPagesOfFourPictures) {
  RecordingLook look;
  TSampleStepShow steps(&look, SensorMessage);
  steps.SetStepCount(8);
  EXPECT_EQ(steps.ShownSteps(), 4);
  steps.BeginFinger();
  EXPECT_EQ(look.Take(), "C1 P2 P3 P4 ");
  steps.UpdateStep(80);
  EXPECT_EQ(look.Take(), "D1 C2 ");
  EXPECT_EQ(steps.MessageId, 232);
  steps.UpdateStep(101);  // rejected: the current step fails and stays
  EXPECT_EQ(look.Take(), "F2 ");
  EXPECT_EQ(steps.MessageId, 254);
  EXPECT_EQ(steps.CurrentStep, 2);
  steps.UpdateStep(50);
  steps.UpdateStep(50);
  look.Take();
  steps.UpdateStep(50);  // step 4 done: the second page shows 5..8
  EXPECT_EQ(look.Take(), "D4 P5 P6 P7 P8 C5 ");
  for (int i = 0; i < 4; ++i) steps.UpdateStep(60);
  EXPECT_EQ(look.Take(), "D5 C6 D6 C7 D7 C8 D8 ");
  EXPECT_EQ(steps.CurrentStep, 9);
  steps.UpdateStep(60);  // past the last step nothing is drawn
  EXPECT_EQ(look.Take(), "");
}

TEST(SampleStepShow, FewerPressesShowFewerPicturesAndHideTheRest) {
  RecordingLook look;
  TSampleStepShow steps(&look, SensorMessage);
  steps.SetStepCount(6);
  steps.BeginFinger();
  for (int i = 0; i < 4; ++i) steps.UpdateStep(70);
  EXPECT_EQ(look.Take(), "C1 P2 P3 P4 D1 C2 D2 C3 D3 C4 D4 P5 P6 H7 H8 C5 ");
  steps.SetStepCount(3);
  EXPECT_EQ(steps.ShownSteps(), 3);
  steps.ResetSteps();
  EXPECT_EQ(look.Take(), "P1 P2 P3 ");
  EXPECT_EQ(steps.CurrentStep, 0);
}

TEST(SampleStepShow, ReportsOutsideAFingerOnlySetTheMessage) {
  RecordingLook look;
  TSampleStepShow steps(&look, SensorMessage);
  steps.SetStepCount(8);
  steps.UpdateStep(10);  // before BeginFinger
  EXPECT_EQ(look.Take(), "");
  EXPECT_EQ(steps.MessageId, 232);
  steps.BeginFinger();
  steps.AllFailed();
  EXPECT_EQ(look.Take(), "C1 P2 P3 P4 F1 F2 F3 F4 ");
  EXPECT_EQ(steps.CurrentStep, 9);
  steps.UpdateStep(10);
  EXPECT_EQ(look.Take(), "");
  steps.HidePictures();
  EXPECT_EQ(look.Take(), "H1 H2 H3 H4 ");
}
