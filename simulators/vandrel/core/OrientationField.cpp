#include "OrientationField.h"

#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

// Length of the summed doubled-angle gradient over the summed gradient energy.
FloatPlane Coherence(const FloatPlane& cos2, const FloatPlane& sin2, const FloatPlane& magnitude) {
  FloatPlane c(cos2.width, cos2.height);
  for (std::size_t i = 0; i < c.data.size(); ++i) {
    const float len = pm::Hypot(cos2.data[i], sin2.data[i]);
    c.data[i] = magnitude.data[i] > 1e-6f ? std::min(1.0f, len / magnitude.data[i]) : 0.0f;
  }
  return c;
}

void Finish(OrientationField& f, const FloatPlane& magnitude) {
  const int n = f.cos2.width * f.cos2.height;
  f.angle = FloatPlane(f.cos2.width, f.cos2.height);
  for (int i = 0; i < n; ++i) {
    // The gradient is across the ridges: the ridge runs a quarter turn from it.
    const float g = 0.5f * pm::Atan2(f.sin2.data[i], f.cos2.data[i]);
    f.angle.data[i] = WrapHalfTurn(g + std::numbers::pi_v<float> / 2);
  }
  f.coherence = Coherence(f.cos2, f.sin2, magnitude);
}

struct GradientTensors {
  FloatPlane gxx, gxy, gee, count;  // summed per block
};

GradientTensors BlockTensors(const FloatPlane& img) {
  using params::kBlock;
  const int cols = (img.width + kBlock - 1) / kBlock, rows = (img.height + kBlock - 1) / kBlock;
  GradientTensors t{FloatPlane(cols, rows), FloatPlane(cols, rows), FloatPlane(cols, rows), FloatPlane(cols, rows)};
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      // Sobel gradients with repeated edges.
      const float a = img.clamped(x - 1, y - 1), b = img.clamped(x, y - 1), c = img.clamped(x + 1, y - 1);
      const float d = img.clamped(x - 1, y), f = img.clamped(x + 1, y);
      const float g = img.clamped(x - 1, y + 1), h = img.clamped(x, y + 1), i = img.clamped(x + 1, y + 1);
      const float gx = (c + 2 * f + i) - (a + 2 * d + g);
      const float gy = (g + 2 * h + i) - (a + 2 * b + c);
      const int bx = x / kBlock, by = y / kBlock;
      t.gxx.at(bx, by) += gx * gx - gy * gy;
      t.gxy.at(bx, by) += 2 * gx * gy;
      t.gee.at(bx, by) += gx * gx + gy * gy;
      t.count.at(bx, by) += 1;
    }
  return t;
}

// Binomial blur (1 4 6 4 1) / 16 along rows, then along columns; edges repeat.
FloatPlane Blur(const FloatPlane& in) {
  FloatPlane rowsDone(in.width, in.height), out(in.width, in.height);
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x)
      rowsDone.at(x, y) = (in.clamped(x - 2, y) + in.clamped(x + 2, y) + 4 * (in.clamped(x - 1, y) + in.clamped(x + 1, y)) +
                           6 * in.at(x, y)) / 16;
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x)
      out.at(x, y) = (rowsDone.clamped(x, y - 2) + rowsDone.clamped(x, y + 2) +
                      4 * (rowsDone.clamped(x, y - 1) + rowsDone.clamped(x, y + 1)) + 6 * rowsDone.at(x, y)) / 16;
  return out;
}

}  // namespace

OrientationField EstimateOrientation(const FloatPlane& img, int smoothRadius) {
  const GradientTensors t = BlockTensors(img);
  const int cols = t.gxx.width, rows = t.gxx.height;
  OrientationField f;
  f.energy = FloatPlane(cols, rows);
  for (int k = 0; k < cols * rows; ++k) f.energy.data[k] = t.gee.data[k] / t.count.data[k];
  f.cos2 = BoxSmooth(t.gxx, smoothRadius);
  f.sin2 = BoxSmooth(t.gxy, smoothRadius);
  Finish(f, BoxSmooth(t.gee, smoothRadius));
  const GradientTensors b = BlockTensors(Blur(img));
  f.blurredCoherence = Coherence(BoxSmooth(b.gxx, smoothRadius), BoxSmooth(b.gxy, smoothRadius), BoxSmooth(b.gee, smoothRadius));
  return f;
}

OrientationField SmoothOrientation(const OrientationField& field, int smoothRadius) {
  // Smooth unit doubled-angle vectors weighted by coherence, so strong regions lead.
  const int cols = field.angle.width, rows = field.angle.height;
  FloatPlane c(cols, rows), s(cols, rows), w(cols, rows);
  for (int k = 0; k < cols * rows; ++k) {
    const float g = 2 * (field.angle.data[k] - std::numbers::pi_v<float> / 2);
    c.data[k] = pm::Cos(g) * field.coherence.data[k];
    s.data[k] = pm::Sin(g) * field.coherence.data[k];
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
