#include "NoiseField.h"

#include "FixedMath.h"
#include "Random.h"

namespace mivex::ostrela {

TNoiseField::TNoiseField(std::uint64_t seed, std::int32_t width, std::int32_t height, std::int32_t spacing)
    : FSpacing(spacing < 1 ? 1 : spacing) {
  FColumns = (width < 1 ? 1 : width) / FSpacing + 2;
  FRows = (height < 1 ? 1 : height) / FSpacing + 2;
  TRandom random(seed);
  FLattice.resize(static_cast<std::size_t>(FColumns) * static_cast<std::size_t>(FRows));
  for (auto& v : FLattice) v = random.Range(-kQ16, kQ16);
  FWeights.resize(static_cast<std::size_t>(FSpacing));
  for (std::int32_t i = 0; i < FSpacing; ++i)
    FWeights[static_cast<std::size_t>(i)] = SmoothStepQ16(std::int64_t{i} * kQ16 / FSpacing);
}

std::int32_t TNoiseField::At(std::int32_t x, std::int32_t y) const {
  x = Clamp32(x, 0, (FColumns - 1) * FSpacing - 1);
  y = Clamp32(y, 0, (FRows - 1) * FSpacing - 1);
  const std::int32_t cx = x / FSpacing;
  const std::int32_t cy = y / FSpacing;
  const std::int64_t wx = FWeights[static_cast<std::size_t>(x - cx * FSpacing)];
  const std::int64_t wy = FWeights[static_cast<std::size_t>(y - cy * FSpacing)];
  const auto at = [this](std::int32_t c, std::int32_t r) {
    return std::int64_t{FLattice[static_cast<std::size_t>(r) * static_cast<std::size_t>(FColumns) +
                                 static_cast<std::size_t>(c)]};
  };
  const std::int64_t top = at(cx, cy) + (((at(cx + 1, cy) - at(cx, cy)) * wx) >> 16);
  const std::int64_t bottom = at(cx, cy + 1) + (((at(cx + 1, cy + 1) - at(cx, cy + 1)) * wx) >> 16);
  return static_cast<std::int32_t>(top + (((bottom - top) * wy) >> 16));
}

}  // namespace mivex::ostrela
