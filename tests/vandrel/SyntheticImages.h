#pragma once
// Synthetic grey images with known ridge geometry, for tests that need an exact answer.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace mivex::vandrel::testing {

constexpr double kPi = std::numbers::pi;

// Straight ridges running in direction `angle` (radians, y down) with the given
// period; dark ridges on a light background, like a sensor image.
inline std::vector<std::uint8_t> ParallelRidges(int w, int h, double angle, double period) {
  std::vector<std::uint8_t> img(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double across = -x * std::sin(angle) + y * std::cos(angle);
      img[static_cast<std::size_t>(y) * w + x] =
          static_cast<std::uint8_t>(128 + 100 * std::cos(2 * kPi * across / period));
    }
  return img;
}

// Concentric ridges around (cx, cy): a whorl-like print with plenty of clear ridges.
inline std::vector<std::uint8_t> Rings(int w, int h, double cx, double cy, double period) {
  std::vector<std::uint8_t> img(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double r = std::hypot(x - cx, y - cy);
      img[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(128 + 100 * std::cos(2 * kPi * r / period));
    }
  return img;
}

// A finger-like pattern with minutiae: rings whose phase jumps by a whole period
// across a few radial cuts, so ridges end and fork along them.
inline std::vector<std::uint8_t> RingsWithMinutiae(int w, int h, double cx, double cy, double period) {
  std::vector<std::uint8_t> img(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double r = std::hypot(x - cx, y - cy), phi = std::atan2(y - cy, x - cx);
      // One extra ridge appears every time the angle passes a cut: a smooth ramp of the
      // phase by one period over the sector, which starts or ends ridges.
      const double sector = (phi + kPi) / (2 * kPi) * 5;
      const double ramp = sector - std::floor(sector);
      const double phase = 2 * kPi * (r / period + 0.5 * std::floor(sector) + 0.5 * ramp * ramp * (3 - 2 * ramp));
      img[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(128 + 100 * std::cos(phase));
    }
  return img;
}

}  // namespace mivex::vandrel::testing
