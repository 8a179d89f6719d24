#include "LocalStructures.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <span>
#include <utility>

#include "BlockOps.h"
#include "FeatureRecord.h"
#include "PortableMath.h"
#include "VectorIntrinsics.h"
#include "WorkingRows.h"

namespace mivex::vandrel {
namespace {

using namespace params;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kCell = 2 * kCylinderRadius / kCylinderCells;
constexpr int kCells = kCylinderCells * kCylinderCells;

// Centres of the cylinder's cells inside its radius, in the minutia's frame, nearest
// the minutia first. Bit k of a cylinder's words is cell k of this list (the square's
// corners, outside the radius, have none), so the cells within any radius of the
// minutia are the lowest bits.
struct CellCentres {
  int count = 0;
  float x[kCells] = {}, y[kCells] = {};
};
constexpr CellCentres MakeCellCentres() {
  CellCentres c;
  for (int b = 0; b < kCylinderCells; ++b)
    for (int a = 0; a < kCylinderCells; ++a) {
      const float lx = (static_cast<float>(a) - 3.5f) * kCell, ly = (static_cast<float>(b) - 3.5f) * kCell;
      const float d = lx * lx + ly * ly;
      if (d > kCylinderRadius * kCylinderRadius) continue;
      // Insertion by distance; cells at the same distance stay in row order.
      int k = c.count++;
      for (; k > 0 && c.x[k - 1] * c.x[k - 1] + c.y[k - 1] * c.y[k - 1] > d; --k) {
        c.x[k] = c.x[k - 1];
        c.y[k] = c.y[k - 1];
      }
      c.x[k] = lx;
      c.y[k] = ly;
    }
  return c;
}
constexpr CellCentres kCentres = MakeCellCentres();
static_assert(kCentres.count < 64, "a cylinder's cells fit a word");

// How many cells (the lowest bits) lie within a radius of the minutia, for the radii
// a print region's clear radius takes (whole raster cells, up to the largest it
// reports).
struct CellsWithin {
  static constexpr int kSteps = PrintRegion::kDepthCap - 1;
  static_assert(kSteps * PrintRegion::kRasterCell >= kCylinderRadius, "the largest clear radius covers a cylinder");
  static constexpr float kStep = PrintRegion::kRasterCell;
  int count[kSteps + 1] = {};
  int Of(float radius) const { return count[std::min(static_cast<int>(radius * (1 / kStep)), kSteps)]; }
};
constexpr CellsWithin MakeCellsWithin() {
  CellsWithin t;
  for (int r = 0; r <= CellsWithin::kSteps; ++r) {
    const float radius = static_cast<float>(r) * CellsWithin::kStep;
    while (t.count[r] < kCentres.count &&
           kCentres.x[t.count[r]] * kCentres.x[t.count[r]] + kCentres.y[t.count[r]] * kCentres.y[t.count[r]] <=
               radius * radius)
      ++t.count[r];
  }
  return t;
}
constexpr CellsWithin kCellsWithin = MakeCellsWithin();

// Print regions of prints up to 512 pixels a side have rasters of at most this many
// cells a side: their working rows fit on the stack.
constexpr std::size_t kMostRasterSide = (512 + 2 * static_cast<int>(kCylinderHullMargin)) / PrintRegion::kRasterCell + 3;

// The cells a neighbour marks, by its position in the minutia's frame quantised to
// kMarkStep pixels: every cell whose centre lies within kCylinderSpread.
constexpr float kMarkStep = kCell / 5;
constexpr int kMarkSide = 2 * static_cast<int>((kCylinderRadius + kCylinderSpread) / kMarkStep) + 2;
struct MarkTable {
  std::uint64_t mask[kMarkSide * kMarkSide] = {};
};
constexpr MarkTable MakeMarkTable() {
  MarkTable t;
  for (int qy = 0; qy < kMarkSide; ++qy)
    for (int qx = 0; qx < kMarkSide; ++qx) {
      const float px = (static_cast<float>(qx - kMarkSide / 2) + 0.5f) * kMarkStep;
      const float py = (static_cast<float>(qy - kMarkSide / 2) + 0.5f) * kMarkStep;
      std::uint64_t m = 0;
      for (int k = 0; k < kCentres.count; ++k) {
        const float lx = kCentres.x[k] - px, ly = kCentres.y[k] - py;
        if (lx * lx + ly * ly <= kCylinderSpread * kCylinderSpread) m |= std::uint64_t{1} << k;
      }
      t.mask[qy * kMarkSide + qx] = m;
    }
  return t;
}
constexpr MarkTable kMarks = MakeMarkTable();

// The direction bins a neighbour marks, by its direction relative to the minutia's:
// the bin it falls in, and the neighbouring bin too when it lies less than a quarter
// of a bin from their common edge (else the same bin twice, so that marking is always
// two stores). Bin d covers relative directions from -pi + d * bin. Directions are
// counted in 240ths of a turn (the records' resolution); the table takes the
// difference of two headings in 0..240, rounded, plus kRelativeOffset, so that no
// wrapping is needed.
constexpr int kTurnSteps = MatchTemplate::kTurnSteps;
constexpr float kStepsPerRadian = kTurnSteps / (2 * kPi);
// The largest turn between the minutiae of a pair, in 240ths, with a margin for the
// directions' own rounding.
float TurnReachSteps() {
  const double c = kMinPairTurnCos;
  const auto turn = static_cast<float>(pm::Atan2(std::sqrt((1 - c) * (1 + c)), c));  // acos(c)
  return (turn + 0.01f) * kStepsPerRadian;
}
constexpr int kRelativeOffset = kTurnSteps + kTurnSteps / 2;
struct RelativeDirectionBins {
  std::uint8_t bin[kRelativeOffset + kTurnSteps + 1][2] = {};
};
constexpr RelativeDirectionBins MakeRelativeDirectionBins() {
  static_assert(kTurnSteps % (4 * kCylinderDirections) == 0, "quarters of a bin are whole steps");
  constexpr int binSteps = kTurnSteps / kCylinderDirections;
  RelativeDirectionBins t;
  for (int index = 0; index <= kRelativeOffset + kTurnSteps; ++index) {
    // Steps from -pi, in 0..239.
    const int step = ((index - kRelativeOffset + kTurnSteps / 2) % kTurnSteps + kTurnSteps) % kTurnSteps;
    const int bin = step / binSteps, into = step % binSteps;
    int second = bin;
    if (4 * into < binSteps) second = (bin + kCylinderDirections - 1) % kCylinderDirections;
    if (4 * (binSteps - into) < binSteps) second = (bin + 1) % kCylinderDirections;
    t.bin[index][0] = static_cast<std::uint8_t>(bin);
    t.bin[index][1] = static_cast<std::uint8_t>(second);
  }
  return t;
}
constexpr RelativeDirectionBins kRelativeDirectionBins = MakeRelativeDirectionBins();

}  // namespace

namespace {

// Sorts keys, ties by index, into the sorted keys and the indices in that order. Each
// key's place is counted rather than found by comparisons that branch: for the few
// dozen minutiae of a print that is quicker, and it is the same order.
[[gnu::always_inline]] inline void SortCounting(const float* key, int n, float* keys, int* order) {
  for (int i = 0; i < n; ++i) {
    const float k = key[i];
    int place = 0;
    for (int j = 0; j < n; ++j) place += int{key[j] < k} | (int{key[j] == k} & int{j < i});
    keys[place] = k;
    order[place] = i;
  }
}
void SortPortable(const float* key, int n, float* keys, int* order) { SortCounting(key, n, keys, order); }

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// The same counts, the other way round: each key in turn is compared with sixteen
// keys at a time, whose places are counted up in vector lanes. No key waits for the
// count of another, as it would if each key's place were summed up on its own. The
// number of blocks of sixteen is fixed per instance, so the counts stay in registers.
template <int Blocks>
__attribute__((target("avx512f"), always_inline)) inline void SortBlocks(const float* key, int n, float* keys,
                                                                          int* order) {
  __m512i place[Blocks];
  __m512 block[Blocks];
  for (int b = 0; b < Blocks; ++b) {
    const int left = n - 16 * b;
    const __mmask16 lanes = left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1);
    block[b] = _mm512_maskz_loadu_ps(lanes, key + 16 * b);
    place[b] = _mm512_setzero_si512();
  }
  const __m512i one = _mm512_set1_epi32(1);
  for (int j = 0; j < n; ++j) {
    const __m512 k = _mm512_set1_ps(key[j]);
    const int own = j / 16;
    for (int b = 0; b < Blocks; ++b) {
      // Key j comes first for the keys above it, and for the equal ones after it.
      const __mmask16 later = b > own ? 0xFFFF : b < own ? 0 : static_cast<__mmask16>(0xFFFFu << (j % 16 + 1));
      const __mmask16 before =
          _mm512_cmp_ps_mask(k, block[b], _CMP_LT_OQ) | (later & _mm512_cmp_ps_mask(k, block[b], _CMP_EQ_OQ));
      place[b] = _mm512_mask_add_epi32(place[b], before, place[b], one);
    }
  }
  alignas(64) std::int32_t at[16 * Blocks];
  for (int b = 0; b < Blocks; ++b) _mm512_store_si512(at + 16 * b, place[b]);
  for (int i = 0; i < n; ++i) {
    keys[at[i]] = key[i];
    order[at[i]] = i;
  }
}

// The same counts with 256-bit vectors, eight keys to a block.
template <int Blocks>
__attribute__((target("avx2"), always_inline)) inline void SortBlocks256(const float* key, int n, float* keys,
                                                                         int* order) {
  __m256i place[Blocks];
  __m256 block[Blocks];
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (int b = 0; b < Blocks; ++b) {
    const __m256i index = _mm256_add_epi32(lane, _mm256_set1_epi32(8 * b));
    block[b] = _mm256_maskload_ps(key + 8 * b, _mm256_cmpgt_epi32(_mm256_set1_epi32(n), index));
    place[b] = _mm256_setzero_si256();
  }
  for (int j = 0; j < n; ++j) {
    const __m256 k = _mm256_set1_ps(key[j]);
    // Lane numbers less j: above zero for the keys after j.
    const __m256i after = _mm256_sub_epi32(lane, _mm256_set1_epi32(j));
    for (int b = 0; b < Blocks; ++b) {
      // Key j comes first for the keys above it, and for the equal ones after it.
      const __m256 later =
          _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_add_epi32(after, _mm256_set1_epi32(8 * b)), _mm256_setzero_si256()));
      const __m256 before = _mm256_or_ps(_mm256_cmp_ps(k, block[b], _CMP_LT_OQ),
                                         _mm256_and_ps(later, _mm256_cmp_ps(k, block[b], _CMP_EQ_OQ)));
      place[b] = _mm256_sub_epi32(place[b], _mm256_castps_si256(before));
    }
  }
  alignas(32) std::int32_t at[8 * Blocks];
  for (int b = 0; b < Blocks; ++b) _mm256_store_si256(reinterpret_cast<__m256i*>(at + 8 * b), place[b]);
  for (int i = 0; i < n; ++i) {
    keys[at[i]] = key[i];
    order[at[i]] = i;
  }
}

