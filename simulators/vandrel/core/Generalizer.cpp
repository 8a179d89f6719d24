#include "Generalizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "BlockOps.h"
#include "Matcher.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

using namespace params;

struct Rigid {
  float angle = 0, cosA = 1, sinA = 0, tx = 0, ty = 0;
  Minutia Apply(const Minutia& m) const {
    Minutia out = m;
    out.x = cosA * m.x - sinA * m.y + tx;
    out.y = sinA * m.x + cosA * m.y + ty;
    out.direction = WrapTurn(m.direction + angle);
    return out;
  }
};

// Least-squares rotation and translation taking the matched minutiae of `from` onto `to`.
Rigid FitRigid(const std::vector<Minutia>& from, const std::vector<Minutia>& to,
               const std::vector<std::pair<int, int>>& pairs) {
  Rigid r;
  if (pairs.empty()) return r;
  float fx = 0, fy = 0, tx = 0, ty = 0;
  for (auto [t, f] : pairs) {
    fx += from[f].x;
    fy += from[f].y;
    tx += to[t].x;
    ty += to[t].y;
  }
  const float n = static_cast<float>(pairs.size());
  fx /= n, fy /= n, tx /= n, ty /= n;
  float sxx = 0, sxy = 0;
  for (auto [t, f] : pairs) {
    const float ax = from[f].x - fx, ay = from[f].y - fy, bx = to[t].x - tx, by = to[t].y - ty;
    sxx += ax * bx + ay * by;
    sxy += ax * by - ay * bx;
  }
  r.angle = std::atan2(sxy, sxx);
  r.cosA = std::cos(r.angle);
  r.sinA = std::sin(r.angle);
  r.tx = tx - (r.cosA * fx - r.sinA * fy);
  r.ty = ty - (r.sinA * fx + r.cosA * fy);
  return r;
}

int Find(std::vector<int>& parent, int x) {
  while (parent[x] != x) x = parent[x] = parent[parent[x]];
  return x;
}

}  // namespace

