#pragma once
// What tells simulated presses from real ones as the matcher sees them: how many
// minutiae a press has and how densely they lie, their quality and kinds, how large
// the print is, and where the minutiae that impostor pairs pair lie. These are the
// figures to look at when simulated impostors match more often than real ones.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "LocalStructures.h"
#include "RawComparisons.h"

namespace mivex::vandrel {

struct PressFigures {
  std::string name;
  std::size_t presses = 0;
  double minutiae50 = 0;       // median minutiae per press
  double area50 = 0;           // median print area (thousands of pixels)
  double density = 0;          // minutiae per thousand pixels of print, median
  double quality = 0;          // mean minutia quality
  double bifurcations = 0;     // share of bifurcations among the minutiae
  // Of the minutiae that impostor pairs reaching 47 pair, their mean distance from the
  // centre of their own press's minutiae, relative to that of all its minutiae: below
  // 1 when chance pairs gather in the middle of the print (around the core).
  double pairedCentrality = 0;
  double chanceShare = 0;      // impostor pairs reaching 47
};

// The figures of one population; `compared` holds its pairs' scores in CompareAll's order.
PressFigures FiguresOfPresses(const std::string& name, const std::vector<std::string>& fingers,
                              const std::vector<MatchTemplate>& templates, const ComparedPopulation& compared);

void PrintPressFigures(const std::vector<PressFigures>& rows, std::FILE* out);

}  // namespace mivex::vandrel
