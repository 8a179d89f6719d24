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
  // row, then along the column. Both fields have the same blocks, and the columns
  // between two block centres the same pair of blocks: each column's place is found
  // once, and each row takes the four corner values of such a run of columns once.
  struct Run {
    int begin, end;
    BlockPlace place;
  };
  std::vector<Run> runs;
  std::vector<float> ax(static_cast<std::size_t>(image.width)), restX(static_cast<std::size_t>(image.width));
  for (int x = 0; x < image.width; ++x) {
    const BlockPlace column = PlaceBetweenBlocks(x, cols);
    ax[static_cast<std::size_t>(x)] = column.share;
    restX[static_cast<std::size_t>(x)] = 1 - column.share;
    if (runs.empty() || runs.back().place.first != column.first || runs.back().place.second != column.second)
      runs.push_back({x, x, column});
    runs.back().end = x + 1;
  }
  for (int y = 0; y < image.height; ++y) {
    const BlockPlace row = PlaceBetweenBlocks(y, rows);
    const float ay = row.share, restY = 1 - row.share;
    const std::uint8_t* in = image.pixels + static_cast<std::size_t>(y) * image.width;
    float* o = &out.pixels.at(0, y);
    for (const Run& run : runs) {
      const int c0 = run.place.first, c1 = run.place.second;
      const float m00 = mean.at(c0, row.first), m10 = mean.at(c1, row.first);
      const float m01 = mean.at(c0, row.second), m11 = mean.at(c1, row.second);
      const float s00 = scale.at(c0, row.first), s10 = scale.at(c1, row.first);
      const float s01 = scale.at(c0, row.second), s11 = scale.at(c1, row.second);
      for (int x = run.begin; x < run.end; ++x) {
        const float a = ax[static_cast<std::size_t>(x)], ra = restX[static_cast<std::size_t>(x)];
        const float m = (m00 * ra + m10 * a) * restY + (m01 * ra + m11 * a) * ay;
        const float s = (s00 * ra + s10 * a) * restY + (s01 * ra + s11 * a) * ay;
        o[x] = (m - static_cast<float>(in[x])) * s;
      }
    }
  }
  return out;
}

}  // namespace mivex::vandrel
