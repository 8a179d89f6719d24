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

float WrapHalfTurn(float a) {
  constexpr float pi = std::numbers::pi_v<float>;
  a = std::fmod(a, pi);
  if (a < 0) a += pi;
  if (a >= pi) a -= pi;
  return a;
}

}  // namespace mivex::vandrel
