#include "Generalizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>

#include "BlockOps.h"
#include "ElasticAlignment.h"
#include "Matcher.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

using namespace params;

bool Agree(const Minutia& a, const Minutia& b) {
  return pm::Hypot(a.x - b.x, a.y - b.y) <= kMergeDistance &&
         std::abs(WrapTurn(a.direction - b.direction)) <= kMergeAngle;
}

// Minutiae of different samples, in the anchor's frame, grouped into clusters that hold
// at most one minutia of each sample and whose members all agree with one another.
class Clusters {
 public:
  explicit Clusters(const std::array<std::vector<Minutia>, 3>& aligned) : aligned_(aligned) {
    for (int s = 0; s < 3; ++s) offset_[s + 1] = offset_[s] + static_cast<int>(aligned[s].size());
    root_.resize(static_cast<std::size_t>(offset_[3]));
    std::iota(root_.begin(), root_.end(), 0);
    members_.assign(root_.size(), std::array<int, 3>{-1, -1, -1});
    for (int s = 0; s < 3; ++s)
      for (int i = 0; i < static_cast<int>(aligned[s].size()); ++i) members_[offset_[s] + i][s] = i;
  }

  // Joins the closest agreeing minutiae first, so that a crowded place pairs each
  // minutia with its own counterpart rather than chaining neighbours together.
  void Build() {
    struct Link {
      float cost;
      int a, b;
    };
    std::vector<Link> links;
    for (int x = 0; x < 3; ++x)
      for (int y = x + 1; y < 3; ++y)
        for (int i = 0; i < static_cast<int>(aligned_[x].size()); ++i)
          for (int j = 0; j < static_cast<int>(aligned_[y].size()); ++j) {
            const Minutia &p = aligned_[x][i], &q = aligned_[y][j];
            if (!Agree(p, q)) continue;
            const float cost = pm::Hypot(p.x - q.x, p.y - q.y) + kMergeAngleCost * std::abs(WrapTurn(p.direction - q.direction));
            links.push_back({cost, offset_[x] + i, offset_[y] + j});
          }
    std::stable_sort(links.begin(), links.end(), [](const Link& l, const Link& r) { return l.cost < r.cost; });
    for (const Link& l : links) Join(l.a, l.b);
  }

  // Each cluster once, as the members per sample (-1 where a sample has none).
  std::vector<std::array<int, 3>> Groups() {
    std::vector<std::array<int, 3>> out;
    for (int k = 0; k < static_cast<int>(root_.size()); ++k)
      if (Find(k) == k) out.push_back(members_[k]);
    return out;
  }

 private:
  int Find(int x) {
    while (root_[x] != x) x = root_[x] = root_[root_[x]];
    return x;
  }

  void Join(int a, int b) {
    a = Find(a), b = Find(b);
    if (a == b) return;
    std::array<int, 3>&ma = members_[a], &mb = members_[b];
    for (int s = 0; s < 3; ++s)
      if (ma[s] >= 0 && mb[s] >= 0) return;  // one minutia per sample
    for (int s = 0; s < 3; ++s)
      for (int t = 0; t < 3; ++t)
        if (ma[s] >= 0 && mb[t] >= 0 && !Agree(aligned_[s][ma[s]], aligned_[t][mb[t]])) return;
    for (int s = 0; s < 3; ++s)
      if (ma[s] >= 0) mb[s] = ma[s];
    root_[a] = b;
  }

  const std::array<std::vector<Minutia>, 3>& aligned_;
  int offset_[4] = {0, 0, 0, 0};
  std::vector<int> root_;
  std::vector<std::array<int, 3>> members_;
};

// The moving sample's minutiae carried elastically into the target's frame by the
// matched pairs (index in target, index in moving).
std::vector<Minutia> AlignOnto(const std::vector<Minutia>& target, const std::vector<Minutia>& moving,
                               const std::vector<std::pair<int, int>>& pairs) {
  std::vector<Landmark> landmarks;
  for (auto [t, m] : pairs) landmarks.push_back({moving[m].x, moving[m].y, target[t].x, target[t].y});
  const ElasticAlignment alignment(std::move(landmarks), kAlignStiffness);
  std::vector<Minutia> out;
  for (const Minutia& m : moving) out.push_back(alignment.Apply(m));
  return out;
}

