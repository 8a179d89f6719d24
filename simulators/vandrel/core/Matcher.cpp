#include "Matcher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numbers>
#include <span>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "BlockOps.h"
#include "Kernels.h"
#include "PortableMath.h"
#include "SimilarPairs.h"
#include "VandrelParams.h"
#include "VectorIntrinsics.h"
#include "capture/ScoreScale.h"

namespace mivex::vandrel {
namespace {

using namespace params;

using Candidate = MatchCandidate;

// Whether pair c agrees with pair p: about the same rotation, the segment between the
// two minutiae of a as long as that between those of b, and turned by about that
// rotation. Lengths are compared tightly (elastic distortion changes them little);
// the segment's turn loosely, as each pair's rotation comes from two noisy minutia
// directions. The test is symmetric, bit for bit (swapping p and c negates the
// segments exactly and adds the rotations in the other order).
//
// All three tests are worked out and combined into one answer: each fails for a large
// share of pairs in no order a processor could foresee, and a wrong guess at each
// costs more than the arithmetic it would skip. Pairs turned half a turn apart have a
// mean rotation of length 0: dividing by it would raise the processor's invalid and
// divide-by-zero exceptions, which a host may have unmasked (and so crash). Its
// length is taken as at least 1 instead; that changes nothing where the rotation test
// passes, as rotations within its tolerance add up to a length of over 1.9.
static_assert(kCosDirectionTolerance >= 0, "rotations that agree add up to a length of at least sqrt(2)");
constexpr float kLeastMeanRotation = 1.0f;

[[gnu::always_inline]] inline bool Compatible(const Candidate& p, const Candidate& c) {
  const bool turnedAlike = p.cosRot * c.cosRot + p.sinRot * c.sinRot >= kCosDirectionTolerance;
  const float ax = c.ax - p.ax, ay = c.ay - p.ay, bx = c.bx - p.bx, by = c.by - p.by;
  const float la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
  const bool alikeLength = std::abs(la - lb) <= kDistanceTolerance + kDistanceToleranceRelative * la;
  // The rotation of the pair, as the mean of both pairs' rotations.
  float cr = p.cosRot + c.cosRot, sr = p.sinRot + c.sinRot;
  const float n = std::max(std::sqrt(cr * cr + sr * sr), kLeastMeanRotation);
  cr /= n, sr /= n;
  const float ex = cr * ax - sr * ay - bx, ey = sr * ax + cr * ay - by;
  const float allowed = kDistanceTolerance + kSegmentTurnTolerance * la;
  const bool alikeTurn = ex * ex + ey * ey <= allowed * allowed;
  return turnedAlike & alikeLength & alikeTurn;
}

[[gnu::always_inline]] inline Candidate MakeCandidate(const MatchTemplate& A, const MatchTemplate& B, int a, int b,
                                                      float similarity) {
  const Minutia &ma = A.minutiae[a], &mb = B.minutiae[b];
  return {similarity, a, b, A.cosDir[a] * B.cosDir[b] + A.sinDir[a] * B.sinDir[b],
          A.cosDir[a] * B.sinDir[b] - A.sinDir[a] * B.cosDir[b], ma.x, ma.y, mb.x, mb.y};
}

#if defined(__SSE2__)
static_assert(offsetof(Candidate, sinRot) == offsetof(Candidate, cosRot) + 4 &&
                  offsetof(Candidate, ax) == offsetof(Candidate, cosRot) + 8 &&
                  offsetof(Candidate, ay) == offsetof(Candidate, cosRot) + 12 &&
                  offsetof(Candidate, by) == offsetof(Candidate, bx) + 4,
              "a candidate's rotation and minutia of A load as four floats, its minutia of B as two");
// Four candidates' fields as lanes: each one's rotation and minutia of A loaded as a
// row and the rows transposed, its minutia of B as a pair.
struct FourLanes {
  __m128 cosRot, sinRot, ax, ay, bx, by;
};
[[gnu::always_inline]] inline FourLanes LoadFour(const Candidate* const* c) {
  FourLanes f{_mm_loadu_ps(&c[0]->cosRot), _mm_loadu_ps(&c[1]->cosRot), _mm_loadu_ps(&c[2]->cosRot),
              _mm_loadu_ps(&c[3]->cosRot), {}, {}};
  _MM_TRANSPOSE4_PS(f.cosRot, f.sinRot, f.ax, f.ay);
  const auto pairOf = [&c](std::size_t l) {
    return _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&c[l]->bx));
  };
  const __m128 b01 = _mm_unpacklo_ps(pairOf(0), pairOf(1)), b23 = _mm_unpacklo_ps(pairOf(2), pairOf(3));
  f.bx = _mm_movelh_ps(b01, b23), f.by = _mm_movehl_ps(b23, b01);
  return f;
}
#endif

// Compatible(p, c[l]) for four candidates at once, as bits 0 to 3: the scalar test's
// operations lane by lane, in the same order. Every lane's result is the one the scalar
// instruction rounds to, so the answers are exactly the scalar test's.
[[gnu::always_inline]] inline unsigned AgreeFour(const Candidate& p, const std::array<const Candidate*, 4>& c) {
#if defined(__SSE2__)
  const FourLanes f = LoadFour(c.data());
  const __m128 cc = f.cosRot, cs = f.sinRot, cax = f.ax, cay = f.ay, cbx = f.bx, cby = f.by;
  const auto all = [](float v) { return _mm_set1_ps(v); };
  const __m128 pc = all(p.cosRot), ps = all(p.sinRot);
  const __m128 turnedAlike =
      _mm_cmpge_ps(_mm_add_ps(_mm_mul_ps(pc, cc), _mm_mul_ps(ps, cs)), all(kCosDirectionTolerance));
  const __m128 ax = _mm_sub_ps(cax, all(p.ax)), ay = _mm_sub_ps(cay, all(p.ay));
  const __m128 bx = _mm_sub_ps(cbx, all(p.bx)), by = _mm_sub_ps(cby, all(p.by));
  const __m128 la = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(ax, ax), _mm_mul_ps(ay, ay)));
  const __m128 lb = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(bx, bx), _mm_mul_ps(by, by)));
  const __m128 difference = _mm_andnot_ps(all(-0.0f), _mm_sub_ps(la, lb));
  const __m128 alikeLength =
      _mm_cmple_ps(difference, _mm_add_ps(all(kDistanceTolerance), _mm_mul_ps(all(kDistanceToleranceRelative), la)));
  __m128 cr = _mm_add_ps(pc, cc), sr = _mm_add_ps(ps, cs);
  const __m128 n = _mm_max_ps(_mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(cr, cr), _mm_mul_ps(sr, sr))), all(kLeastMeanRotation));
  cr = _mm_div_ps(cr, n), sr = _mm_div_ps(sr, n);
  const __m128 ex = _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(cr, ax), _mm_mul_ps(sr, ay)), bx);
  const __m128 ey = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(sr, ax), _mm_mul_ps(cr, ay)), by);
  const __m128 allowed = _mm_add_ps(all(kDistanceTolerance), _mm_mul_ps(all(kSegmentTurnTolerance), la));
  const __m128 alikeTurn =
      _mm_cmple_ps(_mm_add_ps(_mm_mul_ps(ex, ex), _mm_mul_ps(ey, ey)), _mm_mul_ps(allowed, allowed));
  return static_cast<unsigned>(_mm_movemask_ps(_mm_and_ps(turnedAlike, _mm_and_ps(alikeLength, alikeTurn))));