// Up to 80 keys (a record's most) in blocks held in registers; more by the compiled
// counting loop.
__attribute__((target("avx2"))) void SortVector256(const float* key, int n, float* keys, int* order) {
  switch ((n + 7) / 8) {
    case 0: return;
    case 1: return SortBlocks256<1>(key, n, keys, order);
    case 2: return SortBlocks256<2>(key, n, keys, order);
    case 3: return SortBlocks256<3>(key, n, keys, order);
    case 4: return SortBlocks256<4>(key, n, keys, order);
    case 5: return SortBlocks256<5>(key, n, keys, order);
    case 6: return SortBlocks256<6>(key, n, keys, order);
    case 7: return SortBlocks256<7>(key, n, keys, order);
    case 8: return SortBlocks256<8>(key, n, keys, order);
    case 9: return SortBlocks256<9>(key, n, keys, order);
    case 10: return SortBlocks256<10>(key, n, keys, order);
    default: return SortCounting(key, n, keys, order);
  }
}

// Up to 128 keys.
__attribute__((target("avx512f"))) void SortVector(const float* key, int n, float* keys, int* order) {
  switch ((n + 15) / 16) {
    case 0: return;
    case 1: return SortBlocks<1>(key, n, keys, order);
    case 2: return SortBlocks<2>(key, n, keys, order);
    case 3: return SortBlocks<3>(key, n, keys, order);
    case 4: return SortBlocks<4>(key, n, keys, order);
    case 5: return SortBlocks<5>(key, n, keys, order);
    case 6: return SortBlocks<6>(key, n, keys, order);
    case 7: return SortBlocks<7>(key, n, keys, order);
    default: return SortBlocks<8>(key, n, keys, order);
  }
}
VANDREL_INTRINSICS_END
#endif

void SortByKey(std::span<const float> key, std::vector<float>& keys, std::vector<int>& order, Kernel kernel) {
  keys.resize(key.size());
  order.resize(key.size());
  const int n = static_cast<int>(key.size());
#ifdef VANDREL_X86
  if (kernel == Kernel::Vector && n <= 128 && KernelAvailable(kernel))
    return SortVector(key.data(), n, keys.data(), order.data());
  if (kernel == Kernel::Vector256 && KernelAvailable(kernel))
    return SortVector256(key.data(), n, keys.data(), order.data());
#endif
  SortPortable(key.data(), n, keys.data(), order.data());
}

