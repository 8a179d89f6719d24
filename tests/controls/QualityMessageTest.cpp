#include "workflow/QualityMessage.h"

#include <gtest/gtest.h>

using mivex::QualityFlagClass;
using mivex::QualityMessage;

TEST(QualityMessage, TheLibrarysSensorAcceptsZeroToHundred) {
  // dtAbig (30) and dtVF (31), whatever the policy.
  for (int type : {30, 31}) {
    EXPECT_EQ(QualityMessage(type, true, 0), 232);
    EXPECT_EQ(QualityMessage(type, true, 100), 232);
    EXPECT_EQ(QualityMessage(type, true, 101), 254);
    EXPECT_EQ(QualityMessage(type, false, -1), 254);
  }
  // Only the low seven bits of the type count.
  EXPECT_EQ(QualityMessage(30 + 128, true, 101), 254);
}

TEST(QualityMessage, EveryDeviceFamilyRow) {
  EXPECT_EQ(QualityMessage(0, false, 0), 232);
  EXPECT_EQ(QualityMessage(0, false, 1), 233);
  EXPECT_EQ(QualityMessage(0, false, 2), 234);
  EXPECT_EQ(QualityMessage(0, false, 3), 254);
  EXPECT_EQ(QualityMessage(1, true, -32), 236);
  EXPECT_EQ(QualityMessage(8, true, 65), 237);
  EXPECT_EQ(QualityMessage(8, true, 69), 241);
  EXPECT_EQ(QualityMessage(1, true, 70), 254);
  EXPECT_EQ(QualityMessage(2, false, -1), 234);
  EXPECT_EQ(QualityMessage(6, false, 0), 232);
  EXPECT_EQ(QualityMessage(6, false, 5), 254);
  for (int type : {3, 5, 13, 14}) EXPECT_EQ(QualityMessage(type, false, 50), 232);
  EXPECT_EQ(QualityMessage(4, false, 1), 232);
  EXPECT_EQ(QualityMessage(4, false, 0), 254);
  EXPECT_EQ(QualityMessage(7, false, -999), 232);
  EXPECT_EQ(QualityMessage(33, false, -999), 232);
}

TEST(QualityMessage, FlagClassesOfTheCountingPolicy) {
  EXPECT_EQ(QualityFlagClass(0), 0);
  EXPECT_EQ(QualityFlagClass(0x2000), 1);
  EXPECT_EQ(QualityFlagClass(0x2100), 1);  // 0x2000 is tried first
  EXPECT_EQ(QualityFlagClass(0x0100), 2);
  EXPECT_EQ(QualityFlagClass(0x0800), 5);
  EXPECT_EQ(QualityFlagClass(0x1000), -1);  // outside both masks
  EXPECT_EQ(QualityFlagClass(0x20), 6);
  EXPECT_EQ(QualityFlagClass(0x60), 6);     // 0x60 never wins over 0x20
  EXPECT_EQ(QualityFlagClass(0x40), 7);
  EXPECT_EQ(QualityFlagClass(0x80), 9);
  EXPECT_EQ(QualityMessage(1, false, 0x0400), 245);
  EXPECT_EQ(QualityMessage(1, false, 0x0200), 244);
  EXPECT_EQ(QualityMessage(8, false, 0x0040), 252);
  EXPECT_EQ(QualityMessage(8, false, 0x1000), 254);
}
