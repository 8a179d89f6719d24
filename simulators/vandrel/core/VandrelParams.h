#pragma once
// Every tuning constant of the feature engine, in one place. Lengths are pixels at
// 500 dpi unless stated; angles are radians.
namespace mivex::vandrel::params {

// Accepted input.
constexpr int kMinImageSide = 128;
constexpr int kMaxImageSide = 1024;
constexpr int kMinResolution = 450;  // dpi; the filters assume about 500
constexpr int kMaxResolution = 550;

// Block grid shared by the field estimates.
constexpr int kBlock = 8;

// Local contrast normalisation: block statistics smoothed over this many blocks.
constexpr int kNormalizeRadiusBlocks = 2;
constexpr float kMinLocalStd = 4.0f;  // grey levels; flatter areas carry no ridges
// Ink: pixels darker than halfway between these percentiles of the image's grey levels,
// counted over the same blocks as the contrast statistics.
constexpr double kInkDarkPercentile = 0.05;
constexpr double kInkBrightPercentile = 0.95;

// Orientation field: gradient tensors per block, smoothed over a block window.
constexpr int kOrientationSmoothRadius = 2;        // blocks (5 x 5)
constexpr int kSingularSmoothRadius = 3;           // blocks, the field used for singular points
// Directions read again from the enhanced ridges need little smoothing (3 x 3 blocks):
// the enhancement has already averaged along them.
constexpr int kRefinedOrientationSmoothRadius = 1;

// Segmentation: a block is foreground when its gradient energy and its local
// contrast stand out.
constexpr float kForegroundEnergyFraction = 0.15f;  // of the 90th percentile block energy
constexpr float kForegroundMinStd = 9.0f;           // grey levels
constexpr float kForegroundStdFraction = 0.2f;     // of the 90th percentile block deviation
constexpr float kForegroundMinCoherence = 0.12f;
constexpr float kForegroundMinInk = 0.03f;  // share of dark pixels; below it, bare sensor surface
constexpr float kMinBlockClarity = 0.45f;  // ridge filters must explain this much of a block

// Ridge wavelength (period) estimation.
constexpr int kFrequencyBlock = 16;       // estimates on a 16-pixel grid
constexpr int kFrequencyWindowLength = 32;  // along the ridge normal
constexpr int kFrequencyWindowWidth = 16;   // along the ridges
constexpr float kMinWavelength = 5.0f;
constexpr float kMaxWavelength = 14.0f;
constexpr float kDefaultWavelength = 9.0f;

// Oriented band-pass (Gabor) enhancement.
constexpr int kGaborRadius = 5;           // 11 x 11 kernels
constexpr int kGaborOrientations = 24;
constexpr int kGaborWavelengthSteps = 10;  // wavelengths kMinWavelength .. kMaxWavelength
// The envelope reaches along a ridge far enough to bridge pores, creases and the gaps
// of dry skin, and across it little more than the ridge and its two valleys: wider, it
// would average in the neighbouring ridges, which are not where a single period puts
// them wherever the spacing changes (round cores and deltas, scars, merged ridges of
// wet skin), and draw ridges there that the finger does not have.
constexpr float kGaborSigmaAlong = 4.5f;   // along the ridges
constexpr float kGaborSigmaAcross = 2.0f;  // across the ridges

// Ridge map: gaps enclosed by ridge pixels up to this many pixels are filled, about a
// ridge's width across and a ridge period long; valleys enclosed by two bridges are longer.
constexpr int kMaxRidgeHole = 24;

// Minutiae.
constexpr int kTraceLength = 10;               // skeleton steps traced for a direction
constexpr float kBorderDistance = 10.0f;       // minimum distance to the background
constexpr float kCloseDistance = 7.0f;         // two minutiae closer than this are noise
constexpr float kBrokenRidgeDistance = 12.0f;  // facing ridge endings joined by a gap
constexpr float kBrokenRidgeAngle = 0.6f;      // tolerance of "facing"
constexpr int kClusterRadius = 16;             // crowded places are noise
constexpr int kClusterLimit = 4;               // at most this many others within the radius
constexpr int kMaxMinutiae = 80;
constexpr float kSnapToFieldAngle = 0.7f;      // traced directions this close snap to the field; others are no minutiae

// Singular points (Poincare index on the smoothed block field).
constexpr float kPoincareTolerance = 0.5f;     // around +-pi
constexpr float kMaxRingStep = 1.0f;           // largest orientation step between ring neighbours
constexpr float kSingularMergeDistance = 24.0f;
constexpr float kSingularBorderDistance = 16.0f;
constexpr int kMaxSingularPoints = 4;

// Orientation grid written into records.
constexpr int kGridCellMin = 16;

// Extraction score: 40 for a large, clear print; each shortfall adds.
constexpr float kScoreBest = 40.0f;
constexpr float kScoreWorst = 300.0f;
constexpr float kGoodArea = 36000.0f;        // square pixels of foreground
constexpr float kAreaPenalty = 120.0f;
constexpr float kGoodStructure = 0.35f;      // coherence x clarity of a clear print
constexpr float kStructurePenalty = 400.0f;
constexpr float kGoodWavelengthShare = 0.85f;  // share of places with a ridge period in range
constexpr float kWavelengthPenalty = 200.0f;
constexpr float kGoodBreakup = 2.5f;         // candidate minutiae per 1000 square pixels
constexpr float kBreakupPenalty = 80.0f;     // per candidate above that
constexpr int kGoodMinutiae = 25;
constexpr float kMinutiaePenalty = 60.0f;

// Local structures (cylinders) for matching.
constexpr float kCylinderRadius = 70.0f;
constexpr int kCylinderCells = 8;           // spatial cells per side
constexpr int kCylinderDirections = 6;      // direction bins
constexpr float kCylinderSpread = 13.0f;     // a neighbour marks the cells whose centres lie this close
constexpr float kCylinderHullMargin = 40.0f;  // cells this far outside the minutiae hull are invalid
constexpr int kCylinderMinNeighbours = 2;
constexpr int kMinCommonCells = 20;         // cells valid in both cylinders to compare them
constexpr float kCylinderMinValidFraction = 0.5f;
constexpr float kMinPairTurnCos = 0.5f;     // minutiae compared only when turned at most 60 degrees apart

// Consolidation of local matches.
constexpr int kCandidatePairs = 64;
constexpr int kSeeds = 20;
constexpr float kMinPairSimilarity = 0.25f;
constexpr float kDistanceTolerance = 8.0f;
constexpr float kDistanceToleranceRelative = 0.10f;
constexpr float kSegmentTurnTolerance = 0.15f;  // sine of the turn a segment may differ by
constexpr float kCosDirectionTolerance = 0.94f;  // rotations of two pairs differ by at most ~20 degrees
constexpr float kExpansionReach = 16.0f;  // a minutia this close to its aligned partner may pair
// Minutiae this close once aligned, each the other's nearest, pair rigidly: tighter than
// the expansion's reach, as no check against the consolidated pairs backs these pairs.
constexpr float kRigidReach = 12.0f;

// Consolidated similarity from the pairs. The slack and the damping guard small
// overlaps, where a few chance pairs are a large share; the share paired rigidly, a
// second reading of the alignment with chance errors of its own, guards them too, so
// they stay light enough not to sink true partial presses.
constexpr float kOverlapSlack = 5.0f;           // added to the smaller overlap count
// An unpaired minutia in the overlap counts fully from this quality up; below, it
// counts down to 1 - kOverlapQualityDiscount at quality 0.
constexpr float kOverlapFullQuality = 0.5f;
constexpr float kOverlapQualityDiscount = 0.8f;
constexpr float kFewPairsDamping = 3.0f;        // k pairs count k / (k + this)
constexpr float kLocalSimilarityWeight = 0.3f;  // exponent of the mean local similarity
constexpr float kRigidShareWeight = 0.2f;       // of the share paired rigidly, beside the consolidated share

// Generalization.
constexpr float kMergeDistance = 14.0f;   // aligned minutiae this close and this parallel are one
constexpr float kMergeAngle = 0.6f;
constexpr float kMergeAngleCost = 10.0f;  // pixels per radian when the closest merges go first
constexpr float kAlignStiffness = 50.0f;  // pixels; reach over which the elastic alignment stays rigid
// A sample tied to the anchor this strongly (1 % false acceptance, the default
// generalization threshold) adds its minutiae; below, its alignment is not trusted.
constexpr int kJoinScore = 47;
// A sample matched against the anchor and another sample merged must exceed the
// threshold by this many score points: about a halved false-acceptance rate (a decade
// spans 16 points between 47 and 63), as two presses give chance pairs twice the room.
constexpr int kJointMargin = 5;
// Quality factor of a merged minutia by the number of samples that show it.
constexpr float kSupportQuality[4] = {0.0f, 0.75f, 0.9f, 1.05f};

// Engine defaults.
constexpr int kDefaultMatchThreshold = 47;        // false acceptance 1 %
constexpr int kDefaultGeneralizeThreshold = 47;
constexpr int kRecordBufferSize = 10000;          // callers' feature buffers

}  // namespace mivex::vandrel::params

namespace mivex::vandrel::params {
// Calibration of the matcher's consolidated similarity: at each raw knot, -log10 of the
// share of impostor comparisons that reach it; beyond the last knot the tail loses this
// many decades per unit of raw similarity. Fitted with `vandrel-eval --fit` on every
// impostor pair of two real development sets, within each and across them (12 160
// pairs): the scale promises what real prints show, not what simulated fingers'
// impostors reach (a tenth of a decade less at the 1 % point, a fifth at 0.1 %). A
// change to extraction or matching keeps them while that pool still meets its targets
// under them.
constexpr float kCalibrationRaw[] = {0.0000f, 0.1058f, 0.1558f, 0.1881f, 0.2170f, 0.2474f, 0.2693f};
constexpr float kCalibrationDecades[] = {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f};
constexpr float kCalibrationTailSlope = 19.53f;
}  // namespace mivex::vandrel::params
