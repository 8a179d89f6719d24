#include "SimilarPairs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "VandrelParams.h"
#include "VectorIntrinsics.h"

namespace mivex::vandrel {
namespace {

using namespace params;
// The places in B's ordered rows of the minutiae that may pair with minutia k of A's
// direction order: one run (see MatchTemplate).
struct Run {
  int from, to;
};
inline Run RunNear(const MatchTemplate& A, const MatchTemplate& B, std::size_t k) {
  const MatchTemplate::TurnRun r = A.turnRuns[k];
  return {B.directionStarts[r.from], B.directionStarts[r.to]};
}

// The cylinders' differing and total marks over their common valid cells: |a xor b|
// and |a| + |b| = |a xor b| + 2 |a and b|; both 0 when too few cells are common.
// Without branches: which pairs have enough cells in common is data, not a pattern.
// A cylinder marks only its valid cells, so the marks both have lie in the common
// cells without masking.
struct MarkCounts {
  int diff = 0, norm = 0;
};
template <typename Count>
[[gnu::always_inline]] inline MarkCounts CountMarks(const Cylinder& a, const Cylinder& b, Count count) {
  const std::uint64_t v = a.valid & b.valid;
  const bool enough = count(v) >= kMinCommonCells;
  int diff = 0, both = 0;
  for (int d = 0; d < kCylinderDirections; ++d) {
    diff += count((a.bits[d] ^ b.bits[d]) & v);
    both += count(a.bits[d] & b.bits[d]);
  }
  return {enough ? diff : 0, enough ? diff + 2 * both : 0};
}

inline float Similarity(MarkCounts m) {
  const float ratio = static_cast<float>(m.diff) / static_cast<float>(std::max(m.norm, 1));
  return m.norm == 0 ? 0.0f : 1.0f - ratio;
}

struct PortableCount {
  int operator()(std::uint64_t x) const { return CountBits(x); }
};

// One pair at a time. Every pair visited is written and kept or not by the count,
// without a branch: whether a pair is alike enough is as good as random to the
// processor.
template <typename Count>
[[gnu::always_inline]] inline int CollectSimilarPairs(const MatchTemplate& A, const MatchTemplate& B, float least,
                                                      SimilarPair* out, Count count) {
  const std::uint64_t* const indexRow = B.orderedWords.data() + (kCylinderDirections + 1) * B.orderedStride;
  const std::size_t na = A.byDirection.size();
  int listed = 0;
  for (std::size_t k = 0; k < na; ++k) {
    const int i = A.byDirection[k];
    const Cylinder& ci = A.cylinders[i];
    const float cosI = A.cosDir[i], sinI = A.sinDir[i];
    const Run run = RunNear(A, B, k);
    for (int place = run.from; place < run.to; ++place) {
      const int j = static_cast<int>(indexRow[place]);
      const float similarity = Similarity(CountMarks(ci, B.cylinders[j], count));
      const bool turnable = cosI * B.cosDir[j] + sinI * B.sinDir[j] >= kMinPairTurnCos;
      out[listed] = SimilarPair(similarity, i, j);
      listed += int{turnable} & int{similarity >= least};
    }
  }
  return listed;
}

int CollectPortable(const MatchTemplate& A, const MatchTemplate& B, float least, SimilarPair* out) {
  return CollectSimilarPairs(A, B, least, out, PortableCount{});
}

#ifdef VANDREL_X86
// The same, compiled for the processor's bit count instruction: everything above is
// inlined here, where the builtin becomes that instruction.
__attribute__((target("popcnt"))) int CollectBitCount(const MatchTemplate& A, const MatchTemplate& B, float least,
                                                      SimilarPair* out) {
  return CollectSimilarPairs(A, B, least, out, [](std::uint64_t x) { return __builtin_popcountll(x); });
}

// Eight pairs at a time: one minutia of A against eight consecutive ones of B's
// direction order, read from its rows of words. The arithmetic is the one above, step
// by step (the same counts, the same single-precision division and turn test), so the
// pairs and their similarities are the same bit for bit; the kept ones are packed
// into the list in order.
static_assert(MatchTemplate::kOrderedSlack >= 7, "a vector of eight may start at the last cylinder");
VANDREL_INTRINSICS_BEGIN
__attribute__((target("avx512f,avx512vl,avx512vpopcntdq"))) int CollectVector(const MatchTemplate& A,
                                                                                const MatchTemplate& B, float least,
                                                                                SimilarPair* out) {
  const std::size_t stride = B.orderedStride;
  const std::uint64_t* const words = B.orderedWords.data();
  const std::uint64_t* const validRow = words + kCylinderDirections * stride;
  const std::uint64_t* const indexRow = validRow + stride;
  const float* const cosRow = B.orderedTurns.data();
  const float* const sinRow = cosRow + stride;
  const __m512i minCommon = _mm512_set1_epi64(kMinCommonCells), zero = _mm512_setzero_si512();
  const __m512i oneCount = _mm512_set1_epi64(1);
  const __m256 one = _mm256_set1_ps(1.0f), leastSimilar = _mm256_set1_ps(least);
  const __m256 minTurn = _mm256_set1_ps(kMinPairTurnCos);
  const __m256i allBits = _mm256_set1_epi32(-1);
  const std::size_t na = A.byDirection.size();
  int listed = 0;
  for (std::size_t k = 0; k < na; ++k) {
    const int i = A.byDirection[k];
    const Cylinder& ci = A.cylinders[i];
    __m512i aBits[kCylinderDirections];
    for (int d = 0; d < kCylinderDirections; ++d) aBits[d] = _mm512_set1_epi64(static_cast<long long>(ci.bits[d]));
    const __m512i aValid = _mm512_set1_epi64(static_cast<long long>(ci.valid));
    const __m512i aIndex = _mm512_set1_epi64(static_cast<long long>(i) << 16);
    const __m256 cosI = _mm256_set1_ps(A.cosDir[i]), sinI = _mm256_set1_ps(A.sinDir[i]);
    const Run run = RunNear(A, B, k);
    for (int place = run.from; place < run.to; place += 8) {
      const int left = run.to - place;
      const __mmask8 lanes = left >= 8 ? 0xFF : static_cast<__mmask8>((1u << left) - 1);
      const std::size_t p = static_cast<std::size_t>(place);
      const __m512i v = _mm512_and_si512(aValid, _mm512_loadu_si512(validRow + p));
      const __mmask8 enough = _mm512_cmpge_epi64_mask(_mm512_popcnt_epi64(v), minCommon);
      __m512i diff = zero, both = zero;
      for (int d = 0; d < kCylinderDirections; ++d) {
        const __m512i b = _mm512_loadu_si512(words + static_cast<std::size_t>(d) * stride + p);
        diff = _mm512_add_epi64(diff, _mm512_popcnt_epi64(_mm512_and_si512(_mm512_xor_si512(aBits[d], b), v)));
        both = _mm512_add_epi64(both, _mm512_popcnt_epi64(_mm512_and_si512(aBits[d], b)));
      }
      const __m512i norm = _mm512_add_epi64(diff, _mm512_add_epi64(both, both));
      const __mmask8 counted = enough & _mm512_cmpgt_epi64_mask(norm, zero);
      const __m256 ratio = _mm256_div_ps(_mm256_cvtepi32_ps(_mm512_cvtepi64_epi32(diff)),
                                         _mm256_cvtepi32_ps(_mm512_cvtepi64_epi32(_mm512_max_epi64(norm, oneCount))));
      const __m256 similarity = _mm256_maskz_sub_ps(counted, one, ratio);
      const __m256 turn = _mm256_add_ps(_mm256_mul_ps(cosI, _mm256_loadu_ps(cosRow + p)),
                                        _mm256_mul_ps(sinI, _mm256_loadu_ps(sinRow + p)));
      const __mmask8 keep = lanes & _mm256_cmp_ps_mask(turn, minTurn, _CMP_GE_OQ) &
                            _mm256_cmp_ps_mask(similarity, leastSimilar, _CMP_GE_OQ);
      const __m256i order = _mm256_xor_si256(_mm256_castps_si256(similarity), allBits);
      const __m512i keys = _mm512_or_si512(_mm512_slli_epi64(_mm512_cvtepu32_epi64(order), 32),
                                           _mm512_or_si512(aIndex, _mm512_loadu_si512(indexRow + p)));
      _mm512_mask_compressstoreu_epi64(out + listed, keep, keys);
      listed += __builtin_popcount(keep);
    }
  }
  return listed;
}

// Four pairs at a time with 256-bit vectors, for processors without the 512-bit ones:
// the same rows, counts and single-precision steps as above. Bits are counted a byte
// at a time by table lookups and once per pair into its lane. The six direction bins'
// words are first added up bit by bit (carry-save adders: how many of the six have
// each bit, in three binary digits), so that three words are counted instead of six.
__attribute__((target("avx2"), always_inline)) inline __m256i ByteCounts(__m256i x, __m256i table, __m256i nibble) {
  return _mm256_add_epi8(_mm256_shuffle_epi8(table, _mm256_and_si256(x, nibble)),
                         _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble)));
}
// The sum bit and the carry bit of x + y + z, bit by bit.
__attribute__((target("avx2"), always_inline)) inline void AddBits(__m256i x, __m256i y, __m256i z, __m256i& sum,
                                                                   __m256i& carry) {
  const __m256i xy = _mm256_xor_si256(x, y);
  sum = _mm256_xor_si256(xy, z);
  carry = _mm256_or_si256(_mm256_and_si256(x, y), _mm256_and_si256(z, xy));
}
// The bits set in six words, per byte (at most 48), within `mask`: the adders work
// bit by bit, so masking their three digits is masking the six words.
static_assert(kCylinderDirections == 6, "the adders take six direction bins");
__attribute__((target("avx2"), always_inline)) inline __m256i ByteCountsOfSix(const __m256i (&w)[6], __m256i mask,
                                                                              __m256i table, __m256i nibble) {
  __m256i s1, c1, s2, c2;
  AddBits(w[0], w[1], w[2], s1, c1);
  AddBits(w[3], w[4], w[5], s2, c2);
  const __m256i ones = _mm256_xor_si256(s1, s2), c3 = _mm256_and_si256(s1, s2);
  __m256i twos, fours;
  AddBits(c1, c2, c3, twos, fours);
  const __m256i two = ByteCounts(_mm256_and_si256(twos, mask), table, nibble);
  const __m256i four = ByteCounts(_mm256_and_si256(fours, mask), table, nibble);
  return _mm256_add_epi8(ByteCounts(_mm256_and_si256(ones, mask), table, nibble),
                         _mm256_add_epi8(_mm256_add_epi8(two, two), _mm256_slli_epi16(four, 2)));
}
// For each set of kept lanes among four 64-bit ones, the 32-bit halves that bring the
// kept lanes to the front in order.
struct KeptFirstTable {
  std::int32_t lanes[16][8];
};
constexpr KeptFirstTable MakeKeptFirst() {
  KeptFirstTable t{};
  for (int keep = 0; keep < 16; ++keep) {
    int to = 0;
    for (int lane = 0; lane < 4; ++lane)
      if (keep >> lane & 1) {
        t.lanes[keep][2 * to] = 2 * lane;
        t.lanes[keep][2 * to + 1] = 2 * lane + 1;
        ++to;
      }
  }
  return t;
}
constexpr KeptFirstTable kKeptFirstLanes = MakeKeptFirst();
__attribute__((target("avx2,popcnt"))) int CollectVector256(const MatchTemplate& A, const MatchTemplate& B,
                                                             float least, SimilarPair* out) {
  const std::size_t stride = B.orderedStride;
  const std::uint64_t* const words = B.orderedWords.data();
  const std::uint64_t* const validRow = words + kCylinderDirections * stride;
  const std::uint64_t* const indexRow = validRow + stride;
  const float* const cosRow = B.orderedTurns.data();
  const float* const sinRow = cosRow + stride;
  const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2, 2, 3, 1, 2,
                                         2, 3, 2, 3, 3, 4);
  const __m256i nibble = _mm256_set1_epi8(0x0F), zero = _mm256_setzero_si256();
  const __m256i fewestCommon = _mm256_set1_epi32(kMinCommonCells - 1), oneCount = _mm256_set1_epi32(1);
  const __m256 one = _mm256_set1_ps(1.0f), leastSimilar = _mm256_set1_ps(least);
  const __m128 minTurn = _mm_set1_ps(kMinPairTurnCos);
  const __m256i allBits = _mm256_set1_epi32(-1);
  // Whole vectors of keys are written while the list has room for them.
  const std::size_t room = A.minutiae.size() * B.minutiae.size();
  const std::size_t na = A.byDirection.size();
  int listed = 0;
  for (std::size_t k = 0; k < na; ++k) {
    const int i = A.byDirection[k];
    const Cylinder& ci = A.cylinders[i];
    const __m128 cosI = _mm_set1_ps(A.cosDir[i]), sinI = _mm_set1_ps(A.sinDir[i]);
    const __m256i aIndex = _mm256_set1_epi64x(static_cast<long long>(i) << 16);
    const Run run = RunNear(A, B, k);
    for (int place = run.from; place < run.to; place += 4) {
      const int left = std::min(run.to - place, 4);
      const std::size_t p = static_cast<std::size_t>(place);
      // A's words are broadcast from memory in every group, not held in registers:
      // sixteen cannot hold them beside the counting's, and a broadcast load costs
      // less than what spilling them costs.
      const __m256i aValid = _mm256_set1_epi64x(static_cast<long long>(ci.valid));
      const __m256i v = _mm256_and_si256(aValid, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(validRow + p)));
      __m256i differ[kCylinderDirections], shared[kCylinderDirections];
      for (int d = 0; d < kCylinderDirections; ++d) {
        const __m256i b =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + static_cast<std::size_t>(d) * stride + p));
        const __m256i a = _mm256_set1_epi64x(static_cast<long long>(ci.bits[d]));
        differ[d] = _mm256_xor_si256(a, b);
        shared[d] = _mm256_and_si256(a, b);
      }
      const __m256i diff8 = ByteCountsOfSix(differ, v, table, nibble);
      const __m256i both8 = ByteCountsOfSix(shared, allBits, table, nibble);
      // Each pair's sums lie in the low half of its 64-bit lane, the high half is 0:
      // worked on as eight 32-bit lanes, the odd ones come out 0 and are never read.
      const __m256i common = _mm256_sad_epu8(ByteCounts(v, table, nibble), zero);
      const __m256i diff = _mm256_sad_epu8(diff8, zero), both = _mm256_sad_epu8(both8, zero);
      const __m256i norm = _mm256_add_epi32(diff, _mm256_add_epi32(both, both));
      const __m256i counted =
          _mm256_and_si256(_mm256_cmpgt_epi32(common, fewestCommon), _mm256_cmpgt_epi32(norm, zero));
      const __m256 ratio =
          _mm256_div_ps(_mm256_cvtepi32_ps(diff), _mm256_cvtepi32_ps(_mm256_max_epi32(norm, oneCount)));
      const __m256 similarity = _mm256_and_ps(_mm256_sub_ps(one, ratio), _mm256_castsi256_ps(counted));
      const __m128 turn =
          _mm_add_ps(_mm_mul_ps(cosI, _mm_loadu_ps(cosRow + p)), _mm_mul_ps(sinI, _mm_loadu_ps(sinRow + p)));
      const __m256i turnable = _mm256_cvtepi32_epi64(_mm_castps_si128(_mm_cmpge_ps(turn, minTurn)));
      const __m256i alike = _mm256_castps_si256(_mm256_cmp_ps(similarity, leastSimilar, _CMP_GE_OQ));
      // Each pair's verdict, moved to the top of its lane, where the sign is read.
      const __m256i verdict = _mm256_slli_epi64(_mm256_and_si256(alike, turnable), 32);
      const int keep = _mm256_movemask_pd(_mm256_castsi256_pd(verdict)) & ((1 << left) - 1);
      if (static_cast<std::size_t>(listed) + 4 <= room) {
        // The four pairs' keys as SimilarPair forms them, the kept ones moved to the
        // front and all four written (past the run's end, lanes are never kept).
        const __m256i order = _mm256_xor_si256(_mm256_castps_si256(similarity), allBits);
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(indexRow + p));
        const __m256i keys = _mm256_or_si256(_mm256_slli_epi64(order, 32), _mm256_or_si256(aIndex, index));
        const __m256i front = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kKeptFirstLanes.lanes[keep]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + listed), _mm256_permutevar8x32_epi32(keys, front));
        listed += __builtin_popcount(static_cast<unsigned>(keep));
        continue;
      }
      alignas(32) float similar[8];
      _mm256_store_ps(similar, similarity);
      for (int lane = 0; lane < left; ++lane) {
        out[listed] = SimilarPair(similar[2 * lane], i, static_cast<int>(indexRow[p + static_cast<std::size_t>(lane)]));
        listed += keep >> lane & 1;
      }
    }
  }
  return listed;
}

