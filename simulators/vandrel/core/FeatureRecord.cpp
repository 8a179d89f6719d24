#include "FeatureRecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {
constexpr float kTurn = 2 * std::numbers::pi_v<float>;

std::int16_t Coordinate(float v) { return static_cast<std::int16_t>(std::clamp(std::lround(v), -2048L, 4094L)); }
}  // namespace

std::uint8_t DirectionToUnits(float radians) {
  const long u = std::lround(radians / kTurn * 240.0f);
  return static_cast<std::uint8_t>(((u % 240) + 240) % 240);
}

float UnitsToDirection(int units) { return static_cast<float>(units % 240) * kTurn / 240.0f; }

std::int32_t WriteFeatureRecord(const Features& f, FeatureSelection selection, bool qualityBytes, std::uint8_t* out,
                                std::size_t capacity) {
  FeatureModel m;
  ClearFeatureModel(m);
  std::memset(m.Grid, kGridEmpty, sizeof m.Grid);
  m.Header = kRecordVersion;
  for (const Minutia& mn : f.minutiae) {
    if (m.MinutiaeCount == kMaxModelMinutiae) break;
    m.Minutiae[m.MinutiaeCount++] = {
        Coordinate(mn.x), Coordinate(mn.y), DirectionToUnits(mn.direction),
        static_cast<std::uint8_t>(qualityBytes ? std::clamp(std::lround(mn.quality * 254.0f), 0L, 254L) : 255),
        static_cast<std::uint8_t>(mn.kind == MinutiaKind::Bifurcation ? kMinutiaKindBit : 0)};
  }
  if (selection != FeatureSelection::OmitBOAndC)
    for (const SingularPoint& sp : f.singularPoints) {
      if (m.SingularCount == kMaxModelSingularPoints) break;
      m.Singular[m.SingularCount++] = {Coordinate(sp.x), Coordinate(sp.y), static_cast<std::uint8_t>(sp.type & 3),
                                       DirectionToUnits(sp.direction)};
    }
  if (selection == FeatureSelection::AllFeatures && f.grid.width > 0 && f.grid.height > 0) {
    m.GridWidth = std::min(f.grid.width, kGridCells);
    m.GridHeight = std::min(f.grid.height, kGridCells);
    for (int y = 0; y < m.GridHeight; ++y)
      for (int x = 0; x < m.GridWidth; ++x)
        m.Grid[y * kGridCells + x] = f.grid.cells[static_cast<std::size_t>(y) * f.grid.width + x];
  }
  return EncodeFeatures(m, out, capacity);
}

bool ReadFeatureRecord(const std::uint8_t* record, std::size_t maxLength, Features& f) {
  FeatureModel m;
  return DecodeFeatures(record, maxLength, m) >= 0 && FeaturesOfModel(m, f);
}

bool MinutiaeOfModel(const FeatureModel& m, std::vector<Minutia>& minutiae) {
  minutiae.clear();
  minutiae.reserve(static_cast<std::size_t>(std::max(m.MinutiaeCount, 0)));
  for (int i = 0; i < m.MinutiaeCount; ++i) {
    const FeatureMinutia& mn = m.Minutiae[i];
    if (mn.Direction >= 240) return false;  // not a record of this engine
    Minutia out;
    out.x = mn.X;
    out.y = mn.Y;
    out.direction = UnitsToDirection(mn.Direction);
    out.kind = (mn.Type & kMinutiaKindBit) ? MinutiaKind::Bifurcation : MinutiaKind::Ending;
    out.quality = mn.Extra == 255 ? 0.5f : static_cast<float>(mn.Extra) / 254.0f;
    minutiae.push_back(out);
  }
  return true;
}

bool FeaturesOfModel(const FeatureModel& m, Features& f) {
  f.singularPoints.clear();
  if (!MinutiaeOfModel(m, f.minutiae)) return false;
  for (int i = 0; i < m.SingularCount; ++i) {
    const FeatureSingularPoint& sp = m.Singular[i];
    f.singularPoints.push_back({static_cast<float>(sp.X), static_cast<float>(sp.Y), sp.Type,
                                UnitsToDirection(sp.Direction % 240)});
  }
  f.grid = OrientationGrid{};
  if (m.GridWidth > 0 && m.GridHeight > 0) {
    f.grid.width = std::min(m.GridWidth, kGridCells);
    f.grid.height = std::min(m.GridHeight, kGridCells);
    f.grid.cells.resize(static_cast<std::size_t>(f.grid.width) * f.grid.height);
    for (int y = 0; y < f.grid.height; ++y)
      for (int x = 0; x < f.grid.width; ++x)
        f.grid.cells[static_cast<std::size_t>(y) * f.grid.width + x] = m.Grid[y * kGridCells + x];
  }
  return true;
}

}  // namespace mivex::vandrel
