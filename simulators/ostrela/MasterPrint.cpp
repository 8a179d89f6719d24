#include "MasterPrint.h"

#include <utility>

#include "FixedMath.h"
#include "NoiseField.h"
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

// Cuts one crease or scar into the ridges. Across the band the skin lies too deep to
// touch: ridges give way to valley; a scar's band is edged by a rim that does print.
// Its edges are ragged, like folded or healed skin.
void CutMark(TMasterPrint& m, const TSkinMark& mark, const TNoiseField& ragged) {
  const std::int64_t dx = mark.X1 - mark.X0;
  const std::int64_t dy = mark.Y1 - mark.Y0;
  const std::int64_t length2 = dx * dx + dy * dy;
  const std::int64_t length = ISqrt(static_cast<std::uint64_t>(length2));
  if (length < 2) return;
  const bool scar = mark.Kind == TMarkKind::mkScar;
  const std::int64_t rim = scar ? p::kScarRimQ8 : 0;
  const std::int64_t reach = (std::int64_t{mark.HalfWidthQ8} * 3 / 2 + rim + p::kMarkEdgeQ8) / 256 + 1;
  const std::int64_t bend = mark.Bend < 0 ? -mark.Bend : mark.Bend;
  const auto lo = [](std::int64_t a, std::int64_t b) { return a < b ? a : b; };
  const auto hi = [](std::int64_t a, std::int64_t b) { return a > b ? a : b; };
  const std::int32_t x0 = Clamp32(lo(mark.X0, mark.X1) - reach - bend, 0, m.Width - 1);
  const std::int32_t x1 = Clamp32(hi(mark.X0, mark.X1) + reach + bend, 0, m.Width - 1);
  const std::int32_t y0 = Clamp32(lo(mark.Y0, mark.Y1) - reach - bend, 0, m.Height - 1);
  const std::int32_t y1 = Clamp32(hi(mark.Y0, mark.Y1) + reach + bend, 0, m.Height - 1);
  for (std::int32_t y = y0; y <= y1; ++y) {
    for (std::int32_t x = x0; x <= x1; ++x) {
      const std::int64_t px = x - mark.X0;
      const std::int64_t py = y - mark.Y0;
      const std::int64_t t = (px * dx + py * dy) * kQ16 / length2;  // Q16 along the chord
      if (t <= 0 || t >= kQ16) continue;
      const std::int64_t u = 2 * t - kQ16;                         // -1 .. 1 along the band
      const std::int64_t u2 = (u * u) >> 16;
      const std::int64_t across = (px * dy - py * dx) * 256 / length;  // Q8, left of the chord
      const std::int64_t offset = (std::int64_t{mark.Bend} * 256 * (kQ16 - u2)) >> 16;
      std::int64_t distance = across - offset;
      if (distance < 0) distance = -distance;
      // Tapering toward the ends; the edge wanders by up to half the width.
      std::int64_t half = (std::int64_t{mark.HalfWidthQ8} * (kQ16 - ((u2 * u2) >> 16))) >> 16;
      half += (half * ragged.At(x, y)) >> 17;
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(m.Width) + static_cast<std::size_t>(x);
      std::int64_t height = m.Ridges[i];
      const std::int64_t deep = SmoothStepQ16((half + p::kMarkEdgeQ8 - distance) * kQ16 / p::kMarkEdgeQ8);
      height += ((p::kValleyHeight - height) * deep) >> 16;
      if (scar && half > 0) {
        // The rim: raised just outside the band, fading outward.
        const std::int64_t out = distance - half;
        if (out > 0 && out < rim + p::kMarkEdgeQ8) {
          const std::int64_t raised = SmoothStepQ16((rim + p::kMarkEdgeQ8 - out) * kQ16 / (rim + p::kMarkEdgeQ8));
          const std::int64_t raise = ((p::kRimHeight - height) * raised) >> 16;
          if (raise > 0) height += raise;
        }
      }
      m.Ridges[i] = static_cast<std::int8_t>(Clamp32(height, -127, 127));
    }
  }
}

}  // namespace