#else
  unsigned agreeing = 0;
  for (unsigned l = 0; l < 4; ++l) agreeing |= static_cast<unsigned>(Compatible(p, *c[l])) << l;
  return agreeing;
#endif
}

#ifdef VANDREL_X86
// The same for eight candidates at once, as bits 0 to 7, with 256-bit vectors.
__attribute__((target("avx2"), always_inline)) inline unsigned AgreeEight(const Candidate& p,
                                                                        const std::array<const Candidate*, 8>& c) {
  const FourLanes low = LoadFour(c.data()), high = LoadFour(c.data() + 4);
  const __m256 cc = _mm256_set_m128(high.cosRot, low.cosRot), cs = _mm256_set_m128(high.sinRot, low.sinRot);
  const __m256 cax = _mm256_set_m128(high.ax, low.ax), cay = _mm256_set_m128(high.ay, low.ay);
  const __m256 cbx = _mm256_set_m128(high.bx, low.bx), cby = _mm256_set_m128(high.by, low.by);
  const __m256 pc = _mm256_set1_ps(p.cosRot), ps = _mm256_set1_ps(p.sinRot);
  const __m256 turnedAlike = _mm256_cmp_ps(_mm256_add_ps(_mm256_mul_ps(pc, cc), _mm256_mul_ps(ps, cs)),
                                           _mm256_set1_ps(kCosDirectionTolerance), _CMP_GE_OS);
  const __m256 ax = _mm256_sub_ps(cax, _mm256_set1_ps(p.ax)), ay = _mm256_sub_ps(cay, _mm256_set1_ps(p.ay));
  const __m256 bx = _mm256_sub_ps(cbx, _mm256_set1_ps(p.bx)), by = _mm256_sub_ps(cby, _mm256_set1_ps(p.by));
  const __m256 la = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(ax, ax), _mm256_mul_ps(ay, ay)));
  const __m256 lb = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(bx, bx), _mm256_mul_ps(by, by)));
  const __m256 difference = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(la, lb));
  const __m256 alikeLength = _mm256_cmp_ps(
      difference,
      _mm256_add_ps(_mm256_set1_ps(kDistanceTolerance), _mm256_mul_ps(_mm256_set1_ps(kDistanceToleranceRelative), la)),
      _CMP_LE_OS);
  __m256 cr = _mm256_add_ps(pc, cc), sr = _mm256_add_ps(ps, cs);
  const __m256 n = _mm256_max_ps(_mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(cr, cr), _mm256_mul_ps(sr, sr))),
                                 _mm256_set1_ps(kLeastMeanRotation));
  cr = _mm256_div_ps(cr, n), sr = _mm256_div_ps(sr, n);
  const __m256 ex = _mm256_sub_ps(_mm256_sub_ps(_mm256_mul_ps(cr, ax), _mm256_mul_ps(sr, ay)), bx);
  const __m256 ey = _mm256_sub_ps(_mm256_add_ps(_mm256_mul_ps(sr, ax), _mm256_mul_ps(cr, ay)), by);
  const __m256 allowed =
      _mm256_add_ps(_mm256_set1_ps(kDistanceTolerance), _mm256_mul_ps(_mm256_set1_ps(kSegmentTurnTolerance), la));
  const __m256 alikeTurn = _mm256_cmp_ps(_mm256_add_ps(_mm256_mul_ps(ex, ex), _mm256_mul_ps(ey, ey)),
                                         _mm256_mul_ps(allowed, allowed), _CMP_LE_OS);
  return static_cast<unsigned>(_mm256_movemask_ps(_mm256_and_ps(turnedAlike, _mm256_and_ps(alikeLength, alikeTurn))));
}
#endif

// Whether k agrees with each of the first `count` pairs of `set`, judged four at a
// time: the test is symmetric, so judging k against them is judging them against k.
[[gnu::always_inline]] inline bool AgreesWithEach(const Candidate& k, const Candidate* set, std::size_t count) {
  for (std::size_t s = 0; s < count; s += 4) {
    std::array<const Candidate*, 4> group;
    for (std::size_t l = 0; l < group.size(); ++l) group[l] = &set[std::min(s + l, count - 1)];
    if (AgreeFour(k, group) != 0xF) return false;
  }
  return true;
}

struct Rigid {
  float c = 1, s = 0, tx = 0, ty = 0;
};

