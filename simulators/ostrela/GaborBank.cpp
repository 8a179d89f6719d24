#include "GaborBank.h"

#include "FixedMath.h"
#include "OstrelaParams.h"

namespace mivex::ostrela {

namespace p = params;

namespace {

constexpr std::int32_t kSide = 2 * p::kKernelRadius + 1;
constexpr std::int32_t kKernelSize = kSide * p::kKernelStride;

void BuildKernel(std::int16_t* out, std::int32_t angle, std::int32_t periodQ8) {
  // Ridge direction (cos a, sin a); the normal (-sin a, cos a) runs across the ridges.
  const std::int64_t ca = CosQ16(angle);
  const std::int64_t sa = SinQ16(angle);
  const std::int64_t sigmaAcross = std::int64_t{periodQ8} * p::kSigmaAcrossPermille / 1000;  // Q8
  const std::int64_t sigmaAlong = std::int64_t{periodQ8} * p::kSigmaAlongPermille / 1000;
  std::int64_t envelope[kKernelSize] = {};
  std::int64_t wave[kKernelSize] = {};
  std::int64_t sumWeighted = 0;
  std::int64_t sumEnvelope = 0;
  for (std::int32_t r = 0; r < kSide; ++r) {
    for (std::int32_t c = 0; c < kSide; ++c) {
      const std::int64_t dx = c - p::kKernelRadius;
      const std::int64_t dy = r - p::kKernelRadius;
      const std::int64_t across = -dx * sa + dy * ca;  // Q16 pixels
      const std::int64_t along = dx * ca + dy * sa;
      // Exponent u^2 / (2 s^2) in Q16, with u in Q16 and s in Q8.
      const std::int64_t ua = across >> 8;  // Q8
      const std::int64_t ul = along >> 8;
      const std::int64_t expo = (ua * ua * kQ16) / (2 * sigmaAcross * sigmaAcross) +
                                (ul * ul * kQ16) / (2 * sigmaAlong * sigmaAlong);
      const std::int32_t i = r * p::kKernelStride + c;
      envelope[i] = ExpNegQ16(expo);
      // Phase across the ridges: across / period turns.
      const std::int64_t phase = (across * 256 / periodQ8);  // Q16 of a turn = turn units
      wave[i] = CosQ16(static_cast<std::int32_t>(phase & (kTurn - 1)));
      sumWeighted += (envelope[i] * wave[i]) >> 16;
      sumEnvelope += envelope[i];
    }
  }
  // Remove the flat response, then scale to unit gain for the matching sinusoid.
  std::int64_t weight[kKernelSize] = {};
  std::int64_t gain = 0;
  for (std::int32_t i = 0; i < kKernelSize; ++i) {
    weight[i] = ((envelope[i] * wave[i]) >> 16) - envelope[i] * sumWeighted / sumEnvelope;
    gain += (weight[i] * wave[i]) >> 16;
  }
  std::int64_t total = 0;
  for (std::int32_t i = 0; i < kKernelSize; ++i) {
    out[i] = static_cast<std::int16_t>(gain > 0 ? DivRound(weight[i] * kQ16, gain) : 0);
    total += out[i];
  }
  // Rounding leaves a small flat response; the centre tap takes it back.
  const std::int32_t centre = p::kKernelRadius * p::kKernelStride + p::kKernelRadius;
  out[centre] = static_cast<std::int16_t>(out[centre] - total);
}

}  // namespace

TGaborBank::TGaborBank() {
  FTaps.assign(static_cast<std::size_t>(p::kOrientationBins) * p::kPeriodBins * kKernelSize, 0);
  for (std::int32_t o = 0; o < p::kOrientationBins; ++o) {
    const std::int32_t angle = o * kHalfTurn / p::kOrientationBins;
    for (std::int32_t f = 0; f < p::kPeriodBins; ++f) {
      const std::int32_t period = p::kPeriodBinFirstQ8 + f * p::kPeriodBinStepQ8;
      BuildKernel(FTaps.data() + (static_cast<std::size_t>(o) * p::kPeriodBins + f) * kKernelSize, angle, period);
    }
  }
}

const std::int16_t* TGaborBank::Kernel(std::int32_t orientationBin, std::int32_t periodBin) const {
  return FTaps.data() + (static_cast<std::size_t>(orientationBin) * p::kPeriodBins + periodBin) * kKernelSize;
}

std::int32_t TGaborBank::OrientationBin(std::int32_t angle) {
  const std::int32_t binWidth = kHalfTurn / p::kOrientationBins;
  return (((angle & (kHalfTurn - 1)) + binWidth / 2) / binWidth) % p::kOrientationBins;
}

std::int32_t TGaborBank::PeriodBin(std::int32_t periodQ8) {
  const std::int32_t bin = (periodQ8 - p::kPeriodBinFirstQ8 + p::kPeriodBinStepQ8 / 2) / p::kPeriodBinStepQ8;
  return Clamp32(bin, 0, p::kPeriodBins - 1);
}

}  // namespace mivex::ostrela
