#pragma once
// Test builds only: the engine's 512-bit kernels compiled for processors without
// 512-bit instructions, so that their own logic runs (and is compared with the
// portable code) on any processor with AVX2. Each 512-bit intrinsic the kernels use
// is emulated lane by lane: by SIMDe where it has one, else below, written to the
// instructions' documented behaviour. The kernels' sources are copied with their
// instruction-set attributes removed and this header included first (see
// CopyForKernels.cmake); the copies are compiled for AVX2, where SIMDe's 256-bit
// vectors are the processor's own.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <simde/x86/avx512.h>

#if !defined(__AVX2__)
#error "the emulated kernels are compiled for AVX2"
#endif

namespace mivex::vandrel::avx512emu {

// The intrinsics SIMDe lacks. Masked-off lanes are neither read nor written, as the
// instructions' fault suppression guarantees.
inline __m256 MaskzSubPs(simde__mmask8 k, __m256 a, __m256 b) {
  alignas(32) float x[8], y[8], r[8];
  _mm256_store_ps(x, a);
  _mm256_store_ps(y, b);
  for (int i = 0; i < 8; ++i) r[i] = (k >> i & 1) ? x[i] - y[i] : 0.0f;
  return _mm256_load_ps(r);
}

inline simde__m512i Cvtepu32Epi64(__m256i a) {
  alignas(32) std::uint32_t in[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(in), a);
  std::uint64_t out[8];
  for (int i = 0; i < 8; ++i) out[i] = in[i];
  return simde_mm512_loadu_si512(out);
}

// Truncation toward zero; NaN and values out of range give the integer indefinite
// value, 0x80000000.
inline simde__m512i CvttpsEpi32(simde__m512 a) {
  float in[16];
  simde_mm512_storeu_ps(in, a);
  std::int32_t out[16];
  for (int i = 0; i < 16; ++i) {
    const float v = in[i];
    out[i] = (v > -2147483904.0f && v < 2147483648.0f) ? static_cast<std::int32_t>(v) : INT32_MIN;
  }
  return simde_mm512_loadu_si512(out);
}

inline simde__m512i MaskI32GatherEpi32(simde__m512i src, simde__mmask16 k, simde__m512i index, const void* base,
                                       int scale) {
  std::int32_t s[16], idx[16], out[16];
  simde_mm512_storeu_si512(s, src);
  simde_mm512_storeu_si512(idx, index);
  for (int i = 0; i < 16; ++i) {
    out[i] = s[i];
    if (k >> i & 1)
      std::memcpy(&out[i], static_cast<const char*>(base) + static_cast<std::ptrdiff_t>(idx[i]) * scale, sizeof out[i]);
  }
  return simde_mm512_loadu_si512(out);
}

inline void MaskStoreuEpi32(void* mem, simde__mmask16 k, simde__m512i a) {
  std::int32_t v[16];
  simde_mm512_storeu_si512(v, a);
  for (int i = 0; i < 16; ++i)
    if (k >> i & 1) std::memcpy(static_cast<char*>(mem) + 4 * i, &v[i], sizeof v[i]);
}

inline simde__m512 MaskzLoaduPs(simde__mmask16 k, const void* mem) {
  float v[16];
  for (int i = 0; i < 16; ++i) {
    v[i] = 0.0f;
    if (k >> i & 1) std::memcpy(&v[i], static_cast<const char*>(mem) + 4 * i, sizeof v[i]);
  }
  return simde_mm512_loadu_ps(v);
}

// Bytes of `a` in the lanes set in k, in order, at the front; the rest 0.
inline simde__m512i MaskzCompressEpi8(std::uint64_t k, simde__m512i a) {
  std::uint8_t in[64], out[64] = {};
  simde_mm512_storeu_si512(in, a);
  int to = 0;
  for (int i = 0; i < 64; ++i)
    if (k >> i & 1) out[to++] = in[i];
  return simde_mm512_loadu_si512(out);
}

// Sixteen bytes widened to 32-bit lanes, without sign.
inline simde__m512i Cvtepu8Epi32(__m128i a) {
  std::uint8_t in[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(in), a);
  std::int32_t out[16];
  for (int i = 0; i < 16; ++i) out[i] = in[i];
  return simde_mm512_loadu_si512(out);
}

}  // namespace mivex::vandrel::avx512emu

// Some of the processor's intrinsics are macros: each name is taken over whole.
#undef __m512i
#define __m512i simde__m512i
#undef __m512
#define __m512 simde__m512

