#pragma once
// Rotation- and translation-invariant descriptions of each minutia's neighbourhood:
// a cylinder of 8 x 8 spatial cells around the minutia, in its own frame, times 6
// bins of relative neighbour direction. A bit is set where a neighbour lies; a cell
// is valid where the print (the region the minutiae span) is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "Kernels.h"
#include "Minutia.h"
#include "VandrelParams.h"

namespace mivex::vandrel {

struct Cylinder {
  std::uint64_t bits[params::kCylinderDirections];  // one word of 64 spatial cells per direction bin, valid ones only
  std::uint64_t valid;                              // spatial cells inside the print
  bool usable;                                      // enough neighbours and valid cells to compare
};

// The print region a template's minutiae span: a coarse raster of the cells near some
// minutia, with the gaps between the outermost cells of every row and column filled
// (a cheap stand-in for the enlarged convex hull). The raster has a frame of outside
// cells, so a point just off it, or anywhere when there are no minutiae, reads outside
// without bounds checks in the tight loops.
class PrintRegion {
 public:
  PrintRegion() = default;
  explicit PrintRegion(const std::vector<Minutia>& minutiae, Kernel kernel = FastestKernel());
  // The region of other minutiae, in this one's storage.
  void Assign(const std::vector<Minutia>& minutiae, Kernel kernel = FastestKernel());
  bool Inside(float x, float y) const { return depth_[CellAt(x, y)] != 0; }
  // ClearRadius(x, y) > 0: (x, y) is inside and not at the border.
  bool WellInside(float x, float y) const { return depth_[CellAt(x, y)] > 1; }
  // A radius around (x, y) within which every point is inside: 0 when the point is
  // outside or at the border (a quick answer for places deep in the print; the true
  // radius may be larger).
  float ClearRadius(float x, float y) const {
    // d cells to the nearest outside cell leave d - 1 whole rings around the point's cell.
    return static_cast<float>(std::max(depth_[CellAt(x, y)] - 1, 0) * kRasterCell);
  }
  // Which of up to 64 points lie inside: point k is (x, y) plus the offset
  // (dx[k], dy[k]) turned by the angle whose cosine and sine are (c, s); bit k of the
  // result.
  std::uint64_t InsideOffsets(float x, float y, float c, float s, const float* dx, const float* dy, int count,
                              Kernel kernel = FastestKernel()) const;
  static constexpr int kRasterCell = 16;  // pixels per cell of the raster; clear radii are multiples
  // Depths (cells to the nearest outside cell) are counted up to this: clear radii up
  // to the first whole number of cells that covers a cylinder, past which no use of
  // them changes.
  static constexpr int kDepthCap = static_cast<int>(params::kCylinderRadius / kRasterCell) + 2;
  // Starts loading the raster into the processor's caches (see MatchTemplate::Prefetch).
  void Prefetch() const;