// Least-squares rotation and translation taking the paired minutiae of A onto B.
[[gnu::always_inline]] inline Rigid FitPairs(const MatchTemplate& A, const MatchTemplate& B,
                                             const std::vector<Candidate>& set) {
  float ax = 0, ay = 0, bx = 0, by = 0;
  for (const Candidate& k : set) {
    ax += A.minutiae[k.a].x, ay += A.minutiae[k.a].y, bx += B.minutiae[k.b].x, by += B.minutiae[k.b].y;
  }
  const float n = static_cast<float>(set.size());
  ax /= n, ay /= n, bx /= n, by /= n;
  float sxx = 0, sxy = 0;
  for (const Candidate& k : set) {
    const float px = A.minutiae[k.a].x - ax, py = A.minutiae[k.a].y - ay;
    const float qx = B.minutiae[k.b].x - bx, qy = B.minutiae[k.b].y - by;
    sxx += px * qx + py * qy;
    sxy += px * qy - py * qx;
  }
  const float len = std::sqrt(sxx * sxx + sxy * sxy);
  Rigid r;
  if (len > 0) {
    r.c = sxx / len;
    r.s = sxy / len;
  }
  r.tx = bx - (r.c * ax - r.s * ay);
  r.ty = by - (r.s * ax + r.c * ay);
  return r;
}

constexpr std::uint64_t Bit(int c) { return std::uint64_t{1} << c; }

// Judgements so far: judged[x] has bit y when x and y were compared, agrees[x] when
// they agreed (with 512-bit vectors, noted in the rows of x alone when x was judged
// against y). Only the first `count` candidates' rows are cleared and read: most
// comparisons keep fewer than the most candidates.
struct Judgements {
  explicit Judgements(int count) {
    std::fill_n(judged.begin(), count, 0);
    std::fill_n(agrees.begin(), count, 0);
  }
  std::array<std::uint64_t, kCandidatePairs> judged, agrees;
};

// Whether candidate c agrees with all of `members`, `openAfter` being the candidates
// still open after c.
//
// A member is judged against the candidate at hand and the next three still open at
// once: those are next in line, so their judgements are ready when they come up.
// Whether a candidate agrees is unforeseeable (a third of them do), so a decision
// that waits on the pairwise test's long chain of roots and quotients stalls the
// processor after each wrong guess; one read from the judgements does not. The
// judgements of candidates that a joining one closes first are extra work, but cheap.
[[gnu::always_inline]] inline bool AgreesWithAll(const std::array<Candidate, kCandidatePairs>& candidates,
                                                 Judgements& j, std::uint64_t members, int c, std::uint64_t openAfter) {
  if (members & j.judged[c] & ~j.agrees[c]) return false;
  std::uint64_t unjudged = members & ~j.judged[c];
  if (unjudged == 0) return true;
  // Fewer than three open after c leave c in the spare lanes.
  std::array<int, 4> next{c, c, c, c};
  std::array<const Candidate*, 4> group;
  for (std::size_t l = 0; l < next.size(); ++l) {
    if (l > 0 && openAfter != 0) next[l] = LowestBit(openAfter), openAfter &= openAfter - 1;
    group[l] = &candidates[static_cast<std::size_t>(next[l])];
  }
  for (; unjudged != 0; unjudged &= unjudged - 1) {
    const int m = LowestBit(unjudged);
    const unsigned agreeing = AgreeFour(candidates[m], group);
    std::uint64_t judged = 0, agreed = 0;
    for (std::size_t l = 0; l < next.size(); ++l) {
      const std::uint64_t ok = agreeing >> l & 1;
      judged |= Bit(next[l]);
      agreed |= ok << next[l];
      j.judged[next[l]] |= Bit(m);
      j.agrees[next[l]] |= ok << m;
    }
    j.judged[m] |= judged;
    j.agrees[m] |= agreed;
    if (!(agreeing & 1)) return false;
  }
  return true;
}

// The set grown from each seed that scores best: its members, its seed and their
// similarities' total.
struct BestSet {
  std::uint64_t members = 0;
  int seed = 0;
  float total = 0;
};

// Grows a set from each seed and keeps the best: grow(seed) gives the members of the
// set grown from that seed and their similarities' total. Seeds already taken into an
// earlier set of three or more would mostly grow that set again and are skipped.
template <typename Grow>
[[gnu::always_inline]] inline BestSet BestOfSeeds(int seeds, const Grow& grow) {
  std::uint64_t taken = 0;
  BestSet best;
  for (int seed = 0; seed < seeds; ++seed) {
    if (taken & Bit(seed)) continue;
    const auto [members, total] = grow(seed);
    if (CountBits(members) >= 3) taken |= members;
    if (total > best.total) best = {members, seed, total};
  }
  return best;
}

// A set is its seed and the candidates it took, which join in order of similarity:
// each candidate still open is judged against the members when its turn comes.
[[gnu::always_inline]] inline BestSet GrowSets(const std::array<Candidate, kCandidatePairs>& candidates, int count,
                                               const std::array<std::uint64_t, kCandidatePairs>& leaves, int seeds) {
  Judgements judgements(count);
  return BestOfSeeds(seeds, [&](int seed) __attribute__((always_inline)) {
    std::uint64_t members = Bit(seed);
    float total = candidates[seed].similarity;
    // Candidates still open, visited in order of similarity.
    for (std::uint64_t open = leaves[seed]; open != 0;) {
      const int c = LowestBit(open);
      open &= open - 1;
      if (!AgreesWithAll(candidates, judgements, members, c, open)) continue;
      members |= Bit(c);
      total += candidates[c].similarity;
      open &= leaves[c];
    }
    return std::pair{members, total};
  });
}

// The same sets, grown with every seed and every candidate that joins judged at once
// against all those still open beside it (Judge: sixteen or eight at a time): the
// open ones it disagrees with close, so the next one open agrees with every member and
// joins without a test. A growing set then waits on one test per member, not on one
// per candidate visited, and the test's lanes are filled.
template <typename Judge>
[[gnu::always_inline]] inline BestSet GrowSetsJudgingAtOnce(const std::array<Candidate, kCandidatePairs>& candidates,
                                                            int count,
                                                            const std::array<std::uint64_t, kCandidatePairs>& leaves,
                                                            int seeds, const Judge& judge) {
  Judgements j(count);
  return BestOfSeeds(seeds, [&](int seed) __attribute__((always_inline)) {
    std::uint64_t members = Bit(seed);
    float total = candidates[seed].similarity;
    // Candidates still open, all agreeing with every member so far.
    std::uint64_t open = leaves[seed];
    for (int c = seed;;) {
      judge(j, c, open);
      open &= j.agrees[c];
      if (open == 0) break;
      c = LowestBit(open);
      members |= Bit(c);
      total += candidates[c].similarity;
      open &= leaves[c];
    }
    return std::pair{members, total};
  });
}

