#pragma once
// Local ridge period (pixels from one ridge to the next) per block, from the grey
// profile across the ridges; gaps are filled from neighbouring estimates.
#include "ForegroundMask.h"
#include "Image.h"
#include "OrientationField.h"

namespace mivex::vandrel {

struct RidgeWavelength {
  FloatPlane blocks;          // wavelength per orientation block
  float validFraction = 0;    // share of foreground estimates that found a period
  float median = 0;
};

RidgeWavelength EstimateWavelength(const FloatPlane& normalized, const OrientationField& field,
                                   const ForegroundMask& mask);

}  // namespace mivex::vandrel
