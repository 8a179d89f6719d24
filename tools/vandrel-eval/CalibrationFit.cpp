#include "CalibrationFit.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "CalibrationPools.h"
#include "VandrelParams.h"
#include "capture/ScoreScale.h"

namespace mivex::vandrel {
namespace {

// Adjacent raw knots at least this far apart, so the map stays strictly increasing
// (and still does after printing with four decimals).
constexpr float kMinKnotGap = 1e-4f;

// Shares are compared with this relative slack, so that a share of exactly 1 %
// of a sum of weights is found despite rounding in the sum.
constexpr double kShareSlack = 1e-9;

}  // namespace

CalibrationKnots CurrentKnots() {
  CalibrationKnots k;
  k.raw.assign(std::begin(params::kCalibrationRaw), std::end(params::kCalibrationRaw));
  k.decades.assign(std::begin(params::kCalibrationDecades), std::end(params::kCalibrationDecades));
  k.tailSlope = params::kCalibrationTailSlope;
  return k;
}

std::int32_t ScoreUnderKnots(float raw, const CalibrationKnots& knots) {
  // Same arithmetic (float interpolation, double rate) as the matcher's own map, so
  // that under the current knots every raw value gets the matcher's score.
  const std::size_t n = knots.raw.size();
  double x;
  if (raw <= knots.raw[0]) {
    x = knots.decades[0];
  } else if (raw >= knots.raw[n - 1]) {
    x = knots.decades[n - 1] + knots.tailSlope * (raw - knots.raw[n - 1]);
  } else {
    std::size_t i = 1;
    while (raw >= knots.raw[i]) ++i;
    const float t = (raw - knots.raw[i - 1]) / (knots.raw[i] - knots.raw[i - 1]);
    x = knots.decades[i - 1] + t * (knots.decades[i] - knots.decades[i - 1]);
  }
  return FARToScore(std::pow(10.0, -std::min(x, 10.0)));
}

std::vector<float> HalfDecades() { return {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f}; }

CalibrationFitResult FitCalibration(std::vector<WeightedRaw> impostors, const std::vector<float>& decades,
                                    float fallbackSlope, double tailShare) {
  CalibrationFitResult result;
  result.knots.decades = decades;
  result.knots.tailSlope = fallbackSlope;
  std::sort(impostors.begin(), impostors.end(),
            [](const WeightedRaw& a, const WeightedRaw& b) { return a.raw > b.raw; });
  double total = 0;
  for (const WeightedRaw& w : impostors) total += w.weight;
  if (impostors.empty() || total <= 0) {
    result.knots.raw.assign(decades.size(), 0.0f);
    for (std::size_t i = 1; i < decades.size(); ++i) result.knots.raw[i] = result.knots.raw[i - 1] + kMinKnotGap;
    return result;
  }

  // Share of the weight at or above each distinct value, from the highest value down.
  struct Level {
    float raw;
    double share;
  };
  std::vector<Level> levels;
  double reached = 0;
  for (std::size_t i = 0; i < impostors.size(); ++i) {
    reached += impostors[i].weight;
    if (i + 1 == impostors.size() || impostors[i + 1].raw != impostors[i].raw)
      levels.push_back({impostors[i].raw, reached / total});
  }

  // The knot of a decade lies between the lowest value still within its share and the
  // next lower one, so that exactly the comparisons at or above that value reach it.
  for (float d : decades) {
    const double target = std::pow(10.0, -static_cast<double>(d)) * (1 + kShareSlack);
    std::size_t k = 0;
    while (k + 1 < levels.size() && levels[k + 1].share <= target) ++k;
    float knot = levels[k].raw;
    if (levels[k].share <= target && k + 1 < levels.size()) knot = 0.5f * (levels[k].raw + levels[k + 1].raw);
    result.knots.raw.push_back(knot);
  }
  // A decade that falls inside a block of equal values shares its knot with its
  // neighbour; spread them so the map stays strictly increasing.
  for (std::size_t i = 1; i < result.knots.raw.size(); ++i)
    result.knots.raw[i] = std::max(result.knots.raw[i], result.knots.raw[i - 1] + kMinKnotGap);

  const float lastRaw = result.knots.raw.back();
  const double lastDecade = decades.back();
  double sxy = 0, sxx = 0;
  for (const Level& l : levels) {
    if (l.share > tailShare * (1 + kShareSlack)) break;
    const double dx = l.raw - lastRaw, dy = -std::log10(l.share) - lastDecade;
    sxy += dx * dy;
    sxx += dx * dx;
    ++result.tailPoints;
  }
  if (result.tailPoints >= 3 && sxx > 0 && sxy > 0) {
    result.knots.tailSlope = static_cast<float>(sxy / sxx);
    result.tailFitted = true;
  }
  return result;
}

double ShareAtScore(const std::vector<float>& raws, const CalibrationKnots& knots, std::int32_t score,
                    bool atOrAbove) {
  if (raws.empty()) return 0;
  std::size_t n = 0;
  for (float r : raws) n += (ScoreUnderKnots(r, knots) >= score) == atOrAbove;
  return static_cast<double>(n) / static_cast<double>(raws.size());
}

void ReportCalibrationFit(const std::vector<RawPopulation>& populations, bool balance, std::FILE* out) {
  std::vector<WeightedRaw> all;
  std::size_t comparisons = 0;
  for (const RawPopulation& p : populations) {
    if (p.impostor.empty()) continue;
    const double w = balance ? 1.0 / static_cast<double>(p.impostor.size()) : 1.0;
    for (float r : p.impostor) all.push_back({r, w});
    comparisons += p.impostor.size();
  }
  const CalibrationKnots current = CurrentKnots();
  const CalibrationFitResult fit = FitCalibration(all, HalfDecades(), current.tailSlope);

  std::fprintf(out, "calibration fit on %zu impostor comparisons of %zu population(s)%s:\n", comparisons,
               populations.size(), balance ? ", each population weighing the same" : "");
  PrintKnots(fit, out);

  std::fprintf(out, "per population (FMR at 47 / 63, FNMR at 47 / 63), current knots -> fitted knots:\n");
  for (const RawPopulation& p : populations) {
    std::fprintf(out, "  %s: %zu impostor, %zu genuine\n", p.name.c_str(), p.impostor.size(), p.genuine.size());
    for (const CalibrationKnots* k : {&current, &fit.knots})
      std::fprintf(out, "    %-7s FMR %6.3f %% / %6.3f %%   FNMR %6.2f %% / %6.2f %%\n",
                   k == &current ? "current" : "fitted", 100 * ShareAtScore(p.impostor, *k, 47, true),
                   100 * ShareAtScore(p.impostor, *k, 63, true), 100 * ShareAtScore(p.genuine, *k, 47, false),
                   100 * ShareAtScore(p.genuine, *k, 63, false));
  }
}

}  // namespace mivex::vandrel
