#pragma once
// The engine's calls, portable: what the Vandrel library exports, with the same
// arguments and result codes (the exported functions only forward here).
//
// Contexts are opaque 32-bit handles, each with its own parameters; handle 0 is the
// engine's default context, usable by every call and read-only. All calls may run
// concurrently on different threads.
//
// VerifyRecords returns 1 when the score reaches the context's matching threshold
// (parameter 200) and 0 when it does not; the details record receives the score in
// its second field and, when its size (first field) allows, the decision (1/0), the
// number of paired minutiae and the threshold used in the third to fifth.
#include <cstddef>
#include <cstdint>

namespace mivex::vandrel {

enum ResultCode : std::int32_t {
  kResultOk = 0,
  kResultFailed = -1,
  kResultOutOfMemory = -2,
  kResultNotInitialized = -3,
  kResultArgumentNull = -4,
  kResultInvalidArgument = -5,
  kResultInvalidParameter = -10,
  kResultReadOnly = -11,
  kResultBadResolution = -101,
  kResultBadSize = -102,
};

enum ParameterId : std::int32_t {
  kParamTypeQuery = 0,
  kParamFeatureSelection = 110,   // 0 all features, 1 omit grid ("BO"), 2 also omit singular points ("C")
  kParamMatchThreshold = 200,     // score from which two records are the same finger
  kParamGeneralizeThreshold = 300,  // score every sample must reach against the anchor
  kParamQualityBytes = 11000,     // 1: records carry each minutia's quality
};

constexpr std::int32_t kTypeInt32 = 6;

std::int32_t EngineInitialize();
std::int32_t EngineFinalize();
std::int32_t CreateContext();
std::int32_t FreeContext(std::int32_t context);
// For kParamTypeQuery the parameter id to describe is passed as `value` itself.
std::int32_t GetParameter(std::int32_t id, void* value, std::int32_t context);
std::int32_t SetParameter(std::int32_t id, std::int32_t value, std::int32_t context);
std::int32_t ExtractRecord(std::int32_t width, std::int32_t height, const std::uint8_t* image, std::int32_t resolution,
                           std::uint8_t* features, std::int32_t* length, std::int32_t context);
std::int32_t GeneralizeRecords(std::int32_t count, const std::uint8_t* const* records, std::uint8_t* out,
                               std::int32_t* length, std::int32_t context);
std::int32_t VerifyRecords(const std::uint8_t* record1, const std::uint8_t* record2, std::int32_t* details,
                           std::int32_t context);

}  // namespace mivex::vandrel
