#pragma once
// Presses of simulated fingers as the library's sensor driver would keep them: every
// finger another subject's, each press the first of its frames that passes the
// driver's checks. The same seed gives the same fingers, presses and records.
#include <cstdint>
#include <string>
#include <vector>

#include "LocalStructures.h"
#include "RawComparisons.h"

namespace mivex::vandrel {

// Seeds select disjoint ranges of simulated subjects.
constexpr std::uint32_t kSimulatedSubjectsPerSeed = 100000;
constexpr std::uint32_t kMaxSimulationSeed = 20000;

struct SimulatedFinger {
  std::uint32_t subject = 0;
  std::int32_t finger = 0;
  int presses = 0;
};

// `genuineFingers` fingers pressed `genuinePresses` times each (genuine pairs), then
// `fingers` fingers pressed `presses` times.
std::vector<SimulatedFinger> SimulatedFingers(std::uint32_t seed, int genuineFingers, int genuinePresses, int fingers,
                                              int presses);

// Whether the library's sensor driver keeps a sample: its extraction threshold and
// the minutiae count the sensor factory asks for.
bool DriverAccepts(const StoredSample& s);

struct SimulationTimings {
  double masters = 0, rendering = 0, extraction = 0;
  int frames = 0;
};

// Renders the presses and keeps the matching template of each kept press, with its
// finger's name; a press none of whose frames passes is counted in `rejected`.
void RenderSimulatedPresses(const std::vector<SimulatedFinger>& list, std::uint32_t seed, std::int32_t context,
                            std::vector<std::string>& fingers, std::vector<MatchTemplate>& templates, int& rejected,
                            SimulationTimings& t);

}  // namespace mivex::vandrel
