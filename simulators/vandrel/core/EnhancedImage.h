#pragma once
// Ridges restored by oriented band-pass (Gabor) filters tuned to the local ridge
// direction and period: positive on ridges, negative in valleys, 0 outside the print.
#include <vector>

#include "ForegroundMask.h"
#include "Image.h"
#include "Kernels.h"
#include "OrientationField.h"
#include "RidgeWavelength.h"

namespace mivex::vandrel {

// Precomputed even-symmetric kernels for every orientation and period step; built
// once when the engine starts and read-only afterwards.
class GaborBank {
 public:
  GaborBank();
  // Half of the kernel: the centre weight first, then one weight per offset pair
  // (u, v) / (-u, -v), in the order of Offsets().
  const float* Kernel(int orientation, int wavelengthStep) const;
  const std::vector<int>& OffsetsX() const { return offsetX_; }
  const std::vector<int>& OffsetsY() const { return offsetY_; }
  int HalfSize() const { return static_cast<int>(offsetX_.size()); }

 private:
  std::vector<int> offsetX_, offsetY_;
  std::vector<float> kernels_;
};

FloatPlane EnhanceRidges(const FloatPlane& normalized, const OrientationField& field, const RidgeWavelength& wavelength,
                         const ForegroundMask& mask, const GaborBank& bank, Kernel kernel = FastestKernel());

}  // namespace mivex::vandrel
