#pragma once
// How usable an image is, on the engine's scale: about 40 for a large, clear print,
// at most 120 for an acceptable one, more for blank, smudged or partial images.
#include "ForegroundMask.h"
#include "OrientationField.h"
#include "RidgeWavelength.h"

namespace mivex::vandrel {

// How much of the print's grey pattern the ridge filters explain: the correlation of
// the normalised and the enhanced image over the foreground (near 1 for clear ridges,
// low for noise, scratches or patterns that are not ridges).
float RidgeClarity(const FloatPlane& normalized, const FloatPlane& enhanced, const ForegroundMask& mask);

int ScoreExtraction(const OrientationField& field, const ForegroundMask& mask, const RidgeWavelength& wavelength,
                    float clarity, int candidateCount, int minutiaeCount);

}  // namespace mivex::vandrel