// Each pair's place is the count of keys below its own, four pairs at a time against
// every key: a comparison whose answer is as good as random costs a sort a wrong
// guess, a count costs none. Keys are compared as signed numbers with the top bit
// flipped, as they order unsigned; the spare lanes of the last four hold the largest
// key, below none.
// -1 in the lanes of `own` above `key`, else 0.
__attribute__((target("avx2"), always_inline)) inline __m256i Below(std::uint64_t key, __m256i own) {
  return _mm256_cmpgt_epi64(own, _mm256_set1_epi64x(static_cast<long long>(key)));
}
__attribute__((target("avx2"))) void SortVector256(SimilarPair* pairs, int n) {
  constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
  alignas(32) std::uint64_t keys[kMostSortedAtOnce + 3];
  for (int k = 0; k < n; ++k) keys[k] = pairs[k].key() ^ kTop;
  for (int k = n; k < (n + 3) / 4 * 4; ++k) keys[k] = ~kTop;
  SimilarPair sorted[kMostSortedAtOnce];
  for (int k = 0; k < n; k += 4) {
    const __m256i own = _mm256_load_si256(reinterpret_cast<const __m256i*>(keys + k));
    // Two counts (of -1s), so that the additions do not wait on each other.
    __m256i count = _mm256_setzero_si256(), countToo = _mm256_setzero_si256();
    int other = 0;
    for (; other + 1 < n; other += 2) {
      count = _mm256_add_epi64(count, Below(keys[other], own));
      countToo = _mm256_add_epi64(countToo, Below(keys[other + 1], own));
    }
    if (other < n) count = _mm256_add_epi64(count, Below(keys[other], own));
    alignas(32) std::int64_t place[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(place), _mm256_add_epi64(count, countToo));
    for (int lane = 0; lane < 4 && k + lane < n; ++lane) sorted[-place[lane]] = pairs[k + lane];
  }
  std::copy(sorted, sorted + n, pairs);
}

