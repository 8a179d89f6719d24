#include "crypto/IntegersKernel.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "crypto/IntegersKernelVector.h"
#include "crypto/IntegersParams.h"

namespace mivex::hit {

namespace {

std::atomic<std::int32_t> gSqrThreshold{hitparams::KaratsubaSqrThreshold};
std::atomic<std::int32_t> gMulThreshold{hitparams::KaratsubaMulThreshold};

// -1 not yet probed, 0 portable, 1 vector.
std::atomic<int> gVectorState{-1};
std::atomic<bool> gForcePortable{false};

void DetectVector() {
  if (gVectorState.load(std::memory_order_relaxed) >= 0) return;
#if MIVEX_HIT_VECTOR
  gVectorState.store(vec::Available() ? 1 : 0, std::memory_order_relaxed);
#else
  gVectorState.store(0, std::memory_order_relaxed);
#endif
}

bool UseVector() {
  if (gForcePortable.load(std::memory_order_relaxed)) return false;
  DetectVector();
  return gVectorState.load(std::memory_order_relaxed) == 1;
}

// Accumulator space for the basecase kernels: on the stack for the sizes Karatsuba leaves
// produce, on the heap beyond.
class TScratch {
 public:
  explicit TScratch(std::int32_t words) {
    if (words > kInline) {
      heap_.resize(static_cast<size_t>(words));
      data_ = heap_.data();
    }
  }
  Wide* data() { return data_; }

