#pragma once
// Impostor pools for the calibration of the score scale: every impostor comparison of
// the real image sets at hand (within each set and across sets) and of simulated
// fingers, the FMR each pool shows at the scale's scores 47 and 63 against the
// targets, and how far the simulated pool lies from the real one.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "CalibrationFit.h"
#include "LocalStructures.h"

namespace mivex::vandrel {

// What the real pool must show under the engine's knots: FMR at score 47 within
// [0.7 %, 1.4 %] (1 % promised), at 63 within [0.07 %, 0.14 %] (0.1 % promised).
struct CalibrationTarget {
  std::int32_t score;
  double low, high;
};
constexpr CalibrationTarget kCalibrationTargets[] = {{47, 0.007, 0.014}, {63, 0.0007, 0.0014}};

struct ImpostorGroup {
  std::string name;
  std::vector<float> raw;
};

struct ImpostorPool {
  std::string name;
  std::vector<ImpostorGroup> groups;
  std::vector<float> All() const;
  std::size_t Size() const;
};

// A record of a real set taking part in the pool.
struct PoolMember {
  std::string set, finger;
  MatchTemplate templ;
};

// Every pair of members of different fingers (a finger is named by its set and its
// name), grouped as "within SET" or "across SET x SET" in the members' order.
ImpostorPool RealImpostorPool(const std::vector<PoolMember>& members);

struct ScoreShare {
  std::int32_t score = 0;
  std::size_t reaching = 0, pairs = 0;
  double Share() const { return pairs ? static_cast<double>(reaching) / static_cast<double>(pairs) : 0; }
};

ScoreShare ShareReaching(const std::vector<float>& raws, const CalibrationKnots& knots, std::int32_t score);

// Whether the pool's FMR under the knots lies within every target.
bool MeetsCalibrationTargets(const std::vector<float>& raws, const CalibrationKnots& knots);

// log10 of the simulated pool's FMR over the real one's at the score: positive when
// simulated impostors reach it more often. Shares of zero count as half a pair, so
// that an empty tail still gives a bound.
double DecadesApart(const ScoreShare& simulated, const ScoreShare& real);

// The pool's table: FMR at 47 and 63 (with the targets when `targets`), then per group.
void PrintPoolTable(const ImpostorPool& pool, const CalibrationKnots& knots, bool targets, std::FILE* out);

// How far the simulated pool is from the real one: their FMR at 47 and 63 in decades,
// and the raw similarity each pool's impostors reach at each half decade.
void PrintPoolDistance(const ImpostorPool& real, const ImpostorPool& simulated, const CalibrationKnots& knots,
                       std::FILE* out);

// The knots ready to paste into the engine's parameters.
void PrintKnots(const CalibrationFitResult& fit, std::FILE* out);

}  // namespace mivex::vandrel
