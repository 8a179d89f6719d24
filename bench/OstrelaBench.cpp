// Simulated sensor: cost of growing a master and of rendering one impression, with
// their ratios to the budgets the sensor must keep (a master under 500 ms, so the first
// press of a finger is not noticed; an impression under 20 ms, well inside a frame).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "GaborBank.h"
#include "Impression.h"
#include "MasterPrint.h"
#include "PressModel.h"

namespace {

using namespace mivex::ostrela;

constexpr double kMasterBudgetMs = 500.0;
constexpr double kImpressionBudgetMs = 20.0;

void ReportBudget(benchmark::State& state, double budgetMs) {
  // CPU time per iteration divided by the budget: a rate over iterations x budget,
  // inverted.
  state.counters["budget_ratio"] = benchmark::Counter(static_cast<double>(state.iterations()) * budgetMs / 1000.0,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Master(benchmark::State& state) {
  const TGaborBank bank;
  std::uint32_t subject = 0;
  for (auto _ : state) {
    const std::int32_t finger = 1 + static_cast<std::int32_t>(subject % 10);
    TMasterPrint m = GenerateMaster(bank, subject++, finger);
    benchmark::DoNotOptimize(m.Ridges.data());
  }
  ReportBudget(state, kMasterBudgetMs);
}
BENCHMARK(BM_Master)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_GaborBank(benchmark::State& state) {
  for (auto _ : state) {
    TGaborBank bank;
    benchmark::DoNotOptimize(bank.Kernel(0, 0));
  }
}
BENCHMARK(BM_GaborBank)->Unit(benchmark::kMillisecond);

void BM_Impression(benchmark::State& state) {
  const TGaborBank bank;
  const TMasterPrint master = GenerateMaster(bank, 1, 7);
  std::vector<std::uint8_t> image;
  std::int64_t press = 0;
  const auto kind = static_cast<TPressKind>(state.range(0));
  for (auto _ : state) {
    const std::uint64_t seed = PressSeed(0, press++, 1, 7);
    RenderImpression(master, FrameOfPress(DrawPlacement(seed, kind), 3, seed), image);
    benchmark::DoNotOptimize(image.data());
  }
  ReportBudget(state, kImpressionBudgetMs);
}
BENCHMARK(BM_Impression)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
