#pragma once
// One-pixel-wide ridge lines: the enhanced image thresholded at zero inside the
// print, with pores and specks inside ridges filled, then thinned.
#include "ForegroundMask.h"
#include "Image.h"

namespace mivex::vandrel {

BytePlane BinarizeRidges(const FloatPlane& enhanced, const ForegroundMask& mask);

// Thins the ridges (1) of a binary image to 8-connected lines in place.
void ThinRidges(BytePlane& binary);

}  // namespace mivex::vandrel
