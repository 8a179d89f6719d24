#pragma once
// Cores, deltas and whorl centres where the smoothed ridge flow turns (Poincare index).
#include <vector>

#include "ForegroundMask.h"
#include "Minutia.h"
#include "OrientationField.h"

namespace mivex::vandrel {

std::vector<SingularPoint> FindSingularPoints(const OrientationField& smooth, const ForegroundMask& mask);

}  // namespace mivex::vandrel
