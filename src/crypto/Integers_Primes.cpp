#include "crypto/Integers_Primes.h"

#include <array>
#include <vector>

#include "crypto/IntegersInternal.h"
#include "crypto/IntegersKernel.h"
#include "crypto/IntegersMontgomery.h"
#include "crypto/IntegersParams.h"

namespace mivex {

using hit::Digit;

namespace {

constexpr std::int32_t kBound = hitparams::SievePrimeBound;

constexpr std::int32_t CountSmallPrimes() {
  std::array<bool, kBound> composite{};
  std::int32_t count = 0;
  for (std::int32_t i = 2; i < kBound; ++i) {
    if (composite[i]) continue;
    ++count;
    for (std::int32_t j = i * i; j < kBound; j += i) composite[j] = true;
  }
  return count;
}

// Every prime below the sieve bound, built by the compiler.
constexpr auto kSmallPrimes = [] {
  std::array<std::uint16_t, CountSmallPrimes()> primes{};
  std::array<bool, kBound> composite{};
  size_t count = 0;
  for (std::int32_t i = 2; i < kBound; ++i) {
    if (composite[i]) continue;
    primes[count++] = static_cast<std::uint16_t>(i);
    for (std::int32_t j = i * i; j < kBound; j += i) composite[j] = true;
  }
  return primes;
}();

void CheckBases(std::span<const std::int32_t> bases, const char* op) {
  if (bases.empty()) throw EHITInvalidArg(op, "Length(Bases) = 0");
  if (bases[0] < 2) throw EHITInvalidArg(op, "Bases[0] < 2");
  for (size_t i = 0; i + 1 < bases.size(); ++i)
    if (bases[i] >= bases[i + 1]) throw EHITInvalidArg(op, "Bases[i] >= Bases[i+1]");
}

// x mod each small prime, two primes per pass over x (their product fits one digit).
std::vector<std::uint32_t> SmallResidues(const TInteger& x) {
  std::vector<std::uint32_t> residues(kSmallPrimes.size());
  for (size_t i = 0; i < kSmallPrimes.size(); i += 2) {
    const std::uint32_t p = kSmallPrimes[i];
    const std::uint32_t q = i + 1 < kSmallPrimes.size() ? kSmallPrimes[i + 1] : 1;
    const std::uint32_t r = hit::Mod1(x.Digits(), x.Size(), p * q);
    residues[i] = r % p;
    if (i + 1 < kSmallPrimes.size()) residues[i + 1] = r % q;
  }
  return residues;
}

// a^-1 mod p for 0 < a < p, p prime.
std::uint32_t InverseModSmall(std::uint32_t a, std::uint32_t p) {
  std::int64_t r0 = p, r1 = a, t0 = 0, t1 = 1;
  while (r1 != 0) {
    const std::int64_t q = r0 / r1;
    std::int64_t t = r0 - q * r1;
    r0 = r1;
    r1 = t;
    t = t0 - q * t1;
    t0 = t1;
    t1 = t;
  }
  return static_cast<std::uint32_t>(t0 < 0 ? t0 + p : t0);
}

// Strong probable-prime test of an odd n > the largest base to base b.
bool StrongTest(hit::TMontgomery& mont, const TInteger& n, std::int32_t b) {
  // n - 1 = d 2^s with d odd.
  TInteger d = n;
  ISub(d, TInteger(1));
  std::int32_t s = 0;
  while (!d.Bit(s)) ++s;
  IShr(d, s);
  const size_t size = static_cast<size_t>(mont.Size());
  std::vector<Digit> base(size), x(size);
  mont.Enter(base.data(), TInteger(b));
  mont.Pow(x.data(), base.data(), d);
  if (x == mont.One() || x == mont.MinusOne()) return true;
  for (std::int32_t i = 1; i < s; ++i) {
    mont.Mul(x.data(), x.data(), x.data());
    if (x == mont.MinusOne()) return true;
    if (x == mont.One()) return false;
  }
  return false;
}

// The probable-prime tests for an odd candidate already known to have no small factor.
// A base that is a multiple of the candidate says nothing and is passed over.
bool PassesBases(const TInteger& n, std::span<const std::int32_t> bases) {
  hit::TMontgomery mont(n);
  for (std::int32_t b : bases) {
    hit::CheckTick();
    TInteger reduced(b);
    IMod(reduced, n);
    if (!reduced.IsZero() && !StrongTest(mont, n, b)) return false;
  }
  return true;
}

}  // namespace

bool IIsProbablePrime(const TInteger& P, std::span<const std::int32_t> Bases) {
  CheckBases(Bases, "IIsProbablePrime");
  hit::CheckTick();
  if (P.Negative() || P.BitSize() < 2) return false;
  if (P.BitSize() <= 16 && P.AsInt64() < kBound) {
    const std::int64_t v = P.AsInt64();
    for (std::uint16_t p : kSmallPrimes)
      if (p == v) return true;
    return false;
  }
  for (std::uint32_t r : SmallResidues(P))
    if (r == 0) return false;
  return PassesBases(P, Bases);
}

void IMakePrime(TInteger& P, std::span<const std::int32_t> Bases, const TInteger& Residue,
                const TInteger& Modulus) {
  const char* op = "IMakePrime";
  CheckBases(Bases, op);
  if (P.Negative() || P.BitSize() < 16) throw EHITInvalidArg(op, "(P < 0) or (P.BitSize < 16)");
  if (Modulus.Sign() < 1) throw EHITInvalidArg(op, "Modulus < 1");
  hit::CheckTick();
  TInteger residue = Residue;
  IMod(residue, Modulus);
  TInteger common = residue;
  IGcd(common, Modulus);
  if (ICompare(common, TInteger(1)) != 0)
    throw EHITInvalidArg(op, "No prime can be congruent to Residue mod Modulus");

  // First candidate: the least c >= P with c = Residue (mod Modulus).
  TInteger c = residue;
  ISub(c, P);
  IMod(c, Modulus);
  IAdd(c, P);

  const std::vector<std::uint32_t> modResidues = SmallResidues(Modulus);
  std::vector<bool> sieve(static_cast<size_t>(hitparams::SieveSpan));
  for (;;) {
    const std::vector<std::uint32_t> cResidues = SmallResidues(c);
    std::fill(sieve.begin(), sieve.end(), false);
    // Candidate k is c + k Modulus; mark every k that a small prime divides.
    for (size_t i = 0; i < kSmallPrimes.size(); ++i) {
      const std::uint32_t p = kSmallPrimes[i];
      if (modResidues[i] == 0) continue;  // p divides Modulus, never a candidate
      const std::uint32_t inv = InverseModSmall(modResidues[i], p);
      std::uint64_t k = (std::uint64_t{(p - cResidues[i]) % p} * inv) % p;
      for (; k < sieve.size(); k += p) sieve[k] = true;
    }
    for (size_t k = 0; k < sieve.size(); ++k) {
      if (sieve[k]) continue;
      hit::CheckTick();
      TInteger candidate = Modulus;
      IMul(candidate, TInteger(static_cast<std::int64_t>(k)));
      IAdd(candidate, c);
      if (PassesBases(candidate, Bases)) {
        P = std::move(candidate);
        return;
      }
    }
    TInteger step = Modulus;
    IMul(step, TInteger(hitparams::SieveSpan));
    IAdd(c, step);
  }
}

void IMakePrime(TInteger& P, std::span<const std::int32_t> Bases) {
  IMakePrime(P, Bases, TInteger(1), TInteger(2));
}

}  // namespace mivex
