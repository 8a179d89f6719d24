// Runs the FVC protocol over folders of images named <finger>_<impression>.png: per
// folder every genuine pair and every impostor pair across its fingers, three-sample
// enrollment (impressions 1-3 generalized, 4-8 probed) and the refusals of every other
// triple of impressions. A folder of images named otherwise (single captures, one per
// finger) only adds impostors. Then the calibration pools: every impostor pair of the
// real images, within and across folders, and optionally of simulated fingers, with
// the FMR at the scale's scores 47 and 63 against the targets.
//
//   vandrel-eval [--scores FILE] [--raw FILE] [--sim FINGERS] [--bend PIXELS] [--seed S] [--fit] FOLDER [FOLDER ...]
// --scores writes "g|i score" for every pair (across folders too); --raw writes
// "g|i raw score pairs similarity-sum overlapA overlapB minutiaeA minutiaeB rigid-pairs"
// per pair of each folder; --sim adds a pool of that many simulated fingers pressed
// once each (460 give over 100 000 pairs); --bend first bends every image as another
// press would (BentPresses.h), its periphery moved that many pixels in a direction of
// its own drawn from --seed; --fit fits the calibration knots on the real pool and
// prints them ready to paste, with both pools under them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BentPresses.h"
#include "CalibrationPools.h"
#include "Engine.h"
#include "FeatureRecord.h"
#include "LocalStructures.h"
#include "Matcher.h"
#include "PngGray.h"
#include "RawComparisons.h"
#include "SimulatedPresses.h"
#include "VandrelParams.h"
#include "capture/ScoreScale.h"

