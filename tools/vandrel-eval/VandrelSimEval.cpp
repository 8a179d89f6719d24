// Measures the calibration of the engine's score scale on simulated fingers: renders
// F fingers x P good presses with the simulated sensor, keeps the first frame of each
// press that the library would accept, compares every pair of kept presses (impostor
// pairs across fingers, genuine pairs within one) and prints the observed FMR at the
// scale's scores against the rate each promises, and the genuine FNMR.
//
//   vandrel-sim-eval [--fingers N] [--presses P] [--seed S] [--raw FILE]
//                    [--fit [--balance] [--also FOLDER ...]]
// --fit fits the calibration knots on the raw similarities of all impostor pairs (and
// of the real image folders given after --also, each its own population: files
// <finger>_<impression>.png, pairs within the folder) and prints them ready to paste.
// The same seed gives the same fingers, presses and numbers.
//
// Realism: the genuine score distribution (10th, 50th, 90th percentile), the impostor
// FMR at 47 and 63 and the share of presses the driver's checks refuse are printed for
// the simulated presses next to the same figures of real image sets (by default the
// shared sets; --real FOLDER ... names others, --real alone none), with the targets
// the simulation must meet: genuine median and 10th percentile within 35 % of the
// real sets' values, FMR at 47 within [0.5 %, 2 %].
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CalibrationFit.h"
#include "Engine.h"
#include "FingerDesign.h"
#include "PngGray.h"
#include "PressFigures.h"
#include "RawComparisons.h"
#include "SimulatedPresses.h"
#include "capture/ScoreScale.h"

namespace {

using namespace mivex;
using namespace mivex::vandrel;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The shared real sets the simulation is held against: fingerprint sets of 500 dpi
// sensors, 10 fingers x 8 impressions each.
std::vector<std::string> DefaultRealSets() {
  const std::string root = std::string(MIVEX_DATA_DIR) + "/fingerprints/";
  std::vector<std::string> sets;
  for (const char* name : {"fvc2000_db2_b", "fvc2000_db4_b"})
    if (std::filesystem::is_directory(root + name)) sets.push_back(root + name);
  return sets;
}

struct Options {
  int fingers = 450;
  int presses = 1;
  // Enough genuine pairs (6 per finger) that the 10th percentile rests on some dozens.
  int genuineFingers = 60;
  int genuinePresses = 4;
  std::uint32_t seed = 0;
  bool fit = false, balance = false;
  std::string rawFile;
  std::vector<std::string> also;
  std::vector<std::string> real = DefaultRealSets();
};

bool ParsePositive(const char* text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || v < 0 || v > 100000) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    int v = 0;
    if (a == "--fit") {
      o.fit = true;
    } else if (a == "--balance") {
      o.balance = true;
    } else if (a == "--also") {
      while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) o.also.push_back(argv[++i]);
    } else if (a == "--real") {
      o.real.clear();
      while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) o.real.push_back(argv[++i]);
    } else if (a == "--raw" && hasValue) {
      o.rawFile = argv[++i];
    } else if ((a == "--fingers" || a == "--presses" || a == "--genuine-fingers" || a == "--genuine-presses" ||
                a == "--seed") &&
               hasValue && ParsePositive(argv[++i], v)) {
      if (a == "--fingers") o.fingers = v;
      else if (a == "--presses") o.presses = std::max(v, 1);
      else if (a == "--genuine-fingers") o.genuineFingers = v;
      else if (a == "--genuine-presses") o.genuinePresses = std::max(v, 1);
      else if (static_cast<std::uint32_t>(v) <= kMaxSimulationSeed) o.seed = static_cast<std::uint32_t>(v);
      else return false;
    } else {
      return false;
    }
  }
  return o.fingers + o.genuineFingers >= 2;
}

