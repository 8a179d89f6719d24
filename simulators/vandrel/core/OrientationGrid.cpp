#include "OrientationGrid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

OrientationGrid BuildOrientationGrid(const OrientationField& field, const ForegroundMask& mask) {
  using namespace params;
  const int blocksW = field.angle.width, blocksH = field.angle.height;
  // Cells are whole blocks, large enough that 32 of them span the image.
  int per = kGridCellMin / kBlock;
  while ((blocksW + per - 1) / per > 32 || (blocksH + per - 1) / per > 32) ++per;
  OrientationGrid g;
  g.cellSize = per * kBlock;
  g.width = (blocksW + per - 1) / per;
  g.height = (blocksH + per - 1) / per;
  g.cells.assign(static_cast<std::size_t>(g.width) * g.height, 255);
  for (int cy = 0; cy < g.height; ++cy)
    for (int cx = 0; cx < g.width; ++cx) {
      float c = 0, s = 0;
      int inside = 0, total = 0;
      for (int by = cy * per; by < std::min((cy + 1) * per, blocksH); ++by)
        for (int bx = cx * per; bx < std::min((cx + 1) * per, blocksW); ++bx) {
          ++total;
          if (!mask.blocks.at(bx, by)) continue;
          ++inside;
          c += pm::Cos(2 * field.angle.at(bx, by)) * field.coherence.at(bx, by);
          s += pm::Sin(2 * field.angle.at(bx, by)) * field.coherence.at(bx, by);
        }
      if (2 * inside < total || (c == 0 && s == 0)) continue;
      const float theta = WrapHalfTurn(0.5f * pm::Atan2(s, c));
      g.cells[static_cast<std::size_t>(cy) * g.width + cx] =
          static_cast<std::uint8_t>(static_cast<int>(std::lround(theta / std::numbers::pi_v<float> * 120)) % 120);
    }
  return g;
}

}  // namespace mivex::vandrel