// One 3 x 3 erosion of a raster of w-cell rows: `along` takes the minimum along the
// raster, `next` that across its rows, and every cell of `next` adds to its depth.
// Returns whether any cell survived.
[[gnu::always_inline]] inline bool ErodeLoops(const std::uint8_t* eroded, std::uint8_t* along, std::uint8_t* next,
                                              std::uint8_t* depth, std::size_t size, std::size_t w) {
  for (std::size_t i = 1; i + 1 < size; ++i) along[i] = std::min({eroded[i - 1], eroded[i], eroded[i + 1]});
  std::uint8_t any = 0;
  for (std::size_t i = w; i + w < size; ++i) {
    next[i] = std::min({along[i - w], along[i], along[i + w]});
    depth[i] = static_cast<std::uint8_t>(depth[i] + next[i]);
    any |= next[i];
  }
  return any != 0;
}

#ifdef VANDREL_X86
// Sixteen cells at a time (SSE2, which every x86 build of the engine has), the last
// few by the loops above; minima of bytes are exact, so the depths are the same.
bool ErodeVector(const std::uint8_t* eroded, std::uint8_t* along, std::uint8_t* next, std::uint8_t* depth,
                 std::size_t size, std::size_t w) {
  const auto load = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  const auto store = [](std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
  // The along-row minima the cross-row pass reads must all be there before it starts.
  std::size_t i = 1;
  for (; i + 17 <= size; i += 16) store(along + i, _mm_min_epu8(_mm_min_epu8(load(eroded + i - 1), load(eroded + i)), load(eroded + i + 1)));
  for (; i + 1 < size; ++i) along[i] = std::min({eroded[i - 1], eroded[i], eroded[i + 1]});
  __m128i any = _mm_setzero_si128();
  i = w;
  for (; i + w + 16 <= size; i += 16) {
    const __m128i m = _mm_min_epu8(_mm_min_epu8(load(along + i - w), load(along + i)), load(along + i + w));
    store(next + i, m);
    store(depth + i, _mm_add_epi8(load(depth + i), m));
    any = _mm_or_si128(any, m);
  }
  std::uint8_t rest = 0;
  for (; i + w < size; ++i) {
    next[i] = std::min({along[i - w], along[i], along[i + w]});
    depth[i] = static_cast<std::uint8_t>(depth[i] + next[i]);
    rest |= next[i];
  }
  return rest != 0 || _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
}
#endif

bool ErodeOnce(const std::uint8_t* eroded, std::uint8_t* along, std::uint8_t* next, std::uint8_t* depth,
               std::size_t size, std::size_t w, Kernel kernel) {
#ifdef VANDREL_X86
  if (kernel != Kernel::Portable) return ErodeVector(eroded, along, next, depth, size, w);
#endif
  return ErodeLoops(eroded, along, next, depth, size, w);
}

}  // namespace

PrintRegion::PrintRegion(const std::vector<Minutia>& m, Kernel kernel) { Assign(m, kernel); }

void PrintRegion::Assign(const std::vector<Minutia>& m, Kernel kernel) {
  if (m.empty()) {
    *this = PrintRegion();
    return;
  }
  float minX = m[0].x, minY = m[0].y, maxX = m[0].x, maxY = m[0].y;
  for (const Minutia& p : m) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const float margin = kCylinderHullMargin;
  // The covered cells and one frame cell on every side.
  x0_ = minX - margin - kRasterCell;
  y0_ = minY - margin - kRasterCell;
  w_ = static_cast<int>((maxX - minX + 2 * margin) / kRasterCell) + 3;
  h_ = static_cast<int>((maxY - minY + 2 * margin) / kRasterCell) + 3;
  const std::size_t w = static_cast<std::size_t>(w_);
  // A cell is near a minutia when within r cells of the minutia's cell. The extents of
  // the near cells of every row and column (frame cells aside) come from the outermost
  // minutiae of the rows and columns within r of it: first those of each row and
  // column, then the extents.
  const int r = static_cast<int>(margin / kRasterCell);
  WorkingRows<int, 4 * kMostRasterSide> extents(4 * static_cast<std::size_t>(h_) + 4 * w);
  int* left = extents.data();
  int* right = left + h_;
  int* top = right + h_;
  int* bottom = top + w_;
  int* rowFirst = bottom + w_;
  int* rowLast = rowFirst + h_;
  int* columnFirst = rowLast + h_;
  int* columnLast = columnFirst + w_;
  std::fill(rowFirst, rowLast, w_);
  std::fill(rowLast, columnFirst, -1);
  std::fill(columnFirst, columnLast, h_);
  std::fill(columnLast, columnLast + w_, -1);
  for (const Minutia& p : m) {
    const int cx = static_cast<int>((p.x - x0_) / kRasterCell), cy = static_cast<int>((p.y - y0_) / kRasterCell);
    rowFirst[cy] = std::min(rowFirst[cy], cx);
    rowLast[cy] = std::max(rowLast[cy], cx);
    columnFirst[cx] = std::min(columnFirst[cx], cy);
    columnLast[cx] = std::max(columnLast[cx], cy);
  }
  const auto spread = [r](const int* first, const int* last, int* from, int* to, int length, int across) {
    from[0] = from[length - 1] = across;
    to[0] = to[length - 1] = -1;
    for (int y = 1; y + 1 < length; ++y) {
      int lo = across, hi = -1;
      for (int k = std::max(0, y - r); k <= std::min(length - 1, y + r); ++k) {
        lo = std::min(lo, first[k]);
        hi = std::max(hi, last[k]);
      }
      from[y] = hi < 0 ? across : std::max(1, lo - r);
      to[y] = hi < 0 ? -1 : std::min(across - 2, hi + r);
    }
  };
  spread(rowFirst, rowLast, left, right, h_, w_);
  spread(columnFirst, columnLast, top, bottom, w_, h_);
  // Inside: between the outermost near cells of its row and of its column.
  const std::size_t size = w * static_cast<std::size_t>(h_);
  WorkingRows<std::uint8_t, 3 * kMostRasterSide * kMostRasterSide> rasters(3 * size);
  std::uint8_t* eroded = rasters.data();
  std::uint8_t* along = eroded + size;
  std::uint8_t* next = along + size;
  // An erosion writes all but the ends of `along` and the frame rows of `next`: those
  // are outside, and stay so.
  std::fill_n(eroded, size, 0);
  along[0] = along[size - 1] = 0;
  std::fill_n(next, w, 0);
  std::fill_n(next + size - w, w, 0);
  for (int y = 0; y < h_; ++y)
    for (int x = left[y]; x <= right[y]; ++x) eroded[y * w + x] = static_cast<std::uint8_t>((top[x] <= y) & (y <= bottom[x]));
  // Chessboard distance of every inside cell to the nearest outside cell, up to
  // kDepthCap: the number of 3 x 3 erosions the cell survives, counting the inside
  // itself as the first. Each erosion is a minimum along the raster and then across
  // its rows, in long loops over the bytes that vectorise. A minimum running past a
  // row's end takes in frame cells, which are outside (0) and stay so, as every one
  // of them has itself in its minimum.
  depth_.assign(size + kReadSlack, 0);
  std::copy(eroded, eroded + size, depth_.begin());
  for (int k = 1; k < kDepthCap; ++k) {
    if (!ErodeOnce(eroded, along, next, depth_.data(), size, w, kernel)) break;
    std::swap(eroded, next);
  }
}

