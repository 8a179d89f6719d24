#include <gtest/gtest.h>

#include "ui/LabelLayout.h"
#include "ui/LabelModel.h"

using namespace mivex;

namespace {
// Fixed-width text: a single-byte character is `size` pixels wide, a double-byte one
// (lead byte 0x81..0xFE) twice that; rows are size + 4 high.
struct FixedMeasure : TextMeasure {
  int size = 10;
  std::vector<int> sizes_used;
  void SetFontSize(int points) override {
    size = points;
    sizes_used.push_back(points);
  }
  int TextWidth(std::string_view text) override {
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
        w += 2 * size;
        ++i;
      } else {
        w += size;
      }
    }
    return w;
  }
  int TextHeight(std::string_view) override { return size + 4; }
  bool IsLeadByte(unsigned char b) override { return b >= 0x81 && b <= 0xFE; }
};

LabelSettings Box(int w, int h) {
  LabelSettings s;
  s.width = w;
  s.height = h;
  s.font_size = 10;
  return s;
}

using Texts = std::vector<PlacedText>;
}  // namespace

TEST(LabelLayout, EmptyLinesDrawNothing) {
  FixedMeasure m;
  LabelLayout l = LayOutLabel({}, Box(100, 50), m);
  EXPECT_EQ(l.passes, 0);
  EXPECT_TRUE(l.texts.empty());
  EXPECT_TRUE(m.sizes_used.empty());
  // One empty line is a line end only: nothing visible either.
  EXPECT_TRUE(LayOutLabel({""}, Box(100, 50), m).texts.empty());
}

TEST(LabelLayout, WordsFlowAfterTheirBlanks) {
  FixedMeasure m;
  LabelLayout l = LayOutLabel({"ab cd"}, Box(100, 50), m);
  EXPECT_EQ(l.texts, (Texts{{0, 0, "ab "}, {30, 0, "cd"}}));
  EXPECT_TRUE(l.fits);
}

TEST(LabelLayout, ParagraphsWithAndWithoutWantReturn) {
  FixedMeasure m;
  LabelSettings s = Box(100, 80);
  s.forward_size = 5;
  s.section_size = 3;
  s.row_space = 2;
  s.want_return = true;
  // Second paragraph: back at the indent, one row (14 + 2) plus the section (3) lower.
  EXPECT_EQ(LayOutLabel({"ab", "cd"}, s, m).texts, (Texts{{5, 2, "ab"}, {5, 21, "cd"}}));
  s.want_return = false;
  // Run-on: the next entry follows after one blank's width.
  EXPECT_EQ(LayOutLabel({"ab", "cd"}, s, m).texts, (Texts{{5, 2, "ab"}, {35, 2, "cd"}}));
}

TEST(LabelLayout, WordLongerThanTheRowIsCut) {
  FixedMeasure m;
  LabelLayout l = LayOutLabel({"ABCDEFGH"}, Box(50, 50), m);
  EXPECT_EQ(l.texts, (Texts{{0, 0, "ABCDE"}, {0, 14, "FGH"}}));
}

TEST(LabelLayout, WordThatDoesNotFitMovesToTheNextRow) {
  FixedMeasure m;
  LabelLayout l = LayOutLabel({"abc defg"}, Box(50, 50), m);
  EXPECT_EQ(l.texts, (Texts{{0, 0, "abc "}, {0, 14, "de"}, {20, 14, "fg"}}));
}

TEST(LabelLayout, DoubleByteTextBreaksBetweenAnyTwoCharacters) {
  FixedMeasure m;
  const std::string c1 = "\xC4\xE3", c2 = "\xBA\xC3", c3 = "\xCA\xC0", c4 = "\xBD\xE7";
  LabelLayout l = LayOutLabel({c1 + c2 + c3 + c4}, Box(50, 50), m);
  EXPECT_EQ(l.texts, (Texts{{0, 0, c1 + c2}, {0, 14, c3 + c4}}));
}

