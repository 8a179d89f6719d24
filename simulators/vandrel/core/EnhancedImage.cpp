#include "EnhancedImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "PortableMath.h"
#include "VandrelParams.h"
#include "VectorIntrinsics.h"

namespace mivex::vandrel {

using namespace params;

namespace {

// Where one block of the image is filtered: its first pixel in the padded image (row
// stride pw), its size, and its first pixel in the output (row stride ow).
struct BlockFilter {
  const float* in;
  int pw;
  const float* k;        // the block's kernel half, centre weight first
  const int* offsets;    // offset pairs in the padded image
  int half;
  int cols, rows;
  float* out;
  int ow;
};

// Each pixel sums its kernel's terms one after another, centre first.
void FilterBlockPortable(const BlockFilter& f) {
  for (int y = 0; y < f.rows; ++y)
    for (int x = 0; x < f.cols; ++x) {
      const float* p = f.in + static_cast<std::size_t>(y) * f.pw + x;
      const float* k = f.k;
      float acc = k[0] * p[0];
      for (int i = 0; i < f.half; ++i) acc += k[i + 1] * (p[f.offsets[i]] + p[-f.offsets[i]]);
      f.out[static_cast<std::size_t>(y) * f.ow + x] = acc;
    }
}

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// Eight neighbouring pixels of a block row at a time, one per vector lane, each summing
// its terms in the same order with the same single-precision steps as above: the same
// values bit for bit. Four rows of the block run side by side, so the additions of one
// row do not wait for one another; four sums, a weight and the two pixels of a pair fit
// the eight vector registers of 32-bit code.
__attribute__((target("avx2"))) void FilterBlockVector256(const BlockFilter& f) {
  static_assert(kBlock == 8, "a block row is one vector of eight pixels");
  if (f.cols != kBlock || f.rows != kBlock) return FilterBlockPortable(f);
  constexpr int kRows = 4;
  const __m256 centre = _mm256_set1_ps(f.k[0]);
  for (int top = 0; top < kBlock; top += kRows) {
    const float* const in = f.in + static_cast<std::size_t>(top) * f.pw;
    __m256 acc[kRows];
    for (int y = 0; y < kRows; ++y) acc[y] = _mm256_mul_ps(centre, _mm256_loadu_ps(in + static_cast<std::size_t>(y) * f.pw));
    for (int i = 0; i < f.half; ++i) {
      const __m256 weight = _mm256_set1_ps(f.k[i + 1]);
      const int offset = f.offsets[i];
      for (int y = 0; y < kRows; ++y) {
        const float* p = in + static_cast<std::size_t>(y) * f.pw;
        acc[y] = _mm256_add_ps(acc[y], _mm256_mul_ps(weight, _mm256_add_ps(_mm256_loadu_ps(p + offset),
                                                                             _mm256_loadu_ps(p - offset))));
      }
    }
    for (int y = 0; y < kRows; ++y)
      _mm256_storeu_ps(f.out + static_cast<std::size_t>(top + y) * f.ow, acc[y]);
  }
}
VANDREL_INTRINSICS_END
#endif

void FilterBlock(const BlockFilter& f, Kernel kernel) {
#ifdef VANDREL_X86
  if ((kernel == Kernel::Vector256 || kernel == Kernel::Vector) && KernelAvailable(Kernel::Vector256))
    return FilterBlockVector256(f);
#endif
  FilterBlockPortable(f);
}

}  // namespace

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
                         const ForegroundMask& mask, const GaborBank& bank, Kernel kernel) {
  constexpr int pad = kGaborRadius;
  const int pw = img.width + 2 * pad;
  FloatPlane padded(pw, img.height + 2 * pad);
  for (int y = 0; y < padded.height; ++y) {
    const float* row = &img.at(0, std::clamp(y - pad, 0, img.height - 1));
    float* p = &padded.at(0, y);
    std::fill(p, p + pad, row[0]);
    std::copy(row, row + img.width, p + pad);
    std::fill(p + pad + img.width, p + pw, row[img.width - 1]);
  }

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
      const int x0 = bx * kBlock, y0 = by * kBlock;
      if (x0 >= img.width || y0 >= img.height) continue;
      const BlockFilter f{&padded.data[static_cast<std::size_t>(y0 + pad) * pw + (x0 + pad)],
                          pw,
                          bank.Kernel(o, w),
                          offsets.data(),
                          half,
                          std::min(kBlock, img.width - x0),
                          std::min(kBlock, img.height - y0),
                          &out.at(x0, y0),
                          img.width};
      FilterBlock(f, kernel);
    }
  return out;
}

}  // namespace mivex::vandrel
