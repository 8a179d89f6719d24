#pragma once
// Enrollment from three samples: the two samples that agree best with the third
// (the anchor) are aligned onto it; minutiae found in at least two samples are kept,
// averaged in position and direction; a minutia of one sample alone is kept unless both
// other samples cover its place without showing it.
#include "FeatureRecord.h"

namespace mivex::vandrel {

struct GeneralizeResult {
  bool agreed = false;
  int weakestScore = 0;  // the lower of the two scores that tie the samples to the anchor
  Features features;
};

GeneralizeResult GeneralizeSamples(const Features* const samples[3], int threshold);

}  // namespace mivex::vandrel
