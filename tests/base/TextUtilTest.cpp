#include "base/TextUtil.h"

#include <gtest/gtest.h>

using namespace mivex;

TEST(TextUtil, TrimBlanksRemovesOnlySpaces) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(TextUtil, TrimControlsRemovesEverythingUpToBlank) {
  EXPECT_EQ(TrimControls(std::string("\x01\r\n L1 \t\x20", 9)), "L1");
  EXPECT_EQ(TrimControls(std::string("\0L1\0", 4)), "L1");
  EXPECT_EQ(TrimControls("!x!"), "!x!");
}

TEST(TextUtil, FieldOfCountsFromOne) {
  EXPECT_EQ(FieldOf("AES/CBC/PKCS#7", '/', 1), "AES");
  EXPECT_EQ(FieldOf("AES/CBC/PKCS#7", '/', 3), "PKCS#7");
  EXPECT_EQ(FieldOf("AES//PKCS#7", '/', 2), "");
  EXPECT_EQ(FieldOf("AES", '/', 2), "");
  EXPECT_EQ(FieldOf("AES", '/', 0), "");
}

TEST(TextUtil, EqualsIgnoreCaseIsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("QuelmarinAES", "quelmarinaes"));
  EXPECT_FALSE(EqualsIgnoreCase("AES", "AES "));
}
