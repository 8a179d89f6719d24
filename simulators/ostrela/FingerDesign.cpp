#include "FingerDesign.h"

#include "FixedMath.h"
#include "NoiseField.h"
#include "OstrelaParams.h"
#include "Random.h"

namespace mivex::ostrela {

namespace p = params;

const char* PatternClassName(TPatternClass value) {
  switch (value) {
    case TPatternClass::pcArch: return "arch";
    case TPatternClass::pcTentedArch: return "tented arch";
    case TPatternClass::pcLeftLoop: return "left loop";
    case TPatternClass::pcRightLoop: return "right loop";
    case TPatternClass::pcWhorl: return "whorl";
  }
  return "?";
}

namespace {

TPatternClass DrawClass(TRandom& random, std::int32_t finger) {
  std::int32_t roll = random.Below(1000);
  std::int32_t index = 0;
  while (index < 4 && roll >= p::kClassPermille[index]) roll -= p::kClassPermille[index++];
  auto cls = static_cast<TPatternClass>(index);
  if (cls == TPatternClass::pcLeftLoop || cls == TPatternClass::pcRightLoop) {
    const bool rightHand = finger >= 6;
    cls = random.Chance(p::kLeftLoopPermille[rightHand ? 1 : 0]) ? TPatternClass::pcLeftLoop
                                                                  : TPatternClass::pcRightLoop;
  }
  return cls;
}

TSingularPoint PointAt(std::int32_t x, std::int32_t y, std::int32_t angle, std::int32_t distance, bool core) {
  TSingularPoint pt;
  pt.X = x + static_cast<std::int32_t>(DivRound(std::int64_t{CosQ16(angle)} * distance, kQ16));
  pt.Y = y + static_cast<std::int32_t>(DivRound(std::int64_t{SinQ16(angle)} * distance, kQ16));
  pt.Core = core;
  return pt;
}

void DrawWarps(TFingerDesign& d, TRandom& random) {
  for (TSingularPoint& pt : d.Points) {
    pt.Warp1 = random.Range(-p::kWarpFirstMax, p::kWarpFirstMax);
    pt.Phase1 = random.Below(kTurn);
    pt.Warp2 = random.Range(-p::kWarpSecondMax, p::kWarpSecondMax);
    pt.Phase2 = random.Below(kTurn);
  }
}

void PlaceSingularities(TFingerDesign& d, TRandom& random) {
  const std::int32_t cx = d.CentreX;
  const std::int32_t cy = d.CentreY;
  switch (d.Class) {
    case TPatternClass::pcArch:
      d.ArchSlope = random.Range(p::kArchSlopeMin, p::kArchSlopeMax);
      break;
    case TPatternClass::pcTentedArch: {
      d.Points.push_back(PointAt(cx, cy, 0, 0, true));
      const std::int32_t dist = random.Range(p::kTentedDeltaDistanceMin, p::kTentedDeltaDistanceMax);
      d.Points.push_back(PointAt(cx, cy, kQuarterTurn + random.Range(-1200, 1200), dist, false));
      break;
    }
    case TPatternClass::pcLeftLoop:
    case TPatternClass::pcRightLoop: {
      d.Points.push_back(PointAt(cx, cy, 0, 0, true));
      const std::int32_t dist = random.Range(p::kLoopDeltaDistanceMin, p::kLoopDeltaDistanceMax);
      const std::int32_t below = random.Range(p::kLoopDeltaAngleMin, p::kLoopDeltaAngleMax);
      // y grows downward: angle `below` points down and right; the mirror points down and left.
      const std::int32_t angle = d.Class == TPatternClass::pcLeftLoop ? below : kHalfTurn - below;
      d.Points.push_back(PointAt(cx, cy, angle, dist, false));
      break;
    }
    case TPatternClass::pcWhorl: {
      const std::int32_t gap = random.Range(p::kWhorlCoreGapMin, p::kWhorlCoreGapMax);
      const std::int32_t tilt = kQuarterTurn + random.Range(-p::kWhorlTiltScatter, p::kWhorlTiltScatter);
      d.Points.push_back(PointAt(cx, cy, 0, 0, true));
      d.Points.push_back(PointAt(cx, cy, tilt, gap, true));
      const std::int32_t midY = cy + gap / 2;
      for (int side = 0; side < 2; ++side) {
        const std::int32_t dist = random.Range(p::kWhorlDeltaDistanceMin, p::kWhorlDeltaDistanceMax);
        const std::int32_t below = random.Range(p::kLoopDeltaAngleMin - 1000, p::kLoopDeltaAngleMax - 1500);
        d.Points.push_back(PointAt(cx, midY, side == 0 ? below : kHalfTurn - below, dist, false));
      }
      break;
    }
  }
}

// A band somewhere on the pad of the finger.
TSkinMark DrawMark(const TFingerShape& shape, TRandom& random, TMarkKind kind) {
  const bool crease = kind == TMarkKind::mkCrease;
  const std::int32_t length = crease ? random.Range(p::kCreaseLengthMin, p::kCreaseLengthMax)
                                     : random.Range(p::kScarLengthMin, p::kScarLengthMax);
  std::int32_t angle = 0;
  if (!crease || random.Chance(p::kCreaseAnyDirectionPermille))
    angle = random.Below(kHalfTurn);
  else
    angle = random.Range(-p::kCreaseTiltMax, p::kCreaseTiltMax);
  // The middle lies well on the skin (the rounded tip is narrower than the pad).
  const std::int32_t reach = shape.HalfWidth * 7 / 10;
  std::int32_t midX = shape.CenterX;
  std::int32_t midY = shape.Top + shape.CapHeight;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::int32_t x = shape.CenterX + random.Range(-reach, reach);
    const std::int32_t y = random.Range(shape.Top + 40, p::kMasterHeight - 40);
    if (SkinProfileQ16(shape, x, y) < kQ16) continue;
    midX = x;
    midY = y;
    break;
  }
  const std::int32_t halfX = static_cast<std::int32_t>(DivRound(std::int64_t{CosQ16(angle)} * length, 2 * kQ16));
  const std::int32_t halfY = static_cast<std::int32_t>(DivRound(std::int64_t{SinQ16(angle)} * length, 2 * kQ16));
  TSkinMark mark;
  mark.Kind = kind;
  mark.X0 = midX - halfX;
  mark.Y0 = midY - halfY;
  mark.X1 = midX + halfX;
  mark.Y1 = midY + halfY;
  const std::int32_t bend = crease ? p::kCreaseBendMax : p::kScarBendMax;
  mark.Bend = random.Range(-bend, bend);
  mark.HalfWidthQ8 = crease ? random.Range(p::kCreaseHalfWidthMinQ8, p::kCreaseHalfWidthMaxQ8)
                            : random.Range(p::kScarHalfWidthMinQ8, p::kScarHalfWidthMaxQ8);
  return mark;
}

void DrawMarks(TFingerDesign& d, const TPersonTraits& person, TRandom& random) {
  const std::int32_t creaseChance = p::kCreaseChanceMin + p::kCreaseChanceSpan * person.CreaseTendency / 1000;
  if (random.Chance(creaseChance)) {
    // Creased skin seldom has a single crease; the more creased the person, the more.
    const std::int32_t count = 1 + random.Below(1 + (p::kCreasesMax - 1) * person.CreaseTendency / 1000);
    for (std::int32_t i = 0; i < count; ++i)
      d.Marks.push_back(DrawMark(d.Shape, random, TMarkKind::mkCrease));
  }
  if (random.Chance(p::kScarPermille)) d.Marks.push_back(DrawMark(d.Shape, random, TMarkKind::mkScar));
}

}  // namespace

