#pragma once
// Smooth random field: random values on a square lattice, blended with a smooth step
// between lattice points. Used for slow variations of ridge spacing, skin condition,
// contact edges and background.
#include <cstdint>
#include <vector>

namespace mivex::ostrela {

class TNoiseField {
 public:
  // Covers [0, width) x [0, height) pixels with lattice cells of `spacing` pixels.
  TNoiseField(std::uint64_t seed, std::int32_t width, std::int32_t height, std::int32_t spacing);

  // Value at pixel (x, y) in Q16, within [-65536, 65536]; positions outside the area
  // take the nearest lattice cell.
  std::int32_t At(std::int32_t x, std::int32_t y) const;

 private:
  std::int32_t FSpacing;
  std::int32_t FColumns;
  std::int32_t FRows;
  std::vector<std::int32_t> FLattice;
  std::vector<std::int32_t> FWeights;  // smooth-step weight per offset within a cell, Q16
};

}  // namespace mivex::ostrela
