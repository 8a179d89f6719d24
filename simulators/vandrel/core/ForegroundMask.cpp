#include "ForegroundMask.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "BlockOps.h"
#include "VandrelParams.h"

namespace mivex::vandrel {
namespace {

// Keeps the largest 4-connected region of ones.
void KeepLargestRegion(BytePlane& m) {
  Plane<int> label(m.width, m.height, 0);
  int best = 0, bestSize = 0, next = 0;
  std::vector<int> stack;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      if (!m.at(x, y) || label.at(x, y)) continue;
      ++next;
      int size = 0;
      stack.assign(1, y * m.width + x);
      label.at(x, y) = next;
      while (!stack.empty()) {
        const int p = stack.back();
        stack.pop_back();
        ++size;
        const int px = p % m.width, py = p / m.width;
        const int nx[4] = {px - 1, px + 1, px, px}, ny[4] = {py, py, py - 1, py + 1};
        for (int k = 0; k < 4; ++k)
          if (m.contains(nx[k], ny[k]) && m.at(nx[k], ny[k]) && !label.at(nx[k], ny[k])) {
            label.at(nx[k], ny[k]) = next;
            stack.push_back(ny[k] * m.width + nx[k]);
          }
      }
      if (size > bestSize) {
        bestSize = size;
        best = next;
      }
    }
  for (std::size_t i = 0; i < m.data.size(); ++i) m.data[i] = label.data[i] == best && best != 0;
}

// Background regions that do not touch the image edge are holes: fill them.
void FillHoles(BytePlane& m) {
  BytePlane outside(m.width, m.height, 0);
  std::vector<int> stack;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x)
      if ((x == 0 || y == 0 || x == m.width - 1 || y == m.height - 1) && !m.at(x, y)) {
        outside.at(x, y) = 1;
        stack.push_back(y * m.width + x);
      }
  while (!stack.empty()) {
    const int p = stack.back();
    stack.pop_back();
    const int px = p % m.width, py = p / m.width;
    const int nx[4] = {px - 1, px + 1, px, px}, ny[4] = {py, py, py - 1, py + 1};
    for (int k = 0; k < 4; ++k)
      if (m.contains(nx[k], ny[k]) && !m.at(nx[k], ny[k]) && !outside.at(nx[k], ny[k])) {
        outside.at(nx[k], ny[k]) = 1;
        stack.push_back(ny[k] * m.width + nx[k]);
      }
  }
  for (std::size_t i = 0; i < m.data.size(); ++i) m.data[i] = !outside.data[i];
}

// Chamfer distance (in blocks) from every block to the nearest background block or
// the image edge.
FloatPlane BorderDistance(const BytePlane& m) {
  constexpr float kInf = 1e9f, kDiag = 1.41421356f;
  FloatPlane d(m.width, m.height);
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      const bool edge = x == 0 || y == 0 || x == m.width - 1 || y == m.height - 1;
      d.at(x, y) = !m.at(x, y) ? 0.0f : edge ? 0.5f : kInf;
    }
  for (int y = 1; y < m.height; ++y)
    for (int x = 1; x < m.width - 1; ++x) {
      float v = d.at(x, y);
      v = std::min({v, d.at(x - 1, y) + 1, d.at(x, y - 1) + 1, d.at(x - 1, y - 1) + kDiag, d.at(x + 1, y - 1) + kDiag});
      d.at(x, y) = v;
    }
  for (int y = m.height - 2; y >= 0; --y)
    for (int x = m.width - 2; x >= 1; --x) {
      float v = d.at(x, y);
      v = std::min({v, d.at(x + 1, y) + 1, d.at(x, y + 1) + 1, d.at(x + 1, y + 1) + kDiag, d.at(x - 1, y + 1) + kDiag});
      d.at(x, y) = v;
    }
  for (float& v : d.data) v *= params::kBlock;
  return d;
}

// Opens the mask, keeps its largest region, fills holes and measures border distances.
void Tidy(ForegroundMask& mask);

}  // namespace

