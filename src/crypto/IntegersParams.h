#pragma once
// Tuning constants of the big-integer arithmetic, the prime search and RSA key generation.
#include <array>
#include <cstdint>

namespace mivex::hitparams {

// Karatsuba switch-over points in digits: squaring above S digits, general products when
// both operands exceed M digits. IKaratsubaThresholds may change them at run time.
inline constexpr std::int32_t KaratsubaSqrThreshold = 64;
inline constexpr std::int32_t KaratsubaMulThreshold = 48;
// Smallest value IKaratsubaThresholds accepts for either threshold.
inline constexpr std::int32_t KaratsubaThresholdMin = 8;

// Period of the ticker that paces the progress callback.
inline constexpr std::int32_t TickIntervalMs = 150;

// Sliding-window width for modular powers, chosen by exponent bit length: the first
// entry whose bound is at least the bit length gives the width (window + 1 when past the end).
inline constexpr std::array<std::int32_t, 6> PowWindowBounds = {7, 25, 81, 241, 673, 1793};
inline constexpr std::int32_t PowWindowMax = 7;

// Prime search: candidates are sieved by every prime below this bound before any
// probable-prime test. The bound stays below 2^15 so that a sieve prime can never equal a
// candidate (IMakePrime accepts start values of 16 bits or more).
inline constexpr std::int32_t SievePrimeBound = 32768;
// Number of candidates (steps of the modulus) sieved in one pass.
inline constexpr std::int32_t SieveSpan = 4096;

// RSA key generation.
inline constexpr std::int32_t RSADefaultStrength = 1024;
inline constexpr std::int32_t RSAPublicExponentBits = 80;
// Strong probable-prime bases for p, q and e; candidates are random, so a fixed list of
// bases gives a negligible error rate for these sizes.
inline constexpr std::array<std::int32_t, 10> RSAPrimeBases = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29};

}  // namespace mivex::hitparams
