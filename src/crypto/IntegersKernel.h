#pragma once
// Digit-array routines under TInteger: little-endian arrays of 32-bit digits, 64-bit
// intermediate products. Sizes are digit counts; unless noted, output arrays may be the
// same as an input array but must not overlap it partially.
#include <cstdint>
#include <vector>

namespace mivex::hit {

using Digit = std::uint32_t;
using Wide = std::uint64_t;
inline constexpr int DigitBits = 32;

// r := a + b (n digits each); returns the carry out.
Digit AddN(Digit* r, const Digit* a, const Digit* b, std::int32_t n);
// r := a + d (n digits); returns the carry out.
Digit Add1(Digit* r, const Digit* a, std::int32_t n, Digit d);
// r := a - b; returns the borrow out.
Digit SubN(Digit* r, const Digit* a, const Digit* b, std::int32_t n);
Digit Sub1(Digit* r, const Digit* a, std::int32_t n, Digit d);
// r := a * d; returns the high digit.
Digit Mul1(Digit* r, const Digit* a, std::int32_t n, Digit d);
// r += a * d over n digits; returns the digit carried out of r[n-1].
Digit AddMul1(Digit* r, const Digit* a, std::int32_t n, Digit d);
// r -= a * d over n digits; returns the digit borrowed out of r[n-1].
Digit SubMul1(Digit* r, const Digit* a, std::int32_t n, Digit d);
// Compares two n-digit numbers: -1, 0 or 1.
int CompareN(const Digit* a, const Digit* b, std::int32_t n);
// r := a << bits and a >> bits with 0 < bits < 32; return the bits shifted out.
Digit ShlN(Digit* r, const Digit* a, std::int32_t n, unsigned bits);
Digit ShrN(Digit* r, const Digit* a, std::int32_t n, unsigned bits);
// Digits in use once leading zero digits are dropped.
std::int32_t NormalizedSize(const Digit* a, std::int32_t n);

// q := a div d (n digits, q may be a); returns a mod d. d != 0.
Digit DivRem1(Digit* q, const Digit* a, std::int32_t n, Digit d);
// a mod d without a quotient.
Digit Mod1(const Digit* a, std::int32_t n, Digit d);
// Long division of a (na digits) by b (nb >= 2 digits, top digit non-zero, na >= nb):
// q receives na - nb + 1 digits, r receives nb digits. q and r must not overlap a or b.
void DivRem(Digit* q, Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb);

// r := a * b with na >= nb >= 1; r receives na + nb digits and must not overlap a or b.
// Schoolbook below the Karatsuba thresholds, Karatsuba above them.
void Mul(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb);
// r := a * a; r receives 2n digits and must not overlap a.
void Sqr(Digit* r, const Digit* a, std::int32_t n);

// Karatsuba switch-over points used by Mul and Sqr.
void SetKaratsubaThresholds(std::int32_t sqr, std::int32_t mul);

// Working space of MontMul for an n-digit modulus.
struct TMontScratch {
  explicit TMontScratch(std::int32_t n);
  std::vector<Wide> acc;  // column accumulators of the vector kernel
  std::vector<Digit> t;   // running row of the portable kernel
};
// Montgomery multiplication modulo an odd n-digit modulus N with R = 2^(32n):
// r := a * b / R mod N for a, b < N. `n0` is -N^-1 mod 2^32. r may be a or b.
void MontMul(Digit* r, const Digit* a, const Digit* b, const Digit* N, std::int32_t n, Digit n0,
             TMontScratch& scratch);
// -N^-1 mod 2^32 for odd N[0].
Digit MontInverse(Digit n0);

// Vector kernels (x86 with AVX2, chosen at run time); the portable kernels serve everywhere else.
bool VectorKernelsDetected();
// Forces the portable kernels (for comparing both paths in tests); returns the old setting.
bool UsePortableKernels(bool portable);

}  // namespace mivex::hit
