#include "OrientationField.h"

#include <cmath>
#include <numbers>
#include <vector>

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

// Each pixel's Sobel gradients (edges repeat) as the three tensor terms, row by row,
// then summed per block in the order of a plain pass over the image.
GradientTensors BlockTensors(const FloatPlane& img) {
  using params::kBlock;
  const int w = img.width, h = img.height;
  const int cols = (w + kBlock - 1) / kBlock, rows = (h + kBlock - 1) / kBlock;
  GradientTensors t{FloatPlane(cols, rows), FloatPlane(cols, rows), FloatPlane(cols, rows), FloatPlane(cols, rows)};
  std::vector<float> xx(static_cast<std::size_t>(w)), xy(static_cast<std::size_t>(w)), ee(static_cast<std::size_t>(w));
  for (int y = 0; y < h; ++y) {
    const float* up = &img.at(0, std::max(y - 1, 0));
    const float* mid = &img.at(0, y);
    const float* down = &img.at(0, std::min(y + 1, h - 1));
    // l and r are the columns left and right of x, clamped at the edges.
    const auto terms = [&](int x, int l, int r) {
      const float a = up[l], b = up[x], c = up[r];
      const float d = mid[l], f = mid[r];
      const float g = down[l], hh = down[x], i = down[r];
      const float gx = (c + 2 * f + i) - (a + 2 * d + g);
      const float gy = (g + 2 * hh + i) - (a + 2 * b + c);
      xx[static_cast<std::size_t>(x)] = gx * gx - gy * gy;
      xy[static_cast<std::size_t>(x)] = 2 * gx * gy;
      ee[static_cast<std::size_t>(x)] = gx * gx + gy * gy;
    };
    terms(0, 0, std::min(1, w - 1));
    for (int x = 1; x < w - 1; ++x) terms(x, x - 1, x + 1);
    if (w > 1) terms(w - 1, w - 2, w - 1);
    const int by = y / kBlock;
    AddRowToBlocks(xx.data(), w, &t.gxx.at(0, by));
    AddRowToBlocks(xy.data(), w, &t.gxy.at(0, by));
    AddRowToBlocks(ee.data(), w, &t.gee.at(0, by));
  }
  for (int by = 0; by < rows; ++by)
    for (int bx = 0; bx < cols; ++bx)
      t.count.at(bx, by) = static_cast<float>((std::min(w, (bx + 1) * kBlock) - bx * kBlock) *
                                              (std::min(h, (by + 1) * kBlock) - by * kBlock));
  return t;
}

// Binomial blur (1 4 6 4 1) / 16 along rows, then along columns; edges repeat.
FloatPlane Blur(const FloatPlane& in) {
  const int w = in.width, h = in.height;
  FloatPlane rowsDone(w, h), out(w, h);
  for (int y = 0; y < h; ++y) {
    const float* p = &in.at(0, y);
    float* o = &rowsDone.at(0, y);
    const auto blur = [&](int x, int l2, int l1, int r1, int r2) {
      o[x] = (p[l2] + p[r2] + 4 * (p[l1] + p[r1]) + 6 * p[x]) / 16;
    };
    const auto edge = [&](int x) {
      blur(x, std::clamp(x - 2, 0, w - 1), std::clamp(x - 1, 0, w - 1), std::clamp(x + 1, 0, w - 1),
           std::clamp(x + 2, 0, w - 1));
    };
    for (int x = 0; x < std::min(2, w); ++x) edge(x);
    for (int x = 2; x < w - 2; ++x) blur(x, x - 2, x - 1, x + 1, x + 2);
    for (int x = std::max(2, w - 2); x < w; ++x) edge(x);
  }
  for (int y = 0; y < h; ++y) {
    const float* u2 = &rowsDone.at(0, std::max(y - 2, 0));
    const float* u1 = &rowsDone.at(0, std::max(y - 1, 0));
    const float* c = &rowsDone.at(0, y);
    const float* d1 = &rowsDone.at(0, std::min(y + 1, h - 1));
    const float* d2 = &rowsDone.at(0, std::min(y + 2, h - 1));
    float* o = &out.at(0, y);
    for (int x = 0; x < w; ++x) o[x] = (u2[x] + d2[x] + 4 * (u1[x] + d1[x]) + 6 * c[x]) / 16;
  }
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

OrientationField RefineOrientation(const OrientationField& field, const FloatPlane& enhanced, const BytePlane& mask) {
  const GradientTensors t = BlockTensors(enhanced);
  OrientationField fromEnhanced;
  fromEnhanced.cos2 = BoxSmooth(t.gxx, params::kRefinedOrientationSmoothRadius);
  fromEnhanced.sin2 = BoxSmooth(t.gxy, params::kRefinedOrientationSmoothRadius);
  Finish(fromEnhanced, BoxSmooth(t.gee, params::kRefinedOrientationSmoothRadius));
  OrientationField out = field;
  for (std::size_t i = 0; i < out.angle.data.size(); ++i)
    if (mask.data[i]) out.angle.data[i] = fromEnhanced.angle.data[i];
  return out;
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
