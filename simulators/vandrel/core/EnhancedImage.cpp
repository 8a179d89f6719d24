#include "EnhancedImage.h"

#include <cmath>
#include <numbers>

#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

using namespace params;

GaborBank::GaborBank() {
  for (int v = -kGaborRadius; v <= 0; ++v)
    for (int u = -kGaborRadius; u <= kGaborRadius; ++u) {
      if (v == 0 && u >= 0) break;
      offsetX_.push_back(u);
      offsetY_.push_back(v);
    }
  const int half = HalfSize() + 1;
  kernels_.resize(static_cast<std::size_t>(kGaborOrientations) * kGaborWavelengthSteps * half);
  constexpr float pi = std::numbers::pi_v<float>;
  for (int o = 0; o < kGaborOrientations; ++o)
    for (int w = 0; w < kGaborWavelengthSteps; ++w) {
      const float theta = pi * static_cast<float>(o) / kGaborOrientations;
      const float lambda =
          kMinWavelength + (kMaxWavelength - kMinWavelength) * static_cast<float>(w) / (kGaborWavelengthSteps - 1);
      auto weight = [&](int u, int v) {
        const float along = static_cast<float>(u) * pm::Cos(theta) + static_cast<float>(v) * pm::Sin(theta);
        const float across = -static_cast<float>(u) * pm::Sin(theta) + static_cast<float>(v) * pm::Cos(theta);
        return pm::Exp(-along * along / (2 * kGaborSigmaAlong * kGaborSigmaAlong) -
                        across * across / (2 * kGaborSigmaAcross * kGaborSigmaAcross)) *
               pm::Cos(2 * pi * across / lambda);
      };
      float* k = &kernels_[(static_cast<std::size_t>(o) * kGaborWavelengthSteps + w) * half];
      // Zero mean, so flat areas give no response.
      float sum = weight(0, 0), envelope = 1;
      for (int i = 0; i < HalfSize(); ++i) {
        sum += 2 * weight(offsetX_[i], offsetY_[i]);
        const float a = static_cast<float>(offsetX_[i]), b = static_cast<float>(offsetY_[i]);
        envelope += 2 * pm::Exp(-(a * a + b * b) / (2 * kGaborSigmaAlong * kGaborSigmaAcross));
      }
      const float mean = sum / envelope;
      k[0] = weight(0, 0) - mean;
      for (int i = 0; i < HalfSize(); ++i) {
        const float a = static_cast<float>(offsetX_[i]), b = static_cast<float>(offsetY_[i]);
        k[i + 1] = weight(offsetX_[i], offsetY_[i]) - mean * pm::Exp(-(a * a + b * b) / (2 * kGaborSigmaAlong * kGaborSigmaAcross));
      }
    }
}

const float* GaborBank::Kernel(int orientation, int wavelengthStep) const {
  return &kernels_[(static_cast<std::size_t>(orientation) * kGaborWavelengthSteps + wavelengthStep) * (HalfSize() + 1)];
}

FloatPlane EnhanceRidges(const FloatPlane& img, const OrientationField& field, const RidgeWavelength& wavelength,
                         const ForegroundMask& mask, const GaborBank& bank) {
  constexpr int pad = kGaborRadius;
  const int pw = img.width + 2 * pad;
  FloatPlane padded(pw, img.height + 2 * pad);
  for (int y = 0; y < padded.height; ++y)
    for (int x = 0; x < pw; ++x) padded.at(x, y) = img.clamped(x - pad, y - pad);

  const int half = bank.HalfSize();
  std::vector<int> offsets(static_cast<std::size_t>(half));
  for (int i = 0; i < half; ++i) offsets[i] = bank.OffsetsY()[i] * pw + bank.OffsetsX()[i];

  FloatPlane out(img.width, img.height, 0.0f);
  for (int by = 0; by < field.angle.height; ++by)
    for (int bx = 0; bx < field.angle.width; ++bx) {
      if (!mask.blocks.at(bx, by)) continue;
      const int o = static_cast<int>(std::lround(field.angle.at(bx, by) / std::numbers::pi_v<float> * kGaborOrientations)) %
                    kGaborOrientations;
      const float wl = std::clamp(wavelength.blocks.at(bx, by), kMinWavelength, kMaxWavelength);
      const int w = static_cast<int>(
          std::lround((wl - kMinWavelength) / (kMaxWavelength - kMinWavelength) * (kGaborWavelengthSteps - 1)));
      const float* k = bank.Kernel(o, w);
      for (int y = by * kBlock; y < std::min((by + 1) * kBlock, img.height); ++y)
        for (int x = bx * kBlock; x < std::min((bx + 1) * kBlock, img.width); ++x) {
          const float* p = &padded.data[static_cast<std::size_t>(y + pad) * pw + (x + pad)];
          float acc = k[0] * p[0];
          for (int i = 0; i < half; ++i) acc += k[i + 1] * (p[offsets[i]] + p[-offsets[i]]);
          out.at(x, y) = acc;
        }
    }
  return out;
}

}  // namespace mivex::vandrel
