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

// The 12 bytes in front of a library string as a Pascal runtime with code-paged
// AnsiStrings reads them: code page, element size, reference count, length.
TEST(CountedString, LibraryStringsCarryCodePageAndElementSizeInFrontOfTheCount) {
  char* s = NewCounted("L1;4;QUJD;");
  ASSERT_NE(s, nullptr);
  std::uint16_t codePage, elementSize;
  std::int32_t refs, length;
  std::memcpy(&codePage, s - 12, 2);
  std::memcpy(&elementSize, s - 10, 2);
  std::memcpy(&refs, s - 8, 4);
  std::memcpy(&length, s - 4, 4);
  EXPECT_EQ(codePage, 0);  // the ANSI code page
  EXPECT_EQ(elementSize, 1);
  EXPECT_EQ(refs, 1);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(CountedCodePage(s), 0);
  EXPECT_EQ(CountedElementSize(s), 1);
  // The block starts at the code page: releasing frees exactly what was allocated
  // (the sanitizers report a free of any other address).
  ReleaseCounted(s);
}

TEST(CountedString, HostStringsWithoutCodePageAreReadThroughTheirLength) {
  // A host that knows only count and length lays out 8 bytes; nothing in front is read.
  auto block = HostBlock("R2", -1, 2);
  EXPECT_EQ(ReadCounted(block.data() + 8), "R2");
  const char* var = block.data() + 8;
  ClearCountedVar(&var);  // a constant is never freed, whatever stands before it
  EXPECT_EQ(var, nullptr);
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