// A folder of real images as one population (driver's checks not applied: every
// image the engine can read takes part, as in the folder evaluation).
// `refused` counts the images the driver's checks would refuse, of `listed`.
bool FolderTemplates(const std::string& folder, std::int32_t context, std::vector<std::string>& fingers,
                     std::vector<MatchTemplate>& templates, int& refused, int& listed) {
  std::vector<FolderImage> images;
  if (!ListFingerprintFolder(folder, images)) return false;
  listed = static_cast<int>(images.size());
  for (const FolderImage& image : images) {
    GrayImage img;
    StoredSample s;
    MatchTemplate m;
    if (!ReadPngGray(image.path.string(), img) ||
        !ExtractStoredSample(img.pixels.data(), img.width, img.height, context, s) ||
        !TemplateOfRecord(s.record.data(), m)) {
      std::fprintf(stderr, "skipped %s\n", image.path.c_str());
      ++refused;
      continue;
    }
    refused += DriverAccepts(s) ? 0 : 1;
    fingers.push_back(image.finger);
    templates.push_back(std::move(m));
  }
  return true;
}

std::string FolderName(const std::string& folder) {
  std::filesystem::path p(folder);
  if (p.filename().empty()) p = p.parent_path();
  return p.filename().string();
}

double Share(const std::vector<std::int32_t>& scores, std::int32_t t, bool atOrAbove) {
  if (scores.empty()) return 0;
  std::size_t n = 0;
  for (std::int32_t s : scores) n += (s >= t) == atOrAbove;
  return static_cast<double>(n) / static_cast<double>(scores.size());
}

void PrintCalibration(const ComparedPopulation& c) {
  const std::vector<std::int32_t>& imp = c.impostorScore;
  std::printf("calibration (score: promised FMR / observed FMR [impostor pairs reaching it]):\n");
  for (std::int32_t s : {22, 34, 47, 63}) {
    const auto n = std::count_if(imp.begin(), imp.end(), [s](std::int32_t v) { return v >= s; });
    std::printf("  %3d: %7.3f %% / %7.3f %%  [%td]\n", s, 100 * ScoreToFAR(s), 100 * Share(imp, s, true), n);
  }
  const double at47 = Share(imp, 47, true), at63 = Share(imp, 63, true);
  std::printf("target FMR at 47 in [0.5 %%, 2 %%]: %s; at 63 in [0.05 %%, 0.2 %%]: %s\n",
              at47 >= 0.005 && at47 <= 0.02 ? "met" : "missed", at63 >= 0.0005 && at63 <= 0.002 ? "met" : "missed");
  std::printf("genuine FNMR at 47: %.2f %%, at 63: %.2f %%\n", 100 * Share(c.genuineScore, 47, false),
              100 * Share(c.genuineScore, 63, false));
}

// The figures by which simulated presses are held against real ones.
struct Realism {
  std::string name;
  std::int32_t genuine10 = 0, genuine50 = 0, genuine90 = 0;
  // The same percentiles as the matcher's raw similarities: they stay put when the
  // score scale is fitted anew.
  float raw10 = 0, raw50 = 0, raw90 = 0;
  double fmr47 = 0, fmr63 = 0;
  double refused = 0;  // share of presses (images) the driver's checks refuse
  std::size_t genuinePairs = 0, impostorPairs = 0;
};

std::int32_t Percentile(std::vector<std::int32_t> scores, int percent) {
  if (scores.empty()) return 0;
  std::sort(scores.begin(), scores.end());
  return scores[(scores.size() - 1) * static_cast<std::size_t>(percent) / 100];
}

float RawPercentile(std::vector<float> raws, int percent) {
  if (raws.empty()) return 0;
  std::sort(raws.begin(), raws.end());
  return raws[(raws.size() - 1) * static_cast<std::size_t>(percent) / 100];
}

