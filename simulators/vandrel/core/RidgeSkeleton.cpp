#include "RidgeSkeleton.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <vector>

#include "Kernels.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

// Deletion tables of the two sub-iterations of parallel thinning (Zhang and Suen),
// computed at compile time from the neighbourhood code. Neighbour bits run clockwise
// from north: P2 (N) = bit 0, P3 (NE) = 1, ... P9 (NW) = 7.
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
  // 2 to 6: the twos or the fours bit set (2 to 7; 8 sets the eights bit alone), but
  // not all three lower bits (7).
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

// Eight pixels (bytes, any non-zero set) as the low eight bits of a word, first pixel
// lowest: each byte's top bit marks it non-zero, and one multiplication gathers them.
static_assert(std::endian::native == std::endian::little, "the first of eight bytes is a word's lowest");
inline std::uint64_t PackEightBytes(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  const std::uint64_t set = (((v & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | v) & 0x8080808080808080ULL;
  return ((set >> 7) * 0x0102040810204080ULL) >> 56;
}

// The reverse: bit k of the index as byte k (0 or 1) of the word in memory order.
constexpr std::array<std::uint64_t, 256> MakeSpreadBits() {
  std::array<std::uint64_t, 256> t{};
  for (int code = 0; code < 256; ++code)
    for (int k = 0; k < 8; ++k)
      if ((code >> k) & 1) t[code] |= std::uint64_t{1} << (8 * k);
  return t;
}
constexpr auto kSpreadBits = MakeSpreadBits();

// Fills the 4-connected gaps of at most `maxArea` pixels enclosed by ridge: pores and
// specks of a wet or smudged ridge, which would thin into loops read as fork pairs.
// The gaps are found as runs of gap pixels along the rows, joined with the runs they
// touch in the row above into regions that know their size and whether they reach
// the image's edge.
void FillSmallHoles(BytePlane& img, int maxArea) {
  const int w = img.width, h = img.height;
  struct Run {
    int x0, x1, y;
  };
  std::vector<Run> runs;
  std::vector<int> parent, size;
  std::vector<std::uint8_t> edge;
  const auto root = [&](int r) {
    while (parent[static_cast<std::size_t>(r)] != r) {
      parent[static_cast<std::size_t>(r)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(r)])];
      r = parent[static_cast<std::size_t>(r)];
    }
    return r;
  };
  std::size_t above = 0, aboveEnd = 0;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = &img.at(0, y);
    const std::size_t begin = runs.size();
    for (int x = 0; x < w;) {
      if (row[x]) {
        ++x;
        continue;
      }
      const int x0 = x;
      while (x < w && !row[x]) ++x;
      parent.push_back(static_cast<int>(runs.size()));
      size.push_back(x - x0);
      edge.push_back(y == 0 || y == h - 1 || x0 == 0 || x == w);
      runs.push_back({x0, x, y});
    }
    for (std::size_t k = begin; k < runs.size(); ++k) {
      while (above < aboveEnd && runs[above].x1 <= runs[k].x0) ++above;
      for (std::size_t j = above; j < aboveEnd && runs[j].x0 < runs[k].x1; ++j) {
        const int a = root(static_cast<int>(j)), b = root(static_cast<int>(k));
        if (a == b) continue;
        parent[static_cast<std::size_t>(b)] = a;
        size[static_cast<std::size_t>(a)] += size[static_cast<std::size_t>(b)];
        edge[static_cast<std::size_t>(a)] |= edge[static_cast<std::size_t>(b)];
      }
    }
    above = begin;
    aboveEnd = runs.size();
  }
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const std::size_t r = static_cast<std::size_t>(root(static_cast<int>(k)));
    if (edge[r] || size[r] > maxArea) continue;
    std::uint8_t* first = &img.at(runs[k].x0, runs[k].y);
    std::fill(first, first + (runs[k].x1 - runs[k].x0), std::uint8_t{1});
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
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = &img.at(0, y);
    std::uint64_t* row = &bits[static_cast<std::size_t>(y + 1) * words];
    int x = 0;
    for (; x + 8 <= width; x += 8) row[x / 64] |= PackEightBytes(in + x) << (x % 64);
    for (; x < width; ++x) row[x / 64] |= static_cast<std::uint64_t>(in[x] != 0) << (x % 64);
  }
  // A pixel a sub-iteration kept stays kept there until a neighbour goes: a row is
  // judged again by a sub-iteration (its bit in `judge`) only when it or a row beside it
  // lost pixels since that sub-iteration last judged it.
  std::vector<std::uint8_t> judge(static_cast<std::size_t>(height + 2), 3), lost(judge.size(), 0);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      std::uint64_t any = 0;
      const std::uint8_t bit = static_cast<std::uint8_t>(1 << pass);
      for (int r = 1; r <= height; ++r) {
        std::uint64_t* out = &gone[static_cast<std::size_t>(r) * words];
        lost[static_cast<std::size_t>(r)] = 0;
        if (!(judge[static_cast<std::size_t>(r)] & bit)) {
          std::fill(out, out + words, std::uint64_t{0});
          continue;
        }
        judge[static_cast<std::size_t>(r)] &= static_cast<std::uint8_t>(~bit);
        const std::uint64_t* up = &bits[static_cast<std::size_t>(r - 1) * words];
        const std::uint64_t* mid = up + words;
        const std::uint64_t* down = mid + words;
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
          lost[static_cast<std::size_t>(r)] |= out[i] != 0;
        }
        any |= lost[static_cast<std::size_t>(r)];
      }
      for (std::size_t k = 0; k < bits.size(); ++k) bits[k] &= ~gone[k];
      for (int r = 1; r <= height; ++r)
        if (lost[static_cast<std::size_t>(r)])
          for (int n = r - 1; n <= r + 1; ++n) judge[static_cast<std::size_t>(n)] = 3;
      changed = changed || any != 0;
    }
  }
  // Staircase corners: a pixel whose removal keeps its neighbours 8-connected and that
  // sits in the angle of two 4-neighbours would read as a fork. Judged one after
  // another in raster order, each seeing the corners already gone.
  const auto bit = [&](int r, int x) -> int {
    return x >= 0 && x < width ? (bits[static_cast<std::size_t>(r) * words + x / 64] >> (x % 64)) & 1 : 0;
  };
  for (int r = 1; r <= height; ++r)
    for (int i = 0; i < words; ++i)
      for (std::uint64_t todo = bits[static_cast<std::size_t>(r) * words + i]; todo; todo &= todo - 1) {
        const int x = i * 64 + LowestBit(todo);
        const bool n = bit(r - 1, x), ne = bit(r - 1, x + 1), e = bit(r, x + 1), se = bit(r + 1, x + 1);
        const bool s = bit(r + 1, x), sw = bit(r + 1, x - 1), w4 = bit(r, x - 1), nw = bit(r - 1, x - 1);
        if ((n && e && !sw && !s && !w4) || (e && s && !nw && !n && !w4) || (s && w4 && !ne && !n && !e) ||
            (w4 && n && !se && !s && !e))
          bits[static_cast<std::size_t>(r) * words + i] &= ~(std::uint64_t{1} << (x % 64));
      }
  for (int y = 0; y < height; ++y) {
    const std::uint64_t* row = &bits[static_cast<std::size_t>(y + 1) * words];
    std::uint8_t* out = &img.at(0, y);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      const std::uint64_t bytes = kSpreadBits[(row[x / 64] >> (x % 64)) & 0xFF];
      std::memcpy(out + x, &bytes, 8);
    }
    for (; x < width; ++x) out[x] = (row[x / 64] >> (x % 64)) & 1;
  }
}

}  // namespace mivex::vandrel
