// Engine result texts and the enrollment engine's arithmetic.
#include <gtest/gtest.h>

#include <climits>

#include "capture/EngineErrors.h"
#include "capture/EnrollRules.h"

using namespace mivex;

TEST(EngineErrorText, KnownCodesSuccessAndUnknownFailures) {
  EXPECT_EQ(EngineErrorText(-1), "Failed");
  EXPECT_EQ(EngineErrorText(-11), "Parameter is read only");
  EXPECT_EQ(EngineErrorText(-103), "Low quality image");
  EXPECT_EQ(EngineErrorText(-1000), "Invalid mode");
  EXPECT_EQ(EngineErrorText(-2006), "More than one scanner connected");
  EXPECT_EQ(EngineErrorText(0), "");
  EXPECT_EQ(EngineErrorText(5), "");
  EXPECT_EQ(EngineErrorText(-7), "-7");
  EXPECT_EQ(EngineErrorText(INT_MIN), "-2147483648");
}

TEST(EngineErrorText, ExceptionMessagesAreTheEnginesWording) {
  EXPECT_EQ(EngineErrorMessage(-102), "Vandrel error:\r\tCode = -102\r\tDescription = Illegal image size");
  EXPECT_EQ(EngineErrorMessage(-42), "Vandrel error:\r\tCode = -42\r\tDescription = -42");
  EXPECT_STREQ(kParameterTypeMessage, "Vandrel parameter is of wrong type");
  EXPECT_TRUE(Succeeded(0));
  EXPECT_TRUE(Failed(-1));
}

TEST(QualityPercent, AnchorsAtDefaultThreshold) {
  EXPECT_EQ(QualityPercent(40, 120), 100);
  EXPECT_EQ(QualityPercent(80, 120), 80);
  EXPECT_EQ(QualityPercent(120, 120), 60);
  EXPECT_EQ(QualityPercent(121, 120), 0);
  EXPECT_EQ(QualityPercent(0, 120), 100);
  // Integer division truncates toward zero: (41 - 40) * 400 / 800 = 0.
  EXPECT_EQ(QualityPercent(41, 120), 100);
  EXPECT_EQ(QualityPercent(42, 120), 99);
}

TEST(QualityPercent, OtherThresholdsAndExtremeScores) {
  EXPECT_EQ(QualityPercent(80, 80), 60);
  EXPECT_EQ(QualityPercent(60, 80), 80);
  EXPECT_EQ(QualityPercent(INT_MIN, 120), 100);
  EXPECT_EQ(QualityPercent(INT_MAX, INT_MAX), 60);
}

TEST(ChooseReplacement, StrictlyLowestTotalElseSampleTwo) {
  // cross[i] = match(i, i+1): totals t0 = c0 + c2, t1 = c0 + c1, t2 = c1 + c2.
  const std::int32_t t0_lowest[3] = {10, 90, 5};  // t0 15, t1 100, t2 95
  EXPECT_EQ(ChooseReplacement(t0_lowest), 0);
  const std::int32_t t1_lowest[3] = {10, 5, 90};  // t0 100, t1 15, t2 95
  EXPECT_EQ(ChooseReplacement(t1_lowest), 1);
  const std::int32_t t2_lowest[3] = {90, 5, 10};  // t0 100, t1 95, t2 15
  EXPECT_EQ(ChooseReplacement(t2_lowest), 2);
  const std::int32_t tie_low[3] = {10, 50, 50};  // t0 = t1 = 60 < t2 = 100
  EXPECT_EQ(ChooseReplacement(tie_low), 2);
  const std::int32_t all_equal[3] = {7, 7, 7};
  EXPECT_EQ(ChooseReplacement(all_equal), 2);
  // t1 = 2 * INT_MIN must not wrap around to 0.
  const std::int32_t huge[3] = {INT_MIN, INT_MIN, INT_MAX};
  EXPECT_EQ(ChooseReplacement(huge), 1);
}

TEST(SecurityLevelRate, RatePerLevel) {
  EXPECT_DOUBLE_EQ(SecurityLevelRate(0), 0.004);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(1), 0.001);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(2), 0.004);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(3), 0.007);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(4), 0.01);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(5), 0.02);
  EXPECT_DOUBLE_EQ(SecurityLevelRate(9), 0.004);
}
