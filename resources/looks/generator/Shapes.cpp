#include "Shapes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace looks {

namespace {
double SegmentDistance(Pt p, Pt a, Pt b, double* t_out = nullptr) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  if (t_out) *t_out = t;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}
}  // namespace

Sdf Circle(Pt c, double radius) {
  return [=](double x, double y) { return std::hypot(x - c.x, y - c.y) - radius; };
}

Sdf Capsule(Pt a, Pt b, double radius) {
  return [=](double x, double y) { return SegmentDistance(Pt{x, y}, a, b) - radius; };
}

Sdf HalfCapsule(Pt a, Pt b, double radius) {
  const double len = std::hypot(b.x - a.x, b.y - a.y);
  const double ux = (b.x - a.x) / len, uy = (b.y - a.y) / len;
  return [=](double x, double y) {
    const double round = SegmentDistance(Pt{x, y}, a, b) - radius;
    const double behind = -((x - a.x) * ux + (y - a.y) * uy);  // > 0 behind the flat end
    return std::max(round, behind);
  };
}

Sdf RoundedBox(double x0, double y0, double x1, double y1, double radius) {
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  return [=](double x, double y) {
    const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  };
}

Sdf Polygon(std::vector<Pt> pts, double radius) {
  return [pts = std::move(pts), radius](double x, double y) {
    double d = std::numeric_limits<double>::max();
    bool inside = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      d = std::min(d, SegmentDistance(Pt{x, y}, pts[j], pts[i]));
      if ((pts[i].y > y) != (pts[j].y > y) &&
          x < (pts[j].x - pts[i].x) * (y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
        inside = !inside;
    }
    return (inside ? -d : d) - radius;
  };
}

Sdf Union(std::vector<Sdf> shapes) {
  return [shapes = std::move(shapes)](double x, double y) {
    double d = std::numeric_limits<double>::max();
    for (const Sdf& s : shapes) d = std::min(d, s(x, y));
    return d;
  };
}

Sdf SmoothUnion(std::vector<Sdf> shapes, double k) {
  return [shapes = std::move(shapes), k](double x, double y) {
    double d = shapes.front()(x, y);
    for (size_t i = 1; i < shapes.size(); ++i) {
      const double e = shapes[i](x, y);
      const double h = std::clamp(0.5 + 0.5 * (e - d) / k, 0.0, 1.0);
      d = e + (d - e) * h - k * h * (1 - h);
    }
    return d;
  };
}

Sdf Subtract(Sdf a, Sdf b) {
  return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Intersect(Sdf a, Sdf b) {
  return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

}  // namespace looks
