#include <gtest/gtest.h>

#include <set>
#include <string>

#include "PressModel.h"

namespace mivex::ostrela {
namespace {

TScenario Parse(const std::string& text) {
  TScenario s;
  std::string error;
  EXPECT_TRUE(ParseScenario(text, s, error)) << error;
  return s;
}

// One letter per poll: '.' no finger, 'F' finger, 'U' unplugged.
std::string Trace(TPressModel& model, int polls) {
  std::string t;
  for (int i = 0; i < polls; ++i) {
    const TPollResult r = model.Poll();
    t += r.State == TPollState::psFinger ? 'F' : (r.State == TPollState::psUnplugged ? 'U' : '.');
  }
  return t;
}

TEST(PressModel, DefaultRunIsGapThenFramesForever) {
  TPressModel model(Parse(""));
  for (std::int64_t press = 0; press < 3; ++press) {
    for (int gap = 0; gap < 4; ++gap) EXPECT_EQ(model.Poll().State, TPollState::psNoFinger);
    for (int frame = 0; frame < 6; ++frame) {
      const TPollResult r = model.Poll();
      ASSERT_EQ(r.State, TPollState::psFinger);
      EXPECT_EQ(r.Press, press);
      EXPECT_EQ(r.Frame, frame);
      EXPECT_EQ(r.Subject, kDefaultSubject);
      EXPECT_EQ(r.Finger, kDefaultFinger);
    }
    EXPECT_EQ(model.PressesBegun(), press + 1);
  }
}

TEST(PressModel, StepsRunInOrderAndTheSensorStaysEmptyAfterwards) {
  TPressModel model(Parse("gap 1; frames 2; press 3 L2 x2; none 3; press 4 R1 poor; press 5 R3 none; press 6 R4 light"));
  EXPECT_EQ(Trace(model, 6), ".FF.FF");
  EXPECT_EQ(Trace(model, 3), "...");
  TPollResult r = model.Poll();
  EXPECT_EQ(r.State, TPollState::psNoFinger);
  r = model.Poll();
  EXPECT_EQ(r.State, TPollState::psFinger);
  EXPECT_EQ(r.Kind, TPressKind::pkPoor);
  EXPECT_EQ(r.Subject, 4u);
  EXPECT_EQ(r.Finger, 6);
  EXPECT_EQ(Trace(model, 1), "F");
  // A press of kind none is counted but shows no finger.
  EXPECT_EQ(Trace(model, 3), "...");
  EXPECT_EQ(model.PressesBegun(), 4);
  model.Poll();
  r = model.Poll();
  EXPECT_EQ(r.Kind, TPressKind::pkLight);
  EXPECT_EQ(r.Press, 4);
  model.Poll();
  EXPECT_EQ(Trace(model, 50), std::string(50, '.'));
  EXPECT_EQ(model.PressesBegun(), 5);
}

TEST(PressModel, UnplugCountsOpenAttemptsAndPolls) {
  TPressModel model(Parse("gap 0; frames 1; unplug 3; press 1 R2; unplug"));
  EXPECT_TRUE(model.Unplugged());
  EXPECT_FALSE(model.TryOpen());
  EXPECT_FALSE(model.TryOpen());
  EXPECT_EQ(Trace(model, 1), "U");
  EXPECT_FALSE(model.Unplugged());
  EXPECT_TRUE(model.TryOpen());
  EXPECT_EQ(Trace(model, 1), "F");
  EXPECT_EQ(Trace(model, 5), "UUUUU");
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(model.TryOpen());
}

TEST(PressModel, RepeatStartsOver) {
  TPressModel model(Parse("gap 0; frames 1; press 1 R2; none 2; repeat"));
  EXPECT_EQ(Trace(model, 9), "F..F..F..");
  EXPECT_EQ(model.StepIndex(), 0);
}

TEST(PressModel, EveryPressIsANewImpressionAndRunsRepeatExactly) {
  TPressModel a(Parse("gap 0; frames 2; press 8 L1 x20"));
  TPressModel b(Parse("gap 0; frames 2; press 8 L1 x20"));
  TPressModel c(Parse("gap 0; frames 2; press 8 L1 x20; seed 1"));
  std::set<std::uint64_t> seeds;
  for (int i = 0; i < 40; ++i) {
    const TPollResult ra = a.Poll();
    const TPollResult rb = b.Poll();
    const TPollResult rc = c.Poll();
    EXPECT_EQ(ra.PressSeed, rb.PressSeed);
    EXPECT_NE(ra.PressSeed, rc.PressSeed);
    seeds.insert(ra.PressSeed);
  }
  EXPECT_EQ(seeds.size(), 20u);
}

TEST(PressModel, SettingsChangedDuringARun) {
  TPressModel model(Parse("gap 2; frames 3"));
  EXPECT_EQ(Trace(model, 4), "..FF");
  // Shortening the press ends the current one at once.
  model.SetFramesPerPress(1);
  EXPECT_EQ(Trace(model, 1), "F");
  model.SetGapPolls(0);
  EXPECT_EQ(Trace(model, 3), "FFF");
}

}  // namespace
}  // namespace mivex::ostrela
