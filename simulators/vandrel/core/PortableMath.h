#pragma once
// Elementary functions that give the same bits on every build of the engine.
//
// The C library's sin, cos, exp, atan2 and pow are not correctly rounded, and each
// platform's library errs in its own last bits: the native build (glibc) and the
// Windows builds (the MinGW runtime) would extract other minutiae from the same image
// now and then, and score some pairs differently. These use nothing but IEEE double
// arithmetic (+ - * / and sqrt, exactly rounded everywhere once x87 excess precision
// and fused multiply-adds are off), so their results are one function of their
// arguments. Their error is below 1e-15 relative; the float forms round that to the
// nearest float, which is the correctly rounded result almost always.
namespace mivex::vandrel::pm {

double Sin(double x);
double Cos(double x);
void SinCos(double x, double& s, double& c);
double Exp(double x);
// Natural logarithm of x > 0 (NaN for x < 0 or NaN, -infinity for 0).
double Log(double x);
// x^y for x > 0; 0 for x == 0 and y > 0.
double Pow(double x, double y);
double Atan2(double y, double x);
double Hypot(double x, double y);

inline float Sin(float x) { return static_cast<float>(Sin(static_cast<double>(x))); }
inline float Cos(float x) { return static_cast<float>(Cos(static_cast<double>(x))); }
inline void SinCos(float x, float& s, float& c) {
  double sd, cd;
  SinCos(static_cast<double>(x), sd, cd);
  s = static_cast<float>(sd);
  c = static_cast<float>(cd);
}
inline float Exp(float x) { return static_cast<float>(Exp(static_cast<double>(x))); }
inline float Pow(float x, float y) { return static_cast<float>(Pow(static_cast<double>(x), static_cast<double>(y))); }
inline float Atan2(float y, float x) { return static_cast<float>(Atan2(static_cast<double>(y), static_cast<double>(x))); }
inline float Hypot(float x, float y) { return static_cast<float>(Hypot(static_cast<double>(x), static_cast<double>(y))); }

}  // namespace mivex::vandrel::pm
