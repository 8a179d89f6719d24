#pragma once
// False-minutia removal: points near the print's border, pairs that are too close
// (spurs, bridges, holes), facing endings of a broken ridge and crowded noise; then
// the best kMaxMinutiae by quality.
#include <vector>

#include "ForegroundMask.h"
#include "Minutia.h"

namespace mivex::vandrel {

std::vector<Minutia> FilterMinutiae(const std::vector<Minutia>& candidates, const ForegroundMask& mask, int width,
                                    int height);

}  // namespace mivex::vandrel
