#include "crypto/IntegersKernelVector.h"

#include <algorithm>

#if MIVEX_HIT_VECTOR
#include <immintrin.h>

namespace mivex::hit::vec {

#define MIVEX_AVX2 __attribute__((target("avx2")))

namespace {

// lo[j] += low half of s * x[j]; hi[j] += high half (hi is already shifted one column up).
MIVEX_AVX2 inline void Row1(Wide* lo, Wide* hi, const Digit* x, Digit s, std::int32_t n) {
  const __m256i mask = _mm256_set1_epi64x(0xffffffffLL);
  const __m256i vs = _mm256_set1_epi64x(static_cast<long long>(s));
  std::int32_t j = 0;
  for (; j + 4 <= n; j += 4) {
    __m256i vx = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + j)));
    __m256i p = _mm256_mul_epu32(vs, vx);
    __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo + j));
    __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hi + j));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lo + j), _mm256_add_epi64(l, _mm256_and_si256(p, mask)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hi + j), _mm256_add_epi64(h, _mm256_srli_epi64(p, 32)));
  }
  for (; j < n; ++j) {
    Wide p = Wide(s) * x[j];
    lo[j] += static_cast<Digit>(p);
    hi[j] += p >> 32;
  }
}

// The same for two products per column: s * x[j] + t * y[j].
MIVEX_AVX2 inline void Row2(Wide* lo, Wide* hi, const Digit* x, Digit s, const Digit* y, Digit t,
                            std::int32_t n) {
  const __m256i mask = _mm256_set1_epi64x(0xffffffffLL);
  const __m256i vs = _mm256_set1_epi64x(static_cast<long long>(s));
  const __m256i vt = _mm256_set1_epi64x(static_cast<long long>(t));
  std::int32_t j = 0;
  for (; j + 4 <= n; j += 4) {
    __m256i vx = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + j)));
    __m256i vy = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + j)));
    __m256i p = _mm256_mul_epu32(vs, vx);
    __m256i q = _mm256_mul_epu32(vt, vy);
    __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo + j));
    __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hi + j));
    l = _mm256_add_epi64(l, _mm256_add_epi64(_mm256_and_si256(p, mask), _mm256_and_si256(q, mask)));
    h = _mm256_add_epi64(h, _mm256_add_epi64(_mm256_srli_epi64(p, 32), _mm256_srli_epi64(q, 32)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lo + j), l);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hi + j), h);
  }
  for (; j < n; ++j) {
    Wide p = Wide(s) * x[j], q = Wide(t) * y[j];
    lo[j] += Wide(static_cast<Digit>(p)) + static_cast<Digit>(q);
    hi[j] += (p >> 32) + (q >> 32);
  }
}

// Resolves the carries of columns [from, to) into r[0..to-from); returns the final carry.
inline Wide Resolve(Digit* r, const Wide* lo, const Wide* hi, std::int32_t from, std::int32_t to, Wide c) {
  for (std::int32_t k = from; k < to; ++k) {
    Wide v = lo[k] + hi[k] + c;
    r[k - from] = static_cast<Digit>(v);
    c = v >> 32;
  }
  return c;
}

}  // namespace

bool Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

MIVEX_AVX2 void MulBasecase(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb,
                            Wide* acc) {
  // Rows run along the longer operand so the vector loop is long.
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  const std::int32_t n = na + nb;
  Wide* lo = acc;
  Wide* hi = acc + n + 1;
  std::fill(acc, acc + 2 * (n + 1), Wide{0});
  for (std::int32_t i = 0; i < nb; ++i) Row1(lo + i, hi + i + 1, a, b[i], na);
  Resolve(r, lo, hi, 0, n, 0);
}

MIVEX_AVX2 void SqrBasecase(Digit* r, const Digit* a, std::int32_t n, Wide* acc) {
  const std::int32_t n2 = 2 * n;
  Wide* lo = acc;
  Wide* hi = acc + n2 + 1;
  std::fill(acc, acc + 2 * (n2 + 1), Wide{0});
  // Products below the diagonal once, then doubled, then the squares on the diagonal.
  for (std::int32_t i = 0; i + 1 < n; ++i) Row1(lo + 2 * i + 1, hi + 2 * i + 2, a + i + 1, a[i], n - 1 - i);
  for (std::int32_t k = 0; k <= n2; ++k) {
    lo[k] <<= 1;
    hi[k] <<= 1;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    Wide p = Wide(a[i]) * a[i];
    lo[2 * i] += static_cast<Digit>(p);
    hi[2 * i + 1] += p >> 32;
  }
  Resolve(r, lo, hi, 0, n2, 0);
}

MIVEX_AVX2 void MontMul(Digit* r, const Digit* a, const Digit* b, const Digit* N, std::int32_t n, Digit n0,
                        Wide* acc) {
  const std::int32_t n2 = 2 * n;
  Wide* lo = acc;
  Wide* hi = acc + n2 + 1;
  std::fill(acc, acc + 2 * (n2 + 1), Wide{0});
  // Multiplication and reduction interleaved row by row. Column i is complete once row i
  // has added a[i] * b[0]; m then clears its low digit and the carry moves to column i + 1.
  Wide c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const Wide p0 = Wide(a[i]) * b[0];
    Wide v = lo[i] + hi[i] + c + static_cast<Digit>(p0);
    const Digit m = static_cast<Digit>(v) * n0;
    const Wide p1 = Wide(m) * N[0];
    v += static_cast<Digit>(p1);
    c = (v >> 32) + (p0 >> 32) + (p1 >> 32);
    Row2(lo + i + 1, hi + i + 2, b + 1, a[i], N + 1, m, n - 1);
  }
  // a and b are no longer read, so r may be either of them.
  const Digit top = static_cast<Digit>(Resolve(r, lo, hi, n, n2, c));
  if (top != 0 || CompareN(r, N, n) >= 0) SubN(r, r, N, n);
}

#undef MIVEX_AVX2

}  // namespace mivex::hit::vec

#endif