 private:
  static constexpr std::int32_t kInline = 1024;
  Wide inline_[kInline];
  std::vector<Wide> heap_;
  Wide* data_ = inline_;
};

void MulBasecasePortable(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
  r[na] = Mul1(r, a, na, b[0]);
  for (std::int32_t i = 1; i < nb; ++i) r[na + i] = AddMul1(r + i, a, na, b[i]);
}

void SqrBasecasePortable(Digit* r, const Digit* a, std::int32_t n) {
  const std::int32_t n2 = 2 * n;
  std::fill(r, r + n2, Digit{0});
  // Cross products a[i] * a[j] for i < j, doubled, plus the squares.
  for (std::int32_t i = 0; i + 1 < n; ++i) r[n + i] = AddMul1(r + 2 * i + 1, a + i + 1, n - 1 - i, a[i]);
  ShlN(r, r, n2, 1);
  Digit carry = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    Wide p = Wide(a[i]) * a[i];
    Wide lo = Wide(r[2 * i]) + static_cast<Digit>(p) + carry;
    r[2 * i] = static_cast<Digit>(lo);
    Wide hi = Wide(r[2 * i + 1]) + (p >> 32) + (lo >> 32);
    r[2 * i + 1] = static_cast<Digit>(hi);
    carry = static_cast<Digit>(hi >> 32);
  }
}

void MulBasecase(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
#if MIVEX_HIT_VECTOR
  if (UseVector()) {
    TScratch acc(vec::MulScratchSize(na, nb));
    vec::MulBasecase(r, a, na, b, nb, acc.data());
    return;
  }
#endif
  MulBasecasePortable(r, a, na, b, nb);
}

void SqrBasecase(Digit* r, const Digit* a, std::int32_t n) {
#if MIVEX_HIT_VECTOR
  if (UseVector()) {
    TScratch acc(vec::MulScratchSize(n, n));
    vec::SqrBasecase(r, a, n, acc.data());
    return;
  }
#endif
  SqrBasecasePortable(r, a, n);
}

// r[0..n) += t[0..nt), carrying into r[nt..n).
void AddInto(Digit* r, std::int32_t n, const Digit* t, std::int32_t nt) {
  Digit carry = AddN(r, r, t, nt);
  if (carry != 0 && n > nt) Add1(r + nt, r + nt, n - nt, carry);
}

// a0 + a1 where a0 has n0 digits and a1 has n1 digits: max(n0, n1) + 1 digits in s.
std::int32_t AddParts(Digit* s, const Digit* a0, std::int32_t n0, const Digit* a1, std::int32_t n1) {
  if (n0 < n1) {
    std::swap(a0, a1);
    std::swap(n0, n1);
  }
  Digit carry = AddN(s, a0, a1, n1);
  if (n0 > n1) carry = Add1(s + n1, a0 + n1, n0 - n1, carry);
  s[n0] = carry;
  return n0 + 1;
}

void MulKaratsuba(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb);

// Product of a long operand with a much shorter one: the long one is cut into pieces of the
// short one's length, so every partial product is balanced.
void MulUnbalanced(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
  std::fill(r, r + na + nb, Digit{0});
  std::vector<Digit> t(static_cast<size_t>(2 * nb));
  for (std::int32_t off = 0; off < na; off += nb) {
    const std::int32_t len = std::min(nb, na - off);
    if (len >= nb)
      Mul(t.data(), a + off, len, b, nb);
    else
      Mul(t.data(), b, nb, a + off, len);
    AddInto(r + off, na + nb - off, t.data(), len + nb);
  }
}

// Karatsuba: with h = na / 2, a = a1 B^h + a0 and b = b1 B^h + b0,
// a b = z2 B^2h + ((a0 + a1)(b0 + b1) - z0 - z2) B^h + z0.
void MulKaratsuba(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
  const std::int32_t h = na / 2;  // na < 2 nb, so b1 is not empty
  const std::int32_t na1 = na - h, nb1 = nb - h;
  Mul(r, a, h, b, h);                    // z0 in r[0, 2h)
  Mul(r + 2 * h, a + h, na1, b + h, nb1);  // z2 in r[2h, na + nb)
  std::vector<Digit> sa(static_cast<size_t>(na1 + 1)), sb(static_cast<size_t>(std::max(h, nb1) + 1));
  const std::int32_t lsa = AddParts(sa.data(), a, h, a + h, na1);
  const std::int32_t lsb = AddParts(sb.data(), b, h, b + h, nb1);
  // lsb <= lsa: b1 is no longer than a1 and h <= na1.
  std::vector<Digit> z1(static_cast<size_t>(lsa + lsb));
  Mul(z1.data(), sa.data(), lsa, sb.data(), lsb);
  const std::int32_t nz1 = lsa + lsb;
  // z1 - z0 - z2 is non-negative and shorter than z1.
  Sub1(z1.data() + 2 * h, z1.data() + 2 * h, nz1 - 2 * h, SubN(z1.data(), z1.data(), r, 2 * h));
  const std::int32_t nz2 = na1 + nb1;
  Sub1(z1.data() + nz2, z1.data() + nz2, nz1 - nz2, SubN(z1.data(), z1.data(), r + 2 * h, nz2));
  AddInto(r + h, na + nb - h, z1.data(), NormalizedSize(z1.data(), nz1));
}

void SqrKaratsuba(Digit* r, const Digit* a, std::int32_t n) {
  const std::int32_t h = n / 2, n1 = n - h;
  Sqr(r, a, h);
  Sqr(r + 2 * h, a + h, n1);
  std::vector<Digit> s(static_cast<size_t>(n1 + 1));
  const std::int32_t ls = AddParts(s.data(), a, h, a + h, n1);
  std::vector<Digit> z1(static_cast<size_t>(2 * ls));
  Sqr(z1.data(), s.data(), ls);
  const std::int32_t nz1 = 2 * ls;
  Sub1(z1.data() + 2 * h, z1.data() + 2 * h, nz1 - 2 * h, SubN(z1.data(), z1.data(), r, 2 * h));
  Sub1(z1.data() + 2 * n1, z1.data() + 2 * n1, nz1 - 2 * n1, SubN(z1.data(), z1.data(), r + 2 * h, 2 * n1));
  AddInto(r + h, 2 * n - h, z1.data(), NormalizedSize(z1.data(), nz1));
}

// Montgomery product, one row of multiplication and one of reduction per digit of a.
void MontMulPortable(Digit* r, const Digit* a, const Digit* b, const Digit* N, std::int32_t n, Digit n0,
                     Digit* t) {
  std::fill(t, t + n + 2, Digit{0});
  for (std::int32_t i = 0; i < n; ++i) {
    Wide s = Wide(t[n]) + AddMul1(t, b, n, a[i]);
    t[n] = static_cast<Digit>(s);
    t[n + 1] = static_cast<Digit>(s >> 32);
    const Digit m = t[0] * n0;
    s = Wide(t[n]) + AddMul1(t, N, n, m);
    // t[0] is now zero: shift down one digit.
    std::copy(t + 1, t + n, t);
    t[n - 1] = static_cast<Digit>(s);
    t[n] = t[n + 1] + static_cast<Digit>(s >> 32);
  }
  if (t[n] != 0 || CompareN(t, N, n) >= 0)
    SubN(r, t, N, n);
  else
    std::copy(t, t + n, r);
}

}  // namespace

