#include "MinutiaeDetection.h"

#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

using namespace params;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr int kNx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kNy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

bool On(const BytePlane& s, int x, int y) { return s.contains(x, y) && s.at(x, y); }

struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};

// Follows the skeleton from `start` (a neighbour of `origin`) for up to kTraceLength
// steps, stopping at forks and ends. Returns the number of steps and the last point.
int Trace(const BytePlane& s, Point origin, Point start, const Point* avoid, int avoidCount, Point& end) {
  Point visited[kTraceLength + 4];
  int visitedCount = 0;
  visited[visitedCount++] = origin;
  for (int k = 0; k < avoidCount; ++k) visited[visitedCount++] = avoid[k];
  auto seen = [&](Point q) {
    for (int k = 0; k < visitedCount; ++k)
      if (visited[k] == q) return true;
    return false;
  };
  Point cur = start;
  int steps = 1;
  for (; steps < kTraceLength; ++steps) {
    Point cand[8];
    int n = 0;
    for (int i = 0; i < 8; ++i) {
      const Point q{cur.x + kNx[i], cur.y + kNy[i]};
      if (On(s, q.x, q.y) && !seen(q)) cand[n++] = q;
    }
    if (n == 0) break;
    Point next = cand[0];
    if (n == 2 && std::abs(cand[0].x - cand[1].x) <= 1 && std::abs(cand[0].y - cand[1].y) <= 1) {
      // Two touching candidates are one path: take the straight step.
      if (std::abs(cand[1].x - cur.x) + std::abs(cand[1].y - cur.y) == 1) next = cand[1];
    } else if (n > 1) {
      break;  // a fork
    }
    visited[visitedCount++] = cur;  // origin + 3 avoided + kTraceLength - 1 steps fit
    cur = next;
  }
  end = cur;
  return steps;
}

float AngleTo(Point from, Point to) {
  return pm::Atan2(static_cast<float>(to.y - from.y), static_cast<float>(to.x - from.x));
}

}  // namespace

std::vector<Minutia> DetectMinutiae(const BytePlane& s, const OrientationField& field, const ForegroundMask& mask) {
  std::vector<Minutia> out;
  for (int y = 1; y < s.height - 1; ++y)
    for (int x = 1; x < s.width - 1; ++x) {
      if (!s.at(x, y)) continue;
      const int bx = x / kBlock, by = y / kBlock;
      if (!mask.blocks.at(bx, by)) continue;
      int p[8], transitions = 0;
      for (int i = 0; i < 8; ++i) p[i] = s.at(x + kNx[i], y + kNy[i]);
      for (int i = 0; i < 8; ++i) transitions += p[i] == 0 && p[(i + 1) % 8] == 1;
      if (transitions != 1 && transitions != 3) continue;
      // Branch starts: the first pixel of each run of set neighbours.
      Point starts[3];
      int n = 0;
      for (int i = 0; i < 8 && n < 3; ++i)
        if (p[i] == 1 && p[(i + 7) % 8] == 0) {
          // Prefer the 4-neighbour of a run that starts on a diagonal.
          int j = i;
          if ((i & 1) && p[(i + 1) % 8]) j = (i + 1) % 8;
          starts[n++] = {x + kNx[j], y + kNy[j]};
        }
      if (n != transitions) continue;
      const Point origin{x, y};
      float traced;
      int shortest = kTraceLength;
      if (n == 1) {
        Point end;
        shortest = Trace(s, origin, starts[0], nullptr, 0, end);
        traced = AngleTo(end, origin);  // from the ridge body out through the end
      } else {
        float angles[3];
        for (int b = 0; b < 3; ++b) {
          Point end;
          shortest = std::min(shortest, Trace(s, origin, starts[b], starts, 3, end));
          angles[b] = AngleTo(origin, end);
        }
        // The two branches closest in direction are the fork's arms; the third is the
        // stem, and the valley between the arms ends pointing along it.
        int stem = 0;
        float best = 10;
        for (int a = 0; a < 3; ++a) {
          const float d = std::abs(WrapTurn(angles[(a + 1) % 3] - angles[(a + 2) % 3]));
          if (d < best) {
            best = d;
            stem = a;
          }
        }
        traced = angles[stem];
      }
      if (shortest < kTraceLength / 2) continue;  // spur or fragment: no reliable direction
      const float ridge = field.angle.at(bx, by);
      // A ridge runs along the flow up to where it ends or forks. A skeleton that leaves
      // the flow there is a hook, a blob's outline or a bridge of noise: no minutia.
      float direction = traced;
      bool alongFlow = false;
      for (float candidate : {ridge, ridge + kPi})
        if (std::abs(WrapTurn(candidate - traced)) < kSnapToFieldAngle) {
          direction = WrapTurn(candidate);
          alongFlow = true;
        }
      if (!alongFlow) continue;
      Minutia m;
      m.x = static_cast<float>(x);
      m.y = static_cast<float>(y);
      m.direction = direction;
      m.kind = n == 1 ? MinutiaKind::Ending : MinutiaKind::Bifurcation;
      m.quality = field.coherence.at(bx, by);
      out.push_back(m);
    }
  return out;
}

}  // namespace mivex::vandrel
