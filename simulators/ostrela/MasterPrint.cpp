#include "MasterPrint.h"

#include "FixedMath.h"
#include "OstrelaParams.h"
#include "Random.h"

namespace mivex::ostrela {

namespace p = params;

namespace {

constexpr std::int32_t kPad = 8;                       // zero border around the canvas
constexpr std::int32_t kStride = p::kMasterWidth + 2 * kPad;
constexpr std::int32_t kRows = p::kMasterHeight + 2 * kPad;
constexpr std::int32_t kUnit = 4096;                   // Q12 ridge amplitude 1

// Columns [From, To) of a row that take part in the growth.
struct TSpan {
  std::int32_t From = 0;
  std::int32_t To = 0;
};

std::size_t At(std::int32_t x, std::int32_t y) {
  return static_cast<std::size_t>(y + kPad) * kStride + static_cast<std::size_t>(x + kPad);
}

// Applies each pixel's kernel to `in`; the result, times `gainQ8`, is clamped to
// [-kUnit, kUnit] when `saturate`, otherwise returned as is.
void FilterPass(const TGaborBank& bank, const std::vector<std::uint16_t>& kernelIndex,
                const std::vector<TSpan>& spans, const std::vector<std::int16_t>& in,
                std::vector<std::int32_t>& out) {
  constexpr std::int32_t side = 2 * p::kKernelRadius + 1;
  for (std::int32_t y = 0; y < p::kMasterHeight; ++y) {
    const TSpan span = spans[static_cast<std::size_t>(y)];
    for (std::int32_t x = span.From; x < span.To; ++x) {
      const std::uint16_t k = kernelIndex[static_cast<std::size_t>(y) * p::kMasterWidth + static_cast<std::size_t>(x)];
      const std::int16_t* taps = bank.Kernel(k / p::kPeriodBins, k % p::kPeriodBins);
      const std::int16_t* src = in.data() + At(x - p::kKernelRadius, y - p::kKernelRadius);
      std::int32_t acc = 0;
      for (std::int32_t r = 0; r < side; ++r) {
        const std::int16_t* row = src + static_cast<std::size_t>(r) * kStride;
        const std::int16_t* tap = taps + r * p::kKernelStride;
        for (std::int32_t c = 0; c < p::kKernelStride; ++c) acc += std::int32_t{tap[c]} * row[c];
      }
      out[At(x, y)] = acc >> 16;
    }
  }
}

}  // namespace

std::uint64_t MasterSeed(std::uint32_t subject, std::int32_t finger) {
  return MixSeed(MixSeed(0x4f737472656c61ULL, subject), static_cast<std::uint64_t>(finger));
}

TMasterPrint GenerateMaster(const TGaborBank& bank, std::uint32_t subject, std::int32_t finger) {
  TMasterPrint m;
  m.Design = DesignFinger(MasterSeed(subject, finger), finger);
  m.Width = p::kMasterWidth;
  m.Height = p::kMasterHeight;
  const std::size_t pixels = static_cast<std::size_t>(m.Width) * m.Height;

  // Skin and the rows' growth spans: the finger plus a margin, so ridges run to its edge.
  m.Skin.assign(pixels, 0);
  std::vector<TSpan> spans(static_cast<std::size_t>(m.Height));
  for (std::int32_t y = 0; y < m.Height; ++y) {
    TSpan span{m.Width, 0};
    for (std::int32_t x = 0; x < m.Width; ++x) {
      const std::int32_t skin = SkinProfileQ16(m.Design.Shape, x, y);
      m.Skin[static_cast<std::size_t>(y) * m.Width + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((skin * 255) >> 16);
      const bool near = SkinProfileQ16(m.Design.Shape, x, y + 6) > 0 || skin > 0 ||
                        SkinProfileQ16(m.Design.Shape, x - 6, y) > 0 || SkinProfileQ16(m.Design.Shape, x + 6, y) > 0;
      if (near) {
        if (x < span.From) span.From = x;
        span.To = x + 1;
      }
    }
    if (span.To < span.From) span = {0, 0};
    spans[static_cast<std::size_t>(y)] = span;
  }

  // Kernel per pixel from the orientation and period maps.
  const std::vector<std::int32_t> period = PeriodMapQ8(m.Design);
  const std::vector<std::int32_t> angle = RidgeAngleMap(m.Design);
  std::vector<std::uint16_t> kernelIndex(pixels, 0);
  for (std::int32_t y = 0; y < m.Height; ++y) {
    const TSpan span = spans[static_cast<std::size_t>(y)];
    for (std::int32_t x = span.From; x < span.To; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * m.Width + static_cast<std::size_t>(x);
      const std::int32_t o = TGaborBank::OrientationBin(angle[i]);
      kernelIndex[i] = static_cast<std::uint16_t>(o * p::kPeriodBins + TGaborBank::PeriodBin(period[i]));
    }
  }

  // Start: faint random ridge matter everywhere (the pattern forms at once all over the
  // finger, so minutiae scatter as in real skin) plus a few strong seeds.
  std::vector<std::int16_t> image(static_cast<std::size_t>(kStride) * kRows, 0);
  TRandom random(MixSeed(m.Design.Seed, 0x7365656473ULL));
  for (std::int32_t y = 0; y < m.Height; ++y) {
    const TSpan span = spans[static_cast<std::size_t>(y)];
    for (std::int32_t x = span.From; x < span.To; ++x)
      image[At(x, y)] = static_cast<std::int16_t>(random.Range(-p::kGrowthStartNoise, p::kGrowthStartNoise));
  }
  const std::int32_t seeds = random.Range(p::kGrowthSeedsMin, p::kGrowthSeedsMax);
  for (std::int32_t s = 0; s < seeds; ++s) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    do {
      x = random.Below(m.Width);
      y = random.Below(m.Height);
    } while (m.Skin[static_cast<std::size_t>(y) * m.Width + static_cast<std::size_t>(x)] < 128);
    const std::int16_t value = random.Below(2) == 0 ? kUnit : -kUnit;
    for (std::int32_t dy = -1; dy <= 1; ++dy)
      for (std::int32_t dx = -1; dx <= 1; ++dx) image[At(x + dx, y + dy)] = value;
  }

  std::vector<std::int32_t> response(image.size(), 0);
  for (std::int32_t pass = 0; pass < p::kGrowthIterations; ++pass) {
    FilterPass(bank, kernelIndex, spans, image, response);
    for (std::int32_t y = 0; y < m.Height; ++y) {
      const TSpan span = spans[static_cast<std::size_t>(y)];
      for (std::int32_t x = span.From; x < span.To; ++x) {
        const std::size_t i = At(x, y);
        image[i] = static_cast<std::int16_t>(Clamp32((std::int64_t{response[i]} * p::kGrowthGainQ8) >> 8, -kUnit, kUnit));
      }
    }
  }
  // A last pass without saturation rounds the square ridges into a smooth profile.
  FilterPass(bank, kernelIndex, spans, image, response);
  m.Ridges.assign(pixels, 0);
  for (std::int32_t y = 0; y < m.Height; ++y) {
    const TSpan span = spans[static_cast<std::size_t>(y)];
    for (std::int32_t x = span.From; x < span.To; ++x) {
      const std::int64_t h = (std::int64_t{response[At(x, y)]} * p::kRidgeHeightScale) / kUnit;
      m.Ridges[static_cast<std::size_t>(y) * m.Width + static_cast<std::size_t>(x)] =
          static_cast<std::int8_t>(Clamp32(h, -127, 127));
    }
  }
  return m;
}

}  // namespace mivex::ostrela
