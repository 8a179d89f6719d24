#include "NormalizedImage.h"

#include <cmath>

#include "BlockOps.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

NormalizedImage NormalizeImage(const GrayView& image) {
  using namespace params;
  const int cols = (image.width + kBlock - 1) / kBlock, rows = (image.height + kBlock - 1) / kBlock;
  FloatPlane sum(cols, rows), sumSq(cols, rows), count(cols, rows);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const float v = image.at(x, y);
      sum.at(x / kBlock, y / kBlock) += v;
      sumSq.at(x / kBlock, y / kBlock) += v * v;
      count.at(x / kBlock, y / kBlock) += 1;
    }
  sum = BoxSmooth(sum, kNormalizeRadiusBlocks);
  sumSq = BoxSmooth(sumSq, kNormalizeRadiusBlocks);
  count = BoxSmooth(count, kNormalizeRadiusBlocks);
  NormalizedImage out{FloatPlane(image.width, image.height), FloatPlane(cols, rows)};
  FloatPlane mean(cols, rows), scale(cols, rows);
  for (int i = 0; i < cols * rows; ++i) {
    const float m = sum.data[i] / count.data[i];
    const float var = std::max(0.0f, sumSq.data[i] / count.data[i] - m * m);
    mean.data[i] = m;
    out.blockStd.data[i] = std::sqrt(var);
    scale.data[i] = 1.0f / std::max(out.blockStd.data[i], kMinLocalStd);
  }
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const float m = SampleBilinear(mean, x, y), s = SampleBilinear(scale, x, y);
      out.pixels.at(x, y) = (m - image.at(x, y)) * s;
    }
  return out;
}

}  // namespace mivex::vandrel
