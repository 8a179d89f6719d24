#pragma once
// The engine's features in and out of packed feature records.
//
// What a record carries is chosen per context (parameter 110):
//   all features      minutiae, singular points and the orientation grid;
//   omit "BO"         without the grid: its blocks (B) and their orientations (O);
//   omit "BO" and "C" minutiae only: no grid and no cores/deltas (C).
// With quality bytes on (parameter 11000 = 1) every minutia carries its quality
// (0..255) in the record's extra byte. The header byte holds the record version.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Minutia.h"
#include "OrientationGrid.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {

enum class FeatureSelection : std::int32_t { AllFeatures = 0, OmitBO = 1, OmitBOAndC = 2 };

struct Features {
  std::vector<Minutia> minutiae;
  std::vector<SingularPoint> singularPoints;
  OrientationGrid grid;
};

constexpr std::uint8_t kRecordVersion = 1;

// Returns the record's length, or -1 when it does not fit.
std::int32_t WriteFeatureRecord(const Features& features, FeatureSelection selection, bool qualityBytes,
                                std::uint8_t* out, std::size_t capacity);

// Reads a record of at most `maxLength` bytes. False when it cannot be decoded.
bool ReadFeatureRecord(const std::uint8_t* record, std::size_t maxLength, Features& features);
// The same from a record already decoded by the codec.
bool FeaturesOfModel(const FeatureModel& model, Features& features);
// Only the minutiae of a decoded record (all that matching needs).
bool MinutiaeOfModel(const FeatureModel& model, std::vector<Minutia>& minutiae);

// Direction conversions between radians and 240ths of a turn.
std::uint8_t DirectionToUnits(float radians);
float UnitsToDirection(int units);

}  // namespace mivex::vandrel