// One minutia per cluster of the aligned samples' minutiae (a sample left out is empty).
std::vector<Minutia> MergeAligned(const std::array<std::vector<Minutia>, 3>& aligned) {
  Clusters clusters(aligned);
  clusters.Build();
  std::vector<Minutia> out;
  const PrintRegion regions[3] = {PrintRegion(aligned[0]), PrintRegion(aligned[1]), PrintRegion(aligned[2])};
  for (const std::array<int, 3>& group : clusters.Groups()) {
    float x = 0, y = 0, c = 0, s = 0, quality = 0;
    int members = 0, bifurcations = 0, only = -1;
    for (int k = 0; k < 3; ++k) {
      if (group[k] < 0) continue;
      const Minutia& m = aligned[k][group[k]];
      x += m.x, y += m.y, c += pm::Cos(m.direction), s += pm::Sin(m.direction), quality += m.quality;
      bifurcations += m.kind == MinutiaKind::Bifurcation;
      ++members;
      only = k;
    }
    const float n = static_cast<float>(members);
    Minutia m;
    m.x = x / n;
    m.y = y / n;
    if (members == 1) {
      // Seen once: dropped when both other samples were joined and cover its place (a
      // sample left out has an empty region).
      int covering = 0;
      for (int k = 0; k < 3; ++k) covering += k != only && regions[k].Inside(m.x, m.y);
      if (covering == 2) continue;
    }
    m.direction = pm::Atan2(s, c);
    m.kind = 2 * bifurcations > members ? MinutiaKind::Bifurcation : MinutiaKind::Ending;
    m.quality = std::min(1.0f, quality / n * kSupportQuality[members]);
    out.push_back(m);
  }
  return out;
}

}  // namespace

GeneralizeResult GeneralizeSamples(const Features* const samples[3], int threshold) {
  GeneralizeResult result;
  MatchTemplate t[3];
  for (int s = 0; s < 3; ++s) BuildMatchTemplate(samples[s]->minutiae, t[s]);
  MatchResult match[3][3];
  match[0][1] = MatchTemplates(t[0], t[1]);
  match[0][2] = MatchTemplates(t[0], t[2]);
  match[1][2] = MatchTemplates(t[1], t[2]);
  auto score = [&](int x, int y) { return x < y ? match[x][y].score : match[y][x].score; };
  // Pairs between two samples, oriented (index in x, index in y).
  auto pairsOf = [&](int x, int y) {
    std::vector<std::pair<int, int>> p = x < y ? match[x][y].pairs : match[y][x].pairs;
    if (x > y)
      for (auto& q : p) std::swap(q.first, q.second);
    return p;
  };
  auto total = [&](int s) { return score(s, (s + 1) % 3) + score(s, (s + 2) % 3); };
  int anchor = 0;
  for (int s = 1; s < 3; ++s)
    if (total(s) > total(anchor)) anchor = s;

  // The joined samples' minutiae in the anchor's frame; a sample left out stays empty.
  std::array<std::vector<Minutia>, 3> aligned;
  aligned[anchor] = samples[anchor]->minutiae;
  int tie[3] = {2000, 2000, 2000};
  for (int s = 0; s < 3; ++s) {
    if (s == anchor) continue;
    tie[s] = score(anchor, s);
    if (tie[s] >= kJoinScore) aligned[s] = AlignOnto(samples[anchor]->minutiae, samples[s]->minutiae, pairsOf(anchor, s));
  }
  // A press that is shifted or bent against the anchor shares too little of the finger
  // with it alone, yet may share enough with the anchor and the other sample together,
  // which cover more of the finger between them: it is then matched against both at
  // once, and aligned on the pairs of that match. Two presses offer a stranger's
  // minutiae about twice the chance pairs of one, so that match must reach the score
  // of half the threshold's rate.
  for (int s = 0; s < 3; ++s) {
    const int other = 3 - anchor - s;
    if (s == anchor || tie[s] >= threshold || aligned[other].empty() || tie[other] < threshold) continue;
    std::array<std::vector<Minutia>, 3> two;
    two[anchor] = aligned[anchor];
    two[other] = aligned[other];
    const std::vector<Minutia> joint = MergeAligned(two);
    MatchTemplate jointTemplate;
    BuildMatchTemplate(joint, jointTemplate);
    const MatchResult m = MatchTemplates(jointTemplate, t[s]);
    const int reached = m.score - kJointMargin;
    if (reached <= tie[s]) continue;
    tie[s] = reached;
    if (tie[s] >= kJoinScore) aligned[s] = AlignOnto(joint, samples[s]->minutiae, m.pairs);
  }
  result.weakestScore = std::min({tie[0], tie[1], tie[2]});
  if (result.weakestScore < threshold) return result;

  result.features.minutiae = MergeAligned(aligned);
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
