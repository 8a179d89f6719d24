#pragma once
// The coarse orientation grid carried in records: at most 32 x 32 cells, each the
// mean ridge direction in 120ths of a half turn (0..119), or empty off the print.
#include <cstdint>
#include <vector>

#include "ForegroundMask.h"
#include "OrientationField.h"

namespace mivex::vandrel {

struct OrientationGrid {
  int width = 0;
  int height = 0;
  int cellSize = 0;  // pixels
  std::vector<std::uint8_t> cells;  // row-major, 255 = empty
};

OrientationGrid BuildOrientationGrid(const OrientationField& field, const ForegroundMask& mask);

}  // namespace mivex::vandrel