Realism FiguresOf(const std::string& name, const ComparedPopulation& c, int refused, int presses) {
  Realism r;
  r.name = name;
  r.raw10 = RawPercentile(c.raw.genuine, 10);
  r.raw50 = RawPercentile(c.raw.genuine, 50);
  r.raw90 = RawPercentile(c.raw.genuine, 90);
  r.genuine10 = Percentile(c.genuineScore, 10);
  r.genuine50 = Percentile(c.genuineScore, 50);
  r.genuine90 = Percentile(c.genuineScore, 90);
  r.fmr47 = Share(c.impostorScore, 47, true);
  r.fmr63 = Share(c.impostorScore, 63, true);
  r.refused = presses > 0 ? static_cast<double>(refused) / presses : 0;
  r.genuinePairs = c.genuineScore.size();
  r.impostorPairs = c.impostorScore.size();
  return r;
}

// Within `tolerance` (a share) of the span of the real sets' values.
template <typename T>
bool WithinRealSpan(T value, const std::vector<Realism>& real, T Realism::*field, double tolerance, double& lo,
                    double& hi) {
  lo = 1e9;
  hi = -1e9;
  for (const Realism& r : real) {
    lo = std::min(lo, static_cast<double>(r.*field));
    hi = std::max(hi, static_cast<double>(r.*field));
  }
  lo *= 1 - tolerance;
  hi *= 1 + tolerance;
  return value >= lo && value <= hi;
}

void PrintRealism(const Realism& sim, const std::vector<Realism>& real) {
  std::printf("\nrealism (genuine score percentiles 10/50/90 (raw similarity); impostor FMR at 47 and 63; presses "
              "refused):\n");
  const auto row = [](const Realism& r) {
    std::printf("  %-16s genuine %4d %4d %4d (%.3f %.3f %.3f)  FMR(47) %6.2f %%  FMR(63) %6.2f %%  refused %5.1f %%  "
                "[%zu genuine, %zu impostor pairs]\n",
                r.name.c_str(), r.genuine10, r.genuine50, r.genuine90, r.raw10, r.raw50, r.raw90, 100 * r.fmr47,
                100 * r.fmr63, 100 * r.refused, r.genuinePairs, r.impostorPairs);
  };
  row(sim);
  for (const Realism& r : real) row(r);
  if (real.empty()) {
    std::printf("  no real sets to compare with\n");
    return;
  }
  double lo = 0, hi = 0;
  bool met = WithinRealSpan(sim.genuine50, real, &Realism::genuine50, 0.35, lo, hi);
  std::printf("target genuine median within 35 %% of the real sets' (%.0f .. %.0f): %s\n", lo, hi, met ? "met" : "missed");
  met = WithinRealSpan(sim.genuine10, real, &Realism::genuine10, 0.35, lo, hi);
  std::printf("target genuine 10th percentile within 35 %% of the real sets' (%.0f .. %.0f): %s\n", lo, hi,
              met ? "met" : "missed");
  // The same on raw similarities, which hold when the score scale is fitted anew.
  met = WithinRealSpan(sim.raw50, real, &Realism::raw50, 0.35, lo, hi);
  std::printf("  raw genuine median within 35 %% (%.3f .. %.3f): %s\n", lo, hi, met ? "met" : "missed");
  met = WithinRealSpan(sim.raw10, real, &Realism::raw10, 0.35, lo, hi);
  std::printf("  raw genuine 10th percentile within 35 %% (%.3f .. %.3f): %s\n", lo, hi, met ? "met" : "missed");
  std::printf("target FMR at 47 in [0.5 %%, 2 %%] on this scale: %s\n",
              sim.fmr47 >= 0.005 && sim.fmr47 <= 0.02 ? "met" : "missed");
}

