// The English catalogue through LoadStr, and ErrorText. Natively LoadStr reads the table
// generated from the English catalogue file; under Wine the test program carries the
// string tables and the platform's lookup answers in English for LANG=C.
#include "workflow/Catalogue.h"

#include <gtest/gtest.h>

#include <climits>

using namespace mivex;

TEST(Catalogue, EnglishTextsWithTheirTrailingCharacters) {
  EXPECT_EQ(LoadStr(258) + "8", "Press the finger orderly. Press Times: 8");
  EXPECT_EQ(LoadStr(209), "The finger you chose: ");
  EXPECT_EQ(LoadStr(230), "Process is running ");
  EXPECT_EQ(LoadStr(255), "Updating Fingerprint Data should be verified again, OK to proceed? ");
  EXPECT_EQ(LoadStr(265), "Press the finger again: ");
  EXPECT_EQ(LoadStr(214), "Sure to exit ?");
  EXPECT_EQ(LoadStr(256), ",");
  EXPECT_EQ(LoadStr(253), LoadStr(252));
  EXPECT_EQ(LoadStr(253), "Template is too Light");
  EXPECT_EQ(LoadStr(315), "Exceeds maximum fingerprint enrollment number");
  EXPECT_EQ(LoadStr(704), "Cancel Request From User");
}

TEST(Catalogue, MissingNumbersAreEmpty) {
  EXPECT_EQ(LoadStr(701), "");
  EXPECT_EQ(LoadStr(200), "");
  EXPECT_EQ(LoadStr(0), "");
  EXPECT_EQ(LoadStr(-1), "");
  EXPECT_EQ(LoadStr(70000), "");
}

TEST(Catalogue, ErrorTextMapsCodesToNumbers) {
  EXPECT_EQ(ErrorText(304), "Cancel Request From User");
  EXPECT_EQ(ErrorText(401), LoadStr(301));
  EXPECT_EQ(ErrorText(401), "Fingerprinter connection failed");
  EXPECT_EQ(ErrorText(499), "");
  EXPECT_EQ(ErrorText(310), "");
  EXPECT_EQ(ErrorText(301), "");
  EXPECT_EQ(ErrorText(INT_MAX), "");
  EXPECT_EQ(ErrorText(INT_MIN), "");
  TXUtil util;
  EXPECT_EQ(util.DefaultPrimaryLanguage, 0);
  EXPECT_EQ(util.DefaultSubLanguage, 0);
  EXPECT_EQ(util.MessageText(304), "Cancel Request From User");
}
