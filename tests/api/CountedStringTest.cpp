#include "api/CountedString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace mivex;

namespace {
// A counted string as a host lays one out: count, length, characters, NUL.
std::vector<char> HostBlock(const std::string& text, std::int32_t refs, std::int32_t length) {
  std::vector<char> block(8 + text.size() + 1, '\0');
  std::memcpy(block.data(), &refs, 4);
  std::memcpy(block.data() + 4, &length, 4);
  std::memcpy(block.data() + 8, text.data(), text.size());
  return block;
}
}  // namespace

TEST(CountedString, ArgumentsAreReadThroughTheStoredLength) {
  auto block = HostBlock(std::string("L1\0R2", 5), -1, 5);
  EXPECT_EQ(ReadCounted(block.data() + 8), std::string("L1\0R2", 5));
  auto shorter = HostBlock("L1R2", -1, 2);
  EXPECT_EQ(ReadCounted(shorter.data() + 8), "L1");
  EXPECT_EQ(ReadCounted(nullptr), "");
  EXPECT_EQ(ReadPlain(nullptr), "");
  EXPECT_EQ(ReadPlain(" x "), " x ");
}

TEST(CountedString, LibraryStringsCarryCountLengthAndNul) {
  char* s = NewCounted("AB");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CountedRefCount(s), 1);
  EXPECT_EQ(CountedLength(s), 2);
  EXPECT_EQ(s[2], '\0');
  EXPECT_EQ(NewCounted(""), nullptr);
  ReleaseCounted(s);
}

TEST(CountedString, ReleaseDropsOneReferenceAndSparesConstants) {
  char* s = NewCounted("shared");
  // A host that copied the handle holds a second reference.
  std::int32_t two = 2;
  std::memcpy(s - 8, &two, 4);
  const char* var = s;
  ClearCountedVar(&var);
  EXPECT_EQ(var, nullptr);
  EXPECT_EQ(CountedRefCount(s), 1);
  ReleaseCounted(s);  // the last reference frees it (ASan checks)

  auto constant = HostBlock("const", -1, 5);
  const char* cvar = constant.data() + 8;
  ClearCountedVar(&cvar);
  EXPECT_EQ(cvar, nullptr);
  std::int32_t refs;
  std::memcpy(&refs, constant.data(), 4);
  EXPECT_EQ(refs, -1);
  ClearCountedVar(nullptr);
}