Digit AddN(Digit* r, const Digit* a, const Digit* b, std::int32_t n) {
  Wide c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    c += Wide(a[i]) + b[i];
    r[i] = static_cast<Digit>(c);
    c >>= 32;
  }
  return static_cast<Digit>(c);
}

Digit Add1(Digit* r, const Digit* a, std::int32_t n, Digit d) {
  Wide c = d;
  for (std::int32_t i = 0; i < n; ++i) {
    c += a[i];
    r[i] = static_cast<Digit>(c);
    c >>= 32;
  }
  return static_cast<Digit>(c);
}

Digit SubN(Digit* r, const Digit* a, const Digit* b, std::int32_t n) {
  Digit borrow = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    Wide d = Wide(a[i]) - b[i] - borrow;
    r[i] = static_cast<Digit>(d);
    borrow = static_cast<Digit>(d >> 63);
  }
  return borrow;
}

Digit Sub1(Digit* r, const Digit* a, std::int32_t n, Digit d) {
  Digit borrow = d;
  for (std::int32_t i = 0; i < n; ++i) {
    Wide x = Wide(a[i]) - borrow;
    r[i] = static_cast<Digit>(x);
    borrow = static_cast<Digit>(x >> 63);
  }
  return borrow;
}

Digit Mul1(Digit* r, const Digit* a, std::int32_t n, Digit d) {
  Wide c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    c += Wide(a[i]) * d;
    r[i] = static_cast<Digit>(c);
    c >>= 32;
  }
  return static_cast<Digit>(c);
}

Digit AddMul1(Digit* r, const Digit* a, std::int32_t n, Digit d) {
  Wide c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    c += Wide(a[i]) * d + r[i];  // at most (2^32 - 1)^2 + 2 (2^32 - 1) < 2^64
    r[i] = static_cast<Digit>(c);
    c >>= 32;
  }
  return static_cast<Digit>(c);
}

Digit SubMul1(Digit* r, const Digit* a, std::int32_t n, Digit d) {
  Wide c = 0;  // product carry plus borrow
  for (std::int32_t i = 0; i < n; ++i) {
    c += Wide(a[i]) * d;
    Digit lo = static_cast<Digit>(c);
    c >>= 32;
    Digit x = r[i];
    r[i] = x - lo;
    c += (x < lo) ? 1 : 0;
  }
  return static_cast<Digit>(c);
}

