// Modular powers: Montgomery multiplication for odd moduli, division-based reduction for
// even ones, both with left-to-right sliding windows.
#include <algorithm>

#include "crypto/Integers.h"
#include "crypto/IntegersInternal.h"
#include "crypto/IntegersMontgomery.h"
#include "crypto/IntegersParams.h"

namespace mivex {

namespace hit {

int PowWindow(std::int32_t bits) {
  int w = 1;
  for (std::int32_t bound : hitparams::PowWindowBounds) {
    if (bits <= bound) return w;
    ++w;
  }
  return hitparams::PowWindowMax;
}

namespace {

bool ExponentBit(const TInteger& e, std::int32_t i) { return ((e.Digits()[i / 32] >> (i % 32)) & 1) != 0; }

// Left-to-right sliding windows over e > 0: `table(k)` is base^(2k+1); `square` and
// `multiply(k)` act on the running result, `assign(k)` starts it.
template <typename Square, typename Multiply, typename Assign>
void SlidingWindows(const TInteger& e, int w, Square square, Multiply multiply, Assign assign) {
  bool started = false;
  std::int32_t i = e.BitSize() - 1;
  while (i >= 0) {
    if (!ExponentBit(e, i)) {
      square();
      --i;
      continue;
    }
    CheckTick();
    std::int32_t j = std::max(i - w + 1, 0);
    while (!ExponentBit(e, j)) ++j;
    std::uint32_t value = 0;
    for (std::int32_t k = i; k >= j; --k) value = (value << 1) | (ExponentBit(e, k) ? 1u : 0u);
    if (!started) {
      assign(value >> 1);
      started = true;
    } else {
      for (std::int32_t k = i; k >= j; --k) square();
      multiply(value >> 1);
    }
    i = j - 1;
  }
}

}  // namespace

TMontgomery::TMontgomery(const TInteger& modulus)
    : modulusValue_(modulus),
      modulus_(modulus.Digits(), modulus.Digits() + modulus.Size()),
      n_(modulus.Size()),
      n0_(MontInverse(modulus.Digits()[0])),
      r2_(static_cast<size_t>(modulus.Size())),
      one_(static_cast<size_t>(modulus.Size())),
      minusOne_(static_cast<size_t>(modulus.Size())),
      scratch_(modulus.Size()) {
  TInteger r2(1);
  IShl(r2, 64 * n_);
  IMod(r2, modulusValue_);
  std::fill(r2_.begin(), r2_.end(), Digit{0});
  std::copy(r2.Digits(), r2.Digits() + r2.Size(), r2_.begin());
  Enter(one_.data(), TInteger(1));
  TInteger m1 = modulusValue_;
  ISub(m1, TInteger(1));
  Enter(minusOne_.data(), m1);
}

void TMontgomery::Enter(Digit* r, const TInteger& x) {
  TInteger reduced = x;
  if (reduced.Negative() || ICompareAbs(reduced, modulusValue_) >= 0) IMod(reduced, modulusValue_);
  std::vector<Digit> t(static_cast<size_t>(n_), 0);
  std::copy(reduced.Digits(), reduced.Digits() + reduced.Size(), t.begin());
  Mul(r, t.data(), r2_.data());
}

void TMontgomery::Leave(TInteger& result, const Digit* a) {
  std::vector<Digit> unit(static_cast<size_t>(n_), 0), t(static_cast<size_t>(n_));
  unit[0] = 1;
  Mul(t.data(), a, unit.data());
  result.SetDigits(t.data(), n_);
}

void TMontgomery::Pow(Digit* r, const Digit* a, const TInteger& e) {
  const size_t n = static_cast<size_t>(n_);
  if (e.IsZero()) {
    std::copy(one_.begin(), one_.end(), r);
    return;
  }
  const int w = PowWindow(e.BitSize());
  // Odd powers a, a^3, ..., a^(2^w - 1).
  std::vector<Digit> table((size_t{1} << (w - 1)) * n), a2(n), acc(n);
  std::copy(a, a + n_, table.begin());
  if (w > 1) {
    Mul(a2.data(), a, a);
    for (size_t k = 1; k < (size_t{1} << (w - 1)); ++k) Mul(&table[k * n], &table[(k - 1) * n], a2.data());
  }
  SlidingWindows(
      e, w, [&] { Mul(acc.data(), acc.data(), acc.data()); },
      [&](std::uint32_t k) { Mul(acc.data(), acc.data(), &table[k * n]); },
      [&](std::uint32_t k) { std::copy(&table[k * n], &table[k * n] + n, acc.begin()); });
  std::copy(acc.begin(), acc.end(), r);
}

}  // namespace hit

namespace {

// Powers modulo an even modulus: products reduced by division.
TInteger PowModClassic(const TInteger& base, const TInteger& e, const TInteger& m) {
  const int w = hit::PowWindow(e.BitSize());
  std::vector<TInteger> table(size_t{1} << (w - 1));
  table[0] = base;
  TInteger b2 = base;
  ISqr(b2);
  IMod(b2, m);
  for (size_t k = 1; k < table.size(); ++k) {
    table[k] = table[k - 1];
    IMul(table[k], b2);
    IMod(table[k], m);
  }
  TInteger acc;
  hit::SlidingWindows(
      e, w,
      [&] {
        ISqr(acc);
        IMod(acc, m);
      },
      [&](std::uint32_t k) {
        IMul(acc, table[k]);
        IMod(acc, m);
      },
      [&](std::uint32_t k) { acc = table[k]; });
  return acc;
}

}  // namespace

void IPowMod(TInteger& A, const TInteger& E, const TInteger& B) {
  if (&A == &E || &A == &B || &E == &B) throw EHITDuplicatePtr("IPowMod", "A,E,B");
  if (B.Sign() < 1) throw EHITInvalidArg("IPowMod", "B < 1");
  if (E.Negative()) throw EHITInvalidArg("IPowMod", "E < 0");
  hit::CheckTick();
  if (B.Size() == 1 && B.Digits()[0] == 1) {
    A.Clear();
    return;
  }
  if (E.IsZero()) {
    A.SetInt(1);
    return;
  }
  if (!B.IsOdd()) {
    TInteger base = A;
    IMod(base, B);
    A = PowModClassic(base, E, B);
    return;
  }
  hit::TMontgomery mont(B);
  std::vector<hit::Digit> a(static_cast<size_t>(mont.Size())), r(a.size());
  mont.Enter(a.data(), A);
  mont.Pow(r.data(), a.data(), E);
  mont.Leave(A, r.data());
}

}  // namespace mivex
