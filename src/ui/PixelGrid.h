#pragma once
// A picture as a plain grid of colours, so the shape algorithms of the dialog look run
// and are tested without a window system.
#include <cstdint>
#include <vector>

namespace mivex {

// Colour value with red in the lowest byte (0x00BBGGRR), like TColor after system
// colours have been resolved.
using TPixel = std::uint32_t;

constexpr TPixel PixelRGB(unsigned r, unsigned g, unsigned b) {
  return static_cast<TPixel>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

class PixelGrid {
 public:
  PixelGrid() = default;
  PixelGrid(int width, int height, TPixel fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // Out-of-range reads give `outside`; out-of-range writes are ignored.
  TPixel At(int x, int y, TPixel outside = 0) const;
  void Set(int x, int y, TPixel colour);

  const std::vector<TPixel>& Pixels() const { return pixels_; }
  bool operator==(const PixelGrid& other) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<TPixel> pixels_;  // row by row, top row first
};

}  // namespace mivex
