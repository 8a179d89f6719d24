#pragma once
// Calibration of the matcher's consolidated ("raw") similarity against impostor
// comparisons: the knots that map raw values to -log10 of the share of impostors
// reaching them, fitted on measured raw values, and the score a raw value gets under
// a given set of knots (the same piecewise map the matcher applies with its own).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mivex::vandrel {

struct CalibrationKnots {
  std::vector<float> raw;      // increasing raw similarities
  std::vector<float> decades;  // -log10 of the impostor share reaching each
  float tailSlope = 0;         // decades per unit of raw beyond the last knot
};

// The knots the matcher uses now.
CalibrationKnots CurrentKnots();

// The score of a raw similarity under the knots, mapped as the matcher maps it.
std::int32_t ScoreUnderKnots(float raw, const CalibrationKnots& knots);

struct WeightedRaw {
  float raw = 0;
  double weight = 1;
};

struct CalibrationFitResult {
  CalibrationKnots knots;
  int tailPoints = 0;        // distinct raw values the tail slope was fitted on
  bool tailFitted = false;   // false: too few tail points, the fallback slope is kept
};

// Fits one raw knot per decade: the raw value that the given share of the (weighted)
// impostor comparisons reaches, knots kept strictly increasing. The tail slope is the
// least-squares slope, through the last knot, of -log10(share reaching v) against v
// over the distinct values reached by at most `tailShare` of the impostors.
CalibrationFitResult FitCalibration(std::vector<WeightedRaw> impostors, const std::vector<float>& decades,
                                    float fallbackSlope, double tailShare = 0.01);

// The decades 0, 0.5, 1, ..., 3.
std::vector<float> HalfDecades();

// One population of comparisons (a simulated sensor run, a folder of real images).
struct RawPopulation {
  std::string name;
  std::vector<float> impostor, genuine;  // raw similarities
};

// Share of raw values whose score under the knots reaches `score` (atOrAbove), or
// stays below it.
double ShareAtScore(const std::vector<float>& raws, const CalibrationKnots& knots, std::int32_t score,
                    bool atOrAbove);

// Fits on the union of the populations' impostors (each population weighing the same
// when `balance`, else each comparison), prints the knots ready to paste into the
// engine's parameters, and each population's FMR and FNMR at scores 47 and 63 under
// the current and the fitted knots.
void ReportCalibrationFit(const std::vector<RawPopulation>& populations, bool balance, std::FILE* out);

}  // namespace mivex::vandrel