GeneralizeResult GeneralizeSamples(const Features* const samples[3], int threshold) {
  GeneralizeResult result;
  MatchTemplate t[3];
  for (int s = 0; s < 3; ++s) BuildMatchTemplate(samples[s]->minutiae, t[s]);
  // matches[i][j] pairs (index in i, index in j)
  MatchResult m01 = MatchTemplates(t[0], t[1]), m02 = MatchTemplates(t[0], t[2]), m12 = MatchTemplates(t[1], t[2]);
  const int score[3][3] = {{0, m01.score, m02.score}, {m01.score, 0, m12.score}, {m02.score, m12.score, 0}};
  int anchor = 0;
  for (int s = 1; s < 3; ++s)
    if (score[s][0] + score[s][1] + score[s][2] > score[anchor][0] + score[anchor][1] + score[anchor][2]) anchor = s;
  int weakest = 2000;
  for (int s = 0; s < 3; ++s)
    if (s != anchor) weakest = std::min(weakest, score[anchor][s]);
  result.weakestScore = weakest;
  if (weakest < threshold) return result;

  // Pairs between two samples, oriented (index in first, index in second).
  auto pairsOf = [&](int x, int y) {
    const MatchResult& m = (x == 0 && y == 1) || (x == 1 && y == 0) ? m01 : (x + y == 2 ? m02 : m12);
    std::vector<std::pair<int, int>> p = m.pairs;
    if (x > y)
      for (auto& q : p) std::swap(q.first, q.second);
    return p;
  };
  // Every sample's minutiae in the anchor's frame.
  std::vector<Minutia> aligned[3];
  for (int s = 0; s < 3; ++s) {
    if (s == anchor) {
      aligned[s] = samples[s]->minutiae;
      continue;
    }
    const Rigid r = FitRigid(samples[s]->minutiae, samples[anchor]->minutiae, pairsOf(anchor, s));
    for (const Minutia& mn : samples[s]->minutiae) aligned[s].push_back(r.Apply(mn));
  }
  // Minutiae joined by a match that also agrees after alignment belong together.
  int offset[4] = {0};
  for (int s = 0; s < 3; ++s) offset[s + 1] = offset[s] + static_cast<int>(aligned[s].size());
  std::vector<int> parent(static_cast<std::size_t>(offset[3]));
  std::iota(parent.begin(), parent.end(), 0);
  auto agree = [&](const Minutia& a, const Minutia& b) {
    return std::hypot(a.x - b.x, a.y - b.y) <= kMergeDistance &&
           std::abs(WrapTurn(a.direction - b.direction)) <= kMergeAngle;
  };
  for (int x = 0; x < 3; ++x)
    for (int y = x + 1; y < 3; ++y) {
      for (auto [i, j] : pairsOf(x, y))
        if (agree(aligned[x][i], aligned[y][j])) parent[Find(parent, offset[x] + i)] = Find(parent, offset[y] + j);
      // Minutiae the matcher left unpaired agree when they are each other's nearest
      // counterpart after alignment.
      auto nearest = [&](int from, int index, int to) {
        int best = -1;
        float bestDistance = kMergeDistance;
        for (int k = 0; k < static_cast<int>(aligned[to].size()); ++k) {
          const float d = std::hypot(aligned[from][index].x - aligned[to][k].x, aligned[from][index].y - aligned[to][k].y);
          if (d <= bestDistance && agree(aligned[from][index], aligned[to][k])) {
            bestDistance = d;
            best = k;
          }
        }
        return best;
      };
      for (int i = 0; i < static_cast<int>(aligned[x].size()); ++i) {
        const int j = nearest(x, i, y);
        if (j >= 0 && nearest(y, j, x) == i) parent[Find(parent, offset[x] + i)] = Find(parent, offset[y] + j);
      }
    }
  struct Cluster {
    float x = 0, y = 0, c = 0, s = 0, quality = 0, bifurcation = 0;
    int members = 0, samplesMask = 0;
  };
  std::vector<Cluster> clusters(parent.size());
  for (int s = 0; s < 3; ++s)
    for (int i = 0; i < static_cast<int>(aligned[s].size()); ++i) {
      const Minutia& mn = aligned[s][i];
      Cluster& c = clusters[Find(parent, offset[s] + i)];
      c.x += mn.x;
      c.y += mn.y;
      c.c += std::cos(mn.direction);
      c.s += std::sin(mn.direction);
      c.quality += mn.quality;
      c.bifurcation += mn.kind == MinutiaKind::Bifurcation ? 1.0f : 0.0f;
      ++c.members;
      c.samplesMask |= 1 << s;
    }
  // A minutia seen in one sample only is dropped where both other samples cover its
  // place and neither shows it; elsewhere it stands (one sample may miss a minutia, two
  // rarely do).
  const PrintRegion regions[3] = {PrintRegion(aligned[0]), PrintRegion(aligned[1]), PrintRegion(aligned[2])};
  for (const Cluster& c : clusters) {
    if (c.members == 0) continue;
    if (std::popcount(static_cast<unsigned>(c.samplesMask)) < 2) {
      const int s = std::countr_zero(static_cast<unsigned>(c.samplesMask));
      int covering = 0;
      for (int t = 0; t < 3; ++t)
        covering += t != s && regions[t].Inside(c.x / static_cast<float>(c.members), c.y / static_cast<float>(c.members));
      if (covering == 2) continue;
    }
    const float n = static_cast<float>(c.members);
    Minutia mn;
    mn.x = c.x / n;
    mn.y = c.y / n;
    mn.direction = std::atan2(c.s, c.c);
    mn.kind = 2 * c.bifurcation > n ? MinutiaKind::Bifurcation : MinutiaKind::Ending;
    // Seen in all three samples beats seen in two, which beats seen once.
    mn.quality = std::min(1.0f, c.quality / n * (0.6f + 0.15f * n));
    result.features.minutiae.push_back(mn);
  }
  std::stable_sort(result.features.minutiae.begin(), result.features.minutiae.end(),
                   [](const Minutia& a, const Minutia& b) { return a.quality > b.quality; });
  if (result.features.minutiae.size() > static_cast<std::size_t>(kMaxMinutiae))
    result.features.minutiae.resize(kMaxMinutiae);
  result.features.singularPoints = samples[anchor]->singularPoints;
  result.features.grid = samples[anchor]->grid;
  result.agreed = true;
  return result;
}

}  // namespace mivex::vandrel
