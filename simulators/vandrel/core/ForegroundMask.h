#pragma once
// Which blocks hold fingerprint: the one connected region of strong, oriented
// contrast, with its holes filled, and each block's distance to the background.
#include "Image.h"
#include "OrientationField.h"

namespace mivex::vandrel {

struct ForegroundMask {
  BytePlane blocks;         // 1 = fingerprint
  FloatPlane borderDistance;  // pixels from the block to the nearest background block
  int foregroundBlocks = 0;
};

ForegroundMask SegmentForeground(const OrientationField& field, const FloatPlane& blockStd);

}  // namespace mivex::vandrel
