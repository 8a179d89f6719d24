#include "PressFigures.h"

#include <algorithm>
#include <cmath>

#include "Matcher.h"

namespace mivex::vandrel {
namespace {

constexpr int kChanceScore = 47;
constexpr int kAreaStep = 4;    // pixels between the samples of the print area
constexpr int kAreaReach = 512;  // past every image the engine takes

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double RegionArea(const MatchTemplate& t) {
  std::size_t inside = 0;
  for (int y = 0; y < kAreaReach; y += kAreaStep)
    for (int x = 0; x < kAreaReach; x += kAreaStep) inside += t.region.Inside(static_cast<float>(x), static_cast<float>(y));
  return static_cast<double>(inside) * kAreaStep * kAreaStep;
}

struct Centre {
  double x = 0, y = 0, meanDistance = 0;
};

Centre CentreOf(const std::vector<Minutia>& minutiae) {
  Centre c;
  if (minutiae.empty()) return c;
  for (const Minutia& m : minutiae) {
    c.x += m.x;
    c.y += m.y;
  }
  c.x /= static_cast<double>(minutiae.size());
  c.y /= static_cast<double>(minutiae.size());
  for (const Minutia& m : minutiae) c.meanDistance += std::hypot(m.x - c.x, m.y - c.y);
  c.meanDistance /= static_cast<double>(minutiae.size());
  return c;
}

}  // namespace

PressFigures FiguresOfPresses(const std::string& name, const std::vector<std::string>& fingers,
                              const std::vector<MatchTemplate>& templates, const ComparedPopulation& compared) {
  PressFigures f;
  f.name = name;
  f.presses = templates.size();
  std::vector<double> counts, areas, densities;
  double qualitySum = 0;
  std::size_t minutiae = 0, forks = 0;
  std::vector<Centre> centres;
  for (const MatchTemplate& t : templates) {
    const double area = RegionArea(t);
    counts.push_back(static_cast<double>(t.minutiae.size()));
    areas.push_back(area / 1000);
    if (area > 0) densities.push_back(1000 * static_cast<double>(t.minutiae.size()) / area);
    for (const Minutia& m : t.minutiae) {
      qualitySum += m.quality;
      forks += m.kind == MinutiaKind::Bifurcation;
    }
    minutiae += t.minutiae.size();
    centres.push_back(CentreOf(t.minutiae));
  }
  f.minutiae50 = Median(counts);
  f.area50 = Median(areas);
  f.density = Median(densities);
  f.quality = minutiae ? qualitySum / static_cast<double>(minutiae) : 0;
  f.bifurcations = minutiae ? static_cast<double>(forks) / static_cast<double>(minutiae) : 0;

  // Impostor pairs come in CompareAll's order: i < j, skipping pairs of one finger.
  double relativeSum = 0;
  std::size_t paired = 0, impostor = 0, chance = 0;
  MatchScratch scratch;
  MatchResult result;
  for (std::size_t i = 0; i < templates.size(); ++i)
    for (std::size_t j = i + 1; j < templates.size(); ++j) {
      if (fingers[i] == fingers[j]) continue;
      if (compared.impostorScore[impostor++] < kChanceScore) continue;
      ++chance;
      MatchTemplates(templates[i], templates[j], scratch, result);
      for (const auto& [a, b] : result.pairs) {
        const Minutia& ma = templates[i].minutiae[static_cast<std::size_t>(a)];
        const Minutia& mb = templates[j].minutiae[static_cast<std::size_t>(b)];
        const Centre& ca = centres[i];
        const Centre& cb = centres[j];
        if (ca.meanDistance <= 0 || cb.meanDistance <= 0) continue;
        relativeSum += std::hypot(ma.x - ca.x, ma.y - ca.y) / ca.meanDistance;
        relativeSum += std::hypot(mb.x - cb.x, mb.y - cb.y) / cb.meanDistance;
        paired += 2;
      }
    }
  f.pairedCentrality = paired ? relativeSum / static_cast<double>(paired) : 0;
  f.chanceShare = impostor ? static_cast<double>(chance) / static_cast<double>(impostor) : 0;
  return f;
}

void PrintPressFigures(const std::vector<PressFigures>& rows, std::FILE* out) {
  std::fprintf(out,
               "\npresses (median minutiae, median print area in kpx, median minutiae per kpx, mean minutia quality, "
               "share of bifurcations; paired minutiae of impostor pairs reaching 47: distance from the press's "
               "minutiae centre relative to all its minutiae):\n");
  for (const PressFigures& f : rows)
    std::fprintf(out,
                 "  %-16s minutiae %4.0f  area %5.1f  density %.3f  quality %.3f  bifurcations %4.1f %%  chance pairs "
                 "%5.2f %% at centrality %.2f\n",
                 f.name.c_str(), f.minutiae50, f.area50, f.density, f.quality, 100 * f.bifurcations,
                 100 * f.chanceShare, f.pairedCentrality);
}

}  // namespace mivex::vandrel
