#pragma once
// Ridge orientation per block from smoothed gradient tensors, with its coherence
// (how consistently the gradients agree) and the raw gradient energy.
#include "Image.h"

namespace mivex::vandrel {

struct OrientationField {
  FloatPlane angle;      // ridge direction in [0, pi), x right, y down
  FloatPlane coherence;  // 0 (isotropic) .. 1 (parallel ridges)
  FloatPlane energy;     // mean squared gradient per pixel of the block
  FloatPlane cos2, sin2;  // smoothed doubled-angle tensor (unnormalised)
  // Coherence of the image blurred over a pixel or two, which spares faint ridges the
  // speckle of dry presses; it decides which blocks belong to the print.
  FloatPlane blurredCoherence;
};

OrientationField EstimateOrientation(const FloatPlane& normalized, int smoothRadius);

// The field with its directions read again, inside the mask, from ridges already
// enhanced along it: the speckle of dry presses, the pores and merged valleys of wet
// ones and the creases across both scatter the raw gradients, while the enhanced ridges
// are clean and still follow the finger. Coherence and energy stay those of the raw
// image, which tell how far its ridges can be trusted.
OrientationField RefineOrientation(const OrientationField& field, const FloatPlane& enhanced, const BytePlane& mask);

// The same field smoothed again over a wider window (for singular points and grids).
OrientationField SmoothOrientation(const OrientationField& field, int smoothRadius);

}  // namespace mivex::vandrel