#undef _mm256_cmp_ps_mask
#define _mm256_cmp_ps_mask simde_mm256_cmp_ps_mask
#undef _mm256_maskz_sub_ps
#define _mm256_maskz_sub_ps mivex::vandrel::avx512emu::MaskzSubPs
#undef _mm512_abs_ps
#define _mm512_abs_ps simde_mm512_abs_ps
#undef _mm512_add_epi32
#define _mm512_add_epi32 simde_mm512_add_epi32
#undef _mm512_add_epi64
#define _mm512_add_epi64 simde_mm512_add_epi64
#undef _mm512_add_ps
#define _mm512_add_ps simde_mm512_add_ps
#undef _mm512_and_si512
#define _mm512_and_si512 simde_mm512_and_si512
#undef _mm512_castps_si512
#define _mm512_castps_si512 simde_mm512_castps_si512
#undef _mm512_castsi512_ps
#define _mm512_castsi512_ps simde_mm512_castsi512_ps
#undef _mm512_castsi512_si128
#define _mm512_castsi512_si128 simde_mm512_castsi512_si128
#undef _mm512_cmp_ps_mask
#define _mm512_cmp_ps_mask simde_mm512_cmp_ps_mask
#undef _mm512_cmpge_epi64_mask
#define _mm512_cmpge_epi64_mask simde_mm512_cmpge_epi64_mask
#undef _mm512_cmpgt_epi64_mask
#define _mm512_cmpgt_epi64_mask simde_mm512_cmpgt_epi64_mask
#undef _mm512_cvtepi64_epi32
#define _mm512_cvtepi64_epi32 simde_mm512_cvtepi64_epi32
#undef _mm512_cvtepu32_epi64
#define _mm512_cvtepu32_epi64 mivex::vandrel::avx512emu::Cvtepu32Epi64
#undef _mm512_cvtepu8_epi32
#define _mm512_cvtepu8_epi32 mivex::vandrel::avx512emu::Cvtepu8Epi32
#undef _mm512_cvttps_epi32
#define _mm512_cvttps_epi32 mivex::vandrel::avx512emu::CvttpsEpi32
#undef _mm512_div_ps
#define _mm512_div_ps simde_mm512_div_ps
#undef _mm512_load_ps
#define _mm512_load_ps simde_mm512_load_ps
#undef _mm512_load_si512
#define _mm512_load_si512 simde_mm512_load_si512
#undef _mm512_loadu_si512
#define _mm512_loadu_si512 simde_mm512_loadu_si512
#undef _mm512_mask_add_epi32
#define _mm512_mask_add_epi32 simde_mm512_mask_add_epi32
#undef _mm512_mask_blend_ps
#define _mm512_mask_blend_ps simde_mm512_mask_blend_ps
#undef _mm512_mask_compressstoreu_epi32
#define _mm512_mask_compressstoreu_epi32 simde_mm512_mask_compressstoreu_epi32
#undef _mm512_mask_compressstoreu_epi64
#define _mm512_mask_compressstoreu_epi64 simde_mm512_mask_compressstoreu_epi64
#undef _mm512_mask_i32gather_epi32
#define _mm512_mask_i32gather_epi32 mivex::vandrel::avx512emu::MaskI32GatherEpi32
#undef _mm512_mask_storeu_epi32
#define _mm512_mask_storeu_epi32 mivex::vandrel::avx512emu::MaskStoreuEpi32
#undef _mm512_mask_sub_epi64
#define _mm512_mask_sub_epi64 simde_mm512_mask_sub_epi64
#undef _mm512_maskz_compress_epi8
#define _mm512_maskz_compress_epi8 mivex::vandrel::avx512emu::MaskzCompressEpi8
#undef _mm512_maskz_loadu_ps
#define _mm512_maskz_loadu_ps mivex::vandrel::avx512emu::MaskzLoaduPs
#undef _mm512_max_epi64
#define _mm512_max_epi64 simde_mm512_max_epi64
#undef _mm512_max_ps
#define _mm512_max_ps simde_mm512_max_ps
#undef _mm512_min_ps
#define _mm512_min_ps simde_mm512_min_ps
#undef _mm512_mul_ps
#define _mm512_mul_ps simde_mm512_mul_ps
#undef _mm512_mullo_epi32
#define _mm512_mullo_epi32 simde_mm512_mullo_epi32
#undef _mm512_or_si512
#define _mm512_or_si512 simde_mm512_or_si512
#undef _mm512_permutex2var_ps
#define _mm512_permutex2var_ps simde_mm512_permutex2var_ps
#undef _mm512_popcnt_epi64
#define _mm512_popcnt_epi64 simde_mm512_popcnt_epi64
#undef _mm512_set1_epi32
#define _mm512_set1_epi32 simde_mm512_set1_epi32
#undef _mm512_set1_epi64
#define _mm512_set1_epi64 simde_mm512_set1_epi64
#undef _mm512_set1_ps
#define _mm512_set1_ps simde_mm512_set1_ps
#undef _mm512_setr_epi32
#define _mm512_setr_epi32 simde_mm512_setr_epi32
#undef _mm512_setzero_ps
#define _mm512_setzero_ps simde_mm512_setzero_ps
#undef _mm512_setzero_si512
#define _mm512_setzero_si512 simde_mm512_setzero_si512
#undef _mm512_slli_epi64
#define _mm512_slli_epi64 simde_mm512_slli_epi64
#undef _mm512_sqrt_ps
#define _mm512_sqrt_ps simde_mm512_sqrt_ps
#undef _mm512_store_si512
#define _mm512_store_si512 simde_mm512_store_si512
#undef _mm512_sub_epi32
#define _mm512_sub_epi32 simde_mm512_sub_epi32
#undef _mm512_sub_ps
#define _mm512_sub_ps simde_mm512_sub_ps
#undef _mm512_test_epi32_mask
#define _mm512_test_epi32_mask simde_mm512_test_epi32_mask
#undef _mm512_xor_si512
#define _mm512_xor_si512 simde_mm512_xor_si512