#if defined(VANDREL_X86) && defined(__x86_64__)
VANDREL_INTRINSICS_BEGIN
// The candidates' fields the pairwise test reads, each a row of 64 (unused places 0),
// so that any sixteen candidates' fields are picked by their numbers.
struct CandidateRows {
  alignas(64) float cosRot[64], sinRot[64], ax[64], ay[64], bx[64], by[64];
};

__attribute__((target("avx512f"), always_inline)) inline __m512 Pick(const float* row, __m512i index) {
  const __m512 low = _mm512_permutex2var_ps(_mm512_load_ps(row), index, _mm512_load_ps(row + 16));
  const __m512 high = _mm512_permutex2var_ps(_mm512_load_ps(row + 32), index, _mm512_load_ps(row + 48));
  return _mm512_mask_blend_ps(_mm512_test_epi32_mask(index, _mm512_set1_epi32(32)), low, high);
}

__attribute__((target("avx512f"), always_inline)) inline __m512 All(float v) { return _mm512_set1_ps(v); }

// Compatible(p, c) for the sixteen candidates numbered by `index`, as lane bits: the
// scalar test's operations lane by lane and in its order, so every answer is its own.
__attribute__((target("avx512f"), always_inline)) inline unsigned AgreeSixteen(const Candidate& p,
                                                                                 const CandidateRows& f,
                                                                                 __m512i index) {
  const __m512 cc = Pick(f.cosRot, index), cs = Pick(f.sinRot, index);
  const __m512 pc = All(p.cosRot), ps = All(p.sinRot);
  const __mmask16 turnedAlike = _mm512_cmp_ps_mask(_mm512_add_ps(_mm512_mul_ps(pc, cc), _mm512_mul_ps(ps, cs)),
                                                   All(kCosDirectionTolerance), _CMP_GE_OQ);
  const __m512 ax = _mm512_sub_ps(Pick(f.ax, index), All(p.ax)), ay = _mm512_sub_ps(Pick(f.ay, index), All(p.ay));
  const __m512 bx = _mm512_sub_ps(Pick(f.bx, index), All(p.bx)), by = _mm512_sub_ps(Pick(f.by, index), All(p.by));
  const __m512 la = _mm512_sqrt_ps(_mm512_add_ps(_mm512_mul_ps(ax, ax), _mm512_mul_ps(ay, ay)));
  const __m512 lb = _mm512_sqrt_ps(_mm512_add_ps(_mm512_mul_ps(bx, bx), _mm512_mul_ps(by, by)));
  const __mmask16 alikeLength =
      _mm512_cmp_ps_mask(_mm512_abs_ps(_mm512_sub_ps(la, lb)),
                         _mm512_add_ps(All(kDistanceTolerance), _mm512_mul_ps(All(kDistanceToleranceRelative), la)),
                         _CMP_LE_OQ);
  __m512 cr = _mm512_add_ps(pc, cc), sr = _mm512_add_ps(ps, cs);
  const __m512 n =
      _mm512_max_ps(_mm512_sqrt_ps(_mm512_add_ps(_mm512_mul_ps(cr, cr), _mm512_mul_ps(sr, sr))), All(kLeastMeanRotation));
  cr = _mm512_div_ps(cr, n), sr = _mm512_div_ps(sr, n);
  const __m512 ex = _mm512_sub_ps(_mm512_sub_ps(_mm512_mul_ps(cr, ax), _mm512_mul_ps(sr, ay)), bx);
  const __m512 ey = _mm512_sub_ps(_mm512_add_ps(_mm512_mul_ps(sr, ax), _mm512_mul_ps(cr, ay)), by);
  const __m512 allowed = _mm512_add_ps(All(kDistanceTolerance), _mm512_mul_ps(All(kSegmentTurnTolerance), la));
  const __mmask16 alikeTurn = _mm512_cmp_ps_mask(_mm512_add_ps(_mm512_mul_ps(ex, ex), _mm512_mul_ps(ey, ey)),
                                                 _mm512_mul_ps(allowed, allowed), _CMP_LE_OQ);
  return static_cast<unsigned>(turnedAlike & alikeLength & alikeTurn);
}

// The first `count` candidates' rows; the places after them 0.
inline void FillRows(const std::array<Candidate, kCandidatePairs>& candidates, int count, CandidateRows& f) {
  for (std::size_t c = 0; c < kCandidatePairs; ++c) {
    const Candidate k = c < static_cast<std::size_t>(count) ? candidates[c] : Candidate{};
    f.cosRot[c] = k.cosRot, f.sinRot[c] = k.sinRot, f.ax[c] = k.ax, f.ay[c] = k.ay, f.bx[c] = k.bx, f.by[c] = k.by;
  }
}

// Judges candidate c against every one of `ask` not judged against it yet, up to
// sixteen at once, and notes the judgements in c's rows alone: a row is only read for
// its own candidate, and noting each judgement in the other's rows as well costs
// more, lane by lane, than judging again the few pairs asked for from both sides.
struct JudgeSixteen {
  const std::array<Candidate, kCandidatePairs>& candidates;
  const CandidateRows& rows;
  __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi2,popcnt"))) void operator()(Judgements& j, int c,
                                                                                       std::uint64_t ask) const {
    static constexpr std::uint8_t kNumbers[64] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                                  16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                                  32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                                  48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
    const __m512i numbers = _mm512_loadu_si512(kNumbers);
    for (ask &= ~j.judged[c]; ask != 0;) {
      // The numbers of the first sixteen asked for, in order; lanes past them hold 0.
      const __m512i index = _mm512_cvtepu8_epi32(_mm512_castsi512_si128(_mm512_maskz_compress_epi8(ask, numbers)));
      const unsigned lanes = (1u << std::min(__builtin_popcountll(ask), 16)) - 1;
      const unsigned agreeing = AgreeSixteen(candidates[c], rows, index) & lanes;
      const std::uint64_t judged = _pdep_u64(lanes, ask);
      j.judged[c] |= judged;
      j.agrees[c] |= _pdep_u64(agreeing, ask);
      ask &= ~judged;
    }
  }
};

