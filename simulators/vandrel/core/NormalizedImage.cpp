#include "NormalizedImage.h"

#include <cmath>
#include <utility>
#include <vector>

#include "BlockOps.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

namespace {

// The grey level halfway between the image's dark and bright ends (robust percentiles).
int MidGrey(const GrayView& image) {
  int histogram[256] = {};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) ++histogram[image.at(x, y)];
  const long total = static_cast<long>(image.width) * image.height;
  auto percentile = [&](double share) {
    const long wanted = static_cast<long>(share * static_cast<double>(total));
    long seen = 0;
    for (int v = 0; v < 256; ++v)
      if ((seen += histogram[v]) > wanted) return v;
    return 255;
  };
  return (percentile(params::kInkDarkPercentile) + percentile(params::kInkBrightPercentile)) / 2;
}

}  // namespace

NormalizedImage NormalizeImage(const GrayView& image) {
  using namespace params;
  const int cols = (image.width + kBlock - 1) / kBlock, rows = (image.height + kBlock - 1) / kBlock;
  const int mid = MidGrey(image);
  FloatPlane sum(cols, rows), sumSq(cols, rows), count(cols, rows), ink(cols, rows);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const float v = image.at(x, y);
      sum.at(x / kBlock, y / kBlock) += v;
      sumSq.at(x / kBlock, y / kBlock) += v * v;
      count.at(x / kBlock, y / kBlock) += 1;
      ink.at(x / kBlock, y / kBlock) += v < static_cast<float>(mid) ? 1.0f : 0.0f;
    }
  sum = BoxSmooth(sum, kNormalizeRadiusBlocks);
  sumSq = BoxSmooth(sumSq, kNormalizeRadiusBlocks);
  count = BoxSmooth(count, kNormalizeRadiusBlocks);
  FloatPlane inkShare = BoxSmooth(ink, kNormalizeRadiusBlocks);
  for (int i = 0; i < cols * rows; ++i) inkShare.data[i] /= count.data[i];
  NormalizedImage out{FloatPlane(image.width, image.height), FloatPlane(cols, rows), std::move(inkShare)};
  FloatPlane mean(cols, rows), scale(cols, rows);
  for (int i = 0; i < cols * rows; ++i) {
    const float m = sum.data[i] / count.data[i];
    const float var = std::max(0.0f, sumSq.data[i] / count.data[i] - m * m);
    mean.data[i] = m;
    out.blockStd.data[i] = std::sqrt(var);
    scale.data[i] = 1.0f / std::max(out.blockStd.data[i], kMinLocalStd);
  }
  // Both fields have the same blocks: each column's and row's place between them is
  // found once.
  std::vector<BlockPlace> columns(static_cast<std::size_t>(image.width));
  for (int x = 0; x < image.width; ++x) columns[static_cast<std::size_t>(x)] = PlaceBetweenBlocks(x, cols);
  for (int y = 0; y < image.height; ++y) {
    const BlockPlace row = PlaceBetweenBlocks(y, rows);
    for (int x = 0; x < image.width; ++x) {
      const BlockPlace column = columns[static_cast<std::size_t>(x)];
      const float m = SampleBilinear(mean, column, row), s = SampleBilinear(scale, column, row);
      out.pixels.at(x, y) = (m - image.at(x, y)) * s;
    }
  }
  return out;
}

}  // namespace mivex::vandrel