// Impostors compared without the score scale: the share of simulated impostor pairs
// that reach the raw similarity which 1 % and 0.1 % of the real sets' pooled impostor
// pairs reach. A new fit of the scale moves both populations' scores alike, so this
// is what FMR(47) and FMR(63) of the simulated presses come to on a scale fitted to
// real impostors (the real sets' few impostor pairs make it a rough figure).
void PrintImpostorRelation(std::vector<float> simulated, std::vector<float> real) {
  if (real.size() < 1000 || simulated.empty()) return;
  std::sort(real.begin(), real.end());
  std::sort(simulated.begin(), simulated.end());
  std::printf("simulated impostors at the real sets' own points (raw similarity reached by 1 %% / 0.1 %% of their %zu "
              "impostor pairs):\n",
              real.size());
  for (const int perMille : {10, 1}) {
    const float point = real[real.size() - real.size() * static_cast<std::size_t>(perMille) / 1000];
    const auto above = static_cast<std::size_t>(simulated.end() - std::lower_bound(simulated.begin(), simulated.end(), point));
    const double share = static_cast<double>(above) / static_cast<double>(simulated.size());
    std::printf("  %4.1f %% point (raw %.3f): %.2f %% of simulated impostor pairs\n", perMille / 10.0, point,
                100.0 * share);
    if (perMille == 10)
      std::printf("  target at the 1 %% point in [0.5 %%, 2 %%] (FMR(47) on a scale fitted to real impostors): %s\n",
                  share >= 0.005 && share <= 0.02 ? "met" : "missed");
  }
}

