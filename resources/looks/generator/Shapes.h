#pragma once
// Signed distance functions of the few shapes the pictures are made of.
#include <vector>

#include "Canvas.h"

namespace looks {

struct Pt {
  double x = 0, y = 0;
};

Sdf Circle(Pt centre, double radius);
// A segment with round ends: every point within `radius` of the segment a-b.
Sdf Capsule(Pt a, Pt b, double radius);
// A segment with a round end at `b` and a flat end at `a`.
Sdf HalfCapsule(Pt a, Pt b, double radius);
Sdf RoundedBox(double x0, double y0, double x1, double y1, double radius);
// A closed polygon, its corners rounded by `radius` (the outline grows by it).
Sdf Polygon(std::vector<Pt> points, double radius = 0);
Sdf Union(std::vector<Sdf> shapes);
// A union whose joins are rounded off over about `k` pixels (webs between fingers).
Sdf SmoothUnion(std::vector<Sdf> shapes, double k);
// Points in `a` but not in `b`.
Sdf Subtract(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);

}  // namespace looks
