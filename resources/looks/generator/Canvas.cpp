#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace looks {

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

namespace {
// Coverage of a pixel whose centre lies `d` pixels from the edge.
double Coverage(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }
}  // namespace

void Canvas::Fill(const Sdf& shape, const Paint& paint, int x0, int y0, int x1, int y1, double opacity) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_);
  y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double a = Coverage(shape(px, py)) * opacity;
      if (a > 0) Set(x, y, Mix(At(x, y), paint(px, py), a));
    }
}

void Canvas::Fill(const Sdf& shape, Rgb colour, int x0, int y0, int x1, int y1, double opacity) {
  Fill(shape, [colour](double, double) { return colour; }, x0, y0, x1, y1, opacity);
}

void Canvas::Outline(const Sdf& shape, Rgb colour, double width, int x0, int y0, int x1, int y1) {
  Fill([&](double x, double y) { return std::fabs(shape(x, y)) - width / 2; }, colour, x0, y0, x1, y1);
}

}  // namespace looks
