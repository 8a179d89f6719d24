#pragma once
// Small operations on block fields shared by the stages.
#include <cmath>
#include <numbers>

#include "Image.h"

namespace mivex::vandrel {

// Mean over a (2r+1) x (2r+1) window, shrinking at the edges.
FloatPlane BoxSmooth(const FloatPlane& in, int radius);

// Value of a block field at pixel (x, y), interpolated between block centres.
float SampleBilinear(const FloatPlane& blocks, int x, int y);

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
