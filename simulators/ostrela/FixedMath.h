#pragma once
// Integer arithmetic for the synthetic fingerprints. Every image the simulated sensor
// delivers must be the same bit for bit on every compiler and CPU (x87, SSE, native and
// cross builds), so the generator uses no floating point at all: angles are binary
// fractions of a turn, lengths and weights are fixed-point, and the few transcendental
// functions it needs come from tables computed by the compiler from integer series.
#include <cstdint>

namespace mivex::ostrela {

// One full turn in angle units; angles wrap modulo this value.
inline constexpr std::int32_t kTurn = 65536;
inline constexpr std::int32_t kHalfTurn = kTurn / 2;
inline constexpr std::int32_t kQuarterTurn = kTurn / 4;
// Fixed-point one for Q16 values.
inline constexpr std::int32_t kQ16 = 65536;

// Sine and cosine of an angle in turn units (any value; wraps), as Q16 (±65536).
std::int32_t SinQ16(std::int32_t angle);
std::int32_t CosQ16(std::int32_t angle);

// Direction of the vector (x, y) in turn units, 0 .. kTurn-1; 0 for the null vector.
std::int32_t Atan2(std::int64_t y, std::int64_t x);

// Arctangent of a Q16 slope, in turn units (-kQuarterTurn .. kQuarterTurn).
std::int32_t AtanQ16(std::int64_t slope);

// Floor of the square root.
std::uint32_t ISqrt(std::uint64_t value);

// e^(-u) for u >= 0 given in Q16; result in Q16 (0 for u beyond 30).
std::int32_t ExpNegQ16(std::int64_t u);

// Smooth step 3t^2 - 2t^3 of t in Q16, t clamped to [0, 1]; result in Q16.
std::int32_t SmoothStepQ16(std::int64_t t);

// Signed angle difference a - b folded into [-kHalfTurn, kHalfTurn).
inline std::int32_t AngleDelta(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::int16_t>(static_cast<std::uint16_t>(a - b)));
}

// Division rounding to the nearest integer, halves away from zero (denominator > 0).
inline std::int64_t DivRound(std::int64_t num, std::int64_t den) {
  return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

inline std::int32_t Clamp32(std::int64_t v, std::int32_t lo, std::int32_t hi) {
  return v < lo ? lo : (v > hi ? hi : static_cast<std::int32_t>(v));
}

}  // namespace mivex::ostrela