namespace {

// Asks for every cache line of `count` objects at `first`.
template <typename T>
void PrefetchRow(const T* first, std::size_t count) {
  constexpr std::size_t kLine = 64;
  const char* const begin = reinterpret_cast<const char*>(first);
  for (std::size_t at = 0; at < count * sizeof(T); at += kLine) __builtin_prefetch(begin + at);
}

}  // namespace

void PrintRegion::Prefetch() const { PrefetchRow(depth_.data(), depth_.size()); }

void MatchTemplate::KeepFirstPlaceRows() {
  // Swapped with empty rows, so that their storage is freed, not just emptied.
  std::vector<float>().swap(sortedDirections);
  std::vector<std::uint64_t>().swap(orderedWords);
  std::vector<float>().swap(orderedTurns);
  std::vector<int>().swap(directionStarts);
  std::vector<float>().swap(sortedY);
  std::vector<int>().swap(byY);
  std::vector<float>().swap(sortedX);
  std::vector<float>().swap(sortedCos);
  std::vector<float>().swap(sortedSin);
  std::vector<int>().swap(bandStarts);
  orderedStride = 0;
}

void MatchTemplate::Prefetch() const {
  region.Prefetch();
  PrefetchRow(minutiae.data(), minutiae.size());
  PrefetchRow(cosDir.data(), cosDir.size());
  PrefetchRow(sinDir.data(), sinDir.size());
  PrefetchRow(cylinders.data(), cylinders.size());
  PrefetchRow(byDirection.data(), byDirection.size());
  PrefetchRow(turnRuns.data(), turnRuns.size());
}

namespace {

// Where points of a cylinder fall on a print region's raster, and whether inside.
struct RasterView {
  const std::uint8_t* depth;  // followed by PrintRegion::kReadSlack readable bytes
  float ox, oy, cs, sn;       // the cylinder's centre and turn, in raster cells
  std::int32_t w, h;
};

// Up to 64 points. Positions and cells first, in a loop without branches the compiler
// can vectorise; then one look-up per point.
[[gnu::always_inline]] inline std::uint64_t InsideCells(const RasterView& r, const float* dx, const float* dy,
                                                        int count) {
  const float w = static_cast<float>(r.w), h = static_cast<float>(r.h);
  std::int32_t at[64];
  for (int k = 0; k < count; ++k) {
    const float fx = r.ox + dx[k] * r.cs - dy[k] * r.sn, fy = r.oy + dx[k] * r.sn + dy[k] * r.cs;
    const bool within = (fx >= 0) & (fy >= 0) & (fx < w) & (fy < h);
    at[k] = within ? static_cast<std::int32_t>(fy) * r.w + static_cast<std::int32_t>(fx) : 0;
  }
  std::uint64_t inside = 0;
  for (int k = count - 1; k >= 0; --k) inside = inside << 1 | std::uint64_t{r.depth[static_cast<std::size_t>(at[k])] != 0};
  return inside;
}
std::uint64_t InsidePortable(const RasterView& r, const float* dx, const float* dy, int count) {
  return InsideCells(r, dx, dy, count);
}

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// Eight points at a time, the same arithmetic step by step; the cells are read by
// gathering four bytes at each (the low one is the cell's). Points off the raster, and
// lanes past the count, gather nothing and read as outside, as the frame cell the
// portable code reads for the former is.
__attribute__((target("avx2"))) std::uint64_t InsideVector256(const RasterView& r, const float* dx, const float* dy,
                                                               int count) {
  const __m256 ox = _mm256_set1_ps(r.ox), oy = _mm256_set1_ps(r.oy), cs = _mm256_set1_ps(r.cs), sn = _mm256_set1_ps(r.sn);
  const __m256 w = _mm256_set1_ps(static_cast<float>(r.w)), h = _mm256_set1_ps(static_cast<float>(r.h));
  const __m256 zero = _mm256_setzero_ps();
  const __m256i width = _mm256_set1_epi32(r.w), lowByte = _mm256_set1_epi32(0xFF);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const int* const cells = reinterpret_cast<const int*>(r.depth);
  std::uint64_t inside = 0;
  for (int k = 0; k < count; k += 8) {
    const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - k), lane);
    const __m256 x = _mm256_maskload_ps(dx + k, lanes), y = _mm256_maskload_ps(dy + k, lanes);
    const __m256 fx = _mm256_sub_ps(_mm256_add_ps(ox, _mm256_mul_ps(x, cs)), _mm256_mul_ps(y, sn));
    const __m256 fy = _mm256_add_ps(_mm256_add_ps(oy, _mm256_mul_ps(x, sn)), _mm256_mul_ps(y, cs));
    const __m256 within = _mm256_and_ps(
        _mm256_and_ps(_mm256_castsi256_ps(lanes), _mm256_and_ps(_mm256_cmp_ps(fx, zero, _CMP_GE_OQ), _mm256_cmp_ps(fy, zero, _CMP_GE_OQ))),
        _mm256_and_ps(_mm256_cmp_ps(fx, w, _CMP_LT_OQ), _mm256_cmp_ps(fy, h, _CMP_LT_OQ)));
    const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_cvttps_epi32(fy), width), _mm256_cvttps_epi32(fx));
    const __m256i got = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), cells, at, _mm256_castps_si256(within), 1);
    const __m256i outside = _mm256_cmpeq_epi32(_mm256_and_si256(got, lowByte), _mm256_setzero_si256());
    const unsigned in = ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(outside))) & 0xFFu;
    inside |= static_cast<std::uint64_t>(in) << k;
  }
  return inside;
}

// Sixteen points at a time, the same arithmetic step by step; the cells are read by
// gathering four bytes at each (the low one is the cell's).
__attribute__((target("avx512f"))) std::uint64_t InsideVector(const RasterView& r, const float* dx, const float* dy,
                                                              int count) {
  const __m512 ox = _mm512_set1_ps(r.ox), oy = _mm512_set1_ps(r.oy), cs = _mm512_set1_ps(r.cs), sn = _mm512_set1_ps(r.sn);
  const __m512 w = _mm512_set1_ps(static_cast<float>(r.w)), h = _mm512_set1_ps(static_cast<float>(r.h));
  const __m512 zero = _mm512_setzero_ps();
  const __m512i width = _mm512_set1_epi32(r.w), lowByte = _mm512_set1_epi32(0xFF);
  std::uint64_t inside = 0;
  for (int k = 0; k < count; k += 16) {
    const __mmask16 lanes = count - k >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << (count - k)) - 1);
    const __m512 x = _mm512_maskz_loadu_ps(lanes, dx + k), y = _mm512_maskz_loadu_ps(lanes, dy + k);
    const __m512 fx = _mm512_sub_ps(_mm512_add_ps(ox, _mm512_mul_ps(x, cs)), _mm512_mul_ps(y, sn));
    const __m512 fy = _mm512_add_ps(_mm512_add_ps(oy, _mm512_mul_ps(x, sn)), _mm512_mul_ps(y, cs));
    const __mmask16 within = lanes & _mm512_cmp_ps_mask(fx, zero, _CMP_GE_OQ) & _mm512_cmp_ps_mask(fy, zero, _CMP_GE_OQ) &
                             _mm512_cmp_ps_mask(fx, w, _CMP_LT_OQ) & _mm512_cmp_ps_mask(fy, h, _CMP_LT_OQ);
    const __m512i at = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_cvttps_epi32(fy), width), _mm512_cvttps_epi32(fx));
    const __m512i cells = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), within, at, r.depth, 1);
    inside |= static_cast<std::uint64_t>(_mm512_test_epi32_mask(cells, lowByte)) << k;
  }
  return inside;
}
VANDREL_INTRINSICS_END
#endif

}  // namespace

