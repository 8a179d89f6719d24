#include "PortableMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mivex::vandrel::pm {
namespace {

// pi/2 in three parts (Cody and Waite): the first two have their low bits zero, so
// n times them is exact for every n an angle of the engine can reach (|n| < 2^20).
constexpr double kHalfPi1 = 1.57079632673412561417e+00;
constexpr double kHalfPi2 = 6.07710050630396597660e-11;
constexpr double kHalfPi3 = 2.02226624879595063154e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kPi = 3.14159265358979311600e+00;
constexpr double kPiLow = 1.22464679914735317720e-16;  // pi - kPi
constexpr double kHalfPi = 1.57079632679489655800e+00;
constexpr double kHalfPiLow = 6.12323399573676588613e-17;
constexpr double kSixthPi = 5.23598775598298815658e-01;
constexpr double kSqrt3 = 1.73205080756887719318e+00;
constexpr double kTanTwelfthPi = 2.67949192431122695700e-01;  // tan(pi/12)
// ln 2 in two parts: the high one has its low bits zero, so k times it is exact.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 7.07106781186547524401e-01;

// Polynomials on |r| <= pi/4: the Taylor series cut where the next term is below
// 1e-19 of the result.
double SinPoly(double r) {
  const double z = r * r;
  double p = 1.0 / 355687428096000.0;     // 1/17!
  p = p * z - 1.0 / 1307674368000.0;      // 1/15!
  p = p * z + 1.0 / 6227020800.0;         // 1/13!
  p = p * z - 1.0 / 39916800.0;           // 1/11!
  p = p * z + 1.0 / 362880.0;             // 1/9!
  p = p * z - 1.0 / 5040.0;               // 1/7!
  p = p * z + 1.0 / 120.0;                // 1/5!
  p = p * z - 1.0 / 6.0;                  // 1/3!
  return r + r * z * p;
}

double CosPoly(double r) {
  const double z = r * r;
  double p = -1.0 / 6402373705728000.0;  // 1/18!
  p = p * z + 1.0 / 20922789888000.0;     // 1/16!
  p = p * z - 1.0 / 87178291200.0;        // 1/14!
  p = p * z + 1.0 / 479001600.0;          // 1/12!
  p = p * z - 1.0 / 3628800.0;            // 1/10!
  p = p * z + 1.0 / 40320.0;              // 1/8!
  p = p * z - 1.0 / 720.0;                // 1/6!
  p = p * z + 1.0 / 24.0;                 // 1/4!
  // 1 - z/2 + z^2 p, with 1 - z/2 formed so that its rounding error stays small.
  const double half = 0.5 * z;
  const double w = 1.0 - half;
  return w + (((1.0 - w) - half) + z * z * p);
}

// x = n pi/2 + r with |r| <= pi/4 (a little more for huge x, where the engine never is).
double Reduce(double x, long long& n) {
  const double k = std::nearbyint(x * kTwoOverPi);
  n = static_cast<long long>(k);
  return ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
}

// atan(t) for 0 <= t <= tan(pi/12): its series, cut below 1e-19.
double AtanSmall(double t) {
  const double z = t * t;
  double p = 0;
  for (int k = 31; k >= 3; k -= 2) p = p * z + ((k & 2) ? -1.0 : 1.0) / k;
  return t + t * z * p;
}

// atan(t) for 0 <= t <= 1.
double AtanUnit(double t) {
  if (t <= kTanTwelfthPi) return AtanSmall(t);
  // atan(t) = pi/6 + atan((t sqrt3 - 1) / (sqrt3 + t)), and the argument is then small.
  return kSixthPi + AtanSmall((t * kSqrt3 - 1.0) / (kSqrt3 + t));
}

}  // namespace

