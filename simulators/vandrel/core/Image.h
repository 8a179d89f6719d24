#pragma once
// Planar images and block fields used between the extraction stages.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "PlaneMemory.h"

namespace mivex::vandrel {

template <typename T>
struct Plane {
  int width = 0;
  int height = 0;
  std::vector<T, PlaneAllocator<T>> data;

  Plane() = default;
  Plane(int w, int h, T fill = T{}) : width(w), height(h), data(static_cast<std::size_t>(w) * h, fill) {}
  T& at(int x, int y) { return data[static_cast<std::size_t>(y) * width + x]; }
  const T& at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
  // Nearest pixel inside the plane (edges repeat).
  const T& clamped(int x, int y) const {
    return at(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1));
  }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

using FloatPlane = Plane<float>;
using BytePlane = Plane<std::uint8_t>;

// A grey image as the caller handed it: one byte per pixel, rows one after another.
struct GrayView {
  int width;
  int height;
  const std::uint8_t* pixels;
  std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

}  // namespace mivex::vandrel