std::uint64_t PrintRegion::InsideOffsets(float x, float y, float c, float s, const float* dx, const float* dy,
                                         int count, Kernel kernel) const {
  constexpr float inv = 1.0f / kRasterCell;
  const RasterView view{depth_.data(), (x - x0_) * inv, (y - y0_) * inv, c * inv, s * inv, w_, h_};
  count = std::min(count, 64);
#ifdef VANDREL_X86
  if (kernel == Kernel::Vector && KernelAvailable(kernel)) return InsideVector(view, dx, dy, count);
  if (kernel == Kernel::Vector256 && KernelAvailable(kernel)) return InsideVector256(view, dx, dy, count);
#endif
  return InsidePortable(view, dx, dy, count);
}

namespace {

// The minutiae in top-to-bottom order, row by row, for placing neighbours.
struct PlacementRows {
  const float *x, *y, *cos, *sin, *heading;  // heading in 240ths of a turn
};
// Where the minutiae of a run and the run's minutia mark each other, by the run's
// place k: the mark table cell and direction table entry of the run's minutia in the
// frame of minutia k (cellJ, binsJ) and of minutia k in the frame of the run's minutia
// (cellI, binsI); then the places of the near ones, in order.
struct Placements {
  // Each row with room for kPlaceSlack entries more than the run.
  std::int32_t *cellI, *binsI, *cellJ, *binsJ;
  std::int32_t* nearList;
  std::int32_t* isNear;  // working room: all ones where near, else zero
};
// The 256-bit form writes eight places at a time, of which only those within the run,
// and in the list only the near ones, count: storing whole vectors is quicker than
// storing some of their lanes, which some processors do one lane after another.
constexpr std::size_t kPlaceSlack = 8;

// Records hold at most this many minutiae: the working rows of their templates fit on
// the stack.
constexpr std::size_t kMostMinutiaeOnStack = kMaxModelMinutiae;

constexpr float kReach = kCylinderRadius + kCylinderSpread;

// The mark table cell of a position in a minutia's frame. A near neighbour's cell
// always lies on the table; clamping first keeps the others' on it too.
constexpr float kMarkScale = 1 / kMarkStep;
constexpr float kMarkCentre = kMarkSide / 2 + 1;
[[gnu::always_inline]] inline std::int32_t MarkCell(float px, float py) {
  constexpr float kHigh = static_cast<float>(kMarkSide);
  const float fx = std::clamp(px * kMarkScale + kMarkCentre, 1.0f, kHigh);
  const float fy = std::clamp(py * kMarkScale + kMarkCentre, 1.0f, kHigh);
  return (static_cast<std::int32_t>(fy) - 1) * kMarkSide + static_cast<std::int32_t>(fx) - 1;
}

// Minutia a against the run of `run` minutiae from `first`: the placements of the
// whole run in a loop the compiler can vectorise, then the near ones listed without
// branches (which pairs are near is as good as random to the processor, so every
// place is written and only the near ones counted). Returns how many are near.
[[gnu::always_inline]] inline std::size_t PlaceRunLoops(const PlacementRows& r, std::size_t a, std::size_t first,
                                                        std::size_t run, const Placements& out) {
  const float xi = r.x[a], yi = r.y[a], ci = r.cos[a], si = r.sin[a], hi = r.heading[a];
  std::int32_t* const isNear = out.isNear;
  for (std::size_t k = 0; k < run; ++k) {
    const std::size_t b = first + k;
    const float dx = r.x[b] - xi, dy = r.y[b] - yi;
    isNear[k] = -static_cast<std::int32_t>(dx * dx + dy * dy <= kReach * kReach);
    out.cellI[k] = MarkCell(dx * ci + dy * si, -dx * si + dy * ci);
    out.cellJ[k] = MarkCell(-dx * r.cos[b] - dy * r.sin[b], dx * r.sin[b] - dy * r.cos[b]);
    out.binsI[k] = static_cast<std::int32_t>(r.heading[b] - hi + (kRelativeOffset + 0.5f));
    out.binsJ[k] = static_cast<std::int32_t>(hi - r.heading[b] + (kRelativeOffset + 0.5f));
  }
  std::size_t nearCount = 0;
  for (std::size_t k = 0; k < run; ++k) {
    out.nearList[nearCount] = static_cast<std::int32_t>(k);
    nearCount -= static_cast<std::size_t>(static_cast<std::ptrdiff_t>(isNear[k]));
  }
  return nearCount;
}
std::size_t PlaceRunPortable(const PlacementRows& r, std::size_t a, std::size_t first, std::size_t run,
                             const Placements& out) {
  return PlaceRunLoops(r, a, first, run, out);
}

#ifdef VANDREL_X86
VANDREL_INTRINSICS_BEGIN
// MarkCell, eight at a time.
__attribute__((target("avx2"), always_inline)) inline __m256i MarkCellVector256(__m256 px, __m256 py) {
  const __m256 scale = _mm256_set1_ps(kMarkScale), centre = _mm256_set1_ps(kMarkCentre);
  const __m256 low = _mm256_set1_ps(1.0f), high = _mm256_set1_ps(static_cast<float>(kMarkSide));
  const __m256i one = _mm256_set1_epi32(1), side = _mm256_set1_epi32(kMarkSide);
  const __m256 fx = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(_mm256_mul_ps(px, scale), centre), low), high);
  const __m256 fy = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(_mm256_mul_ps(py, scale), centre), low), high);
  return _mm256_sub_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(_mm256_cvttps_epi32(fy), one), side), _mm256_cvttps_epi32(fx)),
      one);
}

// For each set of near lanes among eight, their lane numbers in order.
struct NearLanesTable {
  std::uint8_t lanes[256][8];
};
constexpr NearLanesTable MakeNearLanes() {
  NearLanesTable t{};
  for (int near = 0; near < 256; ++near) {
    int to = 0;
    for (int lane = 0; lane < 8; ++lane)
      if (near >> lane & 1) t.lanes[near][to++] = static_cast<std::uint8_t>(lane);
  }
  return t;
}
constexpr NearLanesTable kNearLanes = MakeNearLanes();

