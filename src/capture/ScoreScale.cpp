#include "capture/ScoreScale.h"

#include <algorithm>
#include <cmath>

namespace mivex {
namespace {

struct Knot {
  double x;  // -log10(rate)
  double score;
};

constexpr Knot kLowerEnd{-2, 0};
constexpr Knot kUpperEnd{10, 2000};
constexpr Knot kInner[] = {{0, 22}, {1, 34}, {2, 47}, {3, 63}};
constexpr int kInnerCount = 4;

// Rounds to the nearest integer, halves to even (the default floating rounding mode).
double RoundHalfEven(double v) { return std::nearbyint(v); }

}  // namespace

std::int32_t FARToScore(double far) { return DecadesToScore(-std::log10(far)); }

std::int32_t DecadesToScore(double x) {
  if (std::isnan(x)) x = kLowerEnd.x;
  x = std::clamp(x, kLowerEnd.x, kUpperEnd.x);
  Knot lo = kLowerEnd, hi = kInner[0];
  for (int i = 0; i < kInnerCount; ++i) {
    if (kInner[i].x <= x) {
      lo = kInner[i];
      hi = i + 1 < kInnerCount ? kInner[i + 1] : kUpperEnd;
    }
  }
  return static_cast<std::int32_t>(RoundHalfEven((x - lo.x) * (hi.score - lo.score) / (hi.x - lo.x) + lo.score));
}

double ScoreToFAR(std::int32_t score) {
  const double s = std::clamp<std::int32_t>(score, 0, 2000);
  Knot lo = kLowerEnd, hi = kInner[0];
  for (int i = 0; i < kInnerCount; ++i) {
    if (kInner[i].score <= s) {
      lo = kInner[i];
      hi = i + 1 < kInnerCount ? kInner[i + 1] : kUpperEnd;
    }
  }
  const double x = lo.x + (hi.x - lo.x) * (s - lo.score) / (hi.score - lo.score);
  double far = std::pow(10.0, -x);
  // As many decimal places as the rate's order of magnitude needs (one more than
  // the whole part of x), done by repeated scaling so the result is reproducible.
  const int n = static_cast<int>(std::trunc(x)) + (x != 0 ? 1 : 0);
  if (n > 0) {
    for (int i = 0; i < n; ++i) far *= 10;
    far = RoundHalfEven(far);
    for (int i = 0; i < n; ++i) far /= 10;
  } else if (n == 0) {
    far = RoundHalfEven(far);
  } else {
    for (int i = 0; i < -n; ++i) far /= 10;
    far = RoundHalfEven(far);
    for (int i = 0; i < -n; ++i) far *= 10;
  }
  return far;
}

}  // namespace mivex
