#include "Impression.h"

#include "FixedMath.h"
#include "NoiseField.h"
#include "OstrelaParams.h"
#include "Random.h"

namespace mivex::ostrela {

namespace p = params;

const char* PressKindName(TPressKind kind) {
  switch (kind) {
    case TPressKind::pkGood: return "good";
    case TPressKind::pkPoor: return "poor";
    case TPressKind::pkLight: return "light";
    case TPressKind::pkNone: return "none";
  }
  return "?";
}

namespace {

std::int32_t Normal(TRandom& random, std::int32_t sigma) {
  return static_cast<std::int32_t>((std::int64_t{random.NormalQ16()} * sigma) >> 16);
}

std::int32_t NormalClamped(TRandom& random, std::int32_t sigma, std::int32_t limit) {
  return Clamp32(Normal(random, sigma), -limit, limit);
}

}  // namespace

TImpressionParams DrawPlacement(std::uint64_t seed, TPressKind kind) {
  TRandom random(MixSeed(seed, 0x706c616365ULL));
  const std::size_t k = kind == TPressKind::pkPoor ? 1 : (kind == TPressKind::pkLight ? 2 : 0);
  TImpressionParams q;
  const std::int32_t scatter =
      random.Chance(p::kWidePlacementPermille) ? random.Range(p::kWideScatterMin, p::kWideScatterMax) : 1000;
  const auto widened = [scatter](std::int32_t sigma) { return sigma * scatter / 1000; };
  q.OffsetXQ8 = NormalClamped(random, widened(p::kOffsetSigmaX[k]), p::kOffsetLimit) * 256 + random.Below(256);
  q.OffsetYQ8 = (p::kSensorBelowCentre + NormalClamped(random, widened(p::kOffsetSigmaY[k]), p::kOffsetLimit)) * 256 +
                random.Below(256);
  q.Rotation = NormalClamped(random, widened(p::kRotationSigma[k]), p::kRotationLimit);
  q.DistortX = Normal(random, 30);
  q.DistortY = Normal(random, 30);
  q.DistortInner = random.Range(p::kDistortInnerMin, p::kDistortInnerMax);
  q.DistortRamp = random.Range(p::kDistortRampMin, p::kDistortRampMax);
  const std::int32_t strain =
      random.Chance(p::kStrainedPermille) ? random.Range(p::kStrainMin, p::kStrainMax) : 1000;
  const auto strained = [strain](std::int32_t sigma) { return sigma * strain / 1000; };
  q.DistortTurn = Normal(random, strained(p::kDistortTurnSigma[k]));
  q.DistortShiftXQ8 = Normal(random, strained(p::kDistortShiftSigmaQ8[k]));
  q.DistortShiftYQ8 = Normal(random, strained(p::kDistortShiftSigmaQ8[k]));
  q.WarpQ8 = strained(p::kWarpAmplitudeQ8);
  q.ContactX = Normal(random, 10);
  q.ContactY = p::kContactBelowCentre + Normal(random, 12);
  q.ContactHalfWidth = random.Range(p::kContactHalfWidthMin, p::kContactHalfWidthMax);
  q.ContactHalfHeight = random.Range(p::kContactHalfHeightMin, p::kContactHalfHeightMax);
  q.ContactScale = random.Range(p::kContactScaleMin[k], p::kContactScaleMax[k]);
  q.Pressure = p::kPressureMean[k] + Normal(random, p::kPressureSigma[k]);
  q.Dryness = Clamp32(p::kDrynessMean[k] + Normal(random, p::kDrynessSigma[k]), -1000, 1000);
  q.RidgeGrey = random.Range(p::kRidgeGreyMin[k], p::kRidgeGreyMax[k]);
  q.BackgroundGrey = random.Range(p::kBackgroundGreyMin, p::kBackgroundGreyMax);
  q.NoiseSigma = random.Range(p::kNoiseSigmaMin[k], p::kNoiseSigmaMax[k]);
  if (kind == TPressKind::pkGood && random.Chance(p::kGoodMishapPermille)) {
    // Now and then a good press goes wrong the way real ones do.
    switch (random.Below(4)) {
      case 0:  // put down far off the centre
        q.OffsetXQ8 += (random.Below(2) == 0 ? -1 : 1) * random.Range(40, 70) * 256;
        q.OffsetYQ8 += random.Range(20, 60) * 256;
        break;
      case 1:  // very dry skin
        q.Dryness = random.Range(750, 1000);
        q.Pressure -= 20;
        break;
      case 2:  // wet, pressed hard: smudged
        q.Dryness = random.Range(-1000, -750);
        q.Pressure += 35;
        break;
      default:  // barely touching
        q.ContactScale = random.Range(450, 600);
        q.Pressure -= 35;
        break;
    }
  }
  q.SkinSeed = random.Next();
  q.FrameSeed = random.Next();
  return q;
}

TImpressionParams FrameOfPress(const TImpressionParams& placement, std::int32_t frame, std::uint64_t seed) {
  TRandom random(MixSeed(seed, 0x6672616d65ULL + static_cast<std::uint64_t>(frame)));
  TImpressionParams q = placement;
  if (frame < 2) {
    // The fingertip touches first: a smaller, higher contact, pressed lightly.
    q.ContactScale = static_cast<std::int32_t>(std::int64_t{q.ContactScale} * p::kSettleContactPermille[frame] / 1000);
    q.ContactY -= (p::kSettleShiftQ8 >> 8) * (2 - frame) / 2;
    q.Pressure += p::kSettlePressure[frame];
  }
  q.OffsetXQ8 += Normal(random, p::kFrameJitterQ8);
  q.OffsetYQ8 += Normal(random, p::kFrameJitterQ8);
  q.Rotation += Normal(random, p::kFrameTurnJitter);
  q.Pressure += Normal(random, p::kFramePressureJitter);
  q.FrameSeed = random.Next();
  return q;
}

namespace {

constexpr std::int32_t kW = p::kImageWidth;
constexpr std::int32_t kH = p::kImageHeight;
constexpr std::int32_t kGridW = kW / p::kMapGrid + 1;
constexpr std::int32_t kGridH = kH / p::kMapGrid + 1;

// Finger position (Q8 canvas pixels) of sensor pixel (sx, sy): distortion around the
// held core, the small skin warp, then rotation and offset.
void MapPoint(const TMasterPrint& m, const TImpressionParams& q, const TNoiseField& warpX,
              const TNoiseField& warpY, std::int32_t sx, std::int32_t sy, std::int64_t& fx, std::int64_t& fy) {
  std::int64_t vx = std::int64_t{sx - kW / 2} * 256;
  std::int64_t vy = std::int64_t{sy - kH / 2} * 256;
  const std::int64_t wx = vx - std::int64_t{q.DistortX} * 256;
  const std::int64_t wy = vy - std::int64_t{q.DistortY} * 256;
  const std::int64_t r = ISqrt(static_cast<std::uint64_t>(wx * wx + wy * wy));  // Q8
  const std::int64_t ramp = ((r - std::int64_t{q.DistortInner} * 256) * kQ16) / (std::int64_t{q.DistortRamp} * 256);
  const std::int64_t brake = SmoothStepQ16(ramp);
  if (brake > 0) {
    const std::int64_t c = CosQ16(q.DistortTurn);
    const std::int64_t s = SinQ16(q.DistortTurn);
    const std::int64_t dx = ((c * wx - s * wy) >> 16) - wx + q.DistortShiftXQ8;
    const std::int64_t dy = ((s * wx + c * wy) >> 16) - wy + q.DistortShiftYQ8;
    vx += (dx * brake) >> 16;
    vy += (dy * brake) >> 16;
  }
  vx += (std::int64_t{warpX.At(sx, sy)} * q.WarpQ8) >> 16;
  vy += (std::int64_t{warpY.At(sx, sy)} * q.WarpQ8) >> 16;
  const std::int64_t c = CosQ16(q.Rotation);
  const std::int64_t s = SinQ16(q.Rotation);
  fx = std::int64_t{m.Design.CentreX} * 256 + q.OffsetXQ8 + ((c * vx - s * vy) >> 16);
  fy = std::int64_t{m.Design.CentreY} * 256 + q.OffsetYQ8 + ((s * vx + c * vy) >> 16);
}

// Bilinear sample of ridge height (result times 256) and nearest skin value.
void Sample(const TMasterPrint& m, std::int64_t fx, std::int64_t fy, std::int32_t& height, std::int32_t& skin) {
  const std::int64_t x0 = fx >> 8;
  const std::int64_t y0 = fy >> 8;
  if (x0 < 0 || y0 < 0 || x0 + 1 >= m.Width || y0 + 1 >= m.Height) {
    height = -127 * 256;
    skin = 0;
    return;
  }
  const std::int32_t ax = static_cast<std::int32_t>(fx & 255);
  const std::int32_t ay = static_cast<std::int32_t>(fy & 255);
  const std::size_t i = static_cast<std::size_t>(y0) * static_cast<std::size_t>(m.Width) + static_cast<std::size_t>(x0);
  const std::int32_t h00 = m.Ridges[i];
  const std::int32_t h10 = m.Ridges[i + 1];
  const std::int32_t h01 = m.Ridges[i + static_cast<std::size_t>(m.Width)];
  const std::int32_t h11 = m.Ridges[i + static_cast<std::size_t>(m.Width) + 1];
  const std::int32_t top = h00 * 256 + (h10 - h00) * ax;
  const std::int32_t bottom = h01 * 256 + (h11 - h01) * ax;
  height = top + (((bottom - top) * ay) >> 8);
  skin = m.Skin[i];
}

}  // namespace

void RenderImpression(const TMasterPrint& m, const TImpressionParams& q, std::vector<std::uint8_t>& image) {
  image.assign(static_cast<std::size_t>(kW) * kH, 0);
  const TNoiseField warpX(MixSeed(q.SkinSeed, 1), kW, kH, p::kWarpSpacing);
  const TNoiseField warpY(MixSeed(q.SkinSeed, 2), kW, kH, p::kWarpSpacing);
  const TNoiseField edge(MixSeed(q.SkinSeed, 3), m.Width, m.Height, p::kContactEdgeSpacing);
  const TNoiseField drySpots(MixSeed(q.SkinSeed, 4), m.Width, m.Height, p::kDrySpotSpacing);
  const TNoiseField wetBlobs(MixSeed(q.SkinSeed, 5), m.Width, m.Height, p::kWetBlobSpacing);
  const TNoiseField background(MixSeed(q.FrameSeed, 6), kW, kH, p::kBackgroundSpacing);
  const TNoiseField roughness(MixSeed(q.SkinSeed, 7), m.Width, m.Height, p::kRidgeRoughSpacing);

  const std::int64_t contactW = std::int64_t{q.ContactHalfWidth} * q.ContactScale * 256 / 1000;  // Q8
  const std::int64_t contactH = std::int64_t{q.ContactHalfHeight} * q.ContactScale * 256 / 1000;
  const std::int64_t contactX = std::int64_t{m.Design.CentreX + q.ContactX} * 256;
  const std::int64_t contactY = std::int64_t{m.Design.CentreY + q.ContactY} * 256;
  const std::int64_t minAxis = contactW < contactH ? contactW : contactH;

  // Finger positions and pad contact on a coarse grid; both change slowly, so pixels
  // interpolate between grid nodes.
  std::vector<std::int64_t> gridX(static_cast<std::size_t>(kGridW) * kGridH);
  std::vector<std::int64_t> gridY(gridX.size());
  std::vector<std::int64_t> gridContact(gridX.size());
  for (std::int32_t gy = 0; gy < kGridH; ++gy)
    for (std::int32_t gx = 0; gx < kGridW; ++gx) {
      const std::size_t i = static_cast<std::size_t>(gy) * kGridW + static_cast<std::size_t>(gx);
      std::int64_t fx = 0;
      std::int64_t fy = 0;
      MapPoint(m, q, warpX, warpY, gx * p::kMapGrid, gy * p::kMapGrid, fx, fy);
      gridX[i] = fx;
      gridY[i] = fy;
      // Inside the pad ellipse, with a ragged edge.
      const std::int64_t ex = (fx - contactX) * kQ16 / contactW;
      const std::int64_t ey = (fy - contactY) * kQ16 / contactH;
      std::int64_t rho = ISqrt(static_cast<std::uint64_t>(ex * ex + ey * ey));  // Q16, 1 on the edge
      rho += (std::int64_t{edge.At(static_cast<std::int32_t>(fx >> 8), static_cast<std::int32_t>(fy >> 8))} *
              p::kContactEdgeNoisePermille) / 1000;
      const std::int64_t inside = ((kQ16 - rho) * minAxis) >> 8;  // Q16 pixels
      gridContact[i] = SmoothStepQ16(inside / p::kContactEdgeRamp);
    }

  const std::int32_t dryLevel = q.Dryness > 0 ? q.Dryness : 0;
  const std::int32_t wetLevel = q.Dryness < 0 ? -q.Dryness : 0;
  TRandom noise(q.FrameSeed);

  for (std::int32_t sy = 0; sy < kH; ++sy) {
    const std::int32_t gy = sy / p::kMapGrid;
    const std::int32_t ay = sy - gy * p::kMapGrid;
    for (std::int32_t sx = 0; sx < kW; ++sx) {
      const std::int32_t gx = sx / p::kMapGrid;
      const std::int32_t ax = sx - gx * p::kMapGrid;
      const std::size_t g = static_cast<std::size_t>(gy) * kGridW + static_cast<std::size_t>(gx);
      const auto lerp = [ax, ay](const std::vector<std::int64_t>& v, std::size_t i) {
        const std::int64_t top = v[i] * (p::kMapGrid - ax) + v[i + 1] * ax;
        const std::int64_t bottom = v[i + kGridW] * (p::kMapGrid - ax) + v[i + kGridW + 1] * ax;
        return (top * (p::kMapGrid - ay) + bottom * ay) / (p::kMapGrid * p::kMapGrid);
      };
      const std::int64_t fx = lerp(gridX, g);
      const std::int64_t fy = lerp(gridY, g);
      std::int32_t height = 0;
      std::int32_t skin = 0;
      Sample(m, fx, fy, height, skin);
      const std::int32_t px = static_cast<std::int32_t>(fx >> 8);
      const std::int32_t py = static_cast<std::int32_t>(fy >> 8);

      const std::int64_t contact = (lerp(gridContact, g) * skin) / 255;

      std::int64_t ink = 0;
      if (contact > 0) {
        // Pressure widens the ridges; it falls off toward the edge of the contact.
        // Skin is never smooth: the ridge edges wander a little.
        const std::int64_t threshold = -q.Pressure + ((kQ16 - contact) * p::kEdgePressureDrop >> 16) +
                                       ((std::int64_t{roughness.At(px, py)} * p::kRidgeRoughness) >> 16);
        std::int64_t level = height - threshold * 256;
        if (wetLevel > 0) {
          // Moisture bridges the valleys in blobs.
          const std::int64_t blob = wetBlobs.At(px, py) + (std::int64_t{wetLevel} * kQ16 / 1000) - kQ16 / 2;
          if (blob > 0) level += (blob * 90) >> 8;
        }
        ink = SmoothStepQ16((level + std::int64_t{p::kInkSoftness} * 128) * kQ16 / (std::int64_t{p::kInkSoftness} * 256));
        if (dryLevel > 0) {
          // Dry skin leaves gaps along the ridges.
          const std::int64_t spot = drySpots.At(px, py) + kQ16 * 7 / 5 - (std::int64_t{dryLevel} * 2 * kQ16 / 1000);
          const std::int64_t keep = SmoothStepQ16(spot * 2 + kQ16 / 2);
          ink = (ink * keep) >> 16;
        }
        ink = (ink * contact) >> 16;
      }
      const std::int64_t bg = q.BackgroundGrey + ((std::int64_t{background.At(sx, sy)} * p::kBackgroundWobble) >> 16);
      std::int64_t grey = bg - (((bg - q.RidgeGrey) * ink) >> 16);
      grey += (std::int64_t{noise.NormalQ16()} * q.NoiseSigma) >> 16;
      image[static_cast<std::size_t>(sy) * kW + static_cast<std::size_t>(sx)] = static_cast<std::uint8_t>(Clamp32(grey, 0, 255));
    }
  }
}

}  // namespace mivex::ostrela