// Eight places at a time, the same arithmetic step by step (clamping as minimum and
// maximum, as the 512-bit form does), in masked steps: a compiled loop spends most of
// a run of a dozen or two in its scalar tail. The near places are written as a whole
// vector of eight from a lane table, of which only the near ones count.
__attribute__((target("avx2"))) std::size_t PlaceRunVector256(const PlacementRows& r, std::size_t a,
                                                               std::size_t first, std::size_t run,
                                                               const Placements& out) {
  const __m256 xi = _mm256_set1_ps(r.x[a]), yi = _mm256_set1_ps(r.y[a]);
  const __m256 ci = _mm256_set1_ps(r.cos[a]), si = _mm256_set1_ps(r.sin[a]), hi = _mm256_set1_ps(r.heading[a]);
  const __m256 reach2 = _mm256_set1_ps(kReach * kReach), binOffset = _mm256_set1_ps(kRelativeOffset + 0.5f);
  const __m256 sign = _mm256_castsi256_ps(_mm256_set1_epi32(INT32_MIN));
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  std::size_t nearCount = 0;
  for (std::size_t k = 0; k < run; k += 8) {
    const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(run - k)), lane);
    const std::size_t b = first + k;
    const __m256 x = _mm256_maskload_ps(r.x + b, lanes), y = _mm256_maskload_ps(r.y + b, lanes);
    const __m256 cb = _mm256_maskload_ps(r.cos + b, lanes), sb = _mm256_maskload_ps(r.sin + b, lanes);
    const __m256 hb = _mm256_maskload_ps(r.heading + b, lanes);
    const __m256 dx = _mm256_sub_ps(x, xi), dy = _mm256_sub_ps(y, yi);
    const __m256 minusDx = _mm256_xor_ps(dx, sign);
    const __m256 near = _mm256_and_ps(
        _mm256_castsi256_ps(lanes),
        _mm256_cmp_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), reach2, _CMP_LE_OQ));
    const __m256i cellI = MarkCellVector256(_mm256_add_ps(_mm256_mul_ps(dx, ci), _mm256_mul_ps(dy, si)),
                                            _mm256_add_ps(_mm256_mul_ps(minusDx, si), _mm256_mul_ps(dy, ci)));
    const __m256i cellJ = MarkCellVector256(_mm256_sub_ps(_mm256_mul_ps(minusDx, cb), _mm256_mul_ps(dy, sb)),
                                            _mm256_sub_ps(_mm256_mul_ps(dx, sb), _mm256_mul_ps(dy, cb)));
    const __m256i binsI = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_sub_ps(hb, hi), binOffset));
    const __m256i binsJ = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_sub_ps(hi, hb), binOffset));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.cellI + k), cellI);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.cellJ + k), cellJ);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.binsI + k), binsI);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.binsJ + k), binsJ);
    const unsigned nearLanes = static_cast<unsigned>(_mm256_movemask_ps(near));
    const __m128i nearPlaces = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kNearLanes.lanes[nearLanes]));
    const __m256i places = _mm256_add_epi32(_mm256_cvtepu8_epi32(nearPlaces),
                                            _mm256_set1_epi32(static_cast<int>(k)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.nearList + nearCount), places);
    nearCount += static_cast<std::size_t>(__builtin_popcount(nearLanes));
  }
  return nearCount;
}

// MarkCell, sixteen at a time. (A lambda in the function below would not be compiled
// for its instructions.)
__attribute__((target("avx512f"), always_inline)) inline __m512i MarkCellVector(__m512 px, __m512 py) {
  const __m512 scale = _mm512_set1_ps(kMarkScale), centre = _mm512_set1_ps(kMarkCentre);
  const __m512 low = _mm512_set1_ps(1.0f), high = _mm512_set1_ps(static_cast<float>(kMarkSide));
  const __m512i one = _mm512_set1_epi32(1), side = _mm512_set1_epi32(kMarkSide);
  const __m512 fx = _mm512_min_ps(_mm512_max_ps(_mm512_add_ps(_mm512_mul_ps(px, scale), centre), low), high);
  const __m512 fy = _mm512_min_ps(_mm512_max_ps(_mm512_add_ps(_mm512_mul_ps(py, scale), centre), low), high);
  return _mm512_sub_epi32(
      _mm512_add_epi32(_mm512_mullo_epi32(_mm512_sub_epi32(_mm512_cvttps_epi32(fy), one), side), _mm512_cvttps_epi32(fx)),
      one);
}

// Sixteen places at a time, the same arithmetic step by step (clamping as minimum and
// maximum, which agree with it on numbers), the near places packed into the list.
// Runs are a dozen or two long: one or two masked steps, where a compiled loop would
// spend most of its time in its scalar tail.
__attribute__((target("avx512f"))) std::size_t PlaceRunVector(const PlacementRows& r, std::size_t a,
                                                               std::size_t first, std::size_t run,
                                                               const Placements& out) {
  const __m512 xi = _mm512_set1_ps(r.x[a]), yi = _mm512_set1_ps(r.y[a]);
  const __m512 ci = _mm512_set1_ps(r.cos[a]), si = _mm512_set1_ps(r.sin[a]), hi = _mm512_set1_ps(r.heading[a]);
  const __m512 reach2 = _mm512_set1_ps(kReach * kReach), binOffset = _mm512_set1_ps(kRelativeOffset + 0.5f);
  const __m512i sign = _mm512_set1_epi32(INT32_MIN);
  const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  std::size_t nearCount = 0;
  for (std::size_t k = 0; k < run; k += 16) {
    const std::size_t left = run - k;
    const __mmask16 lanes = left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1);
    const std::size_t b = first + k;
    const __m512 x = _mm512_maskz_loadu_ps(lanes, r.x + b), y = _mm512_maskz_loadu_ps(lanes, r.y + b);
    const __m512 cb = _mm512_maskz_loadu_ps(lanes, r.cos + b), sb = _mm512_maskz_loadu_ps(lanes, r.sin + b);
    const __m512 hb = _mm512_maskz_loadu_ps(lanes, r.heading + b);
    const __m512 dx = _mm512_sub_ps(x, xi), dy = _mm512_sub_ps(y, yi);
    const __m512 minusDx = _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(dx), sign));
    const __mmask16 near =
        lanes & _mm512_cmp_ps_mask(_mm512_add_ps(_mm512_mul_ps(dx, dx), _mm512_mul_ps(dy, dy)), reach2, _CMP_LE_OQ);
    const __m512i cellI = MarkCellVector(_mm512_add_ps(_mm512_mul_ps(dx, ci), _mm512_mul_ps(dy, si)),
                                         _mm512_add_ps(_mm512_mul_ps(minusDx, si), _mm512_mul_ps(dy, ci)));
    const __m512i cellJ = MarkCellVector(_mm512_sub_ps(_mm512_mul_ps(minusDx, cb), _mm512_mul_ps(dy, sb)),
                                         _mm512_sub_ps(_mm512_mul_ps(dx, sb), _mm512_mul_ps(dy, cb)));
    const __m512i binsI = _mm512_cvttps_epi32(_mm512_add_ps(_mm512_sub_ps(hb, hi), binOffset));
    const __m512i binsJ = _mm512_cvttps_epi32(_mm512_add_ps(_mm512_sub_ps(hi, hb), binOffset));
    _mm512_mask_storeu_epi32(out.cellI + k, lanes, cellI);
    _mm512_mask_storeu_epi32(out.cellJ + k, lanes, cellJ);
    _mm512_mask_storeu_epi32(out.binsI + k, lanes, binsI);
    _mm512_mask_storeu_epi32(out.binsJ + k, lanes, binsJ);
    _mm512_mask_compressstoreu_epi32(out.nearList + nearCount, near,
                                     _mm512_add_epi32(lane, _mm512_set1_epi32(static_cast<int>(k))));
    nearCount += static_cast<std::size_t>(__builtin_popcount(near));
  }
  return nearCount;
}
VANDREL_INTRINSICS_END
#endif

