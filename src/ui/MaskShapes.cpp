#include "ui/MaskShapes.h"

namespace mivex {

std::vector<ColumnRun> ColumnRuns(const PixelGrid& mask, TPixel transparent) {
  std::vector<ColumnRun> runs;
  const int w = mask.Width(), h = mask.Height();
  for (int x = 0; x < w; ++x) {
    int y = 0;
    while (y < h) {
      if (mask.At(x, y) == transparent) {
        ++y;
        continue;
      }
      const int top = y;
      while (y < h && mask.At(x, y) != transparent) ++y;
      // No transparent pixel below: the run ends at the last row, which stays outside.
      const int bottom = y < h ? y : h - 1;
      if (bottom > top) runs.push_back(ColumnRun{x, top, bottom});
    }
  }
  return runs;
}

namespace {

// Walks from (x, y) by (step, step) until it leaves the picture; paints `depth` pixels
// along the walk from the first pixel that is not transparent.
void PaintFirstHit(PixelGrid& picture, int x, int y, int step, TPixel transparent, TPixel colour, int depth) {
  while (picture.Contains(x, y)) {
    if (picture.At(x, y) != transparent) {
      for (int k = 0; k < depth; ++k) picture.Set(x + k * step, y + k * step, colour);
      return;
    }
    x += step;
    y += step;
  }
}

}  // namespace

PixelGrid MakeBeveled(const PixelGrid& picture, TPixel transparent, TPixel light, TPixel dark, int depth) {
  PixelGrid out = picture;
  const int w = out.Width(), h = out.Height();
  if (depth < 1) depth = 1;
  for (int i = 0; i < h; ++i) {
    PaintFirstHit(out, 0, i, +1, transparent, light, depth);
    PaintFirstHit(out, w - 1, h - 1 - i, -1, transparent, dark, depth);
  }
  for (int j = 0; j < w; ++j) {
    PaintFirstHit(out, j, 0, +1, transparent, light, depth);
    PaintFirstHit(out, w - 1 - j, h - 1, -1, transparent, dark, depth);
  }
  return out;
}

PixelGrid FillShape(const PixelGrid& picture, TPixel transparent, TPixel colour) {
  PixelGrid out = picture;
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x)
      if (out.At(x, y) != transparent) out.Set(x, y, colour);
  return out;
}

}  // namespace mivex
