#pragma once
// Every tuning constant of the simulated sensor and its synthetic fingerprints.
// Lengths are pixels at 500 dpi unless a name says otherwise; Q8 values are 1/256 px,
// Q16 values are 1/65536, angles are in turn units (65536 per turn).
#include <cstddef>
#include <cstdint>

namespace mivex::ostrela::params {

// --- Sensor geometry -------------------------------------------------------------
inline constexpr std::int32_t kImageWidth = 256;
inline constexpr std::int32_t kImageHeight = 288;
inline constexpr std::int32_t kResolutionDpi = 500;

// --- Master canvas: a whole fingertip, larger than the sensor window ---------------
inline constexpr std::int32_t kMasterWidth = 352;
inline constexpr std::int32_t kMasterHeight = 432;

// Finger silhouette (the skin that can touch the sensor).
inline constexpr std::int32_t kFingerHalfWidthMin = 128;
inline constexpr std::int32_t kFingerHalfWidthMax = 152;
inline constexpr std::int32_t kFingerTopMin = 12;
inline constexpr std::int32_t kFingerTopMax = 40;
inline constexpr std::int32_t kFingerCapHeightMin = 150;   // vertical semi-axis of the rounded tip
inline constexpr std::int32_t kFingerCapHeightMax = 190;
inline constexpr std::int32_t kSkinEdgeRamp = 18;          // skin profile rises over this width

// Pattern centre (upper core, or the top of an arch) below the fingertip.
inline constexpr std::int32_t kCoreBelowTopMin = 130;
inline constexpr std::int32_t kCoreBelowTopMax = 175;
inline constexpr std::int32_t kCoreSideShift = 22;         // horizontal scatter of the centre

// Pattern class frequencies in permille, as large fingerprint collections report them:
// arch, tented arch, left loop, right loop, whorl.
inline constexpr std::int32_t kClassPermille[5] = {37, 29, 338, 317, 279};
// Which way a loop opens depends on the hand: mostly toward the little finger (ulnar),
// which is to the left on the left hand as seen on the sensor. Share of left loops
// among the loops of the left and of the right hand, chosen so that over both hands
// left and right loops keep the shares above (338 / 655 = 516 = (866 + 166) / 2).
inline constexpr std::int32_t kLeftLoopPermille[2] = {866, 166};

// Singular point layouts (pixels).
inline constexpr std::int32_t kLoopDeltaDistanceMin = 70;
inline constexpr std::int32_t kLoopDeltaDistanceMax = 150;
inline constexpr std::int32_t kLoopDeltaAngleMin = 5000;   // below the horizontal, turn units
inline constexpr std::int32_t kLoopDeltaAngleMax = 12000;
inline constexpr std::int32_t kWhorlCoreGapMin = 10;
inline constexpr std::int32_t kWhorlCoreGapMax = 55;
inline constexpr std::int32_t kWhorlDeltaDistanceMin = 80;
inline constexpr std::int32_t kWhorlDeltaDistanceMax = 150;
inline constexpr std::int32_t kTentedDeltaDistanceMin = 28;
inline constexpr std::int32_t kTentedDeltaDistanceMax = 70;
inline constexpr std::int32_t kBaseAngleScatter = 2500;    // tilt of the whole pattern
inline constexpr std::int32_t kWhorlTiltScatter = 8000;     // of the line through the two cores
// Every finger bends the flow around its singular points in its own way: the angle seen
// from a point is warped by two harmonics (turn units) before it enters the model.
// Together with the wander below this keeps fingers of one class as unlike as real
// ones: weaker, and impostor pairs match more often than real impostors do.
inline constexpr std::int32_t kWarpFirstMax = 6000;
inline constexpr std::int32_t kWarpSecondMax = 1800;
// Slow wander of the ridge flow over the whole finger (turn units, lattice pixels).
inline constexpr std::int32_t kFlowWander = 6500;
inline constexpr std::int32_t kFlowWanderSpacing = 48;

// Arch ridges: hump height (Q16 slope scale) and width.
inline constexpr std::int32_t kArchSlopeMin = 50000;
inline constexpr std::int32_t kArchSlopeMax = 80000;
inline constexpr std::int32_t kArchHalfWidth = 70;
inline constexpr std::int32_t kArchBandHeight = 150;

// Fingertip bend: ridges above the pattern follow the rounded tip.
inline constexpr std::int32_t kTipBendStart = 25;          // above the upper core
inline constexpr std::int32_t kTipBendRamp = 110;
inline constexpr std::int32_t kTipBendSlope = 60000;       // Q16 slope at the sides
inline constexpr std::int32_t kTipBendHalfWidth = 120;

// Ridge period (Q8 pixels): a person's fingers share a base period (a normal spread
// between people), thumbs run coarser and little fingers finer, and each finger
// scatters a little around that; the finger's mean is kept within the limits.
inline constexpr std::int32_t kPeriodMinQ8 = 7 * 256 + 230;    // 7.9 px
inline constexpr std::int32_t kPeriodMaxQ8 = 10 * 256 + 51;    // 10.2 px
inline constexpr std::int32_t kPersonPeriodMeanQ8 = 9 * 256;   // 9.0 px
inline constexpr std::int32_t kPersonPeriodSigmaQ8 = 115;      // 0.45 px
inline constexpr std::int32_t kFingerPeriodOffsetQ8[5] = {45, 5, 10, -15, -40};  // thumb .. little finger
inline constexpr std::int32_t kFingerPeriodScatterQ8 = 70;     // uniform, either way
inline constexpr std::int32_t kPeriodVariationQ8 = 230;
inline constexpr std::int32_t kPeriodFieldSpacing = 72;
inline constexpr std::int32_t kPeriodTipShrinkQ8 = 120;        // finer ridges near the tip

// --- Ridge growth by iterated oriented Gabor filtering -----------------------------
inline constexpr std::int32_t kOrientationBins = 32;           // per half turn
inline constexpr std::int32_t kPeriodBinFirstQ8 = 6 * 256;     // 6.0 px
inline constexpr std::int32_t kPeriodBinStepQ8 = 128;          // 0.5 px
inline constexpr std::int32_t kPeriodBins = 15;                // 6.0 .. 13.0 px
inline constexpr std::int32_t kKernelRadius = 7;               // 15 x 15 taps
inline constexpr std::int32_t kKernelStride = 16;              // row padded for vector units
inline constexpr std::int32_t kSigmaAcrossPermille = 330;      // of the period, across ridges
inline constexpr std::int32_t kSigmaAlongPermille = 470;       // along ridges
inline constexpr std::int32_t kGrowthGainQ8 = 480;             // amplification per pass
inline constexpr std::int32_t kGrowthIterations = 12;
inline constexpr std::int32_t kGrowthStartNoise = 400;            // Q12 amplitude of the start
inline constexpr std::int32_t kGrowthSeedsMin = 160;
inline constexpr std::int32_t kGrowthSeedsMax = 220;
inline constexpr std::int32_t kRidgeHeightScale = 96;          // final response to int8 height
// Ridge breaks: stretches of grown ridge taken away, each leaving two ridge endings at
// places of the finger's own. Grown ridges end and fork only where the flow spreads or
// narrows (the growth heals any other defect), so at much the same places on every
// finger of one pattern class, and impostor pairs of one class matched three times as
// often as pairs of different classes. Real minutiae also lie scattered at random.
inline constexpr std::int32_t kRidgeBreaksMin = 22;
inline constexpr std::int32_t kRidgeBreaksMax = 38;
inline constexpr std::int32_t kRidgeBreakLengthMin = 18;
inline constexpr std::int32_t kRidgeBreakLengthMax = 50;

// --- Creases and scars ----------------------------------------------------------------
// Creases are thin lines where the skin folds and does not touch the sensor; how many
// a person has grows with age and manual work (a per-person tendency, permille).
inline constexpr std::int32_t kCreaseChanceMin = 120;          // permille of fingers, at tendency 0
inline constexpr std::int32_t kCreaseChanceSpan = 400;         // added at tendency 1000
inline constexpr std::int32_t kCreasesMax = 4;
inline constexpr std::int32_t kCreaseLengthMin = 50;
inline constexpr std::int32_t kCreaseLengthMax = 220;
inline constexpr std::int32_t kCreaseHalfWidthMinQ8 = 256;     // 1 px
inline constexpr std::int32_t kCreaseHalfWidthMaxQ8 = 3 * 256;
inline constexpr std::int32_t kCreaseBendMax = 14;             // sagitta of the curve
inline constexpr std::int32_t kCreaseTiltMax = 5000;           // from the horizontal, most creases
inline constexpr std::int32_t kCreaseAnyDirectionPermille = 300;
// Scars: a wider band without ridges, edged by a rim of raised tissue that prints.
inline constexpr std::int32_t kScarPermille = 40;              // of fingers
inline constexpr std::int32_t kScarLengthMin = 25;
inline constexpr std::int32_t kScarLengthMax = 110;
inline constexpr std::int32_t kScarHalfWidthMinQ8 = 2 * 256;
inline constexpr std::int32_t kScarHalfWidthMaxQ8 = 6 * 256;
inline constexpr std::int32_t kScarBendMax = 25;
inline constexpr std::int32_t kScarRimQ8 = 2 * 256;
inline constexpr std::int32_t kMarkEdgeQ8 = 384;               // a mark's edge fades over 1.5 px
inline constexpr std::int32_t kValleyHeight = -127;            // ridge height of skin that never touches
inline constexpr std::int32_t kRimHeight = 70;


// --- Impressions: one placement of the finger on the sensor --------------------------
// The sensor centre lies this far below the pattern centre on a centred press.
inline constexpr std::int32_t kSensorBelowCentre = 14;
// Placement scatter (normal deviations; pixels, turn units) and limits, per press kind:
// index 0 good, 1 poor, 2 light.
inline constexpr std::int32_t kOffsetSigmaX[3] = {13, 30, 20};
inline constexpr std::int32_t kOffsetSigmaY[3] = {15, 32, 22};
inline constexpr std::int32_t kOffsetLimit = 70;
inline constexpr std::int32_t kRotationSigma[3] = {800, 2000, 1100};   // 4.4, 11, 6 degrees
inline constexpr std::int32_t kRotationLimit = 5500;                    // 30 degrees
// People do not put a finger down the same way twice: now and then a press lands
// markedly off the usual spot or turned, its scatter widened by a factor (permille).
inline constexpr std::int32_t kWidePlacementPermille = 250;
inline constexpr std::int32_t kWideScatterMin = 2500;
inline constexpr std::int32_t kWideScatterMax = 4000;
// Elastic distortion: skin held in the contact core, dragged around it.
inline constexpr std::int32_t kDistortInnerMin = 35;
inline constexpr std::int32_t kDistortInnerMax = 75;
inline constexpr std::int32_t kDistortRampMin = 60;
inline constexpr std::int32_t kDistortRampMax = 110;
inline constexpr std::int32_t kDistortTurnSigma[3] = {600, 1000, 600};  // 3.3, 5.5 degrees
inline constexpr std::int32_t kDistortShiftSigmaQ8[3] = {4 * 256, 7 * 256, 4 * 256};
inline constexpr std::int32_t kWarpSpacing = 56;                        // small smooth skin warp
inline constexpr std::int32_t kWarpAmplitudeQ8 = 800;
// Some presses drag or twist the skin much more (pushed sideways, pressed while
// turning): their distortion and warp are scaled by a factor (permille). With the
// ridge breaks' extra minutiae, a fifth of presses so strained keeps genuine scores
// as spread as real ones (more, and the low genuine scores fall below the real sets').
inline constexpr std::int32_t kStrainedPermille = 200;
inline constexpr std::int32_t kStrainMin = 2500;
inline constexpr std::int32_t kStrainMax = 3500;
inline constexpr std::int32_t kMapGrid = 8;                              // mapping computed every 8 px
// Contact ellipse (finger pixels) relative to the finger pad, and its scale per kind.
inline constexpr std::int32_t kContactHalfWidthMin = 115;
inline constexpr std::int32_t kContactHalfWidthMax = 150;
inline constexpr std::int32_t kContactHalfHeightMin = 150;
inline constexpr std::int32_t kContactHalfHeightMax = 200;
inline constexpr std::int32_t kContactBelowCentre = 30;
inline constexpr std::int32_t kContactScaleMin[3] = {900, 650, 420};   // permille
inline constexpr std::int32_t kContactScaleMax[3] = {1150, 900, 600};
inline constexpr std::int32_t kContactEdgeRamp = 14;                    // contact fades over this width
inline constexpr std::int32_t kContactEdgeNoisePermille = 90;          // ragged contact edge
inline constexpr std::int32_t kContactEdgeSpacing = 24;
// Pressure: shift of the ink threshold in ridge-height units (positive: wider ridges).
inline constexpr std::int32_t kPressureMean[3] = {0, -4, -52};
inline constexpr std::int32_t kPressureSigma[3] = {14, 26, 10};
inline constexpr std::int32_t kEdgePressureDrop = 70;                   // lighter toward the contact edge
// Skin condition, permille: -1000 wet .. +1000 dry.
inline constexpr std::int32_t kDrynessSigma[3] = {260, 520, 250};
inline constexpr std::int32_t kDrynessMean[3] = {60, 120, 300};
inline constexpr std::int32_t kDrySpotSpacing = 4;
inline constexpr std::int32_t kWetBlobSpacing = 12;
// Grey levels: ridge and background, and pixel noise (standard deviation).
inline constexpr std::int32_t kRidgeGreyMin[3] = {55, 70, 140};
inline constexpr std::int32_t kRidgeGreyMax[3] = {110, 135, 185};
inline constexpr std::int32_t kBackgroundGreyMin = 222;
inline constexpr std::int32_t kBackgroundGreyMax = 246;
inline constexpr std::int32_t kBackgroundWobble = 8;
inline constexpr std::int32_t kBackgroundSpacing = 64;
inline constexpr std::int32_t kNoiseSigmaMin[3] = {6, 10, 7};
inline constexpr std::int32_t kNoiseSigmaMax[3] = {16, 20, 12};
inline constexpr std::int32_t kInkSoftness = 18;                        // ridge-height units over an edge
inline constexpr std::int32_t kRidgeRoughness = 42;                     // wander of the ridge edges
inline constexpr std::int32_t kRidgeRoughSpacing = 3;
// A good press goes wrong now and then (off-centre, smudged, very dry): permille.
inline constexpr std::int32_t kGoodMishapPermille = 90;

// --- Frames within one press -------------------------------------------------------
inline constexpr std::int32_t kSettleContactPermille[2] = {620, 850};  // first two frames
inline constexpr std::int32_t kSettlePressure[2] = {-30, -12};
inline constexpr std::int32_t kSettleShiftQ8 = 18 * 256;                // touching tip first
inline constexpr std::int32_t kFrameJitterQ8 = 160;
inline constexpr std::int32_t kFrameTurnJitter = 50;
inline constexpr std::int32_t kFramePressureJitter = 5;

}  // namespace mivex::ostrela::params

namespace mivex::ostrela::params {

// --- Sensor behaviour -----------------------------------------------------------------
inline constexpr std::size_t kMasterCacheSize = 12;       // masters kept (about 300 KB each)
inline constexpr std::int32_t kMatcherSlots = 16;         // templates the sensor-side matcher keeps
inline constexpr std::int32_t kMatcherSamples = 3;        // presses per sensor-side enrolment

}  // namespace mivex::ostrela::params
