#include "workflow/Fingers.h"

#include <gtest/gtest.h>

#include "FakeLook.h"
#include "workflow/Catalogue.h"
#include "workflow/Jpeg.h"

using namespace mivex;
using mivex::test::FakeOwner;

namespace {

const std::uint8_t kTemplate[] = {9, 8, 7, 6, 5};

}  // namespace

TEST(FingerTable, CodesBitsAndNameTexts) {
  EXPECT_EQ(FingerCode(1), "L1");
  EXPECT_EQ(FingerCode(5), "L5");
  EXPECT_EQ(FingerCode(6), "R1");
  EXPECT_EQ(FingerCode(10), "R5");
  EXPECT_EQ(FingerCode(0), "");
  EXPECT_EQ(FingerCode(11), "");
  EXPECT_EQ(FingerIndexOfCode("R2"), 7);
  EXPECT_EQ(FingerIndexOfCode("r2"), 0);
  EXPECT_EQ(FingerIndexOfCode("R2 "), 0);
  EXPECT_EQ(FingerBit(TValidFinger::vfRightLittleFinger), 512);
  EXPECT_EQ(FingerBit(1), 1);
  EXPECT_EQ(FingerBit(11), 0);
  EXPECT_EQ(MemberCount(kAllFingers), 10);
  EXPECT_EQ(FingerNameTextId(1), 216);
  EXPECT_EQ(LoadStr(FingerNameTextId(7)), "Right Forefinger");
  static_assert(sizeof(TValidFinger) == 1 && sizeof(TFingerState) == 1 && sizeof(TEnrollPurpose) == 1 &&
                sizeof(TVerifyPurpose) == 1 && sizeof(TValidFingers) == 2);
}

TEST(FingerSetFromText, FindsCodesAnywhereCaseSensitively) {
  EXPECT_EQ(FingerSetFromText(""), 1023);
  EXPECT_EQ(FingerSetFromText("R5,L1"), 513);
  EXPECT_EQ(FingerSetFromText("r5,l1"), 0);
  EXPECT_EQ(FingerSetFromText("xxL3yyL3"), 4);
  EXPECT_EQ(FingerSetFromText("L1L2L3L4L5R1R2R3R4R5"), 1023);
}

