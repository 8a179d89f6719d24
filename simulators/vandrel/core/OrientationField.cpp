#include "OrientationField.h"

#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

void Finish(OrientationField& f, const FloatPlane& magnitude) {
  const int n = f.cos2.width * f.cos2.height;
  f.angle = FloatPlane(f.cos2.width, f.cos2.height);
  f.coherence = FloatPlane(f.cos2.width, f.cos2.height);
  for (int i = 0; i < n; ++i) {
    // The gradient is across the ridges: the ridge runs a quarter turn from it.
    const float g = 0.5f * std::atan2(f.sin2.data[i], f.cos2.data[i]);
    f.angle.data[i] = WrapHalfTurn(g + std::numbers::pi_v<float> / 2);
    const float len = std::hypot(f.cos2.data[i], f.sin2.data[i]);
    f.coherence.data[i] = magnitude.data[i] > 1e-6f ? std::min(1.0f, len / magnitude.data[i]) : 0.0f;
  }
}

}  // namespace

OrientationField EstimateOrientation(const FloatPlane& img, int smoothRadius) {
  using params::kBlock;
  const int cols = (img.width + kBlock - 1) / kBlock, rows = (img.height + kBlock - 1) / kBlock;
  FloatPlane gxx(cols, rows), gxy(cols, rows), gee(cols, rows), count(cols, rows);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      // Sobel gradients with repeated edges.
      const float a = img.clamped(x - 1, y - 1), b = img.clamped(x, y - 1), c = img.clamped(x + 1, y - 1);
      const float d = img.clamped(x - 1, y), f = img.clamped(x + 1, y);
      const float g = img.clamped(x - 1, y + 1), h = img.clamped(x, y + 1), i = img.clamped(x + 1, y + 1);
      const float gx = (c + 2 * f + i) - (a + 2 * d + g);
      const float gy = (g + 2 * h + i) - (a + 2 * b + c);
      const int bx = x / kBlock, by = y / kBlock;
      gxx.at(bx, by) += gx * gx - gy * gy;
      gxy.at(bx, by) += 2 * gx * gy;
      gee.at(bx, by) += gx * gx + gy * gy;
      count.at(bx, by) += 1;
    }
  OrientationField f;
  f.energy = FloatPlane(cols, rows);
  for (int k = 0; k < cols * rows; ++k) f.energy.data[k] = gee.data[k] / count.data[k];
  f.cos2 = BoxSmooth(gxx, smoothRadius);
  f.sin2 = BoxSmooth(gxy, smoothRadius);
  Finish(f, BoxSmooth(gee, smoothRadius));
  return f;
}

OrientationField SmoothOrientation(const OrientationField& field, int smoothRadius) {
  // Smooth unit doubled-angle vectors weighted by coherence, so strong regions lead.
  const int cols = field.angle.width, rows = field.angle.height;
  FloatPlane c(cols, rows), s(cols, rows), w(cols, rows);
  for (int k = 0; k < cols * rows; ++k) {
    const float g = 2 * (field.angle.data[k] - std::numbers::pi_v<float> / 2);
    c.data[k] = std::cos(g) * field.coherence.data[k];
    s.data[k] = std::sin(g) * field.coherence.data[k];
    w.data[k] = field.coherence.data[k];
  }
  OrientationField out;
  out.energy = field.energy;
  out.cos2 = BoxSmooth(c, smoothRadius);
  out.sin2 = BoxSmooth(s, smoothRadius);
  Finish(out, BoxSmooth(w, smoothRadius));
  return out;
}

}  // namespace mivex::vandrel