void SinCos(double x, double& s, double& c) {
  if (!std::isfinite(x)) {
    s = c = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  long long n = 0;
  const double r = Reduce(x, n);
  const double sr = SinPoly(r), cr = CosPoly(r);
  switch (n & 3) {
    case 0: s = sr, c = cr; break;
    case 1: s = cr, c = -sr; break;
    case 2: s = -sr, c = -cr; break;
    default: s = -cr, c = sr; break;
  }
}

double Sin(double x) {
  double s, c;
  SinCos(x, s, c);
  return s;
}

double Cos(double x) {
  double s, c;
  SinCos(x, s, c);
  return c;
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.78) return std::numeric_limits<double>::infinity();
  if (x < -745.13) return 0.0;
  const double k = std::nearbyint(x * kInvLn2);
  const double r = (x - k * kLn2High) - k * kLn2Low;  // |r| <= ln2/2
  // Taylor series of e^r to r^14: the next term is below 1e-19.
  double p = 1.0 / 87178291200.0;  // 1/14!
  p = p * r + 1.0 / 6227020800.0;  // 1/13!
  p = p * r + 1.0 / 479001600.0;   // 1/12!
  p = p * r + 1.0 / 39916800.0;    // 1/11!
  p = p * r + 1.0 / 3628800.0;     // 1/10!
  p = p * r + 1.0 / 362880.0;      // 1/9!
  p = p * r + 1.0 / 40320.0;       // 1/8!
  p = p * r + 1.0 / 5040.0;        // 1/7!
  p = p * r + 1.0 / 720.0;         // 1/6!
  p = p * r + 1.0 / 120.0;         // 1/5!
  p = p * r + 1.0 / 24.0;          // 1/4!
  p = p * r + 1.0 / 6.0;           // 1/3!
  p = p * r + 0.5;
  return std::ldexp(1.0 + (r + r * r * p), static_cast<int>(k));
}

double Log(double x) {
  if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (std::isinf(x)) return x;
  int e = 0;
  double m = std::frexp(x, &e);  // x = m 2^e, 0.5 <= m < 1 (exact)
  if (m < kSqrtHalf) {
    m *= 2;
    --e;
  }
  // log m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| <= 0.1716: its series to s^25.
  const double f = m - 1.0;
  const double s = f / (m + 1.0);
  const double z = s * s;
  double p = 0;
  for (int k = 25; k >= 3; k -= 2) p = p * z + 1.0 / k;
  const double logm = 2 * s + 2 * s * z * p;
  return e * kLn2High + (logm + e * kLn2Low);
}

double Pow(double x, double y) {
  if (y == 0) return 1.0;
  if (x == 0) return y > 0 ? 0.0 : std::numeric_limits<double>::infinity();
  if (x == 1) return 1.0;
  return Exp(y * Log(x));
}

double Atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
  if (y == 0) return std::signbit(x) ? std::copysign(kPi + kPiLow, y) : y;
  if (x == 0) return std::copysign(kHalfPi + kHalfPiLow, y);
  const double ax = std::fabs(x), ay = std::fabs(y);
  double a;  // atan(ay / ax) in [0, pi/2]
  if (std::isinf(ax) || std::isinf(ay)) {
    a = std::isinf(ay) ? (std::isinf(ax) ? kHalfPi / 2 : kHalfPi + kHalfPiLow) : 0.0;
  } else if (ay <= ax) {
    a = AtanUnit(ay / ax);
  } else {
    a = (kHalfPi - AtanUnit(ax / ay)) + kHalfPiLow;
  }
  if (std::signbit(x)) a = (kPi - a) + kPiLow;
  return std::copysign(a, y);
}

double Hypot(double x, double y) {
  x = std::fabs(x);
  y = std::fabs(y);
  if (std::isinf(x) || std::isinf(y)) return std::numeric_limits<double>::infinity();
  const double big = std::max(x, y);
  if (big == 0 || std::isnan(big)) return big + std::min(x, y);
  // Scaled by a power of two (exact) so that the squares neither overflow nor vanish.
  int e = 0;
  std::frexp(big, &e);
  const double sx = std::ldexp(x, -e), sy = std::ldexp(y, -e);
  return std::ldexp(std::sqrt(sx * sx + sy * sy), e);
}

}  // namespace mivex::vandrel::pm
