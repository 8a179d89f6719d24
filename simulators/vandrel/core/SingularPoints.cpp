#include "SingularPoints.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

using namespace params;
constexpr float kPi = std::numbers::pi_v<float>;

// Ring of blocks at Chebyshev distance 2, in order around the centre (clockwise on
// the screen).
constexpr int kRing = 16;
constexpr int kRingX[kRing] = {-2, -1, 0, 1, 2, 2, 2, 2, 2, 1, 0, -1, -2, -2, -2, -2};
constexpr int kRingY[kRing] = {-2, -2, -2, -2, -2, -1, 0, 1, 2, 2, 2, 2, 2, 1, 0, -1};

struct Candidate {
  float x, y;
  int type;
  int votes;
};

// Direction in which the flow around the point opens: ridges run radially there.
float OpeningDirection(const OrientationField& f, int bx, int by) {
  float sx = 0, sy = 0;
  for (int k = 0; k < kRing; ++k) {
    const int x = bx + kRingX[k], y = by + kRingY[k];
    const float phi = pm::Atan2(static_cast<float>(kRingY[k]), static_cast<float>(kRingX[k]));
    const float radial = pm::Cos(2 * (f.angle.clamped(x, y) - phi));
    sx += radial * pm::Cos(phi);
    sy += radial * pm::Sin(phi);
  }
  return pm::Atan2(sy, sx);
}

}  // namespace

std::vector<SingularPoint> FindSingularPoints(const OrientationField& f, const ForegroundMask& mask) {
  std::vector<Candidate> found;
  for (int by = 2; by < f.angle.height - 2; ++by)
    for (int bx = 2; bx < f.angle.width - 2; ++bx) {
      if (mask.borderDistance.at(bx, by) < kSingularBorderDistance + 2 * kBlock) continue;
      float total = 0;
      bool smooth = true;
      for (int k = 0; k < kRing; ++k) {
        const float a = f.angle.at(bx + kRingX[k], by + kRingY[k]);
        const float b = f.angle.at(bx + kRingX[(k + 1) % kRing], by + kRingY[(k + 1) % kRing]);
        float d = b - a;  // orientations differ by less than a half turn
        if (d > kPi / 2) d -= kPi;
        if (d < -kPi / 2) d += kPi;
        total += d;
        // A ring that passes right by a singular point jumps there and cannot count it.
        smooth = smooth && std::abs(d) <= kMaxRingStep;
      }
      if (!smooth) continue;
      int type = 0;
      if (std::abs(total - kPi) < kPoincareTolerance) type = 1;
      else if (std::abs(total + kPi) < kPoincareTolerance) type = 2;
      else if (std::abs(total - 2 * kPi) < kPoincareTolerance) type = 3;
      if (type == 0) continue;
      const float x = (static_cast<float>(bx) + 0.5f) * kBlock, y = (static_cast<float>(by) + 0.5f) * kBlock;
      bool merged = false;
      for (Candidate& c : found)
        if (c.type == type && pm::Hypot(c.x / static_cast<float>(c.votes) - x, c.y / static_cast<float>(c.votes) - y) <
                                  kSingularMergeDistance) {
          c.x += x;
          c.y += y;
          ++c.votes;
          merged = true;
          break;
        }
      if (!merged) found.push_back({x, y, type, 1});
    }
  // The best supported detections first; weaker ones of any type at the same place are
  // the same structure seen through a ring that cuts it.
  std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return a.votes != b.votes ? a.votes > b.votes : a.type < b.type;
  });
  std::vector<SingularPoint> out;
  for (const Candidate& c : found) {
    if (static_cast<int>(out.size()) == kMaxSingularPoints) break;
    const float x = c.x / static_cast<float>(c.votes), y = c.y / static_cast<float>(c.votes);
    bool taken = false;
    for (const SingularPoint& o : out) taken = taken || pm::Hypot(o.x - x, o.y - y) < kSingularMergeDistance;
    if (taken) continue;
    SingularPoint p;
    p.x = x;
    p.y = y;
    p.type = c.type;
    p.direction = OpeningDirection(f, static_cast<int>(p.x) / kBlock, static_cast<int>(p.y) / kBlock);
    out.push_back(p);
  }
  return out;
}

}  // namespace mivex::vandrel
