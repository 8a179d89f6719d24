#include "CalibrationPools.h"

#include <algorithm>
#include <cmath>

#include "Matcher.h"
#include "capture/ScoreScale.h"

namespace mivex::vandrel {

std::vector<float> ImpostorPool::All() const {
  std::vector<float> all;
  for (const ImpostorGroup& g : groups) all.insert(all.end(), g.raw.begin(), g.raw.end());
  return all;
}

std::size_t ImpostorPool::Size() const {
  std::size_t n = 0;
  for (const ImpostorGroup& g : groups) n += g.raw.size();
  return n;
}

ImpostorPool RealImpostorPool(const std::vector<PoolMember>& members) {
  ImpostorPool pool;
  pool.name = "real";
  auto group = [&pool](const std::string& name) -> std::vector<float>& {
    for (ImpostorGroup& g : pool.groups)
      if (g.name == name) return g.raw;
    pool.groups.push_back({name, {}});
    return pool.groups.back().raw;
  };
  MatchScratch scratch;
  MatchResult result;
  for (std::size_t i = 0; i < members.size(); ++i)
    for (std::size_t j = i + 1; j < members.size(); ++j) {
      const PoolMember &a = members[i], &b = members[j];
      if (a.set == b.set && a.finger == b.finger) continue;
      MatchTemplates(a.templ, b.templ, scratch, result);
      group(a.set == b.set ? "within " + a.set : "across " + a.set + " x " + b.set).push_back(result.raw);
    }
  return pool;
}

ScoreShare ShareReaching(const std::vector<float>& raws, const CalibrationKnots& knots, std::int32_t score) {
  ScoreShare s;
  s.score = score;
  s.pairs = raws.size();
  for (float r : raws) s.reaching += ScoreUnderKnots(r, knots) >= score;
  return s;
}

bool MeetsCalibrationTargets(const std::vector<float>& raws, const CalibrationKnots& knots) {
  for (const CalibrationTarget& t : kCalibrationTargets) {
    const double share = ShareReaching(raws, knots, t.score).Share();
    if (raws.empty() || share < t.low || share > t.high) return false;
  }
  return true;
}

double DecadesApart(const ScoreShare& simulated, const ScoreShare& real) {
  const auto share = [](const ScoreShare& s) {
    return (s.reaching ? static_cast<double>(s.reaching) : 0.5) / static_cast<double>(std::max<std::size_t>(s.pairs, 1));
  };
  return std::log10(share(simulated) / share(real));
}

void PrintPoolTable(const ImpostorPool& pool, const CalibrationKnots& knots, bool targets, std::FILE* out) {
  const std::vector<float> all = pool.All();
  std::fprintf(out, "  %s pool: %zu impostor pairs\n", pool.name.c_str(), all.size());
  for (const CalibrationTarget& t : kCalibrationTargets) {
    const ScoreShare s = ShareReaching(all, knots, t.score);
    std::fprintf(out, "    score %d: promised %6.3f %%, observed %6.3f %% [%zu pairs]", t.score, 100 * ScoreToFAR(t.score),
                 100 * s.Share(), s.reaching);
    if (targets)
      std::fprintf(out, "  target [%.2f %%, %.2f %%]: %s", 100 * t.low, 100 * t.high,
                   s.Share() >= t.low && s.Share() <= t.high ? "met" : "missed");
    std::fprintf(out, "\n");
  }
  if (pool.groups.size() < 2) return;
  for (const ImpostorGroup& g : pool.groups) {
    const ScoreShare s47 = ShareReaching(g.raw, knots, 47), s63 = ShareReaching(g.raw, knots, 63);
    std::fprintf(out, "      %-48s %6zu pairs  FMR(47) %6.3f %% [%zu]  FMR(63) %6.3f %% [%zu]\n", g.name.c_str(),
                 g.raw.size(), 100 * s47.Share(), s47.reaching, 100 * s63.Share(), s63.reaching);
  }
}

void PrintPoolDistance(const ImpostorPool& real, const ImpostorPool& simulated, const CalibrationKnots& knots,
                       std::FILE* out) {
  const std::vector<float> r = real.All(), s = simulated.All();
  std::fprintf(out, "  simulated against real:");
  for (const CalibrationTarget& t : kCalibrationTargets) {
    const ScoreShare rs = ShareReaching(r, knots, t.score), ss = ShareReaching(s, knots, t.score);
    std::fprintf(out, " FMR(%d) %.3f %% vs %.3f %% (%+.2f decades)%s", t.score, 100 * ss.Share(), 100 * rs.Share(),
                 DecadesApart(ss, rs), t.score == kCalibrationTargets[0].score ? ";" : "\n");
  }
  // The raw similarity each pool's impostors reach at each half decade: the fit of
  // each pool alone.
  std::vector<WeightedRaw> wr, ws;
  for (float v : r) wr.push_back({v, 1});
  for (float v : s) ws.push_back({v, 1});
  const CalibrationFitResult fr = FitCalibration(wr, HalfDecades(), knots.tailSlope);
  const CalibrationFitResult fs = FitCalibration(ws, HalfDecades(), knots.tailSlope);
  std::fprintf(out, "    raw similarity reached by 10^-d of the impostors, d =");
  for (float d : fr.knots.decades) std::fprintf(out, " %7.1f", static_cast<double>(d));
  std::fprintf(out, "\n    %-52s", "real");
  for (float v : fr.knots.raw) std::fprintf(out, " %7.4f", static_cast<double>(v));
  std::fprintf(out, "\n    %-52s", "simulated");
  for (float v : fs.knots.raw) std::fprintf(out, " %7.4f", static_cast<double>(v));
  std::fprintf(out, "\n    %-52s", "simulated - real");
  for (std::size_t i = 0; i < fr.knots.raw.size(); ++i)
    std::fprintf(out, " %+7.4f", static_cast<double>(fs.knots.raw[i] - fr.knots.raw[i]));
  std::fprintf(out, "\n");
}

void PrintKnots(const CalibrationFitResult& fit, std::FILE* out) {
  std::fprintf(out, "constexpr float kCalibrationRaw[] = {");
  for (std::size_t i = 0; i < fit.knots.raw.size(); ++i)
    std::fprintf(out, "%s%.4ff", i ? ", " : "", static_cast<double>(fit.knots.raw[i]));
  std::fprintf(out, "};\nconstexpr float kCalibrationDecades[] = {");
  for (std::size_t i = 0; i < fit.knots.decades.size(); ++i)
    std::fprintf(out, "%s%.1ff", i ? ", " : "", static_cast<double>(fit.knots.decades[i]));
  std::fprintf(out, "};\nconstexpr float kCalibrationTailSlope = %.2ff;\n", static_cast<double>(fit.knots.tailSlope));
  if (fit.tailFitted)
    std::fprintf(out, "(tail slope fitted on %d distinct raw values of the top 1 %%)\n", fit.tailPoints);
  else
    std::fprintf(out, "(too few distinct raw values in the top 1 %% (%d): tail slope kept at the current value)\n",
                 fit.tailPoints);
}

}  // namespace mivex::vandrel
