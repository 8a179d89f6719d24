#include <gtest/gtest.h>

#include "ui/MaskShapes.h"

using namespace mivex;

namespace {
constexpr TPixel kWhite = PixelRGB(255, 255, 255);
constexpr TPixel kGrey = PixelRGB(95, 95, 95);
constexpr TPixel kLight = PixelRGB(224, 224, 224);
constexpr TPixel kDark = PixelRGB(64, 64, 64);

PixelGrid Block(int w, int h, int x0, int y0, int x1, int y1) {
  PixelGrid g(w, h, kWhite);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) g.Set(x, y, kGrey);
  return g;
}
}  // namespace

TEST(ColumnRuns, MaskWithoutShapeHasNoArea) {
  EXPECT_TRUE(ColumnRuns(PixelGrid(10, 10, kWhite), kWhite).empty());
  EXPECT_TRUE(ColumnRuns(PixelGrid(), kWhite).empty());
  // Any colour other than the transparent one counts, also near-white.
  PixelGrid g(3, 3, kWhite);
  g.Set(1, 1, PixelRGB(255, 255, 254));
  EXPECT_EQ(ColumnRuns(g, kWhite), (std::vector<ColumnRun>{{1, 1, 2}}));
}

TEST(ColumnRuns, ColumnReachingTheBottomLeavesTheLastRowOut) {
  PixelGrid g = Block(3, 5, 1, 2, 1, 4);  // column 1, rows 2..4, 4 is the last row
  EXPECT_EQ(ColumnRuns(g, kWhite), (std::vector<ColumnRun>{{1, 2, 4}}));
  // A run that starts in the last row covers nothing.
  PixelGrid only_last = Block(3, 5, 0, 4, 2, 4);
  EXPECT_TRUE(ColumnRuns(only_last, kWhite).empty());
  // A full mask loses its bottom row only.
  PixelGrid full(2, 3, kGrey);
  EXPECT_EQ(ColumnRuns(full, kWhite), (std::vector<ColumnRun>{{0, 0, 2}, {1, 0, 2}}));
}

TEST(ColumnRuns, SeveralRunsPerColumnInScanOrder) {
  PixelGrid g(2, 8, kWhite);
  for (int y : {0, 1, 4, 5, 6}) g.Set(0, y, kGrey);
  g.Set(1, 3, kGrey);
  g.Set(1, 7, kGrey);  // bottom row alone: nothing
  EXPECT_EQ(ColumnRuns(g, kWhite), (std::vector<ColumnRun>{{0, 0, 2}, {0, 4, 7}, {1, 3, 4}}));
}

TEST(MakeBeveled, LightUpperLeftAndDarkLowerRightEdges) {
  PixelGrid g = Block(6, 6, 1, 1, 4, 4);
  PixelGrid b = MakeBeveled(g, kWhite, kLight, kDark);
  ASSERT_EQ(b.Width(), 6);
  ASSERT_EQ(b.Height(), 6);
  EXPECT_EQ(b.At(1, 1), kLight);
  EXPECT_EQ(b.At(2, 1), kLight);  // top face
  EXPECT_EQ(b.At(1, 2), kLight);  // left face
  EXPECT_EQ(b.At(1, 3), kLight);
  EXPECT_EQ(b.At(4, 4), kDark);
  EXPECT_EQ(b.At(3, 4), kDark);   // bottom face
  EXPECT_EQ(b.At(4, 3), kDark);   // right face
  EXPECT_EQ(b.At(2, 2), kGrey);   // inside untouched
  EXPECT_EQ(b.At(3, 3), kGrey);
  // Corners met by both kinds of walk: the column walks run last.
  EXPECT_EQ(b.At(4, 1), kLight);
  EXPECT_EQ(b.At(1, 4), kDark);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(b.At(0, i), kWhite);
    EXPECT_EQ(b.At(5, i), kWhite);
    EXPECT_EQ(b.At(i, 0), kWhite);
    EXPECT_EQ(b.At(i, 5), kWhite);
  }
  // The source picture is not changed.
  EXPECT_EQ(g.At(1, 1), kGrey);
}

TEST(MakeBeveled, DepthPaintsAlongTheDiagonalAndStaysInside) {
  PixelGrid g = Block(8, 8, 1, 1, 6, 6);
  PixelGrid b = MakeBeveled(g, kWhite, kLight, kDark, 2);
  EXPECT_EQ(b.At(1, 1), kLight);
  EXPECT_EQ(b.At(2, 2), kLight);
  EXPECT_EQ(b.At(6, 6), kDark);
  EXPECT_EQ(b.At(5, 5), kDark);
  EXPECT_EQ(b.At(3, 3), kGrey);
  // A shape touching the border: painting past the edge is simply skipped.
  PixelGrid edge(3, 3, kGrey);
  PixelGrid e = MakeBeveled(edge, kWhite, kLight, kDark, 5);
  EXPECT_EQ(e.Width(), 3);
  EXPECT_EQ(e.At(2, 2), kDark);
  EXPECT_EQ(e.At(0, 0), kDark);  // the later dark walk paints up the whole diagonal
  EXPECT_EQ(e.At(2, 0), kLight);
}

TEST(MakeBeveled, SelectedCopyIsFilledBeforeBevelling) {
  PixelGrid g = Block(5, 5, 1, 1, 3, 3);
  const TPixel blue = PixelRGB(0, 0, 255);
  PixelGrid filled = FillShape(g, kWhite, blue);
  EXPECT_EQ(filled.At(2, 2), blue);
  EXPECT_EQ(filled.At(0, 0), kWhite);
  PixelGrid b = MakeBeveled(filled, kWhite, kLight, kDark);
  EXPECT_EQ(b.At(2, 2), blue);
  EXPECT_EQ(b.At(1, 1), kLight);
}