std::uint64_t MasterSeed(std::uint32_t subject, std::int32_t finger) {
  return MixSeed(MixSeed(0x4f737472656c61ULL, subject), static_cast<std::uint64_t>(finger));
}

TPersonTraits PersonTraits(std::uint32_t subject) {
  // Finger numbers are 1..10: the person's own seed mixes in a value no finger has.
  TRandom random(MixSeed(MixSeed(0x4f737472656c61ULL, subject), 0x706572736f6eULL));
  TPersonTraits t;
  t.PeriodQ8 = p::kPersonPeriodMeanQ8 + static_cast<std::int32_t>(
                                            (std::int64_t{random.NormalQ16()} * p::kPersonPeriodSigmaQ8) >> 16);
  t.CreaseTendency = random.Below(1001);
  return t;
}

TFingerDesign DesignFinger(std::uint32_t subject, std::int32_t finger) {
  const std::uint64_t seed = MasterSeed(subject, finger);
  const TPersonTraits person = PersonTraits(subject);
  TRandom random(MixSeed(seed, 0x64657369676eULL));
  TFingerDesign d;
  d.Seed = seed;
  d.Class = DrawClass(random, finger);
  d.Shape.HalfWidth = random.Range(p::kFingerHalfWidthMin, p::kFingerHalfWidthMax);
  d.Shape.CenterX = p::kMasterWidth / 2 + random.Range(-6, 6);
  d.Shape.Top = random.Range(p::kFingerTopMin, p::kFingerTopMax);
  d.Shape.CapHeight = random.Range(p::kFingerCapHeightMin, p::kFingerCapHeightMax);
  d.CentreX = d.Shape.CenterX + random.Range(-p::kCoreSideShift, p::kCoreSideShift);
  d.CentreY = d.Shape.Top + random.Range(p::kCoreBelowTopMin, p::kCoreBelowTopMax);
  d.BaseAngle = random.Range(-p::kBaseAngleScatter, p::kBaseAngleScatter);
  const std::int32_t digit = (finger - 1) % 5;  // thumb 0 .. little finger 4
  d.PeriodQ8 = Clamp32(std::int64_t{person.PeriodQ8} + p::kFingerPeriodOffsetQ8[digit] +
                           random.Range(-p::kFingerPeriodScatterQ8, p::kFingerPeriodScatterQ8),
                       p::kPeriodMinQ8, p::kPeriodMaxQ8);
  PlaceSingularities(d, random);
  DrawWarps(d, random);
  DrawMarks(d, person, random);
  return d;
}

