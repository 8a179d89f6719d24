#pragma once
// The global layout of one synthetic finger: pattern class, singular points, the
// silhouette of the fingertip, and the two fields the ridges are grown along: ridge
// orientation (a zero-pole model around the cores and deltas, bent to follow the
// rounded tip) and ridge period (about 9 pixels at 500 dpi, varying slowly).
#include <cstdint>
#include <vector>

namespace mivex::ostrela {

enum class TPatternClass : std::uint8_t { pcArch, pcTentedArch, pcLeftLoop, pcRightLoop, pcWhorl };

const char* PatternClassName(TPatternClass value);

struct TSingularPoint {
  std::int32_t X = 0;  // canvas pixels
  std::int32_t Y = 0;
  bool Core = true;    // false: delta
  // Warp of the direction seen from this point: a + W1 sin(a - P1) + W2 sin(2a - P2)
  // (turn units); it keeps the point's index and shapes the flow around it.
  std::int32_t Warp1 = 0;
  std::int32_t Phase1 = 0;
  std::int32_t Warp2 = 0;
  std::int32_t Phase2 = 0;
};

struct TFingerShape {
  std::int32_t CenterX = 0;
  std::int32_t Top = 0;        // y of the fingertip
  std::int32_t HalfWidth = 0;
  std::int32_t CapHeight = 0;  // vertical semi-axis of the rounded tip
};

struct TFingerDesign {
  std::uint64_t Seed = 0;
  TPatternClass Class = TPatternClass::pcArch;
  std::vector<TSingularPoint> Points;
  TFingerShape Shape;
  std::int32_t CentreX = 0;        // pattern centre: upper core, or the top of an arch
  std::int32_t CentreY = 0;
  std::int32_t BaseAngle = 0;      // tilt of the whole pattern, turn units
  std::int32_t ArchSlope = 0;      // arch hump strength (Q16 slope), arches only
  std::int32_t PeriodQ8 = 0;       // mean ridge period
};

// Lays out finger `finger` (1..10: L1..L5, R1..R5) from a seed.
TFingerDesign DesignFinger(std::uint64_t seed, std::int32_t finger);

// Ridge direction per canvas pixel, row-major, in turn units modulo half a turn
// (0 .. 32767): the model around the singular points, the fingertip bend and a slow
// wander of the flow that makes each finger's ridges its own.
std::vector<std::int32_t> RidgeAngleMap(const TFingerDesign& design);

// Skin profile at a canvas pixel: 0 outside the finger, rising to 65536 (Q16) within
// the edge ramp.
std::int32_t SkinProfileQ16(const TFingerShape& shape, std::int32_t x, std::int32_t y);

// Ridge period map over the canvas (Q8 pixels), row-major.
std::vector<std::int32_t> PeriodMapQ8(const TFingerDesign& design);

}  // namespace mivex::ostrela