namespace {

using namespace mivex;
using namespace mivex::vandrel;
using Clock = std::chrono::steady_clock;

struct Sample {
  std::string set, finger;
  int impression = 0;
  int quality = 0;
  int minutiae = 0;
  std::vector<std::uint8_t> record;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Rates {
  double eer = 0, fnmr1 = 0, fnmr01 = 0;
};

// FMR(t) = share of impostors >= t, FNMR(t) = share of genuines < t.
double Share(const std::vector<int>& v, int t, bool atOrAbove) {
  std::size_t n = 0;
  for (int s : v) n += atOrAbove ? s >= t : s < t;
  return v.empty() ? 0 : static_cast<double>(n) / static_cast<double>(v.size());
}

Rates ErrorRates(const std::vector<int>& genuine, const std::vector<int>& impostor) {
  Rates r;
  r.eer = 1;
  r.fnmr1 = r.fnmr01 = 1;
  for (int t = 0; t <= 2001; ++t) {
    const double fmr = Share(impostor, t, true), fnmr = Share(genuine, t, false);
    r.eer = std::min(r.eer, std::max(fmr, fnmr));
    if (fmr <= 0.01) r.fnmr1 = std::min(r.fnmr1, fnmr);
    if (fmr <= 0.001) r.fnmr01 = std::min(r.fnmr01, fnmr);
  }
  return r;
}

int Verify(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::int32_t details[5] = {20, 0, 0, 0, 0};
  const std::int32_t rc = VerifyRecords(a.data(), b.data(), details, 0);
  return rc < 0 ? -1 : details[1];
}

// Records handed to the engine live in 10000-byte buffers, as the library's do.
std::vector<std::uint8_t> Buffer(const std::uint8_t* data, std::size_t n) {
  std::vector<std::uint8_t> v(data, data + n);
  v.resize(params::kRecordBufferSize, 0);
  return v;
}

std::string FolderName(const std::string& folder) {
  std::filesystem::path p(folder);
  if (p.filename().empty()) p = p.parent_path();
  return p.filename().string();
}

struct Options {
  std::vector<std::string> folders;
  std::string scoresFile, rawFile;
  bool fit = false;
  int simFingers = 0;
  int bend = 0;  // pixels; 0 leaves the images as they are
  std::uint32_t seed = 0;
};

// Careless presses drag the periphery a few ridge periods; a bend far past that
// would tear ridges rather than stretch them.
constexpr long kMostBend = 64;

bool ParseCount(const char* text, long limit, long& v) {
  char* end = nullptr;
  v = std::strtol(text, &end, 10);
  return end != text && *end == 0 && v >= 0 && v <= limit;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    long v = 0;
    if (!std::strcmp(argv[i], "--scores") && hasValue) o.scoresFile = argv[++i];
    else if (!std::strcmp(argv[i], "--raw") && hasValue) o.rawFile = argv[++i];
    else if (!std::strcmp(argv[i], "--fit")) o.fit = true;
    else if (!std::strcmp(argv[i], "--sim") && hasValue && ParseCount(argv[++i], 100000, v)) o.simFingers = static_cast<int>(v);
    else if (!std::strcmp(argv[i], "--bend") && hasValue && ParseCount(argv[++i], kMostBend, v)) o.bend = static_cast<int>(v);
    else if (!std::strcmp(argv[i], "--seed") && hasValue && ParseCount(argv[++i], kMaxSimulationSeed, v)) o.seed = static_cast<std::uint32_t>(v);
    else if (!std::strncmp(argv[i], "--", 2)) return false;
    else o.folders.push_back(argv[i]);
  }
  return !o.folders.empty();
}

using FingerSamples = std::map<std::string, std::vector<const Sample*>>;

// Generalizes three samples with the context; an empty record when refused.
std::vector<std::uint8_t> Generalize(const Sample* const three[3], std::int32_t context) {
  const std::uint8_t* records[3] = {three[0]->record.data(), three[1]->record.data(), three[2]->record.data()};
  std::vector<std::uint8_t> out(params::kRecordBufferSize);
  std::int32_t length = 0;
  if (GeneralizeRecords(3, records, out.data(), &length, context) < 0) return {};
  return Buffer(out.data(), static_cast<std::size_t>(length));
}

// Three-sample enrollment of one folder's fingers: impressions 1-3 generalized and
// probed with 4-8 (genuine) and every other finger's 4-8 (impostor), then every triple
// of impressions, probed with the finger's other impressions and every other finger's.
void ReportEnrollment(const FingerSamples& byFinger, std::int32_t context) {
  struct Enrolled {
    std::string key;
    std::vector<std::uint8_t> generalized, single;
  };
  std::vector<Enrolled> enrolled;
  int failures = 0;
  for (const auto& [key, list] : byFinger) {
    const Sample* first[3] = {nullptr, nullptr, nullptr};
    for (const Sample* s : list)
      if (s->impression >= 1 && s->impression <= 3) first[s->impression - 1] = s;
    if (!first[0] || !first[1] || !first[2]) continue;
    std::vector<std::uint8_t> g = Generalize(first, context);
    if (g.empty()) {
      ++failures;
      continue;
    }
    enrolled.push_back({key, std::move(g), first[0]->record});
  }
  std::vector<int> eg, ei, sg, si;
  for (const Enrolled& e : enrolled)
    for (const auto& [key, list] : byFinger)
      for (const Sample* p : list) {
        if (p->impression < 4) continue;
        const bool same = key == e.key;
        (same ? eg : ei).push_back(Verify(e.generalized, p->record));
        (same ? sg : si).push_back(Verify(e.single, p->record));
      }
  const Rates er = ErrorRates(eg, ei), sr = ErrorRates(sg, si);
  std::printf("  three-sample enrollment (impressions 1-3): %zu fingers enrolled, %d refused; %zu genuine, %zu impostor probes\n",
              enrolled.size(), failures, eg.size(), ei.size());
  std::printf("    generalized:   EER %5.2f %%  FNMR@FMR1%% %5.2f %%  FNMR at score 47: %5.2f %%  FMR at 47: %5.2f %%\n",
              100 * er.eer, 100 * er.fnmr1, 100 * Share(eg, 47, false), 100 * Share(ei, 47, true));
  std::printf("    sample 1 only: EER %5.2f %%  FNMR@FMR1%% %5.2f %%  FNMR at score 47: %5.2f %%  FMR at 47: %5.2f %%\n",
              100 * sr.eer, 100 * sr.fnmr1, 100 * Share(sg, 47, false), 100 * Share(si, 47, true));

  // Every triple: which are refused, and why (the three samples' scores with one another).
  int triples = 0, refused = 0;
  std::vector<int> tg, ti;
  std::vector<std::string> refusals;
  for (const auto& [key, list] : byFinger) {
    const std::size_t n = list.size();
    for (std::size_t a = 0; a < n; ++a)
      for (std::size_t b = a + 1; b < n; ++b)
        for (std::size_t c = b + 1; c < n; ++c) {
          const Sample* three[3] = {list[a], list[b], list[c]};
          ++triples;
          const std::vector<std::uint8_t> g = Generalize(three, context);
          if (g.empty()) {
            ++refused;
            char line[160];
            std::snprintf(line, sizeof line, "%s impressions %d %d %d: scores %d (%d-%d) %d (%d-%d) %d (%d-%d)", key.c_str(),
                          three[0]->impression, three[1]->impression, three[2]->impression,
                          Verify(three[0]->record, three[1]->record), three[0]->impression, three[1]->impression,
                          Verify(three[0]->record, three[2]->record), three[0]->impression, three[2]->impression,
                          Verify(three[1]->record, three[2]->record), three[1]->impression, three[2]->impression);
            refusals.push_back(line);
            continue;
          }
          for (const auto& [other, probes] : byFinger)
            for (const Sample* p : probes) {
              if (p == three[0] || p == three[1] || p == three[2]) continue;
              (other == key ? tg : ti).push_back(Verify(g, p->record));
            }
        }
  }
  if (triples == 0) return;
  const Rates tr = ErrorRates(tg, ti);
  std::printf("  every triple of impressions: %d, refused %d (%.1f %%); generalized: EER %.2f %%  FNMR@FMR1%% %.2f %%  "
              "FNMR at 47: %.2f %%  FMR at 47: %.3f %% [%zu genuine, %zu impostor probes]\n",
              triples, refused, 100.0 * refused / triples, 100 * tr.eer, 100 * tr.fnmr1, 100 * Share(tg, 47, false),
              100 * Share(ti, 47, true), tg.size(), ti.size());
  for (const std::string& r : refusals) std::printf("    refused: %s\n", r.c_str());

  // Mixed triples: two impressions of one finger and one of another, which must be refused.
  int mixed = 0, accepted = 0;
  for (const auto& [key, list] : byFinger)
    for (std::size_t a = 0; a < list.size(); ++a)
      for (std::size_t b = a + 1; b < list.size(); ++b)
        for (const auto& [other, strangers] : byFinger)
          for (const Sample* stranger : strangers) {
            if (other == key) continue;
            const Sample* three[3] = {list[a], list[b], stranger};
            ++mixed;
            accepted += !Generalize(three, context).empty();
          }
  std::printf("  mixed triples (two impressions of one finger, one of another): %d, accepted %d (%.3f %%)\n", mixed,
              accepted, 100.0 * accepted / std::max(1, mixed));
}

// The genuine and impostor pairs within one folder.
void ReportFolder(const std::string& folder, const std::vector<Sample>& samples, std::int32_t context) {
  std::vector<const Sample*> mine;
  for (const Sample& s : samples)
    if (s.set == folder) mine.push_back(&s);
  std::printf("\n%s: %zu images\n", FolderName(folder).c_str(), mine.size());
  std::vector<int> quality, minutiae;
  for (const Sample* s : mine) quality.push_back(s->quality), minutiae.push_back(s->minutiae);
  std::sort(quality.begin(), quality.end());
  std::sort(minutiae.begin(), minutiae.end());
  if (quality.empty()) return;
  std::printf("  extraction scores: min %d, median %d, 90%% %d, max %d, above 120: %zu; minutiae: 10%% %d, median %d, 90%% %d\n",
              quality.front(), quality[quality.size() / 2], quality[quality.size() * 9 / 10], quality.back(),
              static_cast<std::size_t>(std::count_if(quality.begin(), quality.end(), [](int q) { return q > 120; })),
              minutiae[minutiae.size() / 10], minutiae[minutiae.size() / 2], minutiae[minutiae.size() * 9 / 10]);
  std::vector<int> genuine, impostor;
  for (std::size_t i = 0; i < mine.size(); ++i)
    for (std::size_t j = i + 1; j < mine.size(); ++j)
      (mine[i]->finger == mine[j]->finger ? genuine : impostor).push_back(Verify(mine[i]->record, mine[j]->record));
  if (genuine.empty()) {
    // Single captures: what they score against every other image.
    for (const Sample* s : mine) {
      int best = 0;
      const Sample* partner = nullptr;
      for (const Sample& o : samples) {
        const int v = &o != s ? Verify(s->record, o.record) : -1;
        if (v > best) best = v, partner = &o;
      }
      std::printf("    %-20s extraction score %4d, %2d minutiae, highest score against any other image %4d (%s)\n",
                  s->finger.c_str(), s->quality, s->minutiae, best,
                  partner ? (FolderName(partner->set) + "/" + partner->finger + "_" + std::to_string(partner->impression)).c_str() : "-");
    }
    return;
  }
  const Rates r = ErrorRates(genuine, impostor);
  std::printf("  genuine pairs %zu, impostor pairs %zu\n", genuine.size(), impostor.size());
  std::printf("  EER %.2f %%  FNMR@FMR1%% %.2f %%  FNMR@FMR0.1%% %.2f %%\n", 100 * r.eer, 100 * r.fnmr1, 100 * r.fnmr01);
  std::printf("  calibration (score: promised FMR / observed FMR / FNMR):\n");
  for (int s : {22, 34, 47, 63})
    std::printf("    %3d: %7.3f %% / %7.3f %% / %6.2f %%\n", s, 100 * ScoreToFAR(s), 100 * Share(impostor, s, true),
                100 * Share(genuine, s, false));
  FingerSamples byFinger;
  for (const Sample* s : mine) byFinger[s->finger].push_back(s);
  ReportEnrollment(byFinger, context);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: vandrel-eval [--scores FILE] [--raw FILE] [--sim FINGERS] [--bend PIXELS] [--seed S] [--fit] FOLDER "
                 "[FOLDER ...]\n");
    return 2;
  }
  EngineInitialize();
  // The settings of the library's devices.
  const std::int32_t context = CreateContext();
  SetParameter(kParamFeatureSelection, 1, context);
  SetParameter(kParamQualityBytes, 1, context);

  std::vector<Sample> samples;
  double extractSeconds = 0;
  int extractCount = 0;
  for (const std::string& folder : o.folders) {
    std::vector<FolderImage> images;
    if (!ListFingerprintFolder(folder, images)) {
      std::fprintf(stderr, "cannot read folder %s\n", folder.c_str());
      return 2;
    }
    for (const FolderImage& image : images) {
      const std::filesystem::path& path = image.path;
      GrayImage img;
      if (!ReadPngGray(path.string(), img)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        continue;
      }
      if (o.bend > 0) {
        const float direction = BendDirection(o.seed, path.stem().string());
        img = BendPress(img, static_cast<float>(o.bend) * std::cos(direction), static_cast<float>(o.bend) * std::sin(direction));
      }
      StoredSample stored;
      const auto t0 = Clock::now();
      const bool extracted = ExtractStoredSample(img.pixels.data(), img.width, img.height, context, stored);
      extractSeconds += Seconds(Clock::now() - t0);
      ++extractCount;
      if (!extracted) {
        std::printf("not extracted: %s (result %d)\n", path.c_str(), stored.quality);
        continue;
      }
      samples.push_back({folder, image.finger, image.impression, stored.quality, stored.minutiae, std::move(stored.record)});
    }
  }
  if (o.bend > 0)
    std::printf("presses bent: the periphery of each moved %d px in a direction of its own (seed %u), as much cut from each side\n",
                o.bend, static_cast<unsigned>(o.seed));
  std::printf("images: %zu, extraction %.2f ms per image\n", samples.size(), 1000 * extractSeconds / std::max(1, extractCount));
  // A check through the DLL's exports alone would extract with a default context and
  // compare those records: other records, so other rates. Say which records these are.
  std::printf("records as the library stores them: extracted with feature selection 1 and minutia quality,\n"
              "re-encoded by the library's codec; VFVerify gives these very scores for these records in every build\n");

  if (!o.scoresFile.empty()) {
    std::FILE* dump = std::fopen(o.scoresFile.c_str(), "w");
    if (dump == nullptr) std::fprintf(stderr, "cannot write %s\n", o.scoresFile.c_str());
    for (std::size_t i = 0; dump && i < samples.size(); ++i)
      for (std::size_t j = i + 1; j < samples.size(); ++j) {
        const bool same = samples[i].set == samples[j].set && samples[i].finger == samples[j].finger;
        std::fprintf(dump, "%c %d\n", same ? 'g' : 'i', Verify(samples[i].record, samples[j].record));
      }
    if (dump) std::fclose(dump);
  }
  const auto m0 = Clock::now();
  std::size_t comparisons = 0;
  for (std::size_t i = 0; i < samples.size(); ++i)
    for (std::size_t j = i + 1; j < samples.size(); ++j, ++comparisons) Verify(samples[i].record, samples[j].record);
  const double matchSeconds = Seconds(Clock::now() - m0);
  std::printf("matching: %.0f comparisons/s (%.1f us each, one thread, verification calls)\n",
              static_cast<double>(comparisons) / std::max(matchSeconds, 1e-9), 1e6 * matchSeconds / std::max<double>(1, comparisons));

  for (const std::string& folder : o.folders) ReportFolder(folder, samples, context);

  // The pools, from the templates verification prepares.
  std::vector<PoolMember> members;
  for (const Sample& s : samples) {
    PoolMember m{FolderName(s.set), s.finger, {}};
    if (TemplateOfRecord(s.record.data(), m.templ)) members.push_back(std::move(m));
  }
  const ImpostorPool real = RealImpostorPool(members);
  ImpostorPool simulated;
  if (o.simFingers > 1) {
    std::vector<std::string> fingers;
    std::vector<MatchTemplate> templates;
    int rejected = 0;
    SimulationTimings t;
    RenderSimulatedPresses(SimulatedFingers(o.seed, 0, 1, o.simFingers, 1), o.seed, context, fingers, templates,
                           rejected, t);
    const ComparedPopulation c = CompareAll("simulated", fingers, templates, nullptr);
    char name[96];
    std::snprintf(name, sizeof name, "%zu simulated fingers, seed %u,", templates.size(), o.seed);
    simulated.name = "simulated";
    simulated.groups.push_back({name, c.raw.impostor});
    std::printf("\nsimulated fingers: %d pressed once (seed %u), %d presses refused by the driver's checks\n",
                o.simFingers, o.seed, rejected);
  }
  const CalibrationKnots current = CurrentKnots();
  std::printf("\ncalibration pools under the engine's knots:\n");
  PrintPoolTable(real, current, true, stdout);
  if (simulated.Size()) {
    PrintPoolTable(simulated, current, false, stdout);
    PrintPoolDistance(real, simulated, current, stdout);
  }

  if (!o.rawFile.empty()) {
    std::FILE* raw = std::fopen(o.rawFile.c_str(), "w");
    if (raw == nullptr) std::fprintf(stderr, "cannot write %s\n", o.rawFile.c_str());
    for (const std::string& folder : o.folders) {
      std::vector<std::string> fingers;
      std::vector<MatchTemplate> templates;
      for (const Sample& s : samples) {
        MatchTemplate t;
        if (s.set != folder || !TemplateOfRecord(s.record.data(), t)) continue;
        fingers.push_back(s.finger);
        templates.push_back(std::move(t));
      }
      if (raw) CompareAll(folder, fingers, templates, raw);
    }
    if (raw) std::fclose(raw);
  }
  if (o.fit) {
    std::vector<WeightedRaw> impostors;
    for (float r : real.All()) impostors.push_back({r, 1});
    const CalibrationFitResult fit = FitCalibration(impostors, HalfDecades(), current.tailSlope);
    std::printf("\ncalibration fit on the real pool (%zu impostor pairs):\n", impostors.size());
    PrintKnots(fit, stdout);
    std::printf("calibration pools under the fitted knots:\n");
    PrintPoolTable(real, fit.knots, true, stdout);
    if (simulated.Size()) {
      PrintPoolTable(simulated, fit.knots, false, stdout);
      PrintPoolDistance(real, simulated, fit.knots, stdout);
    }
  }
  FreeContext(context);
  EngineFinalize();
  return 0;
}
