// One-to-many search against plain one-by-one verification, in the same run.
//
// The gallery holds the records of the real images in ../shared/data (both FVC sets)
// and, up to MIVEX_GALLERY records (100 000 unless set), variants of them: each turned,
// shifted, with some minutiae dropped and the rest jittered, as another press of
// another finger would give. The probe is 102_1 of fvc2000_db2_b; its seven mates are
// in the gallery once, unchanged, and no variant is made of that finger, so every
// other record is an impostor.
//
// BM_Identify runs the engine's search on 1 and 2 threads and reports comparisons per
// second per core; BM_VerifyOneByOne calls VerifyRecords(record, probe) for one gallery
// record after another, as a host without the search would. The ratio of the two is
// printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "Engine.h"
#include "FeatureRecord.h"
#include "PngGray.h"
#include "RawComparisons.h"
#include "Search.h"
#include "VandrelParams.h"

namespace {

using namespace mivex::vandrel;

using Record = std::vector<std::uint8_t>;

struct Corpus {
  bool ready = false;
  Record probe;
  std::vector<Record> records;  // every record, kRecordBufferSize long for VerifyRecords
  SearchGallery gallery;
  std::vector<std::size_t> mates;  // gallery indices of the probe's finger
};

Record Extract(const std::string& path) {
  GrayImage img;
  Record record(params::kRecordBufferSize);
  std::int32_t length = 0;
  if (!ReadPngGray(path, img) ||
      ExtractRecord(img.width, img.height, img.pixels.data(), 500, record.data(), &length, 0) < 0)
    return {};
  return record;
}

// Another press of another finger: the minutiae turned and shifted about the print's
// middle, about one in seven dropped, the rest moved by up to two pixels.
Record Variant(const Features& base, std::mt19937& rng) {
  std::uniform_real_distribution<float> turn(-0.35f, 0.35f), shift(-25.0f, 25.0f), jitter(-2.0f, 2.0f);
  std::uniform_int_distribution<int> drop(0, 6);
  const float a = turn(rng), c = std::cos(a), s = std::sin(a), tx = shift(rng), ty = shift(rng);
  Features f;
  for (const Minutia& m : base.minutiae) {
    if (drop(rng) == 0) continue;
    Minutia v = m;
    const float x = m.x - 128, y = m.y - 150;
    v.x = c * x - s * y + 128 + tx + jitter(rng);
    v.y = s * x + c * y + 150 + ty + jitter(rng);
    v.direction = std::fmod(m.direction + a + 2 * std::numbers::pi_v<float>, 2 * std::numbers::pi_v<float>);
    f.minutiae.push_back(v);
  }
  Record record(params::kRecordBufferSize);
  if (WriteFeatureRecord(f, FeatureSelection::OmitBO, true, record.data(), record.size()) < 0) return {};
  return record;
}

Corpus& TheCorpus() {
  static Corpus corpus = [] {
    Corpus c;
    EngineInitialize();
    const char* sizeText = std::getenv("MIVEX_GALLERY");
    const std::size_t size = sizeText ? std::strtoull(sizeText, nullptr, 10) : 100000;
    std::vector<Features> bases;
    for (const char* set : {"fvc2000_db2_b", "fvc2000_db4_b"}) {
      std::vector<FolderImage> images;
      if (!ListFingerprintFolder(std::string(MIVEX_DATA_DIR) + "/fingerprints/" + set, images)) return c;
      for (const FolderImage& image : images) {
        Record r = Extract(image.path.string());
        if (r.empty()) continue;
        const bool probeFinger = std::string(set) == "fvc2000_db2_b" && image.finger == "102";
        if (probeFinger && image.impression == 1) {
          c.probe = std::move(r);
          continue;
        }
        if (probeFinger) {
          c.mates.push_back(c.records.size());
        } else {
          Features f;
          if (ReadFeatureRecord(r.data(), r.size(), f)) bases.push_back(std::move(f));
        }
        c.records.push_back(std::move(r));
      }
    }
    if (c.probe.empty() || bases.empty()) return c;
    std::mt19937 rng(25);
    while (c.records.size() < size) {
      Record r = Variant(bases[c.records.size() % bases.size()], rng);
      if (!r.empty()) c.records.push_back(std::move(r));
    }
    c.gallery.Reserve(c.records.size());
    for (const Record& r : c.records)
      if (!c.gallery.Add(r.data(), r.size())) return c;
    c.ready = true;
    return c;
  }();
  return corpus;
}

// Comparisons per second per core of each benchmark's last run, for the ratios: by
// the wall clock, and by this process's processor time.
std::map<std::string, double> g_rates, g_cpuRates;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void BM_Identify(benchmark::State& state) {
  Corpus& c = TheCorpus();
  if (!c.ready) {
    state.SkipWithError("fingerprint images not found");
    return;
  }
  MatchTemplate probe;
  PrepareRecord(c.probe.data(), c.probe.size(), probe);
  SearchOptions options;
  options.threads = static_cast<unsigned>(state.range(0));
  options.maxHits = 10;
  SearchOutcome outcome;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    outcome = Search(probe, c.gallery, options);
    cpuSeconds += ProcessCpuSeconds() - before;
  }
  // On a shared machine the wall clock counts other programs' time too: the rate per
  // second of this process's processor time is what one core gives the search.
  state.counters["per_cpu_s"] = static_cast<double>(outcome.comparisons) * static_cast<double>(state.iterations()) /
                                std::max(cpuSeconds, 1e-9);
  g_cpuRates["BM_Identify/" + std::to_string(state.range(0))] = state.counters["per_cpu_s"];
  state.counters["comparisons"] = static_cast<double>(outcome.comparisons);
  state.counters["per_core_per_s"] =
      benchmark::Counter(static_cast<double>(outcome.comparisons) * static_cast<double>(state.iterations()) /
                             static_cast<double>(outcome.threads),
                         benchmark::Counter::kIsRate);
  // The best candidates must be the probe's mates.
  int matesFirst = 0;
  for (std::size_t k = 0; k < outcome.hits.size() && k < c.mates.size(); ++k)
    matesFirst += std::count(c.mates.begin(), c.mates.end(), outcome.hits[k].index) > 0;
  state.counters["mates_in_top7"] = matesFirst;
}
BENCHMARK(BM_Identify)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// What a host does without the search: VerifyRecords for every record, one after
// another, on one thread (each record new to the engine's template cache).
void BM_VerifyOneByOne(benchmark::State& state) {
  Corpus& c = TheCorpus();
  if (!c.ready) {
    state.SkipWithError("fingerprint images not found");
    return;
  }
  std::int32_t details[5] = {20, 0, 0, 0, 0};
  std::size_t i = 0;
  const double before = ProcessCpuSeconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(VerifyRecords(c.records[i].data(), c.probe.data(), details, 0));
    i = (i + 1) % c.records.size();
  }
  state.counters["per_core_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  g_cpuRates["BM_VerifyOneByOne"] = static_cast<double>(state.iterations()) / std::max(ProcessCpuSeconds() - before, 1e-9);
}
BENCHMARK(BM_VerifyOneByOne)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto it = run.counters.find("per_core_per_s");
      if (run.run_type == Run::RT_Iteration && it != run.counters.end() && !run.error_occurred)
        g_rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const Corpus& c = TheCorpus();
  std::printf("\ngallery: %zu records; target 250000 comparisons/s per core, 100000 records in 0.5 s on 2 cores\n",
              c.records.size());
  for (const auto* rates : {&g_rates, &g_cpuRates}) {
    std::printf(rates == &g_rates ? "by the wall clock:\n" : "by this process's processor time:\n");
    double oneByOne = 0;
    for (const auto& [name, rate] : *rates)
      if (name.rfind("BM_VerifyOneByOne", 0) == 0) oneByOne = rate;
    for (const auto& [name, rate] : *rates) {
      std::printf("  %-43s %10.0f comparisons/s per core", name.c_str(), rate);
      if (oneByOne > 0) std::printf("  (%.2f x one-by-one)", rate / oneByOne);
      std::printf("\n");
    }
  }
  benchmark::Shutdown();
  return 0;
}
