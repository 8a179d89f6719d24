#include "ui/PixelGrid.h"

#include <algorithm>

namespace mivex {

PixelGrid::PixelGrid(int width, int height, TPixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill) {}

TPixel PixelGrid::At(int x, int y, TPixel outside) const {
  if (!Contains(x, y)) return outside;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void PixelGrid::Set(int x, int y, TPixel colour) {
  if (!Contains(x, y)) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = colour;
}

}  // namespace mivex
