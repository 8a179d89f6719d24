#include "BlockOps.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "VandrelParams.h"
#include "VectorIntrinsics.h"

namespace mivex::vandrel {

FloatPlane BoxSmooth(const FloatPlane& in, int radius) {
  // Separable running sums with per-position counts.
  FloatPlane tmp(in.width, in.height), out(in.width, in.height);
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      int n = 0;
      for (int k = std::max(0, x - radius); k <= std::min(in.width - 1, x + radius); ++k, ++n) s += in.at(k, y);
      tmp.at(x, y) = s / static_cast<float>(n);
    }
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      int n = 0;
      for (int k = std::max(0, y - radius); k <= std::min(in.height - 1, y + radius); ++k, ++n) s += tmp.at(x, k);
      out.at(x, y) = s / static_cast<float>(n);
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
