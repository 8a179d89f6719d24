#include "ExtractionScore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "VandrelParams.h"

namespace mivex::vandrel {

float RidgeClarity(const FloatPlane& normalized, const FloatPlane& enhanced, const ForegroundMask& mask) {
  double ne = 0, nn = 0, ee = 0;
  for (int y = 0; y < normalized.height; ++y) {
    const std::uint8_t* inside = &mask.blocks.at(0, y / params::kBlock);
    for (int x0 = 0; x0 < normalized.width; x0 += params::kBlock) {
      if (!inside[x0 / params::kBlock]) continue;
      const int end = std::min(normalized.width, x0 + params::kBlock);
      for (int x = x0; x < end; ++x) {
        const double n = normalized.at(x, y), e = enhanced.at(x, y);
        ne += n * e;
        nn += n * n;
        ee += e * e;
      }
    }
  }
  return nn > 0 && ee > 0 ? static_cast<float>(ne / std::sqrt(nn * ee)) : 0.0f;
}

int ScoreExtraction(const OrientationField& field, const ForegroundMask& mask, const RidgeWavelength& wavelength,
                    float clarity, int candidateCount, int minutiaeCount) {
  using namespace params;
  const float area = static_cast<float>(mask.foregroundBlocks * kBlock * kBlock);
  float coherence = 0;
  for (std::size_t i = 0; i < mask.blocks.data.size(); ++i)
    if (mask.blocks.data[i]) coherence += field.coherence.data[i];
  coherence = mask.foregroundBlocks > 0 ? coherence / static_cast<float>(mask.foregroundBlocks) : 0.0f;

  // Ridge structure: the flow must be orderly (coherence) and the grey pattern must be
  // ridges of one period (clarity); skin texture, scratches or veins fail one or both.
  const float structure = coherence * clarity;
  float score = kScoreBest;
  score += kAreaPenalty * std::max(0.0f, 1.0f - area / kGoodArea);
  score += kStructurePenalty * std::max(0.0f, kGoodStructure - structure);
  score += kWavelengthPenalty * std::max(0.0f, kGoodWavelengthShare - wavelength.validFraction) / kGoodWavelengthShare;
  // Ridge endings and forks before filtering, per 1000 square pixels: noise and
  // textures that are not ridges break into far more of them than a print does.
  const float density = area > 0 ? 1000.0f * static_cast<float>(candidateCount) / area : 0.0f;
  score += kBreakupPenalty * std::max(0.0f, density - kGoodBreakup);
  score += kMinutiaePenalty * std::max(0.0f, 1.0f - static_cast<float>(minutiaeCount) / kGoodMinutiae);
  return static_cast<int>(std::lround(std::clamp(score, kScoreBest, kScoreWorst)));
}

}  // namespace mivex::vandrel