namespace {

// Slope (Q16) of ridges bowed upward around column cx: zero on the axis, largest at
// about halfWidth on either side, negative on the left (y grows downward).
std::int64_t HumpSlopeQ16(std::int32_t x, std::int32_t cx, std::int32_t halfWidth, std::int64_t strength) {
  const std::int64_t u = std::int64_t{x - cx} * kQ16 / halfWidth;      // Q16
  const std::int64_t onePlusU2 = kQ16 + ((u * u) >> 16);               // Q16
  // strength * 2u / (1 + u^2): an odd bump that fades far from the axis.
  return (strength * 2 * u / onePlusU2);
}

}  // namespace

namespace {

std::int32_t ModelAngle(const TFingerDesign& d, std::int32_t x, std::int32_t y, std::int32_t topCoreY) {
  // Doubled angles add and subtract freely in turn units (they wrap modulo a turn).
  std::int32_t doubled = 2 * d.BaseAngle;
  for (const TSingularPoint& pt : d.Points) {
    std::int32_t arg = Atan2(y - pt.Y, x - pt.X);
    arg += static_cast<std::int32_t>((std::int64_t{pt.Warp1} * SinQ16(arg - pt.Phase1) +
                                      std::int64_t{pt.Warp2} * SinQ16(2 * arg - pt.Phase2)) >> 16);
    doubled += pt.Core ? arg : -arg;
  }
  std::int32_t angle = (doubled & (kTurn - 1)) >> 1;
  if (d.Class == TPatternClass::pcArch) {
    // Humps strongest around the centre row, fading above and below.
    const std::int64_t dy = std::int64_t{y - d.CentreY} * kQ16 / p::kArchBandHeight;
    const std::int64_t band = std::int64_t{kQ16} * kQ16 / (kQ16 + ((dy * dy) >> 16));
    const std::int64_t slope = HumpSlopeQ16(x, d.CentreX, p::kArchHalfWidth, (d.ArchSlope * band) >> 16);
    angle += AtanQ16(slope);
  }
  // Above the pattern the ridges follow the rounded fingertip.
  const std::int64_t above = std::int64_t{topCoreY - p::kTipBendStart - y} * kQ16 / p::kTipBendRamp;
  const std::int32_t weight = SmoothStepQ16(above);
  if (weight > 0) {
    const std::int64_t slope = HumpSlopeQ16(x, d.Shape.CenterX, p::kTipBendHalfWidth,
                                            (std::int64_t{p::kTipBendSlope} * weight) >> 16);
    angle += AtanQ16(slope);
  }
  return angle;
}

}  // namespace