// Simulated impostor pairs of fingers of one pattern class and of different classes,
// and the share of each reaching 47: whether chance pairs come from fingers alike in
// their global flow or from the minutiae themselves.
void PrintClassSplit(const std::vector<std::string>& fingers, const ComparedPopulation& c) {
  std::vector<ostrela::TPatternClass> classes;
  for (const std::string& name : fingers) {
    const std::size_t slash = name.find('/');
    classes.push_back(ostrela::DesignFinger(static_cast<std::uint32_t>(std::stoul(name.substr(0, slash))),
                                            std::stoi(name.substr(slash + 1)))
                          .Class);
  }
  std::size_t pairs[2] = {0, 0}, reaching[2] = {0, 0}, k = 0;
  for (std::size_t i = 0; i < fingers.size(); ++i)
    for (std::size_t j = i + 1; j < fingers.size(); ++j) {
      if (fingers[i] == fingers[j]) continue;
      const int same = classes[i] == classes[j] ? 1 : 0;
      ++pairs[same];
      reaching[same] += c.impostorScore[k++] >= 47;
    }
  std::printf("simulated impostor pairs of one class: %.1f %% of pairs, FMR(47) %.2f %%; of different classes: FMR(47) "
              "%.2f %%\n",
              100.0 * static_cast<double>(pairs[1]) / static_cast<double>(std::max<std::size_t>(1, pairs[0] + pairs[1])),
              100.0 * static_cast<double>(reaching[1]) / static_cast<double>(std::max<std::size_t>(1, pairs[1])),
              100.0 * static_cast<double>(reaching[0]) / static_cast<double>(std::max<std::size_t>(1, pairs[0])));
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: vandrel-sim-eval [--fingers N] [--presses P] [--genuine-fingers G] [--genuine-presses Q]\n"
                 "                        [--seed S (0..%u)] [--raw FILE] [--fit [--balance] [--also FOLDER ...]]\n"
                 "                        [--real [FOLDER ...]]\n",
                 kMaxSimulationSeed);
    return 2;
  }
  const auto start = Clock::now();
  if (EngineInitialize() != kResultOk) {
    std::fprintf(stderr, "engine failed to start\n");
    return 1;
  }
  // The context settings of the folder evaluation (and of the library's devices).
  const std::int32_t context = CreateContext();
  SetParameter(kParamFeatureSelection, 1, context);
  SetParameter(kParamQualityBytes, 1, context);

  std::vector<std::string> fingers;
  std::vector<MatchTemplate> templates;
  int rejected = 0;
  SimulationTimings t;
  const std::vector<SimulatedFinger> list = SimulatedFingers(o.seed, o.genuineFingers, o.genuinePresses, o.fingers, o.presses);
  RenderSimulatedPresses(list, o.seed, context, fingers, templates, rejected, t);
  std::printf("simulated fingers: %d x %d presses and %d x %d presses (seed %u); presses kept %zu, rejected %d\n",
              o.genuineFingers, o.genuinePresses, o.fingers, o.presses, o.seed, templates.size(), rejected);
  std::vector<std::size_t> counts;
  for (const MatchTemplate& m : templates) counts.push_back(m.minutiae.size());
  std::sort(counts.begin(), counts.end());
  if (!counts.empty())
    std::printf("minutiae per kept press: 10%% %zu, median %zu, 90%% %zu\n", counts[counts.size() / 10],
                counts[counts.size() / 2], counts[counts.size() * 9 / 10]);
  std::printf("masters %.1f s, rendering %.1f s, extraction %.1f s (%d frames, %.2f ms each)\n", t.masters, t.rendering,
              t.extraction, t.frames, 1000 * t.extraction / std::max(1, t.frames));

  std::FILE* dump = o.rawFile.empty() ? nullptr : std::fopen(o.rawFile.c_str(), "w");
  if (!o.rawFile.empty() && dump == nullptr) std::fprintf(stderr, "cannot write %s\n", o.rawFile.c_str());
  const ComparedPopulation sim = CompareAll("simulated", fingers, templates, dump);
  std::printf("genuine pairs %zu, impostor pairs %zu; matching %.1f s (%.0f comparisons/s, one thread)\n",
              sim.genuineScore.size(), sim.impostorScore.size(), sim.seconds,
              static_cast<double>(sim.genuineScore.size() + sim.impostorScore.size()) / std::max(sim.seconds, 1e-9));
  PrintCalibration(sim);
  PrintClassSplit(fingers, sim);
  std::vector<PressFigures> pressRows{FiguresOfPresses("simulated", fingers, templates, sim)};

  int presses = 0;
  for (const SimulatedFinger& f : list) presses += f.presses;
  std::vector<Realism> realSets;
  std::vector<float> realImpostorRaw;
  for (const std::string& folder : o.real) {
    std::vector<std::string> folderFingers;
    std::vector<MatchTemplate> folderTemplates;
    int refused = 0, listed = 0;
    if (!FolderTemplates(folder, context, folderFingers, folderTemplates, refused, listed)) {
      std::fprintf(stderr, "cannot read folder %s\n", folder.c_str());
      continue;
    }
    const ComparedPopulation compared = CompareAll(FolderName(folder), folderFingers, folderTemplates, nullptr);
    realImpostorRaw.insert(realImpostorRaw.end(), compared.raw.impostor.begin(), compared.raw.impostor.end());
    realSets.push_back(FiguresOf(FolderName(folder), compared, refused, listed));
    pressRows.push_back(FiguresOfPresses(FolderName(folder), folderFingers, folderTemplates, compared));
  }
  PrintRealism(FiguresOf("simulated", sim, rejected, presses), realSets);
  PrintImpostorRelation(sim.raw.impostor, realImpostorRaw);
  PrintPressFigures(pressRows, stdout);

  if (o.fit) {
    std::vector<RawPopulation> populations{sim.raw};
    for (const std::string& folder : o.also) {
      std::vector<std::string> folderFingers;
      std::vector<MatchTemplate> folderTemplates;
      int refused = 0, listed = 0;
      if (!FolderTemplates(folder, context, folderFingers, folderTemplates, refused, listed)) {
        std::fprintf(stderr, "cannot read folder %s\n", folder.c_str());
        continue;
      }
      populations.push_back(CompareAll(FolderName(folder), folderFingers,
                                       folderTemplates, dump)
                                .raw);
    }
    ReportCalibrationFit(populations, o.balance, stdout);
  }
  if (dump) std::fclose(dump);
  std::printf("total %.1f s\n", Seconds(Clock::now() - start));
  FreeContext(context);
  EngineFinalize();
  return 0;
}
