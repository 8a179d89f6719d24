#pragma once
// Shape algorithms of the polygon buttons over a mask picture: the clickable area as
// column runs, and the bevelled hover picture.
#include <vector>

#include "ui/PixelGrid.h"

namespace mivex {

// One rectangle of a mask's area: column x, rows top .. bottom - 1.
struct ColumnRun {
  int x;
  int top;
  int bottom;
  bool operator==(const ColumnRun&) const = default;
};

// Scans the mask column by column, top to bottom. A run starts at a pixel that is not
// `transparent` and ends at the next transparent pixel of the column, or at the last row
// when none follows, so a run that reaches the bottom leaves the last row out. A run
// that would cover no row (it starts in the last row) adds nothing. Empty result: the
// mask has no area.
std::vector<ColumnRun> ColumnRuns(const PixelGrid& mask, TPixel transparent);

// The hover picture of a mask: a copy in which the first non-transparent pixel met along
// each down-right diagonal (entering from the top and left edges) is painted `light` and
// the first met along each up-left diagonal (entering from the bottom and right edges)
// is painted `dark`; a hit paints `depth` pixels along its diagonal.
PixelGrid MakeBeveled(const PixelGrid& picture, TPixel transparent, TPixel light, TPixel dark, int depth = 1);

// A copy with every pixel that is not `transparent` painted `colour`.
PixelGrid FillShape(const PixelGrid& picture, TPixel transparent, TPixel colour);

}  // namespace mivex
