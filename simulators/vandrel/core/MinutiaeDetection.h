#pragma once
// Candidate minutiae: ridge endings and forks of the skeleton (crossing number), with
// directions traced along the ridges and refined by the orientation field.
#include <vector>

#include "ForegroundMask.h"
#include "Image.h"
#include "Minutia.h"
#include "OrientationField.h"

namespace mivex::vandrel {

std::vector<Minutia> DetectMinutiae(const BytePlane& skeleton, const OrientationField& field,
                                    const ForegroundMask& mask);

}  // namespace mivex::vandrel
