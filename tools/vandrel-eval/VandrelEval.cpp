// Runs the FVC protocol over folders of images named <finger>_<impression>.png: every
// genuine pair and every impostor pair across fingers, plus three-sample enrollment
// (impressions 1-3 generalized, 4-8 probed). Prints error rates, the calibration of
// the score scale and timings.
//
//   vandrel-eval [--quiet] [--scores FILE] [--raw FILE] [--fit [--balance]] FOLDER [FOLDER ...]
// Impostor pairs are also taken across folders when several are given. --raw writes
// "g|i raw score pairs similarity-sum overlapA overlapB minutiaeA minutiaeB rigid-pairs" per pair of each folder; --fit fits the calibration knots on the raw
// similarities of the impostor pairs within each folder (every folder its own
// population) and prints them ready to paste.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Engine.h"
#include "FeatureRecord.h"
#include "LocalStructures.h"
#include "Matcher.h"
#include "PngGray.h"
#include "RawComparisons.h"
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> folders;
  std::string scoresFile, rawFile;
  bool fit = false, balance = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--scores") && i + 1 < argc) scoresFile = argv[++i];
    else if (!std::strcmp(argv[i], "--raw") && i + 1 < argc) rawFile = argv[++i];
    else if (!std::strcmp(argv[i], "--fit")) fit = true;
    else if (!std::strcmp(argv[i], "--balance")) balance = true;
    else folders.push_back(argv[i]);
  }
  if (folders.empty()) {
    std::fprintf(stderr, "usage: vandrel-eval [--scores FILE] [--raw FILE] [--fit [--balance]] FOLDER [FOLDER ...]\n");
    return 2;
  }
  EngineInitialize();
  const std::int32_t context = CreateContext();
  SetParameter(kParamFeatureSelection, 1, context);
  SetParameter(kParamQualityBytes, 1, context);

  std::vector<Sample> samples;
  double extractSeconds = 0;
  int extractCount = 0;
  for (const std::string& folder : folders) {
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
      Sample s;
      s.set = folder;
      s.finger = image.finger;
      s.impression = image.impression;
      StoredSample stored;
      const auto t0 = Clock::now();
      const bool extracted = ExtractStoredSample(img.pixels.data(), img.width, img.height, context, stored);
      extractSeconds += Seconds(Clock::now() - t0);
      ++extractCount;
      if (!extracted) {
        std::fprintf(stderr, "undecodable record for %s\n", path.c_str());
        continue;
      }
      s.quality = stored.quality;
      s.record = std::move(stored.record);
      samples.push_back(std::move(s));
    }
  }
  std::printf("images: %zu, extraction %.2f ms per image\n", samples.size(), 1000 * extractSeconds / std::max(1, extractCount));
  // A check through the DLL's exports alone would extract with a default context and
  // compare those records: other records, so other rates. Say which records these are.
  std::printf("records as the library stores them: extracted with feature selection 1 and minutia quality,\n"
              "re-encoded by the library's codec; VFVerify gives these very scores for these records in every build\n");
  std::vector<int> quality;
  for (const Sample& s : samples) quality.push_back(s.quality);
  std::sort(quality.begin(), quality.end());
  if (!quality.empty())
    std::printf("extraction scores: min %d, median %d, 90%% %d, max %d, above 120: %zu\n", quality.front(),
                quality[quality.size() / 2], quality[quality.size() * 9 / 10], quality.back(),
                static_cast<std::size_t>(std::count_if(quality.begin(), quality.end(), [](int q) { return q > 120; })));

  std::vector<int> genuine, impostor;
  std::FILE* dump = scoresFile.empty() ? nullptr : std::fopen(scoresFile.c_str(), "w");
  const auto t0 = Clock::now();
  for (std::size_t i = 0; i < samples.size(); ++i)
    for (std::size_t j = i + 1; j < samples.size(); ++j) {
      const bool same = samples[i].set == samples[j].set && samples[i].finger == samples[j].finger;
      const int s = Verify(samples[i].record, samples[j].record);
      (same ? genuine : impostor).push_back(s);
      if (dump) std::fprintf(dump, "%c %d\n", same ? 'g' : 'i', s);
    }
  const double matchSeconds = Seconds(Clock::now() - t0);
  if (dump) std::fclose(dump);
  const std::size_t comparisons = genuine.size() + impostor.size();
  const Rates r = ErrorRates(genuine, impostor);
  std::printf("genuine pairs %zu, impostor pairs %zu\n", genuine.size(), impostor.size());
  std::printf("EER %.2f %%  FNMR@FMR1%% %.2f %%  FNMR@FMR0.1%% %.2f %%\n", 100 * r.eer, 100 * r.fnmr1, 100 * r.fnmr01);
  std::printf("matching: %.0f comparisons/s (%.1f us each, one thread)\n", static_cast<double>(comparisons) / matchSeconds,
              1e6 * matchSeconds / static_cast<double>(comparisons));
  std::printf("calibration (score: expected FMR / observed FMR / FNMR):\n");
  for (int s : {22, 34, 47, 63}) {
    std::printf("  %3d: %7.3f %% / %7.3f %% / %6.2f %%\n", s, 100 * ScoreToFAR(s), 100 * Share(impostor, s, true),
                100 * Share(genuine, s, false));
  }

  // Three-sample enrollment: impressions 1-3 generalized, 4-8 probed.
  std::map<std::string, std::vector<const Sample*>> byFinger;
  for (const Sample& s : samples) byFinger[s.set + "/" + s.finger].push_back(&s);
  struct Enrolled {
    std::string key;
    std::vector<std::uint8_t> generalized, single;
  };
  std::vector<Enrolled> enrolled;
  int failures = 0;
  for (auto& [key, list] : byFinger) {
    const Sample* first[3] = {nullptr, nullptr, nullptr};
    for (const Sample* s : list)
      if (s->impression >= 1 && s->impression <= 3) first[s->impression - 1] = s;
    if (!first[0] || !first[1] || !first[2]) continue;
    const std::uint8_t* records[3] = {first[0]->record.data(), first[1]->record.data(), first[2]->record.data()};
    std::vector<std::uint8_t> out(params::kRecordBufferSize);
    std::int32_t length = 0;
    if (GeneralizeRecords(3, records, out.data(), &length, context) < 0) {
      ++failures;
      continue;
    }
    enrolled.push_back({key, Buffer(out.data(), static_cast<std::size_t>(length)), first[0]->record});
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
  std::printf("three-sample enrollment: %zu fingers enrolled, %d refused; %zu genuine, %zu impostor probes\n",
              enrolled.size(), failures, eg.size(), ei.size());
  std::printf("  generalized: EER %.2f %%  FNMR@FMR1%% %.2f %%  FNMR at score 47: %.2f %%  FMR at 47: %.2f %%\n",
              100 * er.eer, 100 * er.fnmr1, 100 * Share(eg, 47, false), 100 * Share(ei, 47, true));
  std::printf("  sample 1 only: EER %.2f %%  FNMR@FMR1%% %.2f %%  FNMR at score 47: %.2f %%  FMR at 47: %.2f %%\n",
              100 * sr.eer, 100 * sr.fnmr1, 100 * Share(sg, 47, false), 100 * Share(si, 47, true));

  if (fit || !rawFile.empty()) {
    std::FILE* raw = rawFile.empty() ? nullptr : std::fopen(rawFile.c_str(), "w");
    if (!rawFile.empty() && raw == nullptr) std::fprintf(stderr, "cannot write %s\n", rawFile.c_str());
    std::vector<RawPopulation> populations;
    for (const std::string& folder : folders) {
      std::vector<std::string> fingers;
      std::vector<MatchTemplate> templates;
      for (const Sample& s : samples) {
        MatchTemplate t;
        if (s.set != folder || !TemplateOfRecord(s.record.data(), t)) continue;
        fingers.push_back(s.finger);
        templates.push_back(std::move(t));
      }
      populations.push_back(CompareAll(folder, fingers, templates, raw).raw);
    }
    if (raw) std::fclose(raw);
    if (fit) ReportCalibrationFit(populations, balance, stdout);
  }
  FreeContext(context);
  EngineFinalize();
  return 0;
}