std::vector<std::int32_t> RidgeAngleMap(const TFingerDesign& d) {
  std::int32_t topCoreY = d.CentreY;
  for (const TSingularPoint& pt : d.Points)
    if (pt.Core && pt.Y < topCoreY) topCoreY = pt.Y;
  const TNoiseField wander(MixSeed(d.Seed, 0x77616e646572ULL), p::kMasterWidth, p::kMasterHeight,
                           p::kFlowWanderSpacing);
  std::vector<std::int32_t> map(static_cast<std::size_t>(p::kMasterWidth) * p::kMasterHeight);
  for (std::int32_t y = 0; y < p::kMasterHeight; ++y) {
    for (std::int32_t x = 0; x < p::kMasterWidth; ++x) {
      const std::int32_t drift = static_cast<std::int32_t>((std::int64_t{wander.At(x, y)} * p::kFlowWander) >> 16);
      map[static_cast<std::size_t>(y) * p::kMasterWidth + static_cast<std::size_t>(x)] =
          (ModelAngle(d, x, y, topCoreY) + drift) & (kHalfTurn - 1);
    }
  }
  return map;
}

std::int32_t SkinProfileQ16(const TFingerShape& s, std::int32_t x, std::int32_t y) {
  // Rounded tip: an ellipse over the upper part; straight sides below its centre.
  const std::int32_t capCentreY = s.Top + s.CapHeight;
  const std::int64_t dx = std::int64_t{x - s.CenterX} * kQ16 / s.HalfWidth;
  std::int64_t dy = std::int64_t{y - capCentreY} * kQ16 / s.CapHeight;
  if (dy > 0) dy = 0;
  const std::int64_t rho = ISqrt(static_cast<std::uint64_t>(dx * dx + dy * dy));  // Q16, 1 on the edge
  // Distance inside the edge, approximated along the smaller semi-axis.
  const std::int64_t minAxis = s.HalfWidth < s.CapHeight ? s.HalfWidth : s.CapHeight;
  const std::int64_t inside = (kQ16 - rho) * minAxis;  // Q16 pixels
  return SmoothStepQ16(inside / p::kSkinEdgeRamp);
}

std::vector<std::int32_t> PeriodMapQ8(const TFingerDesign& d) {
  TNoiseField field(MixSeed(d.Seed, 0x706572696f64ULL), p::kMasterWidth, p::kMasterHeight, p::kPeriodFieldSpacing);
  std::vector<std::int32_t> map(static_cast<std::size_t>(p::kMasterWidth) * p::kMasterHeight);
  for (std::int32_t y = 0; y < p::kMasterHeight; ++y) {
    // Ridges run finer toward the tip, above the pattern centre.
    const std::int64_t towardTip = std::int64_t{d.CentreY - y} * kQ16 / (d.CentreY - d.Shape.Top + 1);
    const std::int32_t shrink = static_cast<std::int32_t>((std::int64_t{p::kPeriodTipShrinkQ8} * SmoothStepQ16(towardTip)) >> 16);
    for (std::int32_t x = 0; x < p::kMasterWidth; ++x) {
      const std::int32_t wobble = static_cast<std::int32_t>((std::int64_t{field.At(x, y)} * p::kPeriodVariationQ8) >> 16);
      map[static_cast<std::size_t>(y) * p::kMasterWidth + static_cast<std::size_t>(x)] = d.PeriodQ8 + wobble - shrink;
    }
  }
  return map;
}

}  // namespace mivex::ostrela