TEST(LabelLayout, CharacterWiderThanTheLabelStillEnds) {
  FixedMeasure m;
  const std::string wide = "\xC4\xE3";
  EXPECT_EQ(LayOutLabel({wide + wide}, Box(15, 50), m).texts, (Texts{{0, 0, wide}, {0, 14, wide}}));
  EXPECT_EQ(LayOutLabel({"a b"}, Box(5, 50), m).texts.size(), 3u);
  EXPECT_EQ(LayOutLabel({"ab"}, Box(0, 50), m).texts.size(), 2u);
}

TEST(LabelLayout, ShrinksUntilTheRowFits) {
  FixedMeasure m;
  LabelSettings s = Box(200, 17);
  s.font_size = 16;
  s.want_fit = true;
  LabelLayout l = LayOutLabel({"ID"}, s, m);
  // Rows are size + 4 high: 13 points is the largest that fits 17 pixels.
  EXPECT_EQ(l.font_size, 13);
  EXPECT_EQ(l.passes, 4);
  EXPECT_TRUE(l.fits);
  EXPECT_EQ(m.sizes_used, (std::vector<int>{16, 15, 14, 13}));
  // Without WantFit one pass at the label's own size, overflowing.
  s.want_fit = false;
  LabelLayout plain = LayOutLabel({"ID"}, s, m);
  EXPECT_EQ(plain.font_size, 16);
  EXPECT_EQ(plain.passes, 1);
  EXPECT_FALSE(plain.fits);
}

TEST(LabelLayout, ShrinkPassesLowerSizeAndSpacingsThenSpacingsByOne) {
  FixedMeasure m;
  LabelSettings s = Box(200, 1);
  s.font_size = 10;
  s.row_space = 5;
  s.section_size = 3;
  s.forward_size = 4;
  s.want_fit = true;
  LabelLayout l = LayOutLabel({"x"}, s, m);
  // 10 (5,3,4) -> 9 (4,2,3) -> 8 (3,1,2) -> 8 (2,0,2) -> 8 (1,0,2) -> 8 (0,0,2)
  EXPECT_EQ(m.sizes_used, (std::vector<int>{10, 9, 8, 8, 8, 8}));
  EXPECT_EQ(l.passes, 6);
  EXPECT_EQ(l.font_size, 8);
  EXPECT_EQ(l.row_space, 0);
  EXPECT_EQ(l.section_size, 0);
  EXPECT_EQ(l.forward_size, 2);
  EXPECT_FALSE(l.fits);
  EXPECT_EQ(l.texts, (Texts{{2, 0, "x"}}));
}

TEST(LabelLayout, FontBelowTheMinimumIsNeverShrunk) {
  FixedMeasure m;
  LabelSettings s = Box(200, 1);
  s.font_size = 7;
  s.row_space = 3;
  s.want_fit = true;
  LabelLayout l = LayOutLabel({"x"}, s, m);
  EXPECT_EQ(l.passes, 1);
  EXPECT_EQ(l.font_size, 7);
  EXPECT_EQ(l.row_space, 3);
}

TEST(LabelModel, NegativeSpacingsAreIgnored) {
  LabelModel model;
  EXPECT_TRUE(model.SetRowSpace(5));
  EXPECT_FALSE(model.SetRowSpace(-1));
  EXPECT_EQ(model.RowSpace(), 5);
  EXPECT_FALSE(model.SetSectionSize(-3));
  EXPECT_EQ(model.SectionSize(), 0);
  EXPECT_TRUE(model.SetForwardSize(0));
  // Switching shrink-to-fit off cannot change the picture; on can.
  EXPECT_FALSE(model.SetWantFit(false));
  EXPECT_TRUE(model.SetWantFit(true));
  model.AddLine("a");
  model.AddLine("b");
  model.ClearLines();
  model.AddLine("only");
  EXPECT_EQ(model.Lines(), (std::vector<std::string>{"only"}));
  LabelSettings s = model.Settings(30, 40, 12);
  EXPECT_EQ(s.row_space, 5);
  EXPECT_TRUE(s.want_fit);
  EXPECT_EQ(s.font_size, 12);
}