// Sixteen pairs' places at a time with 512-bit vectors, each counted over every key
// as above; the places past the best `keep` all go to one spare entry.
__attribute__((target("avx512f"))) void RankVector(SimilarPair* pairs, int n, int keep) {
  constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
  constexpr int kLanes = 16;
  alignas(64) std::uint64_t keys[kMostRankedAtOnce + kLanes - 1];
  for (int k = 0; k < n; ++k) keys[k] = pairs[k].key() ^ kTop;
  for (int k = n; k < (n + kLanes - 1) / kLanes * kLanes; ++k) keys[k] = ~kTop;
  SimilarPair best[kMostSortedAtOnce + 1];
  const __m512i zero = _mm512_setzero_si512(), minusOne = _mm512_set1_epi64(-1);
  for (int k = 0; k < n; k += kLanes) {
    const __m512i own = _mm512_load_si512(keys + k), ownToo = _mm512_load_si512(keys + k + kLanes / 2);
    __m512i count = zero, countToo = zero;
    for (int other = 0; other < n; ++other) {
      const __m512i key = _mm512_set1_epi64(static_cast<long long>(keys[other]));
      count = _mm512_mask_sub_epi64(count, _mm512_cmpgt_epi64_mask(own, key), count, minusOne);
      countToo = _mm512_mask_sub_epi64(countToo, _mm512_cmpgt_epi64_mask(ownToo, key), countToo, minusOne);
    }
    alignas(64) std::int64_t place[kLanes];
    _mm512_store_si512(place, count);
    _mm512_store_si512(place + kLanes / 2, countToo);
    for (int lane = 0; lane < kLanes && k + lane < n; ++lane)
      best[std::min<std::int64_t>(place[lane], keep)] = pairs[k + lane];
  }
  std::copy(best, best + keep, pairs);
}
VANDREL_INTRINSICS_END
#endif

}  // namespace

