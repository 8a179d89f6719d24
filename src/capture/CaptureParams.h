#pragma once
// Fixed values of the capture device, the enrollment engine and the sensor driver, in
// one place so that tuning never means hunting through the code.
#include <cstdint>

namespace mivex::capture_params {

// Feature and template buffers handed to the engine.
constexpr std::int32_t kFeatureBufferSize = 10000;
// Spare bytes behind every stored enrollment sample (the engine may read ahead).
constexpr std::int32_t kSampleSlack = 300;
// Size of the MatchDetails record the engine expects.
constexpr std::int32_t kMatchDetailsSize = 20;

// Extraction scores: lower is better. A frame passes when its score is not above the
// threshold; setting a threshold below the minimum is ignored.
constexpr std::int32_t kDefaultExtractThreshold = 120;
constexpr std::int32_t kMinExtractThreshold = 80;
// The score that maps to 100 % quality.
constexpr std::int32_t kQualityAnchorScore = 40;

constexpr std::int32_t kDefaultMinMinutiaeCount = 18;
// What the sensor factory sets for the real sensor.
constexpr std::int32_t kSensorMinMinutiaeCount = 14;
constexpr std::int32_t kDefaultMaxEnrollTry = 10;
// Samples generalized into one enrollment template.
constexpr std::int32_t kEnrollSamples = 3;
// Presses per enrollment announced by a device that does not say otherwise.
constexpr std::int32_t kBaseSampleCount = 6;

constexpr std::int32_t kDefaultResolution = 500;  // dots per inch

// Polling: pause between capture attempts, and between looks at Busy while closing.
constexpr std::uint32_t kCapturePauseMs = 200;
constexpr std::uint32_t kFramePauseMs = 200;
constexpr std::uint32_t kClosePollMs = 100;

// False-acceptance rate per security level, indexed by the level's ordinal
// (auto, A, B, C, D, E).
constexpr double kSecurityLevelRates[6] = {0.004, 0.001, 0.004, 0.007, 0.01, 0.02};

// Engine parameter ids and the type code of the integer ones.
constexpr std::int32_t kParamTypeQuery = 0;
constexpr std::int32_t kParamExtractFeatures = 110;
constexpr std::int32_t kParamMatchThreshold = 200;
constexpr std::int32_t kParamGeneralizeThreshold = 300;
constexpr std::int32_t kParamNewContextFlag = 11000;
constexpr std::int32_t kIntParameterType = 6;

// Sensor geometry: 8-bit grey, rows of kImageWidth bytes.
constexpr std::int32_t kImageWidth = 256;
constexpr std::int32_t kImageHeight = 288;
constexpr std::int32_t kImageBytes = kImageWidth * kImageHeight;
// The sensor library writes into an area one byte larger than an image.
constexpr std::int32_t kSensorAreaBytes = kImageBytes + 1;
// Second and third arguments of the sensor's image request.
constexpr std::int32_t kSensorImageMode = 0;
constexpr std::int32_t kSensorImageDpi = 500;

}  // namespace mivex::capture_params
