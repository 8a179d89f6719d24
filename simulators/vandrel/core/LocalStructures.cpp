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
}

bool PrintRegion::Inside(float x, float y) const {
  const int cx = static_cast<int>(std::floor((x - x0_) / kRasterCell));
  const int cy = static_cast<int>(std::floor((y - y0_) / kRasterCell));
  return cx >= 0 && cy >= 0 && cx < w_ && cy < h_ && cells_[static_cast<std::size_t>(cy) * w_ + cx];
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
  constexpr float spatial2 = kCylinderSpread * kCylinderSpread;
  for (std::size_t i = 0; i < n; ++i) {
    Cylinder& c = t.cylinders[i];
    const Minutia& mi = minutiae[i];
    const float ci = t.cosDir[i], si = t.sinDir[i];
    int validCells = 0, circleCells = 0;
    for (int b = 0; b < kCylinderCells; ++b)
      for (int a = 0; a < kCylinderCells; ++a) {
        const float lx = (static_cast<float>(a) - 3.5f) * kCell, ly = (static_cast<float>(b) - 3.5f) * kCell;
        if (lx * lx + ly * ly > kCylinderRadius * kCylinderRadius) continue;
        ++circleCells;
        if (region.Inside(mi.x + lx * ci - ly * si, mi.y + lx * si + ly * ci)) {
          c.valid |= std::uint64_t{1} << (b * kCylinderCells + a);
          ++validCells;
        }
      }
    int neighbours = 0;
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i) continue;
      const float dx = minutiae[j].x - mi.x, dy = minutiae[j].y - mi.y;
      if (std::abs(dx) > kReach || std::abs(dy) > kReach || dx * dx + dy * dy > kReach * kReach) continue;
      ++neighbours;
      // Neighbour position in the minutia's frame, and its direction relative to it.
      const float px = dx * ci + dy * si, py = -dx * si + dy * ci;
      const float rel = WrapTurn(minutiae[j].direction - mi.direction) + kPi;  // 0..2pi
      const float binPos = rel / kBin - 0.5f;
      const int bin0 = static_cast<int>(std::floor(binPos));
      const float frac = binPos - static_cast<float>(bin0);
      // The nearest bin always; the other neighbouring bin too when close to it.
      int bins[2] = {((frac < 0.5f ? bin0 : bin0 + 1) + kCylinderDirections) % kCylinderDirections, -1};
      if (frac > 0.25f && frac < 0.75f) bins[1] = ((frac < 0.5f ? bin0 + 1 : bin0) + kCylinderDirections) % kCylinderDirections;
      const int ca = static_cast<int>(std::floor(px / kCell + 4)), cb = static_cast<int>(std::floor(py / kCell + 4));
      std::uint64_t spatial = 0;
      for (int b = std::max(0, cb - 1); b <= std::min(kCylinderCells - 1, cb + 1); ++b)
        for (int a = std::max(0, ca - 1); a <= std::min(kCylinderCells - 1, ca + 1); ++a) {
          const float lx = (static_cast<float>(a) - 3.5f) * kCell - px, ly = (static_cast<float>(b) - 3.5f) * kCell - py;
          if (lx * lx + ly * ly <= spatial2) spatial |= std::uint64_t{1} << (b * kCylinderCells + a);
        }
      spatial &= c.valid;
      c.bits[bins[0]] |= spatial;
      if (bins[1] >= 0) c.bits[bins[1]] |= spatial;
    }
    c.usable = neighbours >= kCylinderMinNeighbours &&
               static_cast<float>(validCells) >= kCylinderMinValidFraction * static_cast<float>(circleCells);
  }
}

float CylinderSimilarity(const Cylinder& a, const Cylinder& b) {
  const std::uint64_t v = a.valid & b.valid;
  if (std::popcount(v) < 20) return 0;
  int diff = 0, norm = 0;
  for (int d = 0; d < kCylinderDirections; ++d) {
    const std::uint64_t x = a.bits[d] & v, y = b.bits[d] & v;
    diff += std::popcount(x ^ y);
    norm += std::popcount(x) + std::popcount(y);
  }
  return norm == 0 ? 0.0f : 1.0f - static_cast<float>(diff) / static_cast<float>(norm);
}

}  // namespace mivex::vandrel