__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi2,popcnt,bmi"))) BestSet GrowSets512(
    const std::array<Candidate, kCandidatePairs>& candidates, int count,
    const std::array<std::uint64_t, kCandidatePairs>& leaves, int seeds) {
  CandidateRows f;
  FillRows(candidates, count, f);
  return GrowSetsJudgingAtOnce(candidates, count, leaves, seeds, JudgeSixteen{candidates, f});
}
VANDREL_INTRINSICS_END
#endif

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// Judges candidate c against every one of `ask` not judged against it yet, eight at a
// time, noted as JudgeSixteen notes them. Spare lanes hold c itself, whose answers are
// dropped: `ask` never holds c.
struct JudgeEight {
  const std::array<Candidate, kCandidatePairs>& candidates;
  __attribute__((target("avx2,bmi,popcnt"))) void operator()(Judgements& j, int c, std::uint64_t ask) const {
    for (ask &= ~j.judged[c]; ask != 0;) {
      std::array<int, 8> number;
      std::array<const Candidate*, 8> group;
      std::uint64_t rest = ask;
      for (std::size_t l = 0; l < number.size(); ++l) {
        number[l] = rest != 0 ? LowestBit(rest) : c;
        rest &= rest - 1;
        group[l] = &candidates[static_cast<std::size_t>(number[l])];
      }
      const unsigned agreeing = AgreeEight(candidates[c], group);
      std::uint64_t agreed = 0;
      for (std::size_t l = 0; l < number.size(); ++l) agreed |= std::uint64_t{agreeing >> l & 1} << number[l];
      j.judged[c] |= ask & ~rest;
      j.agrees[c] |= agreed & ask;
      ask = rest;
    }
  }
};

__attribute__((target("avx2,bmi,popcnt"))) BestSet GrowSets256(const std::array<Candidate, kCandidatePairs>& candidates,
                                                               int count,
                                                               const std::array<std::uint64_t, kCandidatePairs>& leaves,
                                                               int seeds) {
  return GrowSetsJudgingAtOnce(candidates, count, leaves, seeds, JudgeEight{candidates});
}
VANDREL_INTRINSICS_END
#endif

// How much a minutia that found no partner counts, by its quality.
[[gnu::always_inline]] inline float OverlapWeight(float quality) {
  return 1.0f - kOverlapQualityDiscount * std::max(0.0f, 1.0f - quality * (1 / kOverlapFullQuality));
}

}  // namespace

bool PairsAgree(const MatchCandidate& p, const MatchCandidate& c) { return Compatible(p, c); }

unsigned PairsAgreeFour(const MatchCandidate& p, const std::array<MatchCandidate, 4>& c) {
  return AgreeFour(p, {&c[0], &c[1], &c[2], &c[3]});
}

std::uint64_t PairsAgreeAtOnce(const MatchCandidate& p, std::span<const MatchCandidate> others, Kernel kernel) {
  const std::size_t n = std::min<std::size_t>(others.size(), kCandidatePairs - 1);
  std::array<Candidate, kCandidatePairs> candidates{};
  candidates[0] = p;
  std::copy_n(others.begin(), n, candidates.begin() + 1);
  const int count = static_cast<int>(n) + 1;
  // Candidates 1 to n.
  const std::uint64_t ask = (~std::uint64_t{0} >> (kCandidatePairs - 1 - n)) & ~Bit(0);
  Judgements j(count);
#ifdef VANDREL_X86
#ifdef __x86_64__
  if (kernel == Kernel::Vector && KernelAvailable(kernel)) {
    CandidateRows rows;
    FillRows(candidates, count, rows);
    JudgeSixteen{candidates, rows}(j, 0, ask);
    return j.agrees[0] >> 1;
  }
#endif
  if ((kernel == Kernel::Vector256 || kernel == Kernel::Vector) && KernelAvailable(Kernel::Vector256)) {
    JudgeEight{candidates}(j, 0, ask);
    return j.agrees[0] >> 1;
  }
#endif
  std::uint64_t agreeing = 0;
  for (std::size_t k = 0; k < n; ++k) agreeing |= std::uint64_t{Compatible(p, others[k])} << k;
  return agreeing;
}

MatchResult MatchTemplates(const MatchTemplate& A, const MatchTemplate& B) {
  MatchScratch scratch;
  MatchResult result;
  MatchTemplates(A, B, scratch, result);
  return result;
}

