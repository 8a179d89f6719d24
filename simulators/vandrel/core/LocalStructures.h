#pragma once
// Rotation- and translation-invariant descriptions of each minutia's neighbourhood:
// a cylinder of 8 x 8 spatial cells around the minutia, in its own frame, times 6
// bins of relative neighbour direction. A bit is set where a neighbour lies; a cell
// is valid where the print (the region the minutiae span) is.
#include <cstdint>
#include <vector>

#include "Minutia.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

struct Cylinder {
  std::uint64_t bits[params::kCylinderDirections];  // one word of 64 spatial cells per direction bin
  std::uint64_t valid;                              // spatial cells inside the print
  bool usable;                                      // enough neighbours and valid cells to compare
};

// The print region a template's minutiae span: a coarse raster of the cells near some
// minutia, with the gaps between the outermost cells of every row and column filled
// (a cheap stand-in for the enlarged convex hull).
class PrintRegion {
 public:
  PrintRegion() = default;
  explicit PrintRegion(const std::vector<Minutia>& minutiae);
  bool Inside(float x, float y) const;
  // True when every point within `radius` of (x, y) is inside (a quick answer for
  // places deep in the print; false may still mean all of them are).
  bool InsideAround(float x, float y, float radius) const;

 private:
  float x0_ = 0, y0_ = 0;
  int w_ = 0, h_ = 0;
  std::vector<std::uint8_t> cells_;
  std::vector<std::uint8_t> depth_;  // rings of inside cells around each cell
};

struct MatchTemplate {
  PrintRegion region;
  std::vector<Minutia> minutiae;
  std::vector<float> cosDir, sinDir;
  std::vector<Cylinder> cylinders;
};

// Prepares a template for matching from its minutiae.
void BuildMatchTemplate(const std::vector<Minutia>& minutiae, MatchTemplate& out);

// Similarity of two cylinders in 0..1 over the cells valid in both.
float CylinderSimilarity(const Cylinder& a, const Cylinder& b);

// Similarities of every minutia pair of A and B (row-major, A's index first); -1 for
// pairs that cannot match (unusable cylinder, directions further apart than kMinPairTurnCos allows). Uses
// the processor's bit count instruction where there is one.
void SimilarityMatrix(const MatchTemplate& A, const MatchTemplate& B, std::vector<float>& sims);

}  // namespace mivex::vandrel
