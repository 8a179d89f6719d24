#include "ElasticAlignment.h"

#include <cmath>
#include <utility>

#include "BlockOps.h"
#include "PortableMath.h"

namespace mivex::vandrel {

ElasticAlignment::ElasticAlignment(std::vector<Landmark> landmarks, float stiffness)
    : landmarks_(std::move(landmarks)), stiffness2_(stiffness * stiffness) {}

Minutia ElasticAlignment::Apply(const Minutia& m) const {
  if (landmarks_.empty()) return m;
  // Weighted centroids of the landmarks on both sides.
  double sw = 0, px = 0, py = 0, qx = 0, qy = 0;
  std::vector<double> w(landmarks_.size());
  for (std::size_t i = 0; i < landmarks_.size(); ++i) {
    const Landmark& l = landmarks_[i];
    const double dx = l.fromX - m.x, dy = l.fromY - m.y;
    w[i] = 1.0 / (dx * dx + dy * dy + stiffness2_);
    sw += w[i];
    px += w[i] * l.fromX, py += w[i] * l.fromY, qx += w[i] * l.toX, qy += w[i] * l.toY;
  }
  px /= sw, py /= sw, qx /= sw, qy /= sw;
  // The rotation that best turns the centred landmarks onto their counterparts.
  double sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < landmarks_.size(); ++i) {
    const Landmark& l = landmarks_[i];
    const double ax = l.fromX - px, ay = l.fromY - py, bx = l.toX - qx, by = l.toY - qy;
    sxx += w[i] * (ax * bx + ay * by);
    sxy += w[i] * (ax * by - ay * bx);
  }
  const double angle = (sxx == 0 && sxy == 0) ? 0.0 : pm::Atan2(sxy, sxx);
  const double c = pm::Cos(angle), s = pm::Sin(angle);
  Minutia out = m;
  out.x = static_cast<float>(c * (m.x - px) - s * (m.y - py) + qx);
  out.y = static_cast<float>(s * (m.x - px) + c * (m.y - py) + qy);
  out.direction = WrapTurn(m.direction + static_cast<float>(angle));
  return out;
}

}  // namespace mivex::vandrel