namespace {

// What the expansion's scan of B's rows reads and writes besides its own minutia: B's
// minutiae already paired, and for each minutia of B the squared distance to the
// nearest minutia of A so far (reachOfB) and which that is (nearestOfB); it appends
// the minutiae within reach of A's to `near`.
struct RigidScan {
  const std::uint8_t* usedB;
  float* reachOfB;
  int* nearestOfB;
  int* near;
};

// Scans B's rows [from, to) for A's minutia i, aligned at (x, y): when i is not paired
// yet (`expands`), appends to scan.near the minutiae of B within kExpansionReach that
// are not paired either; makes i the nearest of the minutiae it is nearest to so far;
// returns its own nearest (-1: none). Nearest counts among minutiae closer than
// kRigidReach and turned as the fitted motion turns.
[[gnu::always_inline]] inline int ScanRows(const MatchTemplate& A, const MatchTemplate& B, const Rigid& fit, int i,
                                           float x, float y, int from, int to, bool expands, const RigidScan& scan,
                                           int& nearCount) {
  float closest = kRigidReach * kRigidReach;
  int partner = -1;
  for (int place = from; place < to; ++place) {
    const std::size_t p = static_cast<std::size_t>(place);
    const float dx = B.sortedX[p] - x, dy = B.sortedY[p] - y, d = dx * dx + dy * dy;
    if (d > kExpansionReach * kExpansionReach) continue;
    const int j = B.byY[p];
    if (expands && !scan.usedB[j]) scan.near[nearCount++] = j;
    if (d >= closest && d >= scan.reachOfB[j]) continue;
    const Candidate k = MakeCandidate(A, B, i, j, 0);
    if (k.cosRot * fit.c + k.sinRot * fit.s < kCosDirectionTolerance) continue;
    if (d < closest) {
      closest = d;
      partner = j;
    }
    if (d < scan.reachOfB[j]) {
      scan.reachOfB[j] = d;
      scan.nearestOfB[j] = i;
    }
  }
  return partner;
}

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// The same scan eight rows at a time: each row's distance and turn are worked out lane
// by lane with the scalar scan's operations, so they are the same numbers; the rows
// within reach, and the few close and turned alike enough to be someone's nearest,
// then go through the scalar scan's steps in row order. Rows past `to` are not read.
__attribute__((target("avx2"))) int ScanRowsWide(
    const MatchTemplate& A, const MatchTemplate& B, const Rigid& fit, int i, float x, float y, int from, int to,
    bool expands, const RigidScan& scan, int& nearCount) {
  float closest = kRigidReach * kRigidReach;
  int partner = -1;
  const __m256 px = _mm256_set1_ps(x), py = _mm256_set1_ps(y);
  const __m256 ac = _mm256_set1_ps(A.cosDir[static_cast<std::size_t>(i)]);
  const __m256 as = _mm256_set1_ps(A.sinDir[static_cast<std::size_t>(i)]);
  const __m256 fc = _mm256_set1_ps(fit.c), fs = _mm256_set1_ps(fit.s);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  float distance[8];
  for (int place = from; place < to; place += 8) {
    const std::size_t p = static_cast<std::size_t>(place);
    const __m256i inRun = _mm256_cmpgt_epi32(_mm256_set1_epi32(to - place), lane);
    const __m256 dx = _mm256_sub_ps(_mm256_maskload_ps(B.sortedX.data() + p, inRun), px);
    const __m256 dy = _mm256_sub_ps(_mm256_maskload_ps(B.sortedY.data() + p, inRun), py);
    const __m256 d = _mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy));
    const __m256 bc = _mm256_maskload_ps(B.sortedCos.data() + p, inRun);
    const __m256 bs = _mm256_maskload_ps(B.sortedSin.data() + p, inRun);
    const __m256 cosRot = _mm256_add_ps(_mm256_mul_ps(ac, bc), _mm256_mul_ps(as, bs));
    const __m256 sinRot = _mm256_sub_ps(_mm256_mul_ps(ac, bs), _mm256_mul_ps(as, bc));
    const __m256 turn = _mm256_add_ps(_mm256_mul_ps(cosRot, fc), _mm256_mul_ps(sinRot, fs));
    const __m256 reach = _mm256_cmp_ps(d, _mm256_set1_ps(kExpansionReach * kExpansionReach), _CMP_NGT_UQ);
    const __m256 turnedAlike = _mm256_cmp_ps(turn, _mm256_set1_ps(kCosDirectionTolerance), _CMP_NLT_UQ);
    const __m256 rigidReach = _mm256_cmp_ps(d, _mm256_set1_ps(kRigidReach * kRigidReach), _CMP_LT_OQ);
    const unsigned run = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(inRun)));
    unsigned within = static_cast<unsigned>(_mm256_movemask_ps(reach)) & run;
    // Only a row closer than kRigidReach can be nearer than the nearest so far (both
    // start there).
    unsigned close = static_cast<unsigned>(_mm256_movemask_ps(_mm256_and_ps(turnedAlike, rigidReach))) & run;
    if (expands) {
      for (; within != 0; within &= within - 1) {
        const int j = B.byY[p + static_cast<std::size_t>(std::countr_zero(within))];
        if (!scan.usedB[j]) scan.near[nearCount++] = j;
      }
    }
    if (close == 0) continue;
    _mm256_storeu_ps(distance, d);
    for (; close != 0; close &= close - 1) {
      const int l = std::countr_zero(close);
      const int j = B.byY[p + static_cast<std::size_t>(l)];
      if (distance[l] < closest) {
        closest = distance[l];
        partner = j;
      }
      if (distance[l] < scan.reachOfB[j]) {
        scan.reachOfB[j] = distance[l];
        scan.nearestOfB[j] = i;
      }
    }
  }
  return partner;
}
VANDREL_INTRINSICS_END
#endif

