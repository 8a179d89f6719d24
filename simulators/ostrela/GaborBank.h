#pragma once
// A bank of even-symmetric Gabor kernels, one per (ridge orientation, ridge period)
// bin, in Q16 integers. Each kernel passes a sinusoid of its period across its
// orientation with unit gain and has no response to a flat image.
#include <cstdint>
#include <vector>

namespace mivex::ostrela {

class TGaborBank {
 public:
  TGaborBank();

  // Kernel rows: (2 * kKernelRadius + 1) rows of kKernelStride taps each (the last
  // taps of a row are zero), tap (r, c) weighs the pixel at offset (c - R, r - R).
  const std::int16_t* Kernel(std::int32_t orientationBin, std::int32_t periodBin) const;

  // Bin of a ridge angle (turn units, any value) and of a period (Q8 pixels).
  static std::int32_t OrientationBin(std::int32_t angle);
  static std::int32_t PeriodBin(std::int32_t periodQ8);

 private:
  std::vector<std::int16_t> FTaps;
};

}  // namespace mivex::ostrela
