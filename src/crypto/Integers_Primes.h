#pragma once
// Prime search and strong probable-prime tests on TInteger (unit Integers_Primes).
#include <cstdint>
#include <span>

#include "crypto/Integers.h"

namespace mivex {

// Trial division by the small primes, then a strong probable-prime (Miller-Rabin) test to
// each base. Bases must be non-empty, at least 2 and strictly rising.
bool IIsProbablePrime(const TInteger& P, std::span<const std::int32_t> Bases);

// P := the least number >= P that is congruent to Residue mod Modulus and passes
// IIsProbablePrime to Bases. P must be non-negative and have at least 16 bits; Modulus is
// at least 1. A class whose members all share a factor with Modulus holds no prime.
void IMakePrime(TInteger& P, std::span<const std::int32_t> Bases, const TInteger& Residue,
                const TInteger& Modulus);
// The same for odd numbers (Residue 1, Modulus 2).
void IMakePrime(TInteger& P, std::span<const std::int32_t> Bases);

}  // namespace mivex
