#include <gtest/gtest.h>

#include "ui/FashionLayout.h"

using namespace mivex::fashion;

namespace {
std::vector<int> Lefts(int samples) {
  std::vector<int> out;
  for (const StepCell& c : StepRow(samples))
    if (c.width > 0) {
      EXPECT_EQ(c.width, 80);
      EXPECT_EQ(c.height, 59);
      out.push_back(c.left);
    }
  return out;
}
}  // namespace

TEST(StepRow, CentredOnX170) {
  EXPECT_EQ(Lefts(1), (std::vector<int>{130}));
  EXPECT_EQ(Lefts(2), (std::vector<int>{80, 180}));
  EXPECT_EQ(Lefts(3), (std::vector<int>{40, 130, 220}));
  EXPECT_EQ(Lefts(4), (std::vector<int>{10, 90, 170, 250}));
  // The quality policy announces 8 presses; 0 or any count above 4 uses four cells.
  EXPECT_EQ(Lefts(8), (std::vector<int>{10, 90, 170, 250}));
  EXPECT_EQ(Lefts(0), (std::vector<int>{10, 90, 170, 250}));
  EXPECT_EQ(Lefts(-3), (std::vector<int>{10, 90, 170, 250}));
  EXPECT_EQ(StepRow(2)[2].width, 0);
  EXPECT_EQ(StepRow(2)[3].height, 0);
}

TEST(StepPictures, TwoPagesOfFourWidgets) {
  EXPECT_EQ(StepWidget(1), 0);
  EXPECT_EQ(StepWidget(4), 3);
  EXPECT_EQ(StepWidget(5), 0);
  EXPECT_EQ(StepWidget(8), 3);
  EXPECT_EQ(StepWidget(0), -1);
  EXPECT_EQ(StepWidget(9), -1);
  const int pending[8] = {103, 104, 105, 106, 135, 136, 137, 138};
  const int current[8] = {107, 108, 109, 110, 131, 132, 133, 134};
  const int done[8] = {111, 112, 113, 114, 139, 140, 141, 142};
  const int failed[8] = {115, 116, 117, 118, 143, 144, 145, 146};
  for (int n = 1; n <= 8; ++n) {
    EXPECT_EQ(StepPicture(StepState::Pending, n), pending[n - 1]);
    EXPECT_EQ(StepPicture(StepState::Current, n), current[n - 1]);
    EXPECT_EQ(StepPicture(StepState::Done, n), done[n - 1]);
    EXPECT_EQ(StepPicture(StepState::Failed, n), failed[n - 1]);
  }
  EXPECT_EQ(StepPicture(StepState::Done, 9), 0);
}
