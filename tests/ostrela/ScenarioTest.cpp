#include <gtest/gtest.h>

#include "Scenario.h"

namespace mivex::ostrela {
namespace {

TEST(Scenario, EmptyTextPressesTheDefaultFingerForever) {
  for (const char* text : {"", "  \n# nothing but a comment\n;;", "frame-ms 7"}) {
    TScenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, s, error)) << error;
    ASSERT_EQ(s.Steps.size(), 1u);
    EXPECT_EQ(s.Steps[0].Kind, TStepKind::skPress);
    EXPECT_EQ(s.Steps[0].Subject, kDefaultSubject);
    EXPECT_EQ(s.Steps[0].Finger, kDefaultFinger);
    EXPECT_EQ(s.Steps[0].Press, TPressKind::pkGood);
    EXPECT_TRUE(s.Repeat);
  }
}

TEST(Scenario, StepsSettingsAndComments) {
  const std::string text =
      "# enrolment of a left middle finger\n"
      "frame-ms 20; frames 5\n"
      "gap 0\n"
      "press 12 l3 good x3   # three good presses\n"
      "press 12 R5 POOR\n"
      "press 2147483647 10 light x2; press 4 1 none\n"
      "none 9; unplug 2; none\n"
      "seed 99\n"
      "repeat\n";
  TScenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(text, s, error)) << error;
  EXPECT_EQ(s.FrameMs, 20);
  EXPECT_EQ(s.FramesPerPress, 5);
  EXPECT_EQ(s.GapPolls, 0);
  EXPECT_EQ(s.Seed, 99u);
  EXPECT_TRUE(s.Repeat);
  ASSERT_EQ(s.Steps.size(), 7u);
  EXPECT_EQ(s.Steps[0].Subject, 12u);
  EXPECT_EQ(s.Steps[0].Finger, 3);
  EXPECT_EQ(s.Steps[0].Count, 3);
  EXPECT_EQ(s.Steps[1].Finger, 10);
  EXPECT_EQ(s.Steps[1].Press, TPressKind::pkPoor);
  EXPECT_EQ(s.Steps[1].Count, 1);
  EXPECT_EQ(s.Steps[2].Subject, 2147483647u);
  EXPECT_EQ(s.Steps[2].Press, TPressKind::pkLight);
  EXPECT_EQ(s.Steps[3].Press, TPressKind::pkNone);
  EXPECT_EQ(s.Steps[4].Kind, TStepKind::skNone);
  EXPECT_EQ(s.Steps[4].Count, 9);
  EXPECT_EQ(s.Steps[5].Kind, TStepKind::skUnplug);
  EXPECT_EQ(s.Steps[5].Count, 2);
  EXPECT_EQ(s.Steps[6].Count, kForever);
}

TEST(Scenario, ErrorsNameTheLine) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"press 1 R2\nbogus 3", "line 2: unknown step 'bogus'"},
      {"# one\n# two\npress 1 L6", "line 3: finger must be 1..10 or L1..L5, R1..R5"},
      {"press 1 11", "line 1: finger must be 1..10 or L1..L5, R1..R5"},
      {"press -1 R2", "line 1: subject must be a number from 0 to 2147483647"},
      {"press 2147483648 R2", "line 1: subject must be a number from 0 to 2147483647"},
      {"press 1", "line 1: press needs a subject and a finger, then optionally a kind and x<count>"},
      {"press 1 R2 soft", "line 1: kind must be good, poor, light or none"},
      {"press 1 R2 x0", "line 1: count must be x1 .. x1000000"},
      {"frame-ms 0", "line 1: frame-ms needs one number from 1 to 1000"},
      {"frames 101", "line 1: frames needs one number from 1 to 100"},
      {"gap", "line 1: gap needs one number from 0 to 1000"},
      {"none 0", "line 1: none takes at most one count from 1 to 2147483647"},
      {"unplug 1 2", "line 1: unplug takes at most one count from 1 to 2147483647"},
      {"press 1 R2; repeat; press 2 R2", "line 1: repeat must be the last step"},
      {"repeat now", "line 1: repeat takes no arguments"},
      {"repeat", "repeat needs a step before it"},
  };
  for (const auto& c : cases) {
    TScenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(c.Text, s, error)) << c.Text;
    EXPECT_EQ(error, c.Error) << c.Text;
  }
  // Settings may still follow a repeat.
  TScenario s;
  std::string error;
  EXPECT_TRUE(ParseScenario("press 1 R2; repeat; gap 2", s, error)) << error;
}

TEST(Scenario, FingerCodes) {
  EXPECT_EQ(ParseFinger("L1"), 1);
  EXPECT_EQ(ParseFinger("l5"), 5);
  EXPECT_EQ(ParseFinger("R1"), 6);
  EXPECT_EQ(ParseFinger("r5"), 10);
  EXPECT_EQ(ParseFinger("7"), 7);
  for (const char* bad : {"", "0", "11", "L0", "R6", "X1", "L", "L12", "R2x"}) EXPECT_EQ(ParseFinger(bad), 0) << bad;
}

}  // namespace
}  // namespace mivex::ostrela
