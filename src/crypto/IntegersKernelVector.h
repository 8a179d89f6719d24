#pragma once
// AVX2 versions of the hot digit loops. They keep the 32-bit digits and 64-bit products of
// the portable code but defer carries: each product's low half is added to a 64-bit column
// accumulator `lo[k]` and its high half to `hi[k + 1]`, four products per instruction, and
// the carries are resolved once per column. Column sums cannot overflow for operands
// below 2^30 digits.
#include <cstdint>

#include "crypto/IntegersKernel.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define MIVEX_HIT_VECTOR 1
#else
#define MIVEX_HIT_VECTOR 0
#endif

#if MIVEX_HIT_VECTOR
namespace mivex::hit::vec {

// True when the processor and the build support the vector kernels.
bool Available();

// Accumulator words the routines below need in `acc`.
inline std::int32_t MulScratchSize(std::int32_t na, std::int32_t nb) { return 2 * (na + nb + 1); }

// r := a * b (na + nb digits), any na, nb >= 1.
void MulBasecase(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb, Wide* acc);
// r := a * a (2n digits).
void SqrBasecase(Digit* r, const Digit* a, std::int32_t n, Wide* acc);
// Montgomery product r := a * b / 2^(32n) mod N (see hit::MontMul); acc holds 2 * (2n + 1) words.
void MontMul(Digit* r, const Digit* a, const Digit* b, const Digit* N, std::int32_t n, Digit n0,
             Wide* acc);

}  // namespace mivex::hit::vec
#endif
