#pragma once
// Impressions: what the sensor sees when a finger lies on it. A placement fixes how
// the finger was put down (position, rotation, elastic distortion, contact area,
// pressure, skin dryness); each frame of a press varies it a little (the finger
// settles, the first frames touch only partly) and adds fresh sensor noise.
#include <cstdint>
#include <vector>

#include "MasterPrint.h"

namespace mivex::ostrela {

enum class TPressKind : std::uint8_t { pkGood, pkPoor, pkLight, pkNone };

const char* PressKindName(TPressKind kind);

struct TImpressionParams {
  // Finger point under the sensor centre, relative to the pattern centre (Q8 pixels),
  // and the finger's rotation on the sensor (turn units).
  std::int32_t OffsetXQ8 = 0;
  std::int32_t OffsetYQ8 = 0;
  std::int32_t Rotation = 0;
  // Elastic distortion around a held core (sensor pixels from the sensor centre).
  std::int32_t DistortX = 0;
  std::int32_t DistortY = 0;
  std::int32_t DistortInner = 0;
  std::int32_t DistortRamp = 1;
  std::int32_t DistortTurn = 0;
  std::int32_t DistortShiftXQ8 = 0;
  std::int32_t DistortShiftYQ8 = 0;
  std::int32_t WarpQ8 = 0;      // amplitude of the small smooth skin warp
  // Contact ellipse in finger pixels relative to the pattern centre, scaled (permille).
  std::int32_t ContactX = 0;
  std::int32_t ContactY = 0;
  std::int32_t ContactHalfWidth = 1;
  std::int32_t ContactHalfHeight = 1;
  std::int32_t ContactScale = 1000;
  std::int32_t Pressure = 0;   // ink threshold shift, ridge-height units
  std::int32_t Dryness = 0;    // permille, -1000 wet .. 1000 dry
  std::int32_t RidgeGrey = 0;
  std::int32_t BackgroundGrey = 255;
  std::int32_t NoiseSigma = 0;
  std::uint64_t SkinSeed = 0;   // skin texture of this placement (dry spots, wet blobs, warp)
  std::uint64_t FrameSeed = 0;  // sensor noise of this frame
};

// How the finger is put down for one press.
TImpressionParams DrawPlacement(std::uint64_t seed, TPressKind kind);

// Frame `frame` of a press that began with `placement`: the first two frames touch
// only partly and lightly; later frames vary a little around the placement.
TImpressionParams FrameOfPress(const TImpressionParams& placement, std::int32_t frame, std::uint64_t seed);

// Renders the impression into a 256 x 288 grey image, row 0 at the fingertip end.
void RenderImpression(const TMasterPrint& master, const TImpressionParams& params, std::vector<std::uint8_t>& image);

}  // namespace mivex::ostrela
