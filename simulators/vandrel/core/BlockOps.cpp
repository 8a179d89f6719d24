#include "BlockOps.h"

#include <cmath>
#include <numbers>

#include "VandrelParams.h"

namespace mivex::vandrel {

FloatPlane BoxSmooth(const FloatPlane& in, int radius) {
  // Separable running sums with per-position counts.
  FloatPlane tmp(in.width, in.height), out(in.width, in.height);
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      int n = 0;
      for (int k = std::max(0, x - radius); k <= std::min(in.width - 1, x + radius); ++k, ++n) s += in.at(k, y);
      tmp.at(x, y) = s / static_cast<float>(n);
    }
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      int n = 0;
      for (int k = std::max(0, y - radius); k <= std::min(in.height - 1, y + radius); ++k, ++n) s += tmp.at(x, k);
      out.at(x, y) = s / static_cast<float>(n);
    }
  return out;
}

float SampleBilinear(const FloatPlane& blocks, int x, int y) {
  constexpr int b = params::kBlock;
  const float fx = (static_cast<float>(x) + 0.5f) / b - 0.5f, fy = (static_cast<float>(y) + 0.5f) / b - 0.5f;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const float ax = fx - static_cast<float>(x0), ay = fy - static_cast<float>(y0);
  const float v00 = blocks.clamped(x0, y0), v10 = blocks.clamped(x0 + 1, y0);
  const float v01 = blocks.clamped(x0, y0 + 1), v11 = blocks.clamped(x0 + 1, y0 + 1);
  return (v00 * (1 - ax) + v10 * ax) * (1 - ay) + (v01 * (1 - ax) + v11 * ax) * ay;
}

float WrapHalfTurn(float a) {
  constexpr float pi = std::numbers::pi_v<float>;
  a = std::fmod(a, pi);
  if (a < 0) a += pi;
  if (a >= pi) a -= pi;
  return a;
}

}  // namespace mivex::vandrel
