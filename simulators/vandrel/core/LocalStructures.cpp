#include "LocalStructures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "BlockOps.h"

namespace mivex::vandrel {
namespace {

using namespace params;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kCell = 2 * kCylinderRadius / kCylinderCells;
constexpr int kRasterCell = 16;  // pixels per cell of the print-region raster
constexpr int kCells = kCylinderCells * kCylinderCells;

// Centres of the cylinder's cells inside its radius, in the minutia's frame.
struct CellCentres {
  int count = 0;
  int index[kCells] = {};
  float x[kCells] = {}, y[kCells] = {};
};
constexpr CellCentres MakeCellCentres() {
  CellCentres c;
  for (int b = 0; b < kCylinderCells; ++b)
    for (int a = 0; a < kCylinderCells; ++a) {
      const float lx = (static_cast<float>(a) - 3.5f) * kCell, ly = (static_cast<float>(b) - 3.5f) * kCell;
      if (lx * lx + ly * ly > kCylinderRadius * kCylinderRadius) continue;
      c.index[c.count] = b * kCylinderCells + a;
      c.x[c.count] = lx;
      c.y[c.count] = ly;
      ++c.count;
    }
  return c;
}
constexpr CellCentres kCentres = MakeCellCentres();
constexpr std::uint64_t MakeAllCells() {
  std::uint64_t m = 0;
  for (int k = 0; k < kCentres.count; ++k) m |= std::uint64_t{1} << kCentres.index[k];
  return m;
}
constexpr std::uint64_t kAllCells = MakeAllCells();

// The cells a neighbour marks, by its position in the minutia's frame quantised to
// kMarkStep pixels: every cell whose centre lies within kCylinderSpread.
constexpr float kMarkStep = kCell / 5;
constexpr int kMarkSide = 2 * static_cast<int>((kCylinderRadius + kCylinderSpread) / kMarkStep) + 2;
struct MarkTable {
  std::uint64_t mask[kMarkSide * kMarkSide] = {};
};
constexpr MarkTable MakeMarkTable() {
  MarkTable t;
  for (int qy = 0; qy < kMarkSide; ++qy)
    for (int qx = 0; qx < kMarkSide; ++qx) {
      const float px = (static_cast<float>(qx - kMarkSide / 2) + 0.5f) * kMarkStep;
      const float py = (static_cast<float>(qy - kMarkSide / 2) + 0.5f) * kMarkStep;
      const int ca = static_cast<int>(px / kCell + 4 + 8) - 8, cb = static_cast<int>(py / kCell + 4 + 8) - 8;
      std::uint64_t m = 0;
      for (int b = cb - 1; b <= cb + 1; ++b)
        for (int a = ca - 1; a <= ca + 1; ++a) {
          if (a < 0 || b < 0 || a >= kCylinderCells || b >= kCylinderCells) continue;
          const float lx = (static_cast<float>(a) - 3.5f) * kCell - px, ly = (static_cast<float>(b) - 3.5f) * kCell - py;
          if (lx * lx + ly * ly <= kCylinderSpread * kCylinderSpread) m |= std::uint64_t{1} << (b * kCylinderCells + a);
        }
      t.mask[qy * kMarkSide + qx] = m;
    }
  return t;
}
constexpr MarkTable kMarks = MakeMarkTable();

}  // namespace

// The print region a template's minutiae span: a coarse raster of the cells near some
// minutia, with the gaps between the outermost cells of every row and column filled
// (a cheap stand-in for the enlarged convex hull).
PrintRegion::PrintRegion(const std::vector<Minutia>& m) {
  if (m.empty()) return;
  float minX = m[0].x, minY = m[0].y, maxX = m[0].x, maxY = m[0].y;
  for (const Minutia& p : m) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const float margin = kCylinderHullMargin;
  x0_ = minX - margin;
  y0_ = minY - margin;
  w_ = static_cast<int>((maxX - minX + 2 * margin) / kRasterCell) + 1;
  h_ = static_cast<int>((maxY - minY + 2 * margin) / kRasterCell) + 1;
  std::vector<std::uint8_t> near(static_cast<std::size_t>(w_) * h_, 0);
  const int r = static_cast<int>(margin / kRasterCell);
  for (const Minutia& p : m) {
    const int cx = static_cast<int>((p.x - x0_) / kRasterCell), cy = static_cast<int>((p.y - y0_) / kRasterCell);
    for (int y = std::max(0, cy - r); y <= std::min(h_ - 1, cy + r); ++y)
      for (int x = std::max(0, cx - r); x <= std::min(w_ - 1, cx + r); ++x) near[static_cast<std::size_t>(y) * w_ + x] = 1;
  }
  cells_.assign(near.size(), 0);
  std::vector<std::uint8_t> rows(near.size(), 0);
  for (int y = 0; y < h_; ++y) {
    int a = -1, b = -1;
    for (int x = 0; x < w_; ++x)
      if (near[static_cast<std::size_t>(y) * w_ + x]) {
        if (a < 0) a = x;
        b = x;
      }
    for (int x = std::max(a, 0); a >= 0 && x <= b; ++x) rows[static_cast<std::size_t>(y) * w_ + x] = 1;
  }
  for (int x = 0; x < w_; ++x) {
    int a = -1, b = -1;
    for (int y = 0; y < h_; ++y)
      if (near[static_cast<std::size_t>(y) * w_ + x]) {
        if (a < 0) a = y;
        b = y;
      }
    for (int y = std::max(a, 0); a >= 0 && y <= b; ++y)
      cells_[static_cast<std::size_t>(y) * w_ + x] = rows[static_cast<std::size_t>(y) * w_ + x];
  }
  // Chessboard distance of every inside cell to the nearest outside cell (beyond the
  // raster counts as outside), less one: two passes over the raster.
  depth_.assign(cells_.size(), 0);
  auto at = [&](int x, int y) -> int { return x < 0 || y < 0 || x >= w_ || y >= h_ ? 0 : depth_[static_cast<std::size_t>(y) * w_ + x]; };
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      if (!cells_[static_cast<std::size_t>(y) * w_ + x]) continue;
      const int m = std::min({at(x - 1, y), at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)});
      depth_[static_cast<std::size_t>(y) * w_ + x] = static_cast<std::uint8_t>(std::min(m + 1, 255));
    }
  for (int y = h_ - 1; y >= 0; --y)
    for (int x = w_ - 1; x >= 0; --x) {
      std::uint8_t& d = depth_[static_cast<std::size_t>(y) * w_ + x];
      if (d == 0) continue;
      const int m = std::min({at(x + 1, y), at(x + 1, y + 1), at(x, y + 1), at(x - 1, y + 1)});
      d = static_cast<std::uint8_t>(std::min<int>(d, m + 1));
    }
  for (std::uint8_t& d : depth_) d = d > 0 ? static_cast<std::uint8_t>(d - 1) : 0;
}

