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

// A crease or a scar: a gently curved band across the finger, from (X0, Y0) to (X1, Y1)
// (canvas pixels), its middle pushed Bend pixels to the left of that chord; it tapers
// toward both ends.
enum class TMarkKind : std::uint8_t { mkCrease, mkScar };

struct TSkinMark {
  TMarkKind Kind = TMarkKind::mkCrease;
  std::int32_t X0 = 0;
  std::int32_t Y0 = 0;
  std::int32_t X1 = 0;
  std::int32_t Y1 = 0;
  std::int32_t Bend = 0;
  std::int32_t HalfWidthQ8 = 256;
};

// What the fingers of one person share: the ridge period they are built around and how
// prone the skin is to creases (0 .. 1000).
struct TPersonTraits {
  std::int32_t PeriodQ8 = 0;
  std::int32_t CreaseTendency = 0;
};

TPersonTraits PersonTraits(std::uint32_t subject);

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
  std::vector<TSkinMark> Marks;    // creases and scars
};

// Seed of the master of finger (1..10) of a subject.
std::uint64_t MasterSeed(std::uint32_t subject, std::int32_t finger);

// Lays out finger `finger` (1..10: L1..L5, R1..R5) of a subject.
TFingerDesign DesignFinger(std::uint32_t subject, std::int32_t finger);

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