TEST(TFingers, CreationAsksTheLookForTenFingersInOrder) {
  FakeOwner owner;
  TFingers fingers(&owner);
  EXPECT_EQ(owner.look.created, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  ASSERT_EQ(fingers.Items().size(), 10u);
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(fingers.Item(k)->Button->Tag(), k);
  EXPECT_EQ(fingers.Item(0), nullptr);
  EXPECT_EQ(fingers.Item(11), nullptr);
  ASSERT_NE(fingers.VerifyImage, nullptr);
  EXPECT_TRUE(fingers.VerifyImage->Empty());
  EXPECT_EQ(fingers.Current, 0);
  EXPECT_EQ(fingers.CurrentFinger(), nullptr);

  TFingers lookless(nullptr);  // no look: ten fingers without buttons
  EXPECT_EQ(lookless.Items().size(), 10u);
  lookless.Select(3);
  EXPECT_EQ(lookless.Item(3)->State, TFingerState::fgSelected);
}

TEST(TFingers, SelectingAFreeFingerAndSelectingItAgain) {
  FakeOwner owner;
  owner.valid = FingerBit(1) | FingerBit(3);
  TFingers fingers(&owner);
  owner.look.shown.clear();

  fingers.Select(3);
  EXPECT_EQ(fingers.Current, 3);
  EXPECT_EQ(fingers.MessageOwner, &owner.window);
  EXPECT_EQ(fingers.Item(3)->State, TFingerState::fgSelected);
  EXPECT_EQ(fingers.PrevState, TFingerState::fgNone);
  ASSERT_EQ(owner.look.enabled.size(), 10u);  // every button off
  for (auto [k, on] : owner.look.enabled) EXPECT_FALSE(on) << k;
  EXPECT_EQ(owner.look.shown, (std::vector<int>{3}));

  owner.look.enabled.clear();
  fingers.Select(3);
  EXPECT_EQ(fingers.Item(3)->State, TFingerState::fgNone);
  // Only the buttons of the selectable fingers are turned on; the others stay as they are.
  EXPECT_EQ(owner.look.enabled, (std::vector<std::pair<int, bool>>{{1, true}, {3, true}}));
  EXPECT_TRUE(owner.questions.empty());
}

TEST(TFingers, DeletingAnEnrolledFingerAsksFirst) {
  FakeOwner owner;
  TFingers fingers(&owner);
  fingers.Select(2);
  fingers.TemplateLen = 5;
  fingers.StoreTemplate(kTemplate);
  fingers.Item(2)->Images.push_back(std::make_unique<TJpegImage>());

  owner.answer = false;
  fingers.Select(2);
  ASSERT_EQ(owner.questions.size(), 1u);
  EXPECT_EQ(owner.questions[0].first, &owner.window);
  EXPECT_EQ(owner.questions[0].second, "Sure to Delete this fingerprint?");
  EXPECT_EQ(fingers.Item(2)->State, TFingerState::fgEnrolled);
  ASSERT_NE(fingers.Item(2)->EnrollTemplate, nullptr);
  EXPECT_EQ(fingers.Item(2)->Images.size(), 1u);

  owner.answer = true;
  fingers.Select(2);
  EXPECT_EQ(fingers.Item(2)->State, TFingerState::fgDeleted);
  EXPECT_EQ(fingers.Item(2)->EnrollTemplate, nullptr);
  EXPECT_EQ(fingers.Item(2)->VerifyTemplate, nullptr);
  EXPECT_TRUE(fingers.Item(2)->Images.empty());

  // Selecting the deleted finger again and cancelling returns it to deleted.
  fingers.Select(2);
  EXPECT_EQ(fingers.Item(2)->State, TFingerState::fgSelected);
  owner.look.enabled.clear();
  fingers.CancelCurrent();
  EXPECT_EQ(fingers.Item(2)->State, TFingerState::fgDeleted);
  EXPECT_EQ(owner.look.enabled.size(), 10u);
}

TEST(TFingers, StoreTemplateTargetsTheBlockOfTheDeviceOperation) {
  FakeOwner owner;
  TFingers fingers(&owner);
  fingers.Select(6);
  fingers.TemplateLen = 3;
  fingers.StoreTemplate(kTemplate);
  TFinger* f = fingers.Item(6);
  EXPECT_EQ(f->State, TFingerState::fgEnrolled);
  EXPECT_EQ(f->TemplateLen, 3);
  ASSERT_NE(f->EnrollTemplate, nullptr);
  EXPECT_EQ(*f->EnrollTemplate, (TByteBlock{9, 8, 7}));
  EXPECT_EQ(f->VerifyTemplate, nullptr);

  owner.verifyOperation = true;
  fingers.TemplateLen = 5;
  fingers.StoreTemplate(kTemplate);
  ASSERT_NE(f->VerifyTemplate, nullptr);
  EXPECT_EQ(f->VerifyTemplate->size(), 5u);
  EXPECT_EQ(f->EnrollTemplate->size(), 3u);
  EXPECT_FALSE(fingers.NoneEnrolled());
  EXPECT_EQ(fingers.EnrolledCount(), 1);

  fingers.Clear();
  EXPECT_TRUE(fingers.NoneEnrolled());
  EXPECT_EQ(f->EnrollTemplate, nullptr);
  EXPECT_EQ(f->VerifyTemplate, nullptr);
}

TEST(ReadEnrolledFingers, MarksTheNamedFingersAndTheirFlags) {
  FakeOwner owner;
  TFingers fingers(&owner);
  TWasEnrolled was{};
  ASSERT_EQ(ReadEnrolledFingers("L1R3", fingers, was), TEnrolledListResult::kRead);
  for (int k = 1; k <= 10; ++k) {
    const bool named = k == 1 || k == 8;
    EXPECT_EQ(fingers.Item(k)->State, named ? TFingerState::fgEnrolled : TFingerState::fgNone) << k;
    EXPECT_EQ(was[static_cast<std::size_t>(k)], named) << k;
    EXPECT_EQ(fingers.Item(k)->EnrollTemplate, nullptr);
  }
}

TEST(ReadEnrolledFingers, DigitsOutsideOneToFiveNeverReachTheOtherHand) {
  FakeOwner owner;
  TFingers fingers(&owner);
  TWasEnrolled was{};
  // R0 is not the left little finger, L6 not the right thumb.
  for (const char* bad : {"R0", "L6", "L2R0", "R1L6"}) {
    EXPECT_EQ(ReadEnrolledFingers(bad, fingers, was), TEnrolledListResult::kMalformed) << bad;
    EXPECT_EQ(fingers.Item(5)->State, TFingerState::fgNone) << bad;
    EXPECT_EQ(fingers.Item(6)->State == TFingerState::fgEnrolled, std::string(bad) == "R1L6") << bad;
    EXPECT_FALSE(was[5]) << bad;
  }
  EXPECT_EQ(ReadEnrolledFingers("L5R5", fingers, was), TEnrolledListResult::kRead);
  EXPECT_TRUE(was[5] && was[10]);
}

TEST(ReadEnrolledFingers, OddOrEmptyListsClearEverythingWithoutAnError) {
  FakeOwner owner;
  TFingers fingers(&owner);
  TWasEnrolled was{};
  ReadEnrolledFingers("L1", fingers, was);
  EXPECT_EQ(ReadEnrolledFingers("L1R", fingers, was), TEnrolledListResult::kIgnored);
  EXPECT_TRUE(fingers.NoneEnrolled());
  EXPECT_FALSE(was[1]);
  EXPECT_EQ(ReadEnrolledFingers("", fingers, was), TEnrolledListResult::kIgnored);
}

TEST(ReadEnrolledFingers, MalformedCodesStopWithTheFingersBeforeThemKept) {
  FakeOwner owner;
  TFingers fingers(&owner);
  TWasEnrolled was{};
  EXPECT_EQ(ReadEnrolledFingers("L1X2", fingers, was), TEnrolledListResult::kMalformed);
  EXPECT_EQ(fingers.Item(1)->State, TFingerState::fgEnrolled);
  EXPECT_TRUE(was[1]);
  EXPECT_EQ(fingers.EnrolledCount(), 1);

  for (const char* bad : {"LA", "L1Rx", "l1", "L0", "R6", "R7", "R8", "R9", "L1R6"}) {
    EXPECT_EQ(ReadEnrolledFingers(bad, fingers, was), TEnrolledListResult::kMalformed) << bad;
  }
  EXPECT_EQ(kEnrolledFingerError, 310);
}

TEST(TemplateStrings, EnrollmentEntries) {
  std::string str;
  const std::uint8_t four[] = {0, 1, 2, 3};
  ASSERT_TRUE(AppendEnrollEntry(str, 7, four, 4));
  EXPECT_EQ(str, "R2;4;AAECAw==;");
  EXPECT_EQ(str.size(), 14u);

  std::vector<std::uint8_t> t57(57, 0xAB);
  std::string e57;
  AppendEnrollEntry(e57, 1, t57.data(), 57);
  ASSERT_EQ(e57.size(), 3u + 3 + 76 + 2 + 1);
  EXPECT_EQ(e57.substr(0, 6), "L1;57;");
  EXPECT_EQ(e57.substr(82), "\r\n;");

  std::vector<std::uint8_t> t512(512);
  for (std::size_t i = 0; i < t512.size(); ++i) t512[i] = static_cast<std::uint8_t>(i);
  std::string e512;
  AppendEnrollEntry(e512, 1, t512.data(), 512);
  EXPECT_EQ(e512.size(), 710u);
  EXPECT_EQ(e512.substr(0, 7), "L1;512;");

  // Only the first `len` bytes are encoded; entries are appended, never replaced.
  std::string twice;
  AppendEnrollEntry(twice, 1, t512.data(), 2);
  AppendEnrollEntry(twice, 1, t512.data() + 3, 1);
  EXPECT_EQ(twice, "L1;2;AAE=;L1;1;Aw==;");

  EXPECT_FALSE(AppendEnrollEntry(twice, 0, four, 4));
  EXPECT_FALSE(AppendEnrollEntry(twice, 11, four, 4));
  EXPECT_FALSE(AppendEnrollEntry(twice, 1, four, -1));
  EXPECT_FALSE(AppendEnrollEntry(twice, 1, nullptr, 4));
  EXPECT_EQ(twice, "L1;2;AAE=;L1;1;Aw==;");
}

TEST(TemplateStrings, VerificationTextIsTheEncodingAlone) {
  std::vector<std::uint8_t> t(300, 0x5A);
  const std::string text = VerifyTemplateText(t.data(), 300);
  EXPECT_EQ(text.size(), 400u + 2 * (400 / 76));
  EXPECT_EQ(text, EncodeBase64(t.data(), 300));
  EXPECT_EQ(VerifyTemplateText(t.data(), 0), "");
  EXPECT_EQ(VerifyTemplateText(nullptr, 3), "");
}
