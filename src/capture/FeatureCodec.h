#pragma once
// The packed feature record that the engine writes for every extracted sample and
// that enrollment and verification templates carry: decoding into a fixed model,
// encoding back (with the run-coded orientation grid) and the in-place re-encoding
// that adds each minutia's relation to the fingerprint's singular points.
#include <cstddef>
#include <cstdint>

namespace mivex {

constexpr int kMaxModelMinutiae = 80;
constexpr int kMaxModelSingularPoints = 4;
constexpr int kGridCells = 32;           // the model's grid is 32 x 32 cells
constexpr std::uint8_t kGridEmpty = 255;  // an empty grid cell in the model
// The largest record EncodeFeatures can write: header, 80 minutiae with extra bytes,
// 4 singular points, a grid of 32 x 32 literals with row codes, relations, pair tail.
constexpr std::size_t kMaxEncodedFeatures = 7 + 80 * 5 + 1 + 4 * 4 + 2 + 32 * 33 + 2 + 4 * 80 + 2;

// Section flags (byte 0 of a record).
enum FeatureFlags : std::uint8_t {
  kFlagExtraByte = 1 << 0,
  kFlagSingularPoints = 1 << 1,
  kFlagGrid = 1 << 2,
  kFlagRelations = 1 << 3,
  kFlagPairTail = 1 << 4,
};

// Type bits of a minutia (bits 8-9 of its word, stored here shifted down).
constexpr std::uint8_t kMinutiaKindBit = 1;       // the engine's kind (e.g. bifurcation)
constexpr std::uint8_t kMinutiaNearSingular = 2;  // within 60 pixels of a singular point

struct FeatureMinutia {
  std::int16_t X;
  std::int16_t Y;
  std::uint8_t Direction;  // 240ths of a turn, 0 = +x, 60 = +y (downward)
  std::uint8_t Extra;      // 255 when the record carries no extra byte
  std::uint8_t Type;       // type bits 0..3
};

struct FeatureSingularPoint {
  std::int16_t X;
  std::int16_t Y;
  std::uint8_t Type;  // 1..3 (0 = unspecified)
  std::uint8_t Direction;
};

struct FeatureModel {
  std::uint8_t Header;
  std::int32_t MinutiaeCount;  // at most kMaxModelMinutiae
  FeatureMinutia Minutiae[kMaxModelMinutiae];
  std::uint8_t RelationHeader[2];  // types of the first and second related point, 0 = none
  std::uint8_t Angle1[kMaxModelMinutiae];
  std::uint8_t Distance1[kMaxModelMinutiae];
  std::uint8_t Angle2[kMaxModelMinutiae];
  std::uint8_t Distance2[kMaxModelMinutiae];
  std::int32_t SingularCount;  // at most kMaxModelSingularPoints
  FeatureSingularPoint Singular[kMaxModelSingularPoints];
  std::uint8_t PairTail[2];  // pair code, half the distance between points 0 and 1
  std::int32_t GridWidth;    // 0 when the record has no grid
  std::int32_t GridHeight;
  std::uint8_t Grid[kGridCells * kGridCells];  // 32 cells per row, kGridEmpty = empty
};

// Clears the model to the state decoding starts from (all zero).
void ClearFeatureModel(FeatureModel& model);

// Decodes the record in record[0 .. length) into the model. Returns the number of
// bytes the record occupies, or -1 when its counts or codes run past `length`.
std::int32_t DecodeFeatures(const std::uint8_t* record, std::size_t length, FeatureModel& model);

// Encodes the model into dest[0 .. capacity). Returns the bytes written, or -1 when
// they would not fit (kMaxEncodedFeatures always does).
std::int32_t EncodeFeatures(const FeatureModel& model, std::uint8_t* dest, std::size_t capacity);

// Decodes the record held in record[0 .. length), reports its minutiae count (at most
// 80) and optionally its singular-point count, and, when it has singular points,
// re-encodes it in place (within `capacity` bytes) with every minutia's relation to
// them. Returns the record's new length; a record without singular points is left
// byte for byte and its decoded length returned. Returns -1 (counts 0, record
// untouched) when the record cannot be decoded or the result does not fit.
std::int32_t RepackFeatures(std::uint8_t* record, std::size_t length, std::size_t capacity,
                            std::int32_t& minutiaeCount, std::int32_t* singularCount = nullptr);

// floor(sqrt(dx^2 + dy^2)); 8193 for vectors of 8193 or longer.
std::int32_t PointDistance(std::int32_t dx, std::int32_t dy);

// Direction from point 1 to point 2 in 240ths of a turn, x to the right, y downward.
std::int32_t PointAngle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// The orientation grid alone: decoding from a reader position (used by DecodeFeatures)
// and encoding (width and height clamped to 32). Both return false when the bytes run
// out (decoding) or would not fit (encoding); `pos` advances past what they used.
bool DecodeOrientationGrid(const std::uint8_t* data, std::size_t length, std::size_t& pos,
                           FeatureModel& model);
bool EncodeOrientationGrid(const FeatureModel& model, std::uint8_t* dest, std::size_t capacity,
                           std::size_t& pos);

}  // namespace mivex
