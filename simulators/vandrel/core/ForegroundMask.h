#pragma once
// Which blocks hold fingerprint: the one connected region of strong, oriented, inked
// contrast, with its holes filled, and each block's distance to the background.
#include "Image.h"
#include "OrientationField.h"

namespace mivex::vandrel {

struct ForegroundMask {
  BytePlane blocks;         // 1 = fingerprint
  FloatPlane borderDistance;  // pixels from the block to the nearest background block
  int foregroundBlocks = 0;
};

ForegroundMask SegmentForeground(const OrientationField& field, const FloatPlane& blockStd, const FloatPlane& blockInk);

// Narrows the mask to the blocks whose grey pattern the ridge filters explain well
// (streaks, smudges and latent prints around the finger do not), then tidies it again.
ForegroundMask RefineForeground(const ForegroundMask& mask, const FloatPlane& normalized, const FloatPlane& enhanced);

}  // namespace mivex::vandrel