// kWide: the body compiled for processors with 256-bit vector instructions, where
// some of its loops take eight at a time.
template <bool kWide>
[[gnu::always_inline]] inline void Match(const MatchTemplate& A, const MatchTemplate& B, MatchScratch& scratch,
                                         MatchResult& result, Kernel kernel) {
  result.raw = 0;
  result.score = 0;
  result.pairs.clear();
  result.similaritySum = result.overlapA = result.overlapB = 0;
  result.rigidPairs = 0;
  const int na = static_cast<int>(A.minutiae.size()), nb = static_cast<int>(B.minutiae.size());
  if (na < 2 || nb < 2) return;
  const std::size_t room = static_cast<std::size_t>(na) * static_cast<std::size_t>(nb);
  if (scratch.similarCapacity < room) {
    scratch.similar = std::make_unique_for_overwrite<SimilarPair[]>(room);
    scratch.similarCapacity = room;
  }
  SimilarPair* const buffer = scratch.similar.get();
  const int listed = SimilarPairs(A, B, kMinPairSimilarity, buffer, kernel);
  const std::span<SimilarPair> similar(buffer, static_cast<std::size_t>(listed));
  if (similar.empty()) return;
  const std::size_t keep = std::min<std::size_t>(similar.size(), kCandidatePairs);
  // Equal similarities are common (ratios of small counts): ordered by index, the
  // candidates do not depend on the order pairs were listed in.
  static_assert(kCandidatePairs <= kMostSortedAtOnce, "the candidates are sorted at once");
  SortBestPairs(similar.data(), listed, static_cast<int>(keep), kernel);
  std::array<Candidate, kCandidatePairs> candidates;
  for (std::size_t c = 0; c < keep; ++c) candidates[c] = MakeCandidate(A, B, similar[c].a(), similar[c].b(), similar[c].similarity());

  // Grow a mutually compatible set from each of the best local matches; keep the
  // set with the highest total similarity. Seeds already taken into an earlier set
  // would mostly grow that set again and are skipped. Sets of candidates are 64-bit
  // masks, so what a grown set rules out (candidates sharing a minutia with a member,
  // or turned too differently) leaves the open candidates without a branch; a pair of
  // candidates is judged once (with 512-bit vectors, at most once from either side).
  const int count = static_cast<int>(keep);
  static_assert(kCandidatePairs <= 64, "candidate sets are 64-bit masks");
  // Candidates sharing a minutia of A or of B with candidate c (c among them).
  std::vector<std::uint64_t>& sharing = scratch.sharing;
  sharing.assign(static_cast<std::size_t>(na + nb), 0);
  std::uint64_t* const withA = sharing.data();
  std::uint64_t* const withB = withA + na;
  for (int c = 0; c < count; ++c) {
    withA[candidates[c].a] |= Bit(c);
    withB[candidates[c].b] |= Bit(c);
  }
  // Pairs whose rotations differ by more than the tolerance never agree. Rotations in
  // sectors of 5 degrees: a candidate can only agree with those of its own sector and
  // the four on either side, a superset narrowed by the exact test.
  constexpr int kSectors = 72;
  constexpr int kSectorReach = 4;
  static_assert(kCosDirectionTolerance >= 0.9397f, "rotations that agree lie within 20 degrees of each other");
  // The sectors' members are listed from kSectorReach before the first sector to
  // kSectorReach past the last, wrapping round, so that the sectors around any one are
  // consecutive entries.
  std::uint64_t sectorMembers[kSectors + 2 * kSectorReach] = {};
  std::array<int, kCandidatePairs> sector;
  for (int c = 0; c < count; ++c) {
    constexpr float kTurn = 2 * std::numbers::pi_v<float>;
    const float turn = B.minutiae[candidates[c].b].direction - A.minutiae[candidates[c].a].direction;
    const float turns = turn * (1 / kTurn);
    sector[c] = std::clamp(static_cast<int>((turns - std::floor(turns)) * kSectors), 0, kSectors - 1);
    sectorMembers[kSectorReach + sector[c]] |= Bit(c);
  }
  for (int d = 0; d < kSectorReach; ++d) {
    sectorMembers[d] = sectorMembers[kSectors + d];
    sectorMembers[kSectorReach + kSectors + d] = sectorMembers[kSectorReach + d];
  }
  // What candidate c leaves open: those within reach of its rotation that share no
  // minutia with it.
  std::array<std::uint64_t, kCandidatePairs> leaves;
  for (int c = 0; c < count; ++c) {
    std::uint64_t near = 0;
    for (int d = 0; d <= 2 * kSectorReach; ++d) near |= sectorMembers[sector[c] + d];
    leaves[c] = near & ~(withA[candidates[c].a] | withB[candidates[c].b]);
  }
  const int seeds = std::min(kSeeds, count);
  BestSet grown;
#ifdef VANDREL_X86
#ifdef __x86_64__
  if (kernel == Kernel::Vector && KernelAvailable(kernel))
    grown = GrowSets512(candidates, count, leaves, seeds);
  else
#endif
  if constexpr (kWide)
    grown = GrowSets256(candidates, count, leaves, seeds);
  else
#endif
    grown = GrowSets(candidates, count, leaves, seeds);
  const std::uint64_t bestMembers = grown.members;
  const int bestSeed = grown.seed;
  const float best = grown.total;
  if (CountBits(bestMembers) < 2) return;
  std::vector<Candidate>& pairs = scratch.pairs;
  pairs.clear();
  pairs.push_back(candidates[bestSeed]);
  for (std::uint64_t rest = bestMembers & ~Bit(bestSeed); rest != 0; rest &= rest - 1)
    pairs.push_back(candidates[LowestBit(rest)]);
  // Two agreeing pairs turn up between almost any two prints and score nothing: their
  // alignment is not worth reading further.
  if (pairs.size() < 3) {
    for (const Candidate& k : pairs) result.pairs.emplace_back(k.a, k.b);
    result.similaritySum = best;
    result.score = CalibratedScore(result.raw);
    return;
  }

  // Pairs whose neighbourhoods differ too much to be candidates (near the edge of the
  // common area, or behind spurious minutiae) still count when they fit the set.
  std::vector<std::uint8_t>& used = scratch.used;
  used.assign(static_cast<std::size_t>(na + nb), 0);
  std::uint8_t* const usedA = used.data();
  std::uint8_t* const usedB = usedA + na;
  for (const Candidate& k : pairs) usedA[k.a] = usedB[k.b] = 1;
  const Rigid fit = FitPairs(A, B, pairs);
  const std::size_t consolidated = pairs.size();
  // The minutiae of B within reach of an aligned minutia of A are found among those
  // in the bands of rows within reach, and tried in index order.
  //
  // The same scan counts the pairs the fitted motion explains by itself: minutiae
  // that are each other's nearest once aligned, close, and turned as the motion
  // turns. That count asks nothing of the cylinders or of the consolidated pairs'
  // pairwise agreement, so its chance pairs (neighbours in crowded places) are not
  // the consolidation's (sets that agree pair by pair within stretched tolerances):
  // a second reading of the alignment that errs apart from the first.
  // partnerOfA[i] is the minutia of B nearest to i, and nearestOfB[j] that of A
  // nearest to j so far, at squared distance reachOfB[j] (-1: none within reach).
  static_assert(kRigidReach <= kExpansionReach, "the expansion's scan finds the rigid partners");
  std::vector<int>& nearest = scratch.nearest;
  nearest.assign(static_cast<std::size_t>(na + nb), -1);
  int* const partnerOfA = nearest.data();
  int* const nearestOfB = partnerOfA + na;
  std::vector<float>& reachOfB = scratch.reach;
  reachOfB.assign(static_cast<std::size_t>(nb), kRigidReach * kRigidReach);
  std::vector<int>& near = scratch.near;
  near.resize(static_cast<std::size_t>(nb));
  const RigidScan scan{usedB, reachOfB.data(), nearestOfB, near.data()};
  for (int i = 0; i < na; ++i) {
    const Minutia& m = A.minutiae[i];
    const float x = fit.c * m.x - fit.s * m.y + fit.tx, y = fit.s * m.x + fit.c * m.y + fit.ty;
    const auto [from, to] = B.RowsAround(y, kExpansionReach);
    int nearCount = 0;
#ifdef VANDREL_X86
    if constexpr (kWide)
      partnerOfA[i] = ScanRowsWide(A, B, fit, i, x, y, from, to, !usedA[i], scan, nearCount);
    else
#endif
      partnerOfA[i] = ScanRows(A, B, fit, i, x, y, from, to, !usedA[i], scan, nearCount);
    std::sort(near.begin(), near.begin() + nearCount);
    for (const int j : std::span(near.data(), static_cast<std::size_t>(nearCount))) {
      const Candidate k = MakeCandidate(A, B, i, j, 0);
      if (!AgreesWithEach(k, pairs.data(), consolidated)) continue;
      pairs.push_back(k);
      usedA[i] = usedB[j] = 1;
      break;
    }
  }
  int rigid = 0;
  for (int i = 0; i < na; ++i) rigid += partnerOfA[i] >= 0 && nearestOfB[partnerOfA[i]] == i;

  // How many minutiae of each print lie well inside the other print's region: its
  // outermost ring of cells is where its own minutiae thin out (the border keeps
  // none, cylinders there are half empty), so a minutia landing there is not missed.
  // A minutia of poor quality (a smudge, the print's edge, or one sample alone of an
  // enrollment) may well be spurious: where it finds no partner it counts for less.
  // Unknown quality (records without quality bytes) reads 0.5 and counts fully.
  // Whether a minutia lies well inside is unforeseeable, so it is added as a weight of
  // 0 or 1 rather than branched on (the same sums: adding 0 changes none).
  float overlapA = 0, overlapB = 0;
  for (const Minutia& m : A.minutiae) {
    const bool inside = B.region.WellInside(fit.c * m.x - fit.s * m.y + fit.tx, fit.s * m.x + fit.c * m.y + fit.ty);
    overlapA += static_cast<float>(inside) * OverlapWeight(m.quality);
  }
  for (const Minutia& m : B.minutiae) {
    const float dx = m.x - fit.tx, dy = m.y - fit.ty;
    const bool inside = A.region.WellInside(fit.c * dx + fit.s * dy, -fit.s * dx + fit.c * dy);
    overlapB += static_cast<float>(inside) * OverlapWeight(m.quality);
  }
  for (const Candidate& k : pairs) result.pairs.emplace_back(k.a, k.b);
  const int k = static_cast<int>(pairs.size());
  result.similaritySum = best;
  result.overlapA = std::max(overlapA, static_cast<float>(k));
  result.overlapB = std::max(overlapB, static_cast<float>(k));
  result.rigidPairs = rigid;
  result.raw = RawSimilarity(k, static_cast<int>(consolidated), best, result.overlapA, result.overlapB, rigid);
  result.score = CalibratedScore(result.raw);
}

