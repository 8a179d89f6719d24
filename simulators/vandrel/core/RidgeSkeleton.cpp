#include "RidgeSkeleton.h"

#include <algorithm>
#include <array>
#include <cstdint>
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
  // A frame around the image marks its edge: a gap that reaches it is not enclosed.
  enum : std::uint8_t { kOpen, kTaken, kEdge };
  const int w = img.width + 2, h = img.height + 2;
  std::vector<std::uint8_t> cell(static_cast<std::size_t>(w) * h, kEdge);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      cell[static_cast<std::size_t>(y + 1) * w + x + 1] = img.at(x, y) ? kTaken : kOpen;
  const int next[4] = {-1, 1, -w, w};
  std::vector<int> region, stack;
  for (int y = 1; y < h - 1; ++y)
    for (int start = y * w + 1; start < (y + 1) * w - 1; ++start) {
      if (cell[static_cast<std::size_t>(start)] != kOpen) continue;
      region.clear();
      stack.assign(1, start);
      cell[static_cast<std::size_t>(start)] = kTaken;
      bool small = true;
      while (!stack.empty()) {
        const int p = stack.back();
        stack.pop_back();
        if (small) region.push_back(p);
        for (int d : next) {
          std::uint8_t& c = cell[static_cast<std::size_t>(p + d)];
          if (c == kOpen) {
            c = kTaken;
            stack.push_back(p + d);
          } else if (c == kEdge) {
            small = false;
          }
        }
        if (static_cast<int>(region.size()) > maxArea) small = false;
      }
      if (small)
        for (int p : region) img.at(p % w - 1, p / w - 1) = 1;
    }
}

}  // namespace

BytePlane BinarizeRidges(const FloatPlane& enhanced, const ForegroundMask& mask) {
  BytePlane out(enhanced.width, enhanced.height, 0);
  for (int y = 0; y < enhanced.height; ++y) {
    const std::uint8_t* inside = &mask.blocks.at(0, y / params::kBlock);
    for (int x0 = 0; x0 < enhanced.width; x0 += params::kBlock) {
      if (!inside[x0 / params::kBlock]) continue;
      const int end = std::min(enhanced.width, x0 + params::kBlock);
      for (int x = x0; x < end; ++x) out.at(x, y) = enhanced.at(x, y) > 0;
    }
  }
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
  // Each pixel's neighbourhood code, kept up to date as pixels go: a pixel leaving
  // clears its bit in each neighbour's code.
  std::vector<std::uint8_t> code(pad.size(), 0);
  const auto remove = [&](int p) {
    pad[static_cast<std::size_t>(p)] = 0;
    for (int i = 0; i < 8; ++i)
      code[static_cast<std::size_t>(p + offset[i])] &= static_cast<std::uint8_t>(~(1 << ((i + 4) % 8)));
  };
  std::vector<int> candidates, removal;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y)) {
        const int p = (y + 1) * w + x + 1;
        pad[static_cast<std::size_t>(p)] = 1;
        candidates.push_back(p);
      }
  for (int p : candidates) {
    int c = 0;
    for (int i = 0; i < 8; ++i) c |= pad[static_cast<std::size_t>(p + offset[i])] << i;
    code[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(c);
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
        if (kDeletion[pass][code[at]]) removal.push_back(p);
      }
      for (int p : removal) {
        remove(p);
        for (int i = 0; i < 8; ++i) stale[static_cast<std::size_t>(p + offset[i])] = 3;
      }
      changed = changed || !removal.empty();
    }
    std::erase_if(candidates, [&](int p) { return pad[static_cast<std::size_t>(p)] == 0; });
  }
  // Staircase corners: a pixel whose removal keeps its neighbours 8-connected and that
  // sits in the angle of two 4-neighbours would read as a fork.
  for (int p : candidates) {
    const int c = code[static_cast<std::size_t>(p)];
    const bool n = c & 1, e = c & 4, s = c & 16, w4 = c & 64;
    const bool ne = c & 2, se = c & 8, sw = c & 32, nw = c & 128;
    if ((n && e && !sw && !s && !w4) || (e && s && !nw && !n && !w4) || (s && w4 && !ne && !n && !e) ||
        (w4 && n && !se && !s && !e))
      remove(p);
  }
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) img.at(x, y) = pad[static_cast<std::size_t>((y + 1) * w + x + 1)];
}

}  // namespace mivex::vandrel
