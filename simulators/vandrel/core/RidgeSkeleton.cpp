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

// The same rule as logic on 64 pixels at once: p[i] holds neighbour i of each pixel.
// A pixel goes when 2 to 6 of its neighbours are set, exactly one step from an unset
// to a set neighbour happens clockwise around it, and the sub-iteration's two
// products of opposite neighbours are 0.
constexpr std::uint64_t Deletable(int pass, const std::uint64_t (&p)[8]) {
  // Neighbour count, bit-sliced: pairs, then quads, then all eight.
  const auto majority = [](std::uint64_t a, std::uint64_t b, std::uint64_t c) { return (a & b) | (c & (a ^ b)); };
  const std::uint64_t s01 = p[0] ^ p[1], c01 = p[0] & p[1], s23 = p[2] ^ p[3], c23 = p[2] & p[3];
  const std::uint64_t s45 = p[4] ^ p[5], c45 = p[4] & p[5], s67 = p[6] ^ p[7], c67 = p[6] & p[7];
  const std::uint64_t k1 = s01 & s23, k2 = s45 & s67;
  const std::uint64_t one1 = s01 ^ s23, two1 = c01 ^ c23 ^ k1, four1 = majority(c01, c23, k1);
  const std::uint64_t one2 = s45 ^ s67, two2 = c45 ^ c67 ^ k2, four2 = majority(c45, c67, k2);
  const std::uint64_t k3 = one1 & one2;
  const std::uint64_t ones = one1 ^ one2, twos = two1 ^ two2 ^ k3, k4 = majority(two1, two2, k3);
  const std::uint64_t fours = four1 ^ four2 ^ k4;
  // 2..6: a two or a four, but not 7 (eight sets no lower bit).
  const std::uint64_t count = (twos | fours) & ~(fours & twos & ones);
  std::uint64_t once = 0, twice = 0;
  for (int i = 0; i < 8; ++i) {
    const std::uint64_t step = ~p[i] & p[(i + 1) % 8];
    twice |= once & step;
    once |= step;
  }
  const std::uint64_t products = pass == 0 ? ~(p[0] & p[2] & p[4]) & ~(p[2] & p[4] & p[6])
                                           : ~(p[0] & p[2] & p[6]) & ~(p[0] & p[4] & p[6]);
  return count & once & ~twice & products;
}

constexpr bool DeletableAgreesWithTables() {
  for (int pass = 0; pass < 2; ++pass)
    for (int code = 0; code < 256; ++code) {
      std::uint64_t p[8] = {};
      for (int i = 0; i < 8; ++i) p[i] = (code >> i) & 1;
      if ((Deletable(pass, p) & 1) != kDeletion[pass][code]) return false;
    }
  return true;
}
static_assert(DeletableAgreesWithTables(), "the bitwise rule must be the table's");

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
  // Sixty-four pixels of a row at a time, one per bit: each sub-iteration judges every
  // pixel of the image at once, as parallel thinning defines it, with the deletion
  // rule as logic on the neighbours' bits. Rows above and below the image and bits
  // right of it stay 0, so every pixel has eight neighbours.
  const int width = img.width, height = img.height;
  const int words = (width + 63) / 64;
  std::vector<std::uint64_t> bits(static_cast<std::size_t>(height + 2) * words, 0), gone(bits.size(), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (img.at(x, y)) bits[static_cast<std::size_t>(y + 1) * words + x / 64] |= std::uint64_t{1} << (x % 64);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      std::uint64_t any = 0;
      for (int r = 1; r <= height; ++r) {
        const std::uint64_t* up = &bits[static_cast<std::size_t>(r - 1) * words];
        const std::uint64_t* mid = up + words;
        const std::uint64_t* down = mid + words;
        std::uint64_t* out = &gone[static_cast<std::size_t>(r) * words];
        for (int i = 0; i < words; ++i) {
          if (!mid[i]) {
            out[i] = 0;
            continue;
          }
          // Bit x of east(q) is q's pixel x + 1, of west(q) its pixel x - 1.
          const auto east = [&](const std::uint64_t* q) { return (q[i] >> 1) | (i + 1 < words ? q[i + 1] << 63 : 0); };
          const auto west = [&](const std::uint64_t* q) { return (q[i] << 1) | (i > 0 ? q[i - 1] >> 63 : 0); };
          const std::uint64_t p[8] = {up[i], east(up), east(mid), east(down), down[i], west(down), west(mid), west(up)};
          out[i] = mid[i] & Deletable(pass, p);
          any |= out[i];
        }
      }
      for (std::size_t k = 0; k < bits.size(); ++k) bits[k] &= ~gone[k];
      changed = changed || any != 0;
    }
  }
  // Staircase corners: a pixel whose removal keeps its neighbours 8-connected and that
  // sits in the angle of two 4-neighbours would read as a fork. Judged one after
  // another in raster order, each seeing the corners already gone.
  const int w = width + 2;
  std::vector<std::uint8_t> pad(static_cast<std::size_t>(w) * (height + 2), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pad[static_cast<std::size_t>(y + 1) * w + x + 1] =
          (bits[static_cast<std::size_t>(y + 1) * words + x / 64] >> (x % 64)) & 1;
  int offset[8];
  for (int i = 0; i < 8; ++i) offset[i] = kNy[i] * w + kNx[i];
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::size_t p = static_cast<std::size_t>(y + 1) * w + x + 1;
      if (!pad[p]) continue;
      int c = 0;
      for (int i = 0; i < 8; ++i) c |= pad[p + offset[i]] << i;
      const bool n = c & 1, e = c & 4, s = c & 16, w4 = c & 64;
      const bool ne = c & 2, se = c & 8, sw = c & 32, nw = c & 128;
      if ((n && e && !sw && !s && !w4) || (e && s && !nw && !n && !w4) || (s && w4 && !ne && !n && !e) ||
          (w4 && n && !se && !s && !e))
        pad[p] = 0;
    }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.at(x, y) = pad[static_cast<std::size_t>(y + 1) * w + x + 1];
}

}  // namespace mivex::vandrel