TMasterPrint GenerateMaster(const TGaborBank& bank, std::uint32_t subject, std::int32_t finger) {
  TMasterPrint m;
  m.Design = DesignFinger(subject, finger);
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
  TRandom breaks(MixSeed(m.Design.Seed, 0x627265616bULL));
  const std::int32_t breakCount = breaks.Range(p::kRidgeBreaksMin, p::kRidgeBreaksMax);
  for (std::int32_t b = 0; b < breakCount; ++b) {
    const std::int32_t x = breaks.Below(m.Width);
    const std::int32_t y = breaks.Below(m.Height);
    const std::int32_t length = breaks.Range(p::kRidgeBreakLengthMin, p::kRidgeBreakLengthMax);
    BreakRidge(m, angle, period, x, y, length, breaks.Below(2) == 1);
  }
  const TNoiseField ragged(MixSeed(m.Design.Seed, 0x7261676765ULL), m.Width, m.Height, 5);
  for (const TSkinMark& mark : m.Design.Marks) CutMark(m, mark, ragged);
  return m;
}

void BreakRidge(TMasterPrint& m, const std::vector<std::int32_t>& angle, const std::vector<std::int32_t>& period,
                std::int32_t x, std::int32_t y, std::int32_t length, bool backward) {
  const auto at = [&m](std::int32_t px, std::int32_t py) {
    return static_cast<std::size_t>(py) * static_cast<std::size_t>(m.Width) + static_cast<std::size_t>(px);
  };
  const auto inside = [&m](std::int32_t px, std::int32_t py) {
    return px >= 2 && py >= 2 && px < m.Width - 2 && py < m.Height - 2;
  };
  constexpr std::int32_t kStep = 2;
  // The crest is traced first and lowered afterwards, so the trace never sees its own
  // lowered track and strays onto the next ridge.
  std::vector<std::pair<std::int32_t, std::int32_t>> crest;
  std::int32_t direction = -1;
  for (std::int32_t walked = 0; walked <= length; walked += kStep) {
    if (!inside(x, y) || m.Skin[at(x, y)] < 128) break;
    const std::int32_t ridgeAngle = angle[at(x, y)];  // along the ridges
    // Onto the crest: the highest point across the ridge within half a period.
    const std::int32_t reach = period[at(x, y)] / 512;
    const std::int32_t nx = -SinQ16(ridgeAngle);
    const std::int32_t ny = CosQ16(ridgeAngle);
    std::int32_t bestX = x, bestY = y, best = m.Ridges[at(x, y)];
    for (std::int32_t t = -reach; t <= reach; ++t) {
      const std::int32_t px = x + static_cast<std::int32_t>(DivRound(std::int64_t{nx} * t, kQ16));
      const std::int32_t py = y + static_cast<std::int32_t>(DivRound(std::int64_t{ny} * t, kQ16));
      if (inside(px, py) && m.Ridges[at(px, py)] > best) {
        best = m.Ridges[at(px, py)];
        bestX = px;
        bestY = py;
      }
    }
    x = bestX;
    y = bestY;
    crest.emplace_back(x, y);
    // On along the ridge, the way first taken.
    std::int32_t way = ridgeAngle;
    if (direction < 0 ? backward : AngleDelta(ridgeAngle, direction) > kQuarterTurn ||
                                      AngleDelta(ridgeAngle, direction) < -kQuarterTurn)
      way += kHalfTurn;
    direction = way & (kTurn - 1);
    x += static_cast<std::int32_t>(DivRound(std::int64_t{CosQ16(direction)} * kStep, kQ16));
    y += static_cast<std::int32_t>(DivRound(std::int64_t{SinQ16(direction)} * kStep, kQ16));
  }
  // Lowered to valley within half a period of the crest (its own ridge and the edges
  // of the valleys beside it), so the ridges on either side stay whole.
  for (const auto& [cx, cy] : crest) {
    const std::int32_t radiusQ8 = period[at(cx, cy)] * 50 / 100;
    const std::int32_t r = radiusQ8 / 256 + 1;
    for (std::int32_t dy = -r; dy <= r; ++dy)
      for (std::int32_t dx = -r; dx <= r; ++dx) {
        if (!inside(cx + dx, cy + dy)) continue;
        const std::int64_t d = ISqrt(static_cast<std::uint64_t>(dx * dx + dy * dy) << 16);  // Q8
        const std::int64_t depth = SmoothStepQ16((radiusQ8 - d) * kQ16 / (radiusQ8 / 3 + 1));
        std::int8_t& h = m.Ridges[at(cx + dx, cy + dy)];
        const std::int64_t lowered = h + (((std::int64_t{p::kValleyHeight} - h) * depth) >> 16);
        if (lowered < h) h = static_cast<std::int8_t>(lowered);
      }
  }
}

}  // namespace mivex::ostrela
