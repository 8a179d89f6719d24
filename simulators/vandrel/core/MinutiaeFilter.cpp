#include "MinutiaeFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "BlockOps.h"
#include "PortableMath.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

std::vector<Minutia> FilterMinutiae(const std::vector<Minutia>& in, const ForegroundMask& mask, int width, int height) {
  using namespace params;
  const std::size_t n = in.size();
  std::vector<bool> drop(n, false);
  std::vector<float> border(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Minutia& m = in[i];
    const int bx = static_cast<int>(m.x) / kBlock, by = static_cast<int>(m.y) / kBlock;
    border[i] = mask.borderDistance.at(bx, by);
    const float edge = std::min({m.x, m.y, static_cast<float>(width - 1) - m.x, static_cast<float>(height - 1) - m.y});
    if (border[i] < kBorderDistance || edge < kBorderDistance) drop[i] = true;
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const float dx = in[j].x - in[i].x, dy = in[j].y - in[i].y;
      if (std::abs(dx) > kBrokenRidgeDistance || std::abs(dy) > kBrokenRidgeDistance) continue;
      const float d = pm::Hypot(dx, dy);
      if (d < kCloseDistance) {
        drop[i] = drop[j] = true;
        continue;
      }
      if (d < kBrokenRidgeDistance && in[i].kind == MinutiaKind::Ending && in[j].kind == MinutiaKind::Ending) {
        // Endings that point at each other across a short gap are one interrupted ridge.
        const float facing = std::abs(WrapTurn(in[i].direction - in[j].direction + std::numbers::pi_v<float>));
        const float along = std::abs(WrapTurn(pm::Atan2(dy, dx) - in[i].direction));
        if (facing < kBrokenRidgeAngle && along < 2 * kBrokenRidgeAngle) drop[i] = drop[j] = true;
      }
    }
  for (std::size_t i = 0; i < n; ++i) {
    int crowd = 0;
    for (std::size_t j = 0; j < n; ++j)
      if (j != i && std::abs(in[j].x - in[i].x) <= kClusterRadius && std::abs(in[j].y - in[i].y) <= kClusterRadius)
        ++crowd;
    if (crowd > kClusterLimit) drop[i] = true;
  }
  std::vector<Minutia> out;
  for (std::size_t i = 0; i < n; ++i)
    if (!drop[i]) {
      Minutia m = in[i];
      // Coherent ridges away from the border are the most reliable.
      m.quality = std::clamp(m.quality * std::min(1.0f, border[i] / (3 * kBorderDistance)), 0.0f, 1.0f);
      out.push_back(m);
    }
  std::stable_sort(out.begin(), out.end(), [](const Minutia& a, const Minutia& b) { return a.quality > b.quality; });
  if (out.size() > static_cast<std::size_t>(kMaxMinutiae)) out.resize(kMaxMinutiae);
  return out;
}

}  // namespace mivex::vandrel
