#pragma once
// The catalogue message a sample quality value gives, by the capture device's type and
// enrollment policy.
#include <cstdint>

namespace mivex {

// Message 232 ("Fingerprint clear!") counts as an accepted sample.
constexpr int kAcceptedSampleMessage = 232;

// `device_type` is the device type's ordinal (only its low 7 bits count);
// `quality_policy` is true when the device's policy is epEnrollQuality.
int QualityMessage(int device_type, bool quality_policy, std::int32_t quality);

// The flag class (0..9) of a quality value of the flag-reporting device families, or -1.
int QualityFlagClass(std::int32_t value);

}  // namespace mivex
