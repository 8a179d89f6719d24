#pragma once
// The arithmetic of the enrollment engine, kept apart from the device so that it is
// tested natively: quality from an extraction score, the choice of the sample that an
// enrollment replaces when its samples disagree, and the rate of a security level.
#include <cstdint>

namespace mivex {

// Quality 0..100 of a sample with extraction score `score` under `threshold` (lower
// scores are better; the anchor score and below give 100, the threshold gives 60,
// anything above the threshold 0). `threshold` must lie above the anchor score.
std::int32_t QualityPercent(std::int32_t score, std::int32_t threshold);

// Which of three samples to capture again after a failed agreement check, from the
// cross scores cross[i] = match(sample i, sample (i + 1) mod 3). Each sample's total is
// the sum of its two scores; a sample whose total is strictly below both others is
// replaced, otherwise sample 2.
int ChooseReplacement(const std::int32_t cross[3]);

// False-acceptance rate of a security level by ordinal (0 = automatic); ordinals out of
// range give the automatic level's rate.
double SecurityLevelRate(int level);

}  // namespace mivex
