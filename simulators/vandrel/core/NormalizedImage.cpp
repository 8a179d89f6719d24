#include "NormalizedImage.h"

#include <cmath>
#include <cstdint>
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
  // Grey levels, their squares and the pixel counts of a block are integers whose sums
  // stay below 2^24 (64 pixels of at most 255^2): summed as integers they are the exact
  // sums that adding them as floats one by one gives.
  static_assert(kBlock * kBlock * 255 * 255 < (1 << 24), "block sums must be exact in float");
  std::vector<std::int32_t> sums(static_cast<std::size_t>(cols) * rows * 4, 0);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixels + static_cast<std::size_t>(y) * image.width;
    std::int32_t* block = &sums[static_cast<std::size_t>(y / kBlock) * cols * 4];
    for (int x0 = 0; x0 < image.width; x0 += kBlock, block += 4) {
      std::int32_t s = 0, sq = 0, dark = 0;
      const int end = std::min(image.width, x0 + kBlock);
      for (int x = x0; x < end; ++x) {
        const std::int32_t v = row[x];
        s += v;
        sq += v * v;
        dark += v < mid;
      }
      block[0] += s;
      block[1] += sq;
      block[2] += end - x0;
      block[3] += dark;
    }
  }
  FloatPlane sum(cols, rows), sumSq(cols, rows), count(cols, rows), ink(cols, rows);
  for (int i = 0; i < cols * rows; ++i) {
    sum.data[i] = static_cast<float>(sums[static_cast<std::size_t>(i) * 4]);
    sumSq.data[i] = static_cast<float>(sums[static_cast<std::size_t>(i) * 4 + 1]);
    count.data[i] = static_cast<float>(sums[static_cast<std::size_t>(i) * 4 + 2]);
    ink.data[i] = static_cast<float>(sums[static_cast<std::size_t>(i) * 4 + 3]);
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
  // Mean and scale at each pixel, interpolated between block centres: first along the
  // row, then along the column. Both fields have the same blocks. The first step gives
  // the same values in every image row between the same two block rows, so it runs once
  // per block row (alongRow), and each pixel only weighs the two values above and below.
  std::vector<BlockPlace> columns(static_cast<std::size_t>(image.width));
  for (int x = 0; x < image.width; ++x) columns[static_cast<std::size_t>(x)] = PlaceBetweenBlocks(x, cols);
  const auto alongRow = [&](const FloatPlane& blocks) {
    FloatPlane along(image.width, rows);
    for (int by = 0; by < rows; ++by)
      for (int x = 0; x < image.width; ++x) {
        const BlockPlace c = columns[static_cast<std::size_t>(x)];
        along.at(x, by) = blocks.at(c.first, by) * (1 - c.share) + blocks.at(c.second, by) * c.share;
      }
    return along;
  };
  const FloatPlane meanAlong = alongRow(mean), scaleAlong = alongRow(scale);
  for (int y = 0; y < image.height; ++y) {
    const BlockPlace row = PlaceBetweenBlocks(y, rows);
    const float ay = row.share, restY = 1 - row.share;
    const float* m0 = &meanAlong.at(0, row.first);
    const float* m1 = &meanAlong.at(0, row.second);
    const float* s0 = &scaleAlong.at(0, row.first);
    const float* s1 = &scaleAlong.at(0, row.second);
    const std::uint8_t* in = image.pixels + static_cast<std::size_t>(y) * image.width;
    float* o = &out.pixels.at(0, y);
    for (int x = 0; x < image.width; ++x)
      o[x] = (m0[x] * restY + m1[x] * ay - static_cast<float>(in[x])) * (s0[x] * restY + s1[x] * ay);
  }
  return out;
}

}  // namespace mivex::vandrel