std::size_t PlaceRun(const PlacementRows& r, std::size_t a, std::size_t first, std::size_t run, const Placements& out,
                     Kernel kernel) {
#ifdef VANDREL_X86
  if (kernel == Kernel::Vector && KernelAvailable(kernel)) return PlaceRunVector(r, a, first, run, out);
  if (kernel == Kernel::Vector256 && KernelAvailable(kernel)) return PlaceRunVector256(r, a, first, run, out);
#endif
  return PlaceRunPortable(r, a, first, run, out);
}

}  // namespace

namespace {

// A neighbour's marks on a cylinder: the cells of `mask` that are valid, in both of
// the direction bins `bins` names. A 32-bit processor has no 64-bit integer registers,
// and splitting each word into halves leaves too few registers for the marking loop:
// its vector registers hold the words whole.
[[gnu::always_inline]] inline void Mark(Cylinder& c, const std::uint64_t& mask, const std::uint8_t* bins) {
#if defined(__SSE2__) && !defined(__x86_64__)
  const __m128i marks = _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&mask)),
                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&c.valid)));
  for (int k = 0; k < 2; ++k) {
    __m128i* const word = reinterpret_cast<__m128i*>(&c.bits[bins[k]]);
    _mm_storel_epi64(word, _mm_or_si128(_mm_loadl_epi64(word), marks));
  }
#else
  const std::uint64_t marks = mask & c.valid;
  c.bits[bins[0]] |= marks;
  c.bits[bins[1]] |= marks;
#endif
}

}  // namespace

// Sines and cosines of the directions records hold (whole 240ths of a turn, as decoding
// makes them), worked out once. Any other direction is worked out when met.
class RecordTurns {
 public:
  RecordTurns() {
    for (int u = 0; u < kTurnSteps; ++u) {
      direction_[u] = UnitsToDirection(u);
      pm::SinCos(direction_[u], sin_[u], cos_[u]);
    }
  }
  void SinCos(float direction, float& s, float& c) const {
    const float steps = direction * kStepsPerRadian + 0.5f;
    const int u = steps >= 0 && steps < kTurnSteps ? static_cast<int>(steps) : 0;
    // The very same number, bit for bit, gives the very same sine and cosine.
    if (std::bit_cast<std::uint32_t>(direction_[u]) == std::bit_cast<std::uint32_t>(direction)) {
      s = sin_[u], c = cos_[u];
      return;
    }
    pm::SinCos(direction, s, c);
  }

 private:
  float direction_[kTurnSteps], sin_[kTurnSteps], cos_[kTurnSteps];
};

