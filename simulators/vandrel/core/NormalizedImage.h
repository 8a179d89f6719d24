#pragma once
// Contrast-normalised image: zero local mean, unit local deviation, ridges positive.
#include "Image.h"

namespace mivex::vandrel {

struct NormalizedImage {
  FloatPlane pixels;
  FloatPlane blockStd;  // local grey deviation per block (before normalisation)
  // Share of the pixels around each block (the window of blockStd) darker than the
  // image's mid grey. Ridges cover a good part of any print, however dry; streaks and
  // specks on the bright sensor surface around it cover almost nothing.
  FloatPlane blockInk;
};

NormalizedImage NormalizeImage(const GrayView& image);

}  // namespace mivex::vandrel