bool PrintRegion::InsideAround(float x, float y, float radius) const {
  const float fx = (x - x0_) * (1.0f / kRasterCell), fy = (y - y0_) * (1.0f / kRasterCell);
  if (!(fx >= 0 && fy >= 0 && fx < static_cast<float>(w_) && fy < static_cast<float>(h_))) return false;
  // The point may lie anywhere in its cell: d rings of inside cells reach d cells
  // beyond the cell's border in every direction.
  const int rings = depth_[static_cast<std::size_t>(fy) * w_ + static_cast<std::size_t>(fx)];
  return static_cast<float>(rings * kRasterCell) >= radius;
}

bool PrintRegion::Inside(float x, float y) const {
  const float fx = (x - x0_) * (1.0f / kRasterCell), fy = (y - y0_) * (1.0f / kRasterCell);
  if (!(fx >= 0 && fy >= 0 && fx < static_cast<float>(w_) && fy < static_cast<float>(h_))) return false;
  return cells_[static_cast<std::size_t>(fy) * w_ + static_cast<std::size_t>(fx)];
}

void BuildMatchTemplate(const std::vector<Minutia>& minutiae, MatchTemplate& t) {
  const std::size_t n = minutiae.size();
  t.minutiae = minutiae;
  t.cosDir.resize(n);
  t.sinDir.resize(n);
  t.cylinders.assign(n, Cylinder{});
  for (std::size_t i = 0; i < n; ++i) {
    t.cosDir[i] = std::cos(minutiae[i].direction);
    t.sinDir[i] = std::sin(minutiae[i].direction);
  }
  t.region = PrintRegion(minutiae);
  const PrintRegion& region = t.region;
  constexpr float kReach = kCylinderRadius + kCylinderSpread;
  constexpr float kBin = 2 * kPi / kCylinderDirections;
  std::vector<int> validCells(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    Cylinder& c = t.cylinders[i];
    const Minutia& mi = minutiae[i];
    const float ci = t.cosDir[i], si = t.sinDir[i];
    if (region.InsideAround(mi.x, mi.y, kCylinderRadius)) {
      c.valid = kAllCells;
      validCells[i] = kCentres.count;
      continue;
    }
    for (int k = 0; k < kCentres.count; ++k)
      if (region.Inside(mi.x + kCentres.x[k] * ci - kCentres.y[k] * si, mi.y + kCentres.x[k] * si + kCentres.y[k] * ci)) {
        c.valid |= std::uint64_t{1} << kCentres.index[k];
        ++validCells[i];
      }
  }
  // Marks neighbour j in minutia i's cylinder: its position (dx, dy) turned into i's
  // frame, and its direction relative to i's.
  std::vector<int> neighbours(n, 0);
  auto mark = [&](std::size_t i, std::size_t j, float dx, float dy) {
    Cylinder& c = t.cylinders[i];
    ++neighbours[i];
    const float ci = t.cosDir[i], si = t.sinDir[i];
    const float px = dx * ci + dy * si, py = -dx * si + dy * ci;
    const float rel = WrapTurn(minutiae[j].direction - minutiae[i].direction) + kPi;  // 0..2pi
    const float binPos = rel / kBin - 0.5f;
    const int bin0 = static_cast<int>(std::floor(binPos));
    const float frac = binPos - static_cast<float>(bin0);
    // The nearest bin always; the other neighbouring bin too when close to it.
    int bins[2] = {((frac < 0.5f ? bin0 : bin0 + 1) + kCylinderDirections) % kCylinderDirections, -1};
    if (frac > 0.25f && frac < 0.75f) bins[1] = ((frac < 0.5f ? bin0 + 1 : bin0) + kCylinderDirections) % kCylinderDirections;
    const int qx = static_cast<int>(px / kMarkStep + kMarkSide / 2 + 1) - 1;
    const int qy = static_cast<int>(py / kMarkStep + kMarkSide / 2 + 1) - 1;
    if (qx < 0 || qy < 0 || qx >= kMarkSide || qy >= kMarkSide) return;
    const std::uint64_t spatial = kMarks.mask[qy * kMarkSide + qx] & c.valid;
    c.bits[bins[0]] |= spatial;
    if (bins[1] >= 0) c.bits[bins[1]] |= spatial;
  };
  // Every pair within reach once, found along the minutiae sorted top to bottom.
  std::vector<std::size_t> byY(n);
  for (std::size_t i = 0; i < n; ++i) byY[i] = i;
  std::sort(byY.begin(), byY.end(), [&](std::size_t a, std::size_t b) { return minutiae[a].y < minutiae[b].y; });
  for (std::size_t a = 0; a < n; ++a) {
    const Minutia& mi = minutiae[byY[a]];
    for (std::size_t b = a + 1; b < n; ++b) {
      const Minutia& mj = minutiae[byY[b]];
      const float dx = mj.x - mi.x, dy = mj.y - mi.y;
      if (dy > kReach) break;
      if (std::abs(dx) > kReach || dx * dx + dy * dy > kReach * kReach) continue;
      mark(byY[a], byY[b], dx, dy);
      mark(byY[b], byY[a], -dx, -dy);
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    t.cylinders[i].usable = neighbours[i] >= kCylinderMinNeighbours &&
                            static_cast<float>(validCells[i]) >= kCylinderMinValidFraction * static_cast<float>(kCentres.count);
}

namespace {

// Bit count without relying on a processor instruction (SWAR).
inline int CountBits(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

// |a xor b| / (|a| + |b|) over the common valid cells; |a| + |b| = |a xor b| + 2 |a and b|.
#define VANDREL_CYLINDER_SIMILARITY(count)                              \
  const std::uint64_t v = a.valid & b.valid;                            \
  if (count(v) < kMinCommonCells) return 0.0f;                          \
  int diff = 0, both = 0;                                               \
  for (int d = 0; d < kCylinderDirections; ++d) {                       \
    const std::uint64_t x = a.bits[d] & v, y = b.bits[d] & v;           \
    diff += count(x ^ y);                                               \
    both += count(x & y);                                               \
  }                                                                     \
  const int norm = diff + 2 * both;                                     \
  return norm == 0 ? 0.0f : 1.0f - static_cast<float>(diff) / static_cast<float>(norm);

float SimilarityPortable(const Cylinder& a, const Cylinder& b) { VANDREL_CYLINDER_SIMILARITY(CountBits) }

template <typename Similarity>
void FillMatrix(const MatchTemplate& A, const MatchTemplate& B, std::vector<float>& sims, Similarity similarity) {
  const std::size_t na = A.minutiae.size(), nb = B.minutiae.size();
  sims.assign(na * nb, -1.0f);
  for (std::size_t i = 0; i < na; ++i) {
    if (!A.cylinders[i].usable) continue;
    for (std::size_t j = 0; j < nb; ++j) {
      // Minutiae turned further apart than a placement turns the finger (plus the
      // directions' own error) are not the same minutia.
      if (!B.cylinders[j].usable || A.cosDir[i] * B.cosDir[j] + A.sinDir[i] * B.sinDir[j] < kMinPairTurnCos) continue;
      sims[i * nb + j] = similarity(A.cylinders[i], B.cylinders[j]);
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
#define VANDREL_HW_POPCOUNT 1
__attribute__((target("popcnt"))) inline int CountBitsHw(std::uint64_t x) { return __builtin_popcountll(x); }
__attribute__((target("popcnt"))) float SimilarityHw(const Cylinder& a, const Cylinder& b) {
  VANDREL_CYLINDER_SIMILARITY(CountBitsHw)
}
__attribute__((target("popcnt"))) void FillMatrixHw(const MatchTemplate& A, const MatchTemplate& B,
                                                     std::vector<float>& sims) {
  FillMatrix(A, B, sims, [](const Cylinder& a, const Cylinder& b) __attribute__((target("popcnt"))) {
    return SimilarityHw(a, b);
  });
}
#endif

#undef VANDREL_CYLINDER_SIMILARITY

}  // namespace

float CylinderSimilarity(const Cylinder& a, const Cylinder& b) { return SimilarityPortable(a, b); }

void SimilarityMatrix(const MatchTemplate& A, const MatchTemplate& B, std::vector<float>& sims) {
#ifdef VANDREL_HW_POPCOUNT
  if (__builtin_cpu_supports("popcnt")) {
    FillMatrixHw(A, B, sims);
    return;
  }
#endif
  FillMatrix(A, B, sims, SimilarityPortable);
}

}  // namespace mivex::vandrel
