#include "BlockOps.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "VandrelParams.h"
#include "VectorIntrinsics.h"

namespace mivex::vandrel {

FloatPlane BoxSmooth(const FloatPlane& in, int radius) {
  // Separable: each output sums its window in order from the first value, then divides
  // by the values it had. The windows of a whole row (or of the columns inside the
  // edges) grow side by side, one offset after another, each in that same order.
  const int w = in.width, h = in.height;
  FloatPlane tmp(w, h), out(w, h);
  std::vector<float> acc(static_cast<std::size_t>(w));
  const int inner0 = radius, inner1 = w - radius;  // columns whose window fits
  for (int y = 0; y < h; ++y) {
    const float* p = &in.at(0, y);
    float* t = &tmp.at(0, y);
    const auto edge = [&](int x) {
      const int lo = std::max(0, x - radius), hi = std::min(w - 1, x + radius);
      float s = 0;
      for (int k = lo; k <= hi; ++k) s += p[k];
      t[x] = s / static_cast<float>(hi - lo + 1);
    };
    if (inner0 >= inner1) {
      for (int x = 0; x < w; ++x) edge(x);
      continue;
    }
    for (int x = 0; x < inner0; ++x) edge(x);
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (int d = -radius; d <= radius; ++d)
      for (int x = inner0; x < inner1; ++x) acc[static_cast<std::size_t>(x)] += p[x + d];
    for (int x = inner0; x < inner1; ++x) t[x] = acc[static_cast<std::size_t>(x)] / static_cast<float>(2 * radius + 1);
    for (int x = inner1; x < w; ++x) edge(x);
  }
  for (int y = 0; y < h; ++y) {
    const int lo = std::max(0, y - radius), hi = std::min(h - 1, y + radius);
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (int k = lo; k <= hi; ++k) {
      const float* t = &tmp.at(0, k);
      for (int x = 0; x < w; ++x) acc[static_cast<std::size_t>(x)] += t[x];
    }
    float* o = &out.at(0, y);
    for (int x = 0; x < w; ++x) o[x] = acc[static_cast<std::size_t>(x)] / static_cast<float>(hi - lo + 1);
  }
  return out;
}

namespace {

void AddRowToBlocksPortable(const float* values, int width, float* blockSums) {
  for (int x0 = 0; x0 < width; x0 += params::kBlock) {
    float s = *blockSums;
    const int end = std::min(width, x0 + params::kBlock);
    for (int x = x0; x < end; ++x) s += values[x];
    *blockSums++ = s;
  }
}

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// Eight whole blocks (64 pixels) at a time: the 8 x 8 pixels turned so that vector k
// holds pixel k of each block, then added to the eight sums one after another.
__attribute__((target("avx2"))) void AddRowToBlocksVector256(const float* values, int width, float* blockSums) {
  static_assert(params::kBlock == 8, "a block row is one vector of eight pixels");
  int x0 = 0;
  for (; x0 + 64 <= width; x0 += 64, blockSums += 8) {
    __m256 r[8];
    for (int j = 0; j < 8; ++j) r[j] = _mm256_loadu_ps(values + x0 + 8 * j);
    const __m256 a0 = _mm256_unpacklo_ps(r[0], r[1]), a1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 a2 = _mm256_unpacklo_ps(r[2], r[3]), a3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 a4 = _mm256_unpacklo_ps(r[4], r[5]), a5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 a6 = _mm256_unpacklo_ps(r[6], r[7]), a7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 b0 = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b1 = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b2 = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b3 = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b4 = _mm256_shuffle_ps(a4, a6, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b5 = _mm256_shuffle_ps(a4, a6, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 b6 = _mm256_shuffle_ps(a5, a7, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 b7 = _mm256_shuffle_ps(a5, a7, _MM_SHUFFLE(3, 2, 3, 2));
    __m256 sum = _mm256_loadu_ps(blockSums);
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b0, b4, 0x20));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b1, b5, 0x20));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b2, b6, 0x20));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b3, b7, 0x20));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b0, b4, 0x31));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b1, b5, 0x31));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b2, b6, 0x31));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(b3, b7, 0x31));
    _mm256_storeu_ps(blockSums, sum);
  }
  AddRowToBlocksPortable(values + x0, width - x0, blockSums);
}
VANDREL_INTRINSICS_END
#endif

}  // namespace

void AddRowToBlocks(const float* values, int width, float* blockSums, Kernel kernel) {
#ifdef VANDREL_X86
  if ((kernel == Kernel::Vector256 || kernel == Kernel::Vector) && KernelAvailable(Kernel::Vector256))
    return AddRowToBlocksVector256(values, width, blockSums);
#endif
  AddRowToBlocksPortable(values, width, blockSums);
}

float WrapHalfTurn(float a) {
  constexpr float pi = std::numbers::pi_v<float>;
  a = std::fmod(a, pi);
  if (a < 0) a += pi;
  if (a >= pi) a -= pi;
  return a;
}

}  // namespace mivex::vandrel