int CompareN(const Digit* a, const Digit* b, std::int32_t n) {
  for (std::int32_t i = n - 1; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

Digit ShlN(Digit* r, const Digit* a, std::int32_t n, unsigned bits) {
  if (n == 0) return 0;
  const Digit out = a[n - 1] >> (32 - bits);
  for (std::int32_t i = n - 1; i > 0; --i) r[i] = (a[i] << bits) | (a[i - 1] >> (32 - bits));
  r[0] = a[0] << bits;
  return out;
}

Digit ShrN(Digit* r, const Digit* a, std::int32_t n, unsigned bits) {
  if (n == 0) return 0;
  const Digit out = a[0] << (32 - bits);
  for (std::int32_t i = 0; i + 1 < n; ++i) r[i] = (a[i] >> bits) | (a[i + 1] << (32 - bits));
  r[n - 1] = a[n - 1] >> bits;
  return out;
}

std::int32_t NormalizedSize(const Digit* a, std::int32_t n) {
  while (n > 0 && a[n - 1] == 0) --n;
  return n;
}

Digit DivRem1(Digit* q, const Digit* a, std::int32_t n, Digit d) {
  Wide rem = 0;
  for (std::int32_t i = n - 1; i >= 0; --i) {
    Wide cur = (rem << 32) | a[i];
    q[i] = static_cast<Digit>(cur / d);
    rem = cur % d;
  }
  return static_cast<Digit>(rem);
}

Digit Mod1(const Digit* a, std::int32_t n, Digit d) {
  Wide rem = 0;
  for (std::int32_t i = n - 1; i >= 0; --i) rem = ((rem << 32) | a[i]) % d;
  return static_cast<Digit>(rem);
}

// Long division after Knuth (TAOCP vol. 2, 4.3.1, algorithm D).
void DivRem(Digit* q, Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
  const unsigned shift = static_cast<unsigned>(__builtin_clz(b[nb - 1]));
  std::vector<Digit> v(b, b + nb), u(static_cast<size_t>(na + 1));
  if (shift != 0) {
    ShlN(v.data(), b, nb, shift);
    u[static_cast<size_t>(na)] = ShlN(u.data(), a, na, shift);
  } else {
    std::copy(a, a + na, u.begin());
  }
  const Wide vTop = v[static_cast<size_t>(nb - 1)], vNext = v[static_cast<size_t>(nb - 2)];
  for (std::int32_t j = na - nb; j >= 0; --j) {
    Digit* uj = u.data() + j;
    const Wide num = (Wide(uj[nb]) << 32) | uj[nb - 1];
    Wide qhat = num / vTop, rhat = num % vTop;
    // The estimate is at most two too large; the test on the next digit removes nearly
    // every excess before the costly subtraction.
    while (qhat >> 32 != 0 || qhat * vNext > ((rhat << 32) | uj[nb - 2])) {
      --qhat;
      rhat += vTop;
      if (rhat >> 32 != 0) break;
    }
    const Digit top = uj[nb];
    const Digit borrow = SubMul1(uj, v.data(), nb, static_cast<Digit>(qhat));
    uj[nb] = top - borrow;
    if (top < borrow) {
      --qhat;
      uj[nb] += AddN(uj, uj, v.data(), nb);
    }
    q[j] = static_cast<Digit>(qhat);
  }
  if (shift != 0)
    ShrN(r, u.data(), nb, shift);
  else
    std::copy(u.begin(), u.begin() + nb, r);
}

void Mul(Digit* r, const Digit* a, std::int32_t na, const Digit* b, std::int32_t nb) {
  const std::int32_t threshold = gMulThreshold.load(std::memory_order_relaxed);
  if (nb <= threshold)
    MulBasecase(r, a, na, b, nb);
  else if (na >= 2 * nb)
    MulUnbalanced(r, a, na, b, nb);
  else
    MulKaratsuba(r, a, na, b, nb);
}

void Sqr(Digit* r, const Digit* a, std::int32_t n) {
  if (n <= gSqrThreshold.load(std::memory_order_relaxed))
    SqrBasecase(r, a, n);
  else
    SqrKaratsuba(r, a, n);
}

void SetKaratsubaThresholds(std::int32_t sqr, std::int32_t mul) {
  gSqrThreshold.store(sqr, std::memory_order_relaxed);
  gMulThreshold.store(mul, std::memory_order_relaxed);
}


TMontScratch::TMontScratch(std::int32_t n)
    : acc(static_cast<size_t>(2 * (2 * n + 1))), t(static_cast<size_t>(n + 2)) {}

void MontMul(Digit* r, const Digit* a, const Digit* b, const Digit* N, std::int32_t n, Digit n0,
             TMontScratch& scratch) {
#if MIVEX_HIT_VECTOR
  if (UseVector()) {
    vec::MontMul(r, a, b, N, n, n0, scratch.acc.data());
    return;
  }
#endif
  MontMulPortable(r, a, b, N, n, n0, scratch.t.data());
}

Digit MontInverse(Digit n0) {
  // Newton's iteration doubles the correct low bits each step: 1 -> 2 -> ... -> 32 (x = n0
  // is already right in 3 bits for odd n0).
  Digit x = n0;
  for (int i = 0; i < 4; ++i) x *= 2 - n0 * x;
  return static_cast<Digit>(0u - x);
}

bool VectorKernelsDetected() {
  DetectVector();
  return gVectorState.load(std::memory_order_relaxed) == 1;
}

bool UsePortableKernels(bool portable) { return gForcePortable.exchange(portable); }

}  // namespace mivex::hit