void BuildMatchTemplate(const std::vector<Minutia>& minutiae, MatchTemplate& t, Kernel kernel) {
  static const RecordTurns turns;
  const std::size_t n = minutiae.size();
  t.minutiae = minutiae;
  t.cosDir.resize(n);
  t.sinDir.resize(n);
  t.cylinders.assign(n, Cylinder{});
  for (std::size_t i = 0; i < n; ++i) turns.SinCos(minutiae[i].direction, t.sinDir[i], t.cosDir[i]);
  // Working rows, in one block of floats and one of integers.
  WorkingRows<float, 7 * kMostMinutiaeOnStack> floats(7 * n);
  WorkingRows<std::int32_t, 8 * kMostMinutiaeOnStack + 5 * kPlaceSlack> ints(8 * n + 5 * kPlaceSlack);
  // Directions in [0, 2 pi): sorted for matching, and in 240ths of a turn for marking.
  const std::span<float> heading(floats.data(), n), key(floats.data() + n, n);
  for (std::size_t i = 0; i < n; ++i) {
    const float turned = minutiae[i].direction - 2 * kPi * std::floor(minutiae[i].direction * (0.5f / kPi));
    key[i] = turned;
    heading[i] = turned * kStepsPerRadian;
  }
  SortByKey(key, t.sortedDirections, t.byDirection, kernel);
  t.region.Assign(minutiae, kernel);
  const PrintRegion& region = t.region;
  const std::span<std::int32_t> validCells(ints.data(), n), neighbours(ints.data() + n, n);
  std::fill(neighbours.begin(), neighbours.end(), 0);
  for (std::size_t i = 0; i < n; ++i) {
    Cylinder& c = t.cylinders[i];
    const Minutia& mi = minutiae[i];
    const float ci = t.cosDir[i], si = t.sinDir[i];
    // Cells within the clear radius around the minutia are inside without a look.
    const float clear = region.ClearRadius(mi.x, mi.y);
    const int within = kCellsWithin.Of(clear);
    c.valid = (std::uint64_t{1} << within) - 1;
    if (within < kCentres.count)
      c.valid |= region.InsideOffsets(mi.x, mi.y, ci, si, kCentres.x + within, kCentres.y + within,
                                      kCentres.count - within, kernel)
                 << within;
    validCells[i] = CountBits(c.valid);
  }
  // Every pair within reach once, found along the minutiae sorted top to bottom: for
  // each minutia, the run of those below it whose rows are within reach. Each marks
  // the other's cylinder when near enough: at its position turned into the other's
  // frame (a cell of the mark table), in the bins of its direction relative to the
  // other's. Where the marks go is worked out for the whole run at once, in the
  // minutiae's row order; marking is then a few look-ups and stores per near pair.
  for (std::size_t i = 0; i < n; ++i) key[i] = minutiae[i].y;
  SortByKey(key, t.sortedY, t.byY, kernel);
  t.bandStarts.assign(1, 0);
  if (n > 0) {
    const float top = t.sortedY[0];
    t.bandStarts.resize(static_cast<std::size_t>((t.sortedY[n - 1] - top) / MatchTemplate::kBandHeight) + 2, 0);
    for (std::size_t k = 0; k < n; ++k)
      ++t.bandStarts[static_cast<std::size_t>((t.sortedY[k] - top) / MatchTemplate::kBandHeight) + 1];
    for (std::size_t r = 1; r < t.bandStarts.size(); ++r) t.bandStarts[r] += t.bandStarts[r - 1];
  }
  const std::vector<int>& byY = t.byY;
  float* const xs = floats.data() + 2 * n;
  float* const ys = xs + n;
  float* const cs = ys + n;
  float* const sn = cs + n;
  float* const hs = sn + n;
  for (std::size_t b = 0; b < n; ++b) {
    const std::size_t j = static_cast<std::size_t>(byY[b]);
    xs[b] = minutiae[j].x, ys[b] = minutiae[j].y, cs[b] = t.cosDir[j], sn[b] = t.sinDir[j], hs[b] = heading[j];
  }
  t.sortedX.assign(xs, xs + n);
  t.sortedCos.assign(cs, cs + n);
  t.sortedSin.assign(sn, sn + n);
  const PlacementRows rows{xs, ys, cs, sn, hs};
  const std::size_t placeRow = n + kPlaceSlack;
  std::int32_t* const cellI = ints.data() + 2 * n;  // where j marks i: mark table cell, direction table entry
  std::int32_t* const binsI = cellI + placeRow;
  std::int32_t* const cellJ = binsI + placeRow;  // where i marks j
  std::int32_t* const binsJ = cellJ + placeRow;
  std::int32_t* const nearList = binsJ + placeRow;
  const Placements places{cellI, binsI, cellJ, binsJ, nearList, nearList + placeRow};
  // The rows are reached through local pointers: marking writes through a type that
  // may alias anything, after which the vectors' own pointers would be read again.
  const int* const order = byY.data();
  Cylinder* const cylinders = t.cylinders.data();
  std::size_t end = 0;
  for (std::size_t a = 0; a < n; ++a) {
    const std::size_t i = static_cast<std::size_t>(order[a]);
    while (end < n && ys[end] - ys[a] <= kReach) ++end;
    const std::size_t first = a + 1, run = end > first ? end - first : 0;
    const std::size_t nearCount = PlaceRun(rows, a, first, run, places, kernel);
    Cylinder& c = cylinders[i];
    for (std::size_t q = 0; q < nearCount; ++q) {
      const std::size_t k = static_cast<std::size_t>(nearList[q]);
      const std::size_t j = static_cast<std::size_t>(order[first + k]);
      Cylinder& cj = cylinders[j];
      Mark(c, kMarks.mask[cellI[k]], kRelativeDirectionBins.bin[binsI[k]]);
      Mark(cj, kMarks.mask[cellJ[k]], kRelativeDirectionBins.bin[binsJ[k]]);
      ++neighbours[j];
    }
    neighbours[i] += static_cast<int>(nearCount);
  }
  for (std::size_t i = 0; i < n; ++i)
    t.cylinders[i].usable = neighbours[i] >= kCylinderMinNeighbours &&
                            static_cast<float>(validCells[i]) >= kCylinderMinValidFraction * static_cast<float>(kCentres.count);
  // Only usable cylinders are ever compared: the direction order keeps those alone.
  std::size_t usable = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const int i = t.byDirection[k];
    if (!t.cylinders[static_cast<std::size_t>(i)].usable) continue;
    t.byDirection[usable] = i;
    t.sortedDirections[usable] = t.sortedDirections[k];
    ++usable;
  }
  t.byDirection.resize(usable);
  t.sortedDirections.resize(usable);
  // How many of the direction order lie below each whole 240th.
  std::array<int, kTurnSteps + 1> below{};
  for (std::size_t k = 0; k < usable; ++k)
    ++below[static_cast<std::size_t>(std::min(static_cast<int>(t.sortedDirections[k] * kStepsPerRadian), kTurnSteps - 1) + 1)];
  for (int s = 1; s <= kTurnSteps; ++s) below[s] += below[s - 1];
  constexpr int kWrap = MatchTemplate::kWrapSteps;
  const int ordered = static_cast<int>(usable);
  const int head = ordered - below[kTurnSteps - kWrap], tail = below[kWrap];
  t.directionStarts.resize(kTurnSteps + 2 * kWrap + 1);
  for (int s = -kWrap; s <= kTurnSteps + kWrap; ++s)
    t.directionStarts[static_cast<std::size_t>(s + kWrap)] =
        s < 0 ? below[s + kTurnSteps] - below[kTurnSteps - kWrap]
              : s <= kTurnSteps ? head + below[s] : head + ordered + below[s - kTurnSteps];
  const std::size_t placed = static_cast<std::size_t>(head + ordered + tail);
  const std::size_t stride = placed + MatchTemplate::kOrderedSlack;
  t.orderedStride = stride;
  // Every row is written up to `placed`; only the slack past it is cleared.
  t.orderedWords.resize((kCylinderDirections + 2) * stride);
  t.orderedTurns.resize(2 * stride);
  for (std::size_t row = 0; row < kCylinderDirections + 2; ++row)
    std::fill_n(t.orderedWords.begin() + static_cast<std::ptrdiff_t>(row * stride + placed), MatchTemplate::kOrderedSlack, 0);
  for (std::size_t row = 0; row < 2; ++row)
    std::fill_n(t.orderedTurns.begin() + static_cast<std::ptrdiff_t>(row * stride + placed), MatchTemplate::kOrderedSlack, 0.0f);
  for (std::size_t place = 0; place < placed; ++place) {
    const int inOrder = static_cast<int>(place) - head;
    const int k = inOrder < 0 ? inOrder + ordered : inOrder < ordered ? inOrder : inOrder - ordered;
    const std::size_t i = static_cast<std::size_t>(t.byDirection[static_cast<std::size_t>(k)]);
    const Cylinder& c = t.cylinders[i];
    for (int d = 0; d < kCylinderDirections; ++d) t.orderedWords[static_cast<std::size_t>(d) * stride + place] = c.bits[d];
    t.orderedWords[kCylinderDirections * stride + place] = c.valid;
    t.orderedWords[(kCylinderDirections + 1) * stride + place] = i;
    t.orderedTurns[place] = t.cosDir[i];
    t.orderedTurns[stride + place] = t.sinDir[i];
  }
  // The 240ths another template's minutiae may lie in to pair with each minutia here:
  // those within the largest turn a pair may have, taken a little wide (each pair is
  // still checked). Clamped to the table, which reaches past that turn either way.
  static const float reach = TurnReachSteps();
  constexpr float kLastEntry = kTurnSteps + 2 * kWrap;
  const auto entry = [kLastEntry](float step) {
    return static_cast<std::uint16_t>(std::max(0.0f, std::min(step + static_cast<float>(kWrap), kLastEntry)));
  };
  t.turnRuns.resize(usable);
  for (std::size_t k = 0; k < usable; ++k) {
    const float d = t.sortedDirections[k] * kStepsPerRadian;
    t.turnRuns[k] = {entry(d - reach), entry(d + reach + 1)};
  }
}

}  // namespace mivex::vandrel