void SortPairs(SimilarPair* pairs, int n, Kernel kernel) {
#ifdef VANDREL_X86
  if ((kernel == Kernel::Vector256 || kernel == Kernel::Vector) && n <= kMostSortedAtOnce &&
      KernelAvailable(Kernel::Vector256)) {
    SortVector256(pairs, n);
    return;
  }
#endif
  std::sort(pairs, pairs + n);
}

void SortBestPairs(SimilarPair* pairs, int n, int keep, Kernel kernel) {
  keep = std::min(keep, n);
  if (keep <= 0) return;
#ifdef VANDREL_X86
  if (kernel == Kernel::Vector && n <= kMostRankedAtOnce && keep <= kMostSortedAtOnce && KernelAvailable(kernel)) {
    RankVector(pairs, n, keep);
    return;
  }
#endif
  if (keep < n) std::nth_element(pairs, pairs + keep - 1, pairs + n);
  SortPairs(pairs, keep, kernel);
}

int SimilarPairs(const MatchTemplate& A, const MatchTemplate& B, float least, SimilarPair* out, Kernel kernel) {
#ifdef VANDREL_X86
  if (kernel == Kernel::Vector && KernelAvailable(kernel)) return CollectVector(A, B, least, out);
  if (kernel == Kernel::Vector256 && KernelAvailable(kernel)) return CollectVector256(A, B, least, out);
  if (kernel != Kernel::Portable && KernelAvailable(Kernel::BitCount)) return CollectBitCount(A, B, least, out);
#endif
  return CollectPortable(A, B, least, out);
}

}  // namespace mivex::vandrel