 private:
  // The cell holding (x, y); off the raster, the corner cell of the frame.
  std::size_t CellAt(float x, float y) const {
    const float fx = (x - x0_) * (1.0f / kRasterCell), fy = (y - y0_) * (1.0f / kRasterCell);
    const bool within = (fx >= 0) & (fy >= 0) & (fx < static_cast<float>(w_)) & (fy < static_cast<float>(h_));
    // Worked out without a branch, from the place clamped onto the raster (where any
    // float, a NaN too, converts): whether a place is on it is as unforeseeable as the
    // places themselves.
    const float cx = std::min(static_cast<float>(w_), std::max(0.0f, fx));
    const float cy = std::min(static_cast<float>(h_), std::max(0.0f, fy));
    const auto cell = static_cast<std::size_t>(static_cast<std::int32_t>(cy) * w_ + static_cast<std::int32_t>(cx));
    return cell & (std::size_t{0} - static_cast<std::size_t>(within));
  }
  float x0_ = 0, y0_ = 0;
  int w_ = 0, h_ = 0;
  // Cells to the nearest outside cell (0 outside), capped; then kReadSlack zeros, so
  // that four bytes can be read at any cell.
  static constexpr std::size_t kReadSlack = 3;
  std::vector<std::uint8_t> depth_ = std::vector<std::uint8_t>(1 + kReadSlack, 0);
};

struct MatchTemplate {
  PrintRegion region;
  std::vector<Minutia> minutiae;
  std::vector<float> cosDir, sinDir;
  std::vector<Cylinder> cylinders;
  // The minutiae with usable cylinders by direction: their directions in [0, 2 pi),
  // ascending, and their indices in that order (the minutiae a turned minutia can
  // pair with are one run).
  std::vector<float> sortedDirections;
  std::vector<int> byDirection;
  // The same cylinders word by word, for comparing many at a time, in direction order
  // with its ends repeated around it: first those within kWrapSteps 240ths below 2 pi,
  // then all, then those within kWrapSteps above 0. The minutiae turned less than a
  // pair may be from any direction are then one run of places, also where that turn
  // wraps past 2 pi. Row d holds the word of direction bin d of each, then come a row of
  // their valid cells and one of their minutiae's indices. Every row is orderedStride
  // long, with room for kOrderedSlack zero words past the last cylinder, so whole
  // vectors can be read at the end of a run. orderedTurns holds their directions'
  // cosines, then their sines, in rows of the same stride.
  static constexpr int kTurnSteps = 240;
  static constexpr int kWrapSteps = 42;  // past the largest turn of a pair (60 degrees, 40 240ths) and its margin
  static constexpr std::size_t kOrderedSlack = 7;
  std::size_t orderedStride = 0;
  std::vector<std::uint64_t> orderedWords;
  std::vector<float> orderedTurns;
  // Where each whole 240th of a turn starts in those rows, for 240ths from -kWrapSteps
  // to kTurnSteps + kWrapSteps: directionStarts[s + kWrapSteps] is the place of the
  // first minutia whose direction is s 240ths or more (counting the repeated ends as
  // 2 pi less and more).
  std::vector<int> directionStarts;
  // For each minutia in direction order, the run of another template's rows it is
  // compared with, as entries of that template's directionStarts: a function of its
  // direction alone, worked out once here.
  struct TurnRun {
    std::uint16_t from, to;
  };
  std::vector<TurnRun> turnRuns;
  // The minutiae from top to bottom: their rows, ascending, their indices, and their
  // columns (a scan of nearby rows reads both coordinates without going through the
  // indices).
  std::vector<float> sortedY;
  std::vector<int> byY;
  std::vector<float> sortedX;
  std::vector<float> sortedCos, sortedSin;  // their directions' cosines and sines
  // Where each band of kBandHeight rows, from the top minutia's row down, starts in
  // that order: bandStarts[r] is the number of minutiae above band r.
  static constexpr float kBandHeight = 16;
  std::vector<int> bandStarts;
  // Starts loading the rows a comparison reads of the template it is given first
  // into the processor's caches, without waiting for them: a search does so for the
  // next gallery template while it compares the current one. Its rows are separate
  // blocks of memory read in no order the processor foresees (cylinders by direction,
  // the region by position), so each would otherwise stall the comparison that
  // reads it first.
  void Prefetch() const;
  // Frees the rows that only a template given second to a comparison reads (the
  // ordered rows, the direction starts, the top-to-bottom order), over half of its
  // memory: a search gallery's templates are only ever given first. Such a template
  // must not be given second.
  void KeepFirstPlaceRows();
  // The places in top-to-bottom order of a run holding every minutia whose row lies
  // within `reach` of y (and perhaps a few more).
  std::pair<int, int> RowsAround(float y, float reach) const {
    if (sortedY.empty()) return {0, 0};
    // Bands as fractions, clamped before they become whole, so that places far off the
    // print read as the first or last band (and a place that is not a number as the
    // first).
    const float bands = static_cast<float>(bandStarts.size() - 1);
    const auto band = [bands](float at) { return std::max(0.0f, std::min(at, bands)); };
    const float from = band((y - reach - sortedY[0]) / kBandHeight);
    const float to = band((y + reach - sortedY[0]) / kBandHeight + 1);
    return {bandStarts[static_cast<std::size_t>(from)], bandStarts[static_cast<std::size_t>(to)]};
  }
};

// Prepares a template for matching from its minutiae.
void BuildMatchTemplate(const std::vector<Minutia>& minutiae, MatchTemplate& out, Kernel kernel = FastestKernel());

}  // namespace mivex::vandrel
