#pragma once
// The extraction pipeline, from a grey image to the features a record carries.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "EnhancedImage.h"
#include "Image.h"
#include "Minutia.h"
#include "OrientationGrid.h"

namespace mivex::vandrel {

struct ExtractedFeatures {
  std::vector<Minutia> minutiae;
  std::vector<SingularPoint> singularPoints;
  OrientationGrid grid;
  int score = 0;  // extraction score, lower is better
};

ExtractedFeatures ExtractFeatures(const GrayView& image, const GaborBank& bank);

}  // namespace mivex::vandrel
