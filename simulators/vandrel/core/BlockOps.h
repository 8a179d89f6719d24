#pragma once
// Small operations on block fields shared by the stages.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Image.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

// Mean over a (2r+1) x (2r+1) window, shrinking at the edges.
FloatPlane BoxSmooth(const FloatPlane& in, int radius);

// Where pixel p of a row (or column) lies between the centres of a field's `blocks`
// blocks along it: the blocks on either side (clamped to the field) and the share of
// the second.
struct BlockPlace {
  int first, second;
  float share;
};
inline BlockPlace PlaceBetweenBlocks(int p, int blocks) {
  constexpr int b = params::kBlock;
  const float f = (static_cast<float>(p) + 0.5f) / b - 0.5f;
  const int i = static_cast<int>(std::floor(f));
  return {std::clamp(i, 0, blocks - 1), std::clamp(i + 1, 0, blocks - 1), f - static_cast<float>(i)};
}

// Value of a block field at the pixel placed at (x, y) between block centres,
// interpolated.
inline float SampleBilinear(const FloatPlane& blocks, BlockPlace x, BlockPlace y) {
  const float ax = x.share, ay = y.share;
  const float v00 = blocks.at(x.first, y.first), v10 = blocks.at(x.second, y.first);
  const float v01 = blocks.at(x.first, y.second), v11 = blocks.at(x.second, y.second);
  return (v00 * (1 - ax) + v10 * ax) * (1 - ay) + (v01 * (1 - ax) + v11 * ax) * ay;
}

// Angle brought into [0, pi).
float WrapHalfTurn(float a);
// Angle brought into (-pi, pi]. Inline: matching wraps every neighbour's direction.
inline float WrapTurn(float a) {
  constexpr float pi = std::numbers::pi_v<float>;
  // Differences of two wrapped angles need one step; anything else the general one.
  if (a > pi && a <= 3 * pi) return a - 2 * pi;
  if (a <= -pi && a > -3 * pi) return a + 2 * pi;
  if (a > -pi && a <= pi) return a;
  a = std::fmod(a, 2 * pi);
  if (a <= -pi) a += 2 * pi;
  if (a > pi) a -= 2 * pi;
  return a;
}

}  // namespace mivex::vandrel
