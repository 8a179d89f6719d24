#pragma once
// Small operations on block fields shared by the stages.
#include "Image.h"

namespace mivex::vandrel {

// Mean over a (2r+1) x (2r+1) window, shrinking at the edges.
FloatPlane BoxSmooth(const FloatPlane& in, int radius);

// Value of a block field at pixel (x, y), interpolated between block centres.
float SampleBilinear(const FloatPlane& blocks, int x, int y);

// Angle brought into [0, pi).
float WrapHalfTurn(float a);
// Angle brought into (-pi, pi].
float WrapTurn(float a);

}  // namespace mivex::vandrel
