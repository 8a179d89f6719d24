#include "RidgeWavelength.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

// Mean distance between successive maxima of the profile, or 0 when it has no clear period.
float ProfilePeriod(const float* s, int n) {
  int first = -1, last = -1, peaks = 0;
  float lo = s[0], hi = s[0];
  for (int i = 1; i < n; ++i) {
    lo = std::min(lo, s[i]);
    hi = std::max(hi, s[i]);
  }
  if (hi - lo < 0.5f) return 0;
  for (int i = 1; i < n - 1; ++i)
    if (s[i] > s[i - 1] && s[i] >= s[i + 1] && s[i] > (lo + hi) / 2) {
      if (first < 0) first = i;
      last = i;
      ++peaks;
    }
  if (peaks < 2) return 0;
  return static_cast<float>(last - first) / static_cast<float>(peaks - 1);
}

}  // namespace

RidgeWavelength EstimateWavelength(const FloatPlane& img, const OrientationField& field, const ForegroundMask& mask) {
  using namespace params;
  const int step = kFrequencyBlock / kBlock;
  const int cols = (field.angle.width + step - 1) / step, rows = (field.angle.height + step - 1) / step;
  FloatPlane coarse(cols, rows, 0.0f);
  std::vector<float> valid;
  int foreground = 0;
  float profile[kFrequencyWindowLength];
  for (int gy = 0; gy < rows; ++gy)
    for (int gx = 0; gx < cols; ++gx) {
      const int bx = std::min(gx * step + step / 2, field.angle.width - 1);
      const int by = std::min(gy * step + step / 2, field.angle.height - 1);
      if (!mask.blocks.at(bx, by)) continue;
      ++foreground;
      const float theta = field.angle.at(bx, by);
      const float ux = pm::Cos(theta), uy = pm::Sin(theta);  // along the ridges
      const float nx = -uy, ny = ux;                           // across
      const float cx = static_cast<float>(bx * kBlock), cy = static_cast<float>(by * kBlock);
      // Sample offsets along the ridges, the same for every point of the profile.
      constexpr int kSamples = kFrequencyWindowWidth / 2;
      float alongX[kSamples], alongY[kSamples];
      for (int i = 0; i < kSamples; ++i) {
        const float j = static_cast<float>(2 * i - kFrequencyWindowWidth / 2);
        alongX[i] = j * ux;
        alongY[i] = j * uy;
      }
      for (int k = 0; k < kFrequencyWindowLength; ++k) {
        const float t = static_cast<float>(k - kFrequencyWindowLength / 2);
        const float px = cx + t * nx, py = cy + t * ny;
        float acc = 0;
        for (int i = 0; i < kSamples; ++i) acc += img.clamped(RoundToInt(px + alongX[i]), RoundToInt(py + alongY[i]));
        profile[k] = acc;
      }
      // Light smoothing keeps noise from making extra peaks.
      float smooth[kFrequencyWindowLength];
      for (int k = 0; k < kFrequencyWindowLength; ++k)
        smooth[k] = (profile[std::max(k - 1, 0)] + 2 * profile[k] + profile[std::min(k + 1, kFrequencyWindowLength - 1)]) / 4;
      const float period = ProfilePeriod(smooth, kFrequencyWindowLength);
      if (period >= kMinWavelength && period <= kMaxWavelength) {
        coarse.at(gx, gy) = period;
        valid.push_back(period);
      }
    }
  RidgeWavelength out;
  out.validFraction = foreground > 0 ? static_cast<float>(valid.size()) / static_cast<float>(foreground) : 0.0f;
  if (!valid.empty()) {
    std::nth_element(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(valid.size() / 2), valid.end());
    out.median = valid[valid.size() / 2];
  } else {
    out.median = kDefaultWavelength;
  }
  // Fill gaps with the mean of valid neighbours (growing outwards), then the median.
  for (int pass = 0; pass < 4; ++pass) {
    FloatPlane next = coarse;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        if (coarse.at(x, y) > 0) continue;
        float s = 0;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (coarse.contains(x + dx, y + dy) && coarse.at(x + dx, y + dy) > 0) {
              s += coarse.at(x + dx, y + dy);
              ++n;
            }
        if (n > 0) next.at(x, y) = s / static_cast<float>(n);
      }
    coarse = next;
  }
  for (float& v : coarse.data)
    if (v <= 0) v = out.median;
  coarse = BoxSmooth(coarse, 1);
  out.blocks = FloatPlane(field.angle.width, field.angle.height);
  for (int y = 0; y < field.angle.height; ++y)
    for (int x = 0; x < field.angle.width; ++x) out.blocks.at(x, y) = coarse.at(x / step, y / step);
  return out;
}

}  // namespace mivex::vandrel