// The comparison's body, compiled twice: for every processor, and for those with 256-bit
// vector instructions (the same single-precision operations in the same order, so the
// same results bit for bit; nothing is contracted into fused operations).
void MatchPortable(const MatchTemplate& A, const MatchTemplate& B, MatchScratch& scratch, MatchResult& result,
                   Kernel kernel) {
  Match<false>(A, B, scratch, result, kernel);
}

#ifdef VANDREL_X86
__attribute__((target("avx2,popcnt,bmi,bmi2"))) void MatchVector256(const MatchTemplate& A, const MatchTemplate& B,
                                                                     MatchScratch& scratch, MatchResult& result,
                                                                     Kernel kernel) {
  Match<true>(A, B, scratch, result, kernel);
}
#endif

}  // namespace

void MatchTemplates(const MatchTemplate& A, const MatchTemplate& B, MatchScratch& scratch, MatchResult& result,
                    Kernel kernel) {
#ifdef VANDREL_X86
  if ((kernel == Kernel::Vector256 || kernel == Kernel::Vector) && KernelAvailable(Kernel::Vector256)) {
    MatchVector256(A, B, scratch, result, kernel);
    return;
  }
#endif
  MatchPortable(A, B, scratch, result, kernel);
}

float RawSimilarity(int paired, int consolidated, float similaritySum, float overlapA, float overlapB, int rigid) {
  if (consolidated < 3) return 0;
  // The share of the smaller overlap that paired (slack for small overlaps, where a few
  // chance pairs are a large share), damped for few pairs, and weighted mildly by how
  // alike the paired neighbourhoods are: leaning on pair counts keeps the chance
  // scores of prints with dense or sparse, sharp or blurred minutiae alike. The share
  // paired rigidly is a second reading of the same alignment with chance errors of its
  // own: a chance alignment seldom reads high in both, a true one does, so their blend
  // thins the tail of chance scores.
  const float smaller = std::min(overlapA, overlapB);
  const auto share = [smaller](float k) { return k / (std::max(smaller, k) + kOverlapSlack) * k / (k + kFewPairsDamping); };
  const float k = static_cast<float>(paired);
  return share(k) * pm::Pow(similaritySum / k, kLocalSimilarityWeight) + kRigidShareWeight * share(static_cast<float>(rigid));
}

int CalibratedScore(float raw) {
  // Knots (raw similarity, -log10 of the share of impostor comparisons reaching it),
  // measured with vandrel-eval; past the last knot the impostor tail falls on a fixed
  // number of decades per unit. The rate then goes through the engine's score scale.
  constexpr int kKnots = sizeof(kCalibrationRaw) / sizeof(kCalibrationRaw[0]);
  double x;
  if (raw <= kCalibrationRaw[0]) {
    x = kCalibrationDecades[0];
  } else if (raw >= kCalibrationRaw[kKnots - 1]) {
    x = kCalibrationDecades[kKnots - 1] + kCalibrationTailSlope * (raw - kCalibrationRaw[kKnots - 1]);
  } else {
    int i = 1;
    while (raw >= kCalibrationRaw[i]) ++i;
    const float t = (raw - kCalibrationRaw[i - 1]) / (kCalibrationRaw[i] - kCalibrationRaw[i - 1]);
    x = kCalibrationDecades[i - 1] + t * (kCalibrationDecades[i] - kCalibrationDecades[i - 1]);
  }
  return DecadesToScore(std::min(x, 10.0));
}

}  // namespace mivex::vandrel
