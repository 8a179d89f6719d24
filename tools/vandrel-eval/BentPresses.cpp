#include "BentPresses.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace mivex::vandrel {
namespace {

constexpr int kRingPoints = 8;

struct ControlPoint {
  float x, y, dx, dy;  // where it lies in the bent image, and how far its pixel came
};

// The middle and a ring around it stay; two outer rings move by the whole shift.
std::array<ControlPoint, 1 + 3 * kRingPoints> ControlPoints(float cx, float cy, float dx, float dy) {
  std::array<ControlPoint, 1 + 3 * kRingPoints> points;
  points[0] = {cx, cy, 0, 0};
  std::size_t n = 1;
  for (int k = 0; k < kRingPoints; ++k) {
    const float a = 2 * std::numbers::pi_v<float> * static_cast<float>(k) / kRingPoints;
    const float c = std::cos(a), s = std::sin(a);
    points[n++] = {cx + kBendStillRadius * c, cy + kBendStillRadius * s, 0, 0};
    points[n++] = {cx + kBendInnerRadius * c, cy + kBendInnerRadius * s, dx, dy};
    points[n++] = {cx + kBendOuterRadius * c, cy + kBendOuterRadius * s, dx, dy};
  }
  return points;
}

// The grey value at (x, y), interpolated between the four nearest pixels; places off
// the image read the nearest edge pixel.
float Sample(const GrayImage& image, float x, float y) {
  x = std::clamp(x, 0.0f, static_cast<float>(image.width - 1));
  y = std::clamp(y, 0.0f, static_cast<float>(image.height - 1));
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const int x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
  const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
  const auto at = [&image](int px, int py) {
    return static_cast<float>(image.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(image.width) +
                                           static_cast<std::size_t>(px)]);
  };
  const float top = at(x0, y0) + fx * (at(x1, y0) - at(x0, y0));
  const float bottom = at(x0, y1) + fx * (at(x1, y1) - at(x0, y1));
  return top + fy * (bottom - top);
}

}  // namespace

int BendMargin(float dx, float dy) { return static_cast<int>(std::ceil(std::hypot(dx, dy))); }

GrayImage BendPress(const GrayImage& image, float dx, float dy) {
  const int margin = BendMargin(dx, dy);
  if (image.width <= 2 * margin || image.height <= 2 * margin) return image;
  const auto points = ControlPoints(static_cast<float>(image.width) / 2, static_cast<float>(image.height) / 2, dx, dy);
  GrayImage out;
  out.width = image.width - 2 * margin;
  out.height = image.height - 2 * margin;
  out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      const float px = static_cast<float>(x + margin), py = static_cast<float>(y + margin);
      // The shift at this place: the control points' shifts, each weighed by the
      // inverse of its squared distance (a control point's own place takes its own).
      float sum = 0, sx = 0, sy = 0;
      bool onPoint = false;
      for (const ControlPoint& c : points) {
        const float d2 = (px - c.x) * (px - c.x) + (py - c.y) * (py - c.y);
        if (d2 == 0) {
          sx = c.dx, sy = c.dy, sum = 1, onPoint = true;
          break;
        }
        sum += 1 / d2, sx += c.dx / d2, sy += c.dy / d2;
      }
      if (!onPoint) sx /= sum, sy /= sum;
      const float grey = Sample(image, px - sx, py - sy);
      out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(std::clamp(std::lround(grey), 0L, 255L));
    }
  return out;
}

float BendDirection(std::uint32_t seed, const std::string& name) {
  // FNV-1a over the name, started from the seed, then a final mix: a direction per
  // image that no standard library's random distributions could change.
  std::uint32_t h = 2166136261u ^ seed;
  for (const char ch : name) h = (h ^ static_cast<std::uint8_t>(ch)) * 16777619u;
  h ^= h >> 16, h *= 0x7feb352du, h ^= h >> 15, h *= 0x846ca68bu, h ^= h >> 16;
  return 2 * std::numbers::pi_v<float> * static_cast<float>(h >> 8) / static_cast<float>(1u << 24);
}

}  // namespace mivex::vandrel