ForegroundMask SegmentForeground(const OrientationField& field, const FloatPlane& blockStd, const FloatPlane& blockInk) {
  using namespace params;
  const int cols = field.energy.width, rows = field.energy.height;
  const FloatPlane energy = BoxSmooth(field.energy, 1);
  std::vector<float> sorted(energy.data.begin(), energy.data.end());
  std::sort(sorted.begin(), sorted.end());
  const float p90 = sorted[static_cast<std::size_t>(0.9 * static_cast<double>(sorted.size() - 1))];
  std::vector<float> deviations(blockStd.data.begin(), blockStd.data.end());
  std::sort(deviations.begin(), deviations.end());
  const float contrast = deviations[static_cast<std::size_t>(0.9 * static_cast<double>(deviations.size() - 1))];
  const float minStd = std::max(kForegroundMinStd, kForegroundStdFraction * contrast);
  ForegroundMask mask{BytePlane(cols, rows), FloatPlane(), 0};
  for (int i = 0; i < cols * rows; ++i)
    mask.blocks.data[i] = energy.data[i] >= kForegroundEnergyFraction * p90 && blockStd.data[i] >= minStd &&
                          field.blurredCoherence.data[i] >= kForegroundMinCoherence && blockInk.data[i] >= kForegroundMinInk;
  Tidy(mask);
  return mask;
}

ForegroundMask RefineForeground(const ForegroundMask& in, const FloatPlane& normalized, const FloatPlane& enhanced) {
  using namespace params;
  const int cols = in.blocks.width, rows = in.blocks.height;
  FloatPlane ne(cols, rows), nn(cols, rows), ee(cols, rows);
  const int w = normalized.width;
  std::vector<float> neRow(static_cast<std::size_t>(w)), nnRow(static_cast<std::size_t>(w)), eeRow(static_cast<std::size_t>(w));
  for (int y = 0; y < normalized.height; ++y) {
    const float* n = &normalized.at(0, y);
    const float* e = &enhanced.at(0, y);
    for (int x = 0; x < w; ++x) {
      neRow[static_cast<std::size_t>(x)] = n[x] * e[x];
      nnRow[static_cast<std::size_t>(x)] = n[x] * n[x];
      eeRow[static_cast<std::size_t>(x)] = e[x] * e[x];
    }
    AddRowToBlocks(neRow.data(), w, &ne.at(0, y / kBlock));
    AddRowToBlocks(nnRow.data(), w, &nn.at(0, y / kBlock));
    AddRowToBlocks(eeRow.data(), w, &ee.at(0, y / kBlock));
  }
  ne = BoxSmooth(ne, 1);
  nn = BoxSmooth(nn, 1);
  ee = BoxSmooth(ee, 1);
  ForegroundMask mask{in.blocks, FloatPlane(), 0};
  for (int i = 0; i < cols * rows; ++i) {
    const float d = std::sqrt(nn.data[i] * ee.data[i]);
    if (d <= 0 || ne.data[i] / d < kMinBlockClarity) mask.blocks.data[i] = 0;
  }
  Tidy(mask);
  return mask;
}

namespace {

void Tidy(ForegroundMask& mask) {
  const int cols = mask.blocks.width, rows = mask.blocks.height;
  // Open the mask (erode then dilate) so thin bridges and specks go.
  BytePlane eroded = mask.blocks;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      int n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) n += mask.blocks.contains(x + dx, y + dy) && mask.blocks.at(x + dx, y + dy);
      eroded.at(x, y) = mask.blocks.at(x, y) && n >= 6;
    }
  KeepLargestRegion(eroded);
  FillHoles(eroded);
  mask.blocks = eroded;
  mask.foregroundBlocks = 0;
  for (int i = 0; i < cols * rows; ++i) mask.foregroundBlocks += mask.blocks.data[i];
  mask.borderDistance = BorderDistance(mask.blocks);
}

}  // namespace

}  // namespace mivex::vandrel
