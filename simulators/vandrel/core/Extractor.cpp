#include "Extractor.h"

#include "ExtractionScore.h"
#include "ForegroundMask.h"
#include "MinutiaeDetection.h"
#include "MinutiaeFilter.h"
#include "NormalizedImage.h"
#include "OrientationField.h"
#include "RidgeSkeleton.h"
#include "RidgeWavelength.h"
#include "SingularPoints.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

ExtractedFeatures ExtractFeatures(const GrayView& image, const GaborBank& bank) {
  const NormalizedImage normalized = NormalizeImage(image);
  const OrientationField field = EstimateOrientation(normalized.pixels, params::kOrientationSmoothRadius);
  const ForegroundMask candidate = SegmentForeground(field, normalized.blockStd, normalized.blockInk);
  const RidgeWavelength wavelength = EstimateWavelength(normalized.pixels, field, candidate);
  // A first enhancement shows the ridges clearly enough to read their direction and
  // period again. The second follows those: minutiae are found in it and take their
  // directions from them, while their quality stays that of the raw ridges.
  const FloatPlane first = EnhanceRidges(normalized.pixels, field, wavelength, candidate, bank);
  const OrientationField refined = RefineOrientation(field, first, candidate.blocks);
  const FloatPlane enhanced =
      EnhanceRidges(normalized.pixels, refined, EstimateWavelength(first, refined, candidate), candidate, bank);
  const ForegroundMask mask = RefineForeground(candidate, normalized.pixels, enhanced);
  BytePlane skeleton = BinarizeRidges(enhanced, mask);
  ThinRidges(skeleton);
  const OrientationField smooth = SmoothOrientation(field, params::kSingularSmoothRadius);

  ExtractedFeatures out;
  const std::vector<Minutia> candidates = DetectMinutiae(skeleton, refined, mask);
  out.minutiae = FilterMinutiae(candidates, mask, image.width, image.height);
  out.singularPoints = FindSingularPoints(smooth, mask);
  out.grid = BuildOrientationGrid(field, mask);
  out.score = ScoreExtraction(field, mask, wavelength, RidgeClarity(normalized.pixels, enhanced, mask),
                              static_cast<int>(candidates.size()), static_cast<int>(out.minutiae.size()));
  return out;
}

}  // namespace mivex::vandrel
