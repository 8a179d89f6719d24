#include "capture/EnrollRules.h"

#include "capture/CaptureParams.h"

namespace mivex {

std::int32_t QualityPercent(std::int32_t score, std::int32_t threshold) {
  using capture_params::kQualityAnchorScore;
  if (score > threshold) return 0;
  // 64-bit intermediate: an engine may report any 32-bit score.
  const std::int64_t drop = (static_cast<std::int64_t>(score) - kQualityAnchorScore) * 400 /
                            ((static_cast<std::int64_t>(threshold) - kQualityAnchorScore) * 10);
  const std::int64_t quality = 100 - drop;
  return quality > 100 ? 100 : static_cast<std::int32_t>(quality);
}

int ChooseReplacement(const std::int32_t cross[3]) {
  const std::int64_t t0 = static_cast<std::int64_t>(cross[0]) + cross[2];
  const std::int64_t t1 = static_cast<std::int64_t>(cross[0]) + cross[1];
  const std::int64_t t2 = static_cast<std::int64_t>(cross[1]) + cross[2];
  if (t0 < t1 && t0 < t2) return 0;
  if (t1 < t0 && t1 < t2) return 1;
  return 2;
}

double SecurityLevelRate(int level) {
  constexpr int kLevels = static_cast<int>(sizeof(capture_params::kSecurityLevelRates) / sizeof(double));
  if (level < 0 || level >= kLevels) level = 0;
  return capture_params::kSecurityLevelRates[level];
}

}  // namespace mivex
