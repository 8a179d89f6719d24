#include "RidgeSkeleton.h"

#include <array>
#include <vector>

#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

// Neighbour bits, clockwise from north: P2 (N) = bit 0, P3 (NE) = 1, ... P9 (NW) = 7.
constexpr int kNx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kNy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// Deletion tables of the two sub-iterations of parallel thinning (Zhang and Suen),
// computed at compile time from the neighbourhood code.
constexpr std::array<std::array<bool, 256>, 2> MakeDeletionTables() {
  std::array<std::array<bool, 256>, 2> t{};
  for (int code = 0; code < 256; ++code) {
    int p[8];
    int b = 0;
    for (int i = 0; i < 8; ++i) {
      p[i] = (code >> i) & 1;
      b += p[i];
    }
    int a = 0;
    for (int i = 0; i < 8; ++i) a += p[i] == 0 && p[(i + 1) % 8] == 1;
    const bool base = b >= 2 && b <= 6 && a == 1;
    // p[0] = N, p[2] = E, p[4] = S, p[6] = W
    t[0][code] = base && p[0] * p[2] * p[4] == 0 && p[2] * p[4] * p[6] == 0;
    t[1][code] = base && p[0] * p[2] * p[6] == 0 && p[0] * p[4] * p[6] == 0;
  }
  return t;
}
constexpr auto kDeletion = MakeDeletionTables();

// Fills the 4-connected gaps of at most `maxArea` pixels enclosed by ridge: pores and
// specks of a wet or smudged ridge, which would thin into loops read as fork pairs.
void FillSmallHoles(BytePlane& img, int maxArea) {
  const int w = img.width, h = img.height;
  std::vector<std::uint8_t> seen(img.data.size(), 0);
  std::vector<int> region, stack;
  for (int start = 0; start < w * h; ++start) {
    if (img.data[static_cast<std::size_t>(start)] || seen[static_cast<std::size_t>(start)]) continue;
    region.clear();
    stack.assign(1, start);
    seen[static_cast<std::size_t>(start)] = 1;
    bool small = true;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      if (small) region.push_back(p);
      const int px = p % w, py = p / w;
      if (px == 0 || py == 0 || px == w - 1 || py == h - 1) small = false;
      const int next[4] = {px > 0 ? p - 1 : -1, px < w - 1 ? p + 1 : -1, py > 0 ? p - w : -1, py < h - 1 ? p + w : -1};
      for (int q : next)
        if (q >= 0 && !img.data[static_cast<std::size_t>(q)] && !seen[static_cast<std::size_t>(q)]) {
          seen[static_cast<std::size_t>(q)] = 1;
          stack.push_back(q);
        }
      if (static_cast<int>(region.size()) > maxArea) small = false;
    }
    if (small)
      for (int p : region) img.data[static_cast<std::size_t>(p)] = 1;
  }
}

}  // namespace

BytePlane BinarizeRidges(const FloatPlane& enhanced, const ForegroundMask& mask) {
  BytePlane out(enhanced.width, enhanced.height, 0);
  for (int y = 0; y < enhanced.height; ++y)
    for (int x = 0; x < enhanced.width; ++x)
      out.at(x, y) = enhanced.at(x, y) > 0 && mask.blocks.at(x / params::kBlock, y / params::kBlock);
  FillSmallHoles(out, params::kMaxRidgeHole);
  return out;
}

void ThinRidges(BytePlane& img) {
  // Works on a copy with a one-pixel background frame, so that every pixel has eight
  // neighbours at fixed offsets.
  const int w = img.width + 2, h = img.height + 2;
  std::vector<std::uint8_t> pad(static_cast<std::size_t>(w) * h, 0);
  int offset[8];
  for (int i = 0; i < 8; ++i) offset[i] = kNy[i] * w + kNx[i];
  auto code = [&](int p) {
    int c = 0;
    for (int i = 0; i < 8; ++i) c |= (pad[static_cast<std::size_t>(p + offset[i])] != 0) << i;
    return c;
  };
  std::vector<int> candidates, removal;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y)) {
        const int p = (y + 1) * w + x + 1;
        pad[static_cast<std::size_t>(p)] = 1;
        candidates.push_back(p);
      }
  // A pixel's verdict in a sub-iteration changes only when a neighbour has gone since
  // that sub-iteration last judged it: stale[p] has bit k while sub-iteration k has to
  // judge p (again).
  std::vector<std::uint8_t> stale(pad.size(), 0);
  for (int p : candidates) stale[static_cast<std::size_t>(p)] = 3;
  bool changed = true;
  while (changed) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      removal.clear();
      const std::uint8_t judge = static_cast<std::uint8_t>(1 << pass);
      for (int p : candidates) {
        const std::size_t at = static_cast<std::size_t>(p);
        if (!pad[at] || !(stale[at] & judge)) continue;
        stale[at] &= static_cast<std::uint8_t>(~judge);
        if (kDeletion[pass][code(p)]) removal.push_back(p);
      }
      for (int p : removal) {
        pad[static_cast<std::size_t>(p)] = 0;
        for (int i = 0; i < 8; ++i) stale[static_cast<std::size_t>(p + offset[i])] = 3;
      }
      changed = changed || !removal.empty();
    }
    std::erase_if(candidates, [&](int p) { return pad[static_cast<std::size_t>(p)] == 0; });
  }
  // Staircase corners: a pixel whose removal keeps its neighbours 8-connected and that
  // sits in the angle of two 4-neighbours would read as a fork.
  for (int p : candidates) {
    const int c = code(p);
    const bool n = c & 1, e = c & 4, s = c & 16, w4 = c & 64;
    const bool ne = c & 2, se = c & 8, sw = c & 32, nw = c & 128;
    if ((n && e && !sw && !s && !w4) || (e && s && !nw && !n && !w4) || (s && w4 && !ne && !n && !e) ||
        (w4 && n && !se && !s && !e))
      pad[static_cast<std::size_t>(p)] = 0;
  }
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) img.at(x, y) = pad[static_cast<std::size_t>((y + 1) * w + x + 1)];
}

}  // namespace mivex::vandrel
