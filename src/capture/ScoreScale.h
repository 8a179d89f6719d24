#pragma once
// The engine's similarity-score scale and its relation to false-acceptance rates:
// a piecewise-linear map between score and -log10(rate) through fixed knots.
#include <cstdint>

namespace mivex {

// Score at which about `far` of impostor comparisons still match
// (far 0.01 -> 47, 0.001 -> 63); 0 for rates of 100 and more, 2000 below 1e-10.
std::int32_t FARToScore(double far);

// The same for a rate of 10^-decades, without going through the rate: the engine's
// matcher knows its scores in decades, and a power and a logarithm on the way would
// round differently with each platform's maths library.
std::int32_t DecadesToScore(double decades);

// False-acceptance rate of a score, rounded to the decimal places its magnitude
// warrants (score 47 -> 0.01, 63 -> 0.001); scores are clamped to 0..2000.
double ScoreToFAR(std::int32_t score);

}  // namespace mivex
