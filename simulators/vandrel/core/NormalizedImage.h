#pragma once
// Contrast-normalised image: zero local mean, unit local deviation, ridges positive.
#include "Image.h"

namespace mivex::vandrel {

struct NormalizedImage {
  FloatPlane pixels;
  FloatPlane blockStd;  // local grey deviation per block (before normalisation)
};

NormalizedImage NormalizeImage(const GrayView& image);

}  // namespace mivex::vandrel
