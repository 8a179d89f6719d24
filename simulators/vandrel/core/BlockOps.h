#pragma once
// Small operations on block fields shared by the stages.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Image.h"
#include "Kernels.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

// Mean over a (2r+1) x (2r+1) window, shrinking at the edges.
FloatPlane BoxSmooth(const FloatPlane& in, int radius);

// Adds one image row's values to the running sums of its blocks (one float per block
// of the row), pixel after pixel from the left: the very sums, bit for bit, that adding
// every pixel to its block's sum in memory gives, with each sum held in a register
// while its block's pixels of the row go in. The vector form sums eight blocks side by
// side, each in its own lane and in the same order.
void AddRowToBlocks(const float* values, int width, float* blockSums, Kernel kernel = FastestKernel());

// Rounded to the nearest integer, halves away from zero, as std::lround rounds, but
// inline: the C library's routine costs a call for every sample of a ridge profile.
// Exact: a float's part after the point is itself a float.
inline int RoundToInt(float v) {
  const int whole = static_cast<int>(v);
  const float rest = v - static_cast<float>(whole);
  return whole + (rest >= 0.5f) - (rest <= -0.5f);
}

// Where pixel p of a row (or column) lies between the centres of a field's `blocks`
// blocks along it: the blocks on either side (clamped to the field) and the share of
// the second, for interpolation between block values.
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
