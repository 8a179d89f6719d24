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

int NeighbourCode(const BytePlane& img, int x, int y) {
  int code = 0;
  for (int i = 0; i < 8; ++i) {
    const int nx = x + kNx[i], ny = y + kNy[i];
    if (img.contains(nx, ny) && img.at(nx, ny)) code |= 1 << i;
  }
  return code;
}

}  // namespace

BytePlane BinarizeRidges(const FloatPlane& enhanced, const ForegroundMask& mask) {
  BytePlane out(enhanced.width, enhanced.height, 0);
  for (int y = 0; y < enhanced.height; ++y)
    for (int x = 0; x < enhanced.width; ++x)
      out.at(x, y) = enhanced.at(x, y) > 0 && mask.blocks.at(x / params::kBlock, y / params::kBlock);
  return out;
}

void ThinRidges(BytePlane& img) {
  std::vector<int> candidates, removal;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y)) candidates.push_back(y * img.width + x);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      removal.clear();
      for (int p : candidates) {
        const int x = p % img.width, y = p / img.width;
        if (img.at(x, y) && kDeletion[pass][NeighbourCode(img, x, y)]) removal.push_back(p);
      }
      for (int p : removal) img.data[p] = 0;
      changed = changed || !removal.empty();
    }
    std::erase_if(candidates, [&](int p) { return img.data[p] == 0; });
  }
  // Staircase corners: a pixel whose removal keeps its neighbours 8-connected and that
  // sits in the angle of two 4-neighbours would read as a fork.
  for (int p : candidates) {
    const int x = p % img.width, y = p / img.width;
    const int c = NeighbourCode(img, x, y);
    const bool n = c & 1, e = c & 4, s = c & 16, w = c & 64;
    const bool ne = c & 2, se = c & 8, sw = c & 32, nw = c & 128;
    if ((n && e && !sw && !s && !w) || (e && s && !nw && !n && !w) || (s && w && !ne && !n && !e) ||
        (w && n && !se && !s && !e))
      img.data[p] = 0;
  }
}

}  // namespace mivex::vandrel
