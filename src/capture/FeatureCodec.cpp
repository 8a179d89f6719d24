#include "capture/FeatureCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <numbers>

namespace mivex {
namespace {

constexpr std::uint8_t kLiteralEmpty = 126;  // grid literal standing for an empty cell
constexpr std::uint8_t kLiteralHigh = 127;   // grid literal for a value above 120
constexpr int kRunLimit = 32;                // longest repeat / skip / delta code
constexpr int kMaxPrevious = 128;            // previous values are 7-bit literals

// Bounds-checked little-endian reader: every read fails instead of passing the end.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t length) : data_(data), length_(length) {}
  explicit ByteReader(const std::uint8_t* data, std::size_t length, std::size_t pos)
      : data_(data), length_(length), pos_(pos) {}

  bool U8(std::uint8_t& v) {
    if (pos_ >= length_) return false;
    v = data_[pos_++];
    return true;
  }
  bool Uint(int bytes, std::uint32_t& v) {
    if (pos_ > length_ || length_ - pos_ < static_cast<std::size_t>(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += bytes;
    return true;
  }
  // Copies the first min(n, keep) of the next n bytes into dest.
  bool Bytes(std::size_t n, std::uint8_t* dest, std::size_t keep) {
    if (pos_ > length_ || length_ - pos_ < n) return false;
    std::memcpy(dest, data_ + pos_, std::min(n, keep));
    pos_ += n;
    return true;
  }
  std::size_t Pos() const { return pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t pos_ = 0;
};

class ByteWriter {
 public:
  ByteWriter(std::uint8_t* data, std::size_t capacity, std::size_t pos = 0)
      : data_(data), capacity_(capacity), pos_(pos) {}
  bool U8(std::uint32_t v) { return Uint(1, v); }
  bool Uint(int bytes, std::uint32_t v) {
    if (pos_ > capacity_ || capacity_ - pos_ < static_cast<std::size_t>(bytes)) {
      ok_ = false;
      return false;
    }
    for (int i = 0; i < bytes; ++i) data_[pos_ + i] = static_cast<std::uint8_t>(v >> (8 * i));
    pos_ += bytes;
    return true;
  }
  bool Ok() const { return ok_; }
  std::size_t Pos() const { return pos_; }

 private:
  std::uint8_t* data_;
  std::size_t capacity_;
  std::size_t pos_;
  bool ok_ = true;
};

std::uint32_t PointWord(int dx, int dy, int type, int direction) {
  return (static_cast<std::uint32_t>(dx & 0x7FF) << 21) | (static_cast<std::uint32_t>(dy & 0x7FF) << 10) |
         (static_cast<std::uint32_t>(type & 3) << 8) | static_cast<std::uint32_t>(direction & 0xFF);
}

int WordX(std::uint32_t w) { return static_cast<int>(w >> 21); }
int WordY(std::uint32_t w) { return static_cast<int>((w >> 10) & 0x7FF); }
std::uint8_t WordType(std::uint32_t w) { return static_cast<std::uint8_t>((w >> 8) & 3); }
std::uint8_t WordDirection(std::uint32_t w) { return static_cast<std::uint8_t>(w & 0xFF); }

// Grid cell value of a decoded literal or previous value.
std::uint8_t CellOf(int value) { return value == kLiteralEmpty ? kGridEmpty : static_cast<std::uint8_t>(value); }

// Grid decoding state; cells outside the grid (or the 32 x 32 array) are consumed
// but not stored.
struct GridCursor {
  FeatureModel& model;
  int width, height;
  int row = 0, col = 0, previous = kLiteralEmpty;

  void Put(std::uint8_t cell) {
    if (row < height && col < width && row < kGridCells && col < kGridCells)
      model.Grid[row * kGridCells + col] = cell;
    ++col;
  }
  void EndOfCode() {
    if (col >= width) {
      ++row;
      col = 0;
      previous = kLiteralEmpty;
    }
  }
};

// Shortest code of a run of grid values (all below 120) given the previous value,
// found by exhaustive search with the remainder's best code memoised per
// (position, previous). Ties keep the earliest choice: shorter repeats before longer,
// repeats before deltas, fewer delta pairs before more, deltas before a literal.
class RunCoder {
 public:
  RunCoder(const std::uint8_t* run, int length) : run_(run), length_(length) {
    for (auto& row : cost_) std::fill(std::begin(row), std::end(row), -1);
  }

  bool Emit(int previous, ByteWriter& out) {
    int i = 0, p = previous;
    while (i < length_) {
      Best(i, p);
      const Choice c = choice_[i][p];
      if (c.kind == Kind::Repeat) {
        out.U8(0x80 | (c.count - 1));
        i += c.count;
      } else if (c.kind == Kind::Deltas) {
        out.U8(0xA0 | (c.count - 1));
        int q = p;
        for (int b = 0; b < c.count; ++b) {
          const int hi = Step(q, run_[i]) + 8;
          const int lo = Step(run_[i], run_[i + 1]) + 8;
          out.U8(static_cast<std::uint32_t>((hi << 4) | lo));
          q = run_[i + 1];
          i += 2;
        }
        p = q;
      } else {
        out.U8(run_[i]);
        p = run_[i];
        ++i;
      }
    }
    return out.Ok();
  }

 private:
  enum class Kind : std::uint8_t { Repeat, Deltas, Literal };
  struct Choice {
    Kind kind;
    std::uint8_t count;
  };

  // Step from a to b brought into -60..59.
  static int Step(int a, int b) {
    int d = ((b - a) % 120 + 120) % 120;
    return d >= 60 ? d - 120 : d;
  }

  int Best(int i, int p) {
    if (i == length_) return 0;
    if (cost_[i][p] >= 0) return cost_[i][p];
    int best = -1;
    Choice chosen{Kind::Literal, 1};
    auto consider = [&](int cost, Kind kind, int count) {
      if (best < 0 || cost < best) {
        best = cost;
        chosen = {kind, static_cast<std::uint8_t>(count)};
      }
    };
    if (p < 120) {
      int copies = 0;
      while (i + copies < length_ && run_[i + copies] == p) ++copies;
      for (int j = 2; j <= std::min(copies, kRunLimit); ++j) consider(1 + Best(i + j, p), Kind::Repeat, j);
      int prefix = 0, q = p;
      while (i + prefix < length_) {
        const int d = Step(q, run_[i + prefix]);
        if (d < -8 || d > 7) break;
        q = run_[i + prefix];
        ++prefix;
      }
      for (int b = 2; b <= std::min(prefix / 2, kRunLimit); ++b)
        consider(1 + b + Best(i + 2 * b, run_[i + 2 * b - 1]), Kind::Deltas, b);
    }
    consider(1 + Best(i + 1, run_[i]), Kind::Literal, 1);
    cost_[i][p] = static_cast<std::int16_t>(best);
    choice_[i][p] = chosen;
    return best;
  }

  const std::uint8_t* run_;
  int length_;
  std::int16_t cost_[kGridCells + 1][kMaxPrevious];
  Choice choice_[kGridCells + 1][kMaxPrevious];
};

// Index of the related singular point: lowest index of type 1, else 2, else 3,
// skipping `exclude`; -1 when none qualifies.
int ChooseRelatedPoint(const FeatureModel& m, int exclude) {
  for (int type = 1; type <= 3; ++type)
    for (int i = 0; i < m.SingularCount; ++i)
      if (i != exclude && m.Singular[i].Type == type) return i;
  return -1;
}

void Relate(FeatureModel& m, int point, std::uint8_t* angles, std::uint8_t* distances) {
  const FeatureSingularPoint& sp = m.Singular[point];
  for (int i = 0; i < m.MinutiaeCount; ++i) {
    const FeatureMinutia& mn = m.Minutiae[i];
    distances[i] = static_cast<std::uint8_t>(std::min(PointDistance(mn.X - sp.X, mn.Y - sp.Y) / 2, 255));
    const int angle = PointAngle(mn.X, mn.Y, sp.X, sp.Y) - mn.Direction;
    angles[i] = static_cast<std::uint8_t>(((angle % 240) + 240) % 240);
  }
}

}  // namespace

void ClearFeatureModel(FeatureModel& model) { std::memset(&model, 0, sizeof model); }

std::int32_t PointDistance(std::int32_t dx, std::int32_t dy) {
  const std::int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  constexpr std::int64_t kLimit = 8192;
  if (ax > kLimit || ay > kLimit) return kLimit + 1;
  const std::int64_t sq = ax * ax + ay * ay;
  if (sq > kLimit * kLimit) return kLimit + 1;
  std::int64_t r = static_cast<std::int64_t>(std::sqrt(static_cast<double>(sq)));
  while (r * r > sq) --r;
  while ((r + 1) * (r + 1) <= sq) ++r;
  return static_cast<std::int32_t>(r);
}

std::int32_t PointAngle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  const std::int64_t dx = static_cast<std::int64_t>(x1) - x2, dy = static_cast<std::int64_t>(y1) - y2;
  std::int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
  while (ax >= 50 || ay >= 50) {
    ax >>= 1;
    ay >>= 1;
  }
  const int a = (ax == 0 && ay == 0)
                    ? 60
                    : static_cast<int>(std::lround(std::atan2(static_cast<double>(ay), static_cast<double>(ax)) *
                                                   240.0 / (2.0 * std::numbers::pi)));
  int angle;
  if (dx <= 0)
    angle = dy <= 0 ? a : 240 - a;
  else
    angle = dy <= 0 ? 120 - a : 120 + a;
  return ((angle % 240) + 240) % 240;
}

bool DecodeOrientationGrid(const std::uint8_t* data, std::size_t length, std::size_t& pos, FeatureModel& model) {
  ByteReader in(data, length, pos);
  std::uint8_t w, h;
  if (!in.U8(w) || !in.U8(h)) return false;
  model.GridWidth = w + 1;
  model.GridHeight = h + 1;
  std::memset(model.Grid, kGridEmpty, sizeof model.Grid);
  GridCursor g{model, model.GridWidth, model.GridHeight};
  while (g.row < g.height) {
    std::uint8_t code;
    if (!in.U8(code)) return false;
    const int n = code & 0x1F;
    switch (code >> 5) {
      case 0: case 1: case 2: case 3:  // literal
        g.previous = code;
        g.Put(CellOf(code));
        break;
      case 4:  // repeat
        for (int i = 0; i <= n; ++i) g.Put(CellOf(g.previous));
        break;
      case 5:  // deltas, two per byte
        for (int i = 0; i <= n; ++i) {
          std::uint8_t b;
          if (!in.U8(b)) return false;
          for (int step : {(b >> 4) - 8, (b & 0xF) - 8}) {
            int v = g.previous + step;
            if (v < 0) v += 120;
            else if (v >= 120) v -= 120;
            g.previous = v;
            g.Put(static_cast<std::uint8_t>(v));
          }
        }
        break;
      case 6:  // skip cells
        if (n == 0) {
          g.col = g.width;
        } else {
          g.col += n + 1;
          g.previous = kLiteralEmpty;
        }
        break;
      default:  // skip rows
        if (n == 0) {
          g.row = g.height;
        } else {
          g.row += n + 1;
          g.col = 0;
          g.previous = kLiteralEmpty;
        }
        break;
    }
    g.EndOfCode();
  }
  pos = in.Pos();
  return true;
}

bool EncodeOrientationGrid(const FeatureModel& model, std::uint8_t* dest, std::size_t capacity, std::size_t& pos) {
  const int width = std::clamp<std::int32_t>(model.GridWidth, 0, kGridCells);
  const int height = std::clamp<std::int32_t>(model.GridHeight, 0, kGridCells);
  ByteWriter out(dest, capacity, pos);
  out.U8(static_cast<std::uint32_t>(width - 1));
  out.U8(static_cast<std::uint32_t>(height - 1));
  auto cell = [&](int r, int c) { return model.Grid[r * kGridCells + c]; };
  auto firstFilled = [&](int r, int from) {
    for (int c = from; c < width; ++c)
      if (cell(r, c) != kGridEmpty) return c;
    return -1;
  };
  int row = 0;
  while (row < height) {
    int previous = kLiteralEmpty, col = 0;
    int nextRow = row + 1;
    while (col < width) {
      const int filled = firstFilled(row, col);
      if (filled < 0) {
        int found = row + 1;
        while (found < height && firstFilled(found, 0) < 0) ++found;
        if (found >= height) {
          out.U8(0xE0);
          pos = out.Pos();
          return out.Ok();
        }
        if (found == row + 1) {
          out.U8(0xC0);
        } else {
          const int empties = std::min(found - row - 1, 31);
          out.U8(0xE0 | static_cast<std::uint32_t>(empties));
          nextRow = row + empties + 1;
        }
        break;
      }
      if (filled - col >= 2) {
        const int count = std::min(filled - col, kRunLimit);
        out.U8(0xC0 | static_cast<std::uint32_t>(count - 1));
        col += count;
        previous = kLiteralEmpty;
        continue;
      }
      std::uint8_t run[kGridCells];
      int runLength = 0;
      while (col + runLength < width && cell(row, col + runLength) < 120) {
        run[runLength] = cell(row, col + runLength);
        ++runLength;
      }
      if (runLength == 0) {
        const std::uint8_t v = cell(row, col);
        const int literal = v == kGridEmpty ? kLiteralEmpty : (v > 120 ? kLiteralHigh : v);
        out.U8(static_cast<std::uint32_t>(literal));
        previous = literal;
        ++col;
      } else {
        RunCoder coder(run, runLength);
        coder.Emit(previous, out);
        previous = run[runLength - 1];
        col += runLength;
      }
    }
    row = nextRow;
  }
  pos = out.Pos();
  return out.Ok();
}

std::int32_t DecodeFeatures(const std::uint8_t* record, std::size_t length, FeatureModel& model) {
  ClearFeatureModel(model);
  if (record == nullptr) return -1;
  ByteReader in(record, length);
  std::uint8_t flags;
  std::uint32_t origin, count;
  if (!in.U8(flags) || !in.U8(model.Header) || !in.Uint(3, origin) || !in.Uint(2, count)) return -1;
  const int x0 = static_cast<int>(origin >> 12) - 2048;
  const int y0 = static_cast<int>(origin & 0xFFF) - 2048;
  const int n = static_cast<int>(count);
  for (int i = 0; i < n; ++i) {
    std::uint32_t word;
    std::uint8_t extra = 255;
    if (!in.Uint(4, word)) return -1;
    if ((flags & kFlagExtraByte) && !in.U8(extra)) return -1;
    if (i < kMaxModelMinutiae) {
      model.Minutiae[i] = {static_cast<std::int16_t>(x0 + WordX(word)), static_cast<std::int16_t>(y0 + WordY(word)),
                           WordDirection(word), extra, WordType(word)};
    }
  }
  model.MinutiaeCount = std::min(n, kMaxModelMinutiae);
  if (flags & kFlagSingularPoints) {
    std::uint8_t m;
    if (!in.U8(m)) return -1;
    for (int i = 0; i < m; ++i) {
      std::uint32_t word;
      if (!in.Uint(4, word)) return -1;
      if (i < kMaxModelSingularPoints) {
        model.Singular[i] = {static_cast<std::int16_t>(x0 + WordX(word)), static_cast<std::int16_t>(y0 + WordY(word)),
                             WordType(word), WordDirection(word)};
      }
    }
    model.SingularCount = std::min<int>(m, kMaxModelSingularPoints);
  }
  if (flags & kFlagGrid) {
    std::size_t pos = in.Pos();
    if (!DecodeOrientationGrid(record, length, pos, model)) return -1;
    in = ByteReader(record, length, pos);
  }
  if (flags & kFlagRelations) {
    if (!in.U8(model.RelationHeader[0]) || !in.U8(model.RelationHeader[1])) return -1;
    const std::size_t keep = kMaxModelMinutiae;
    if (!in.Bytes(count, model.Angle1, keep) || !in.Bytes(count, model.Distance1, keep)) return -1;
    if (model.RelationHeader[1] != 0 &&
        (!in.Bytes(count, model.Angle2, keep) || !in.Bytes(count, model.Distance2, keep)))
      return -1;
  }
  if (flags & kFlagPairTail) {
    if (!in.U8(model.PairTail[0]) || !in.U8(model.PairTail[1])) return -1;
  }
  return static_cast<std::int32_t>(in.Pos());
}

std::int32_t EncodeFeatures(const FeatureModel& model, std::uint8_t* dest, std::size_t capacity) {
  if (dest == nullptr) return -1;
  const int minutiae = std::clamp<std::int32_t>(model.MinutiaeCount, 0, kMaxModelMinutiae);
  const int singular = std::clamp<std::int32_t>(model.SingularCount, 0, kMaxModelSingularPoints);
  const bool hasGrid = model.GridWidth > 0 && model.GridHeight > 0;
  std::uint8_t flags = 0;
  for (int i = 0; i < minutiae; ++i)
    if (model.Minutiae[i].Extra != 255) flags |= kFlagExtraByte;
  if (singular > 0) flags |= kFlagSingularPoints;
  if (hasGrid) flags |= kFlagGrid;
  if (model.RelationHeader[0] != 0) flags |= kFlagRelations;
  if (singular == 2) flags |= kFlagPairTail;

  int x0 = 0, y0 = 0;
  if (minutiae + singular > 0) {
    x0 = y0 = 1 << 20;
    for (int i = 0; i < minutiae; ++i) {
      x0 = std::min<int>(x0, model.Minutiae[i].X);
      y0 = std::min<int>(y0, model.Minutiae[i].Y);
    }
    for (int i = 0; i < singular; ++i) {
      x0 = std::min<int>(x0, model.Singular[i].X);
      y0 = std::min<int>(y0, model.Singular[i].Y);
    }
    x0 = std::clamp(x0, -2048, 2047);
    y0 = std::clamp(y0, -2048, 2047);
  }
  // Offsets are 11 bits: a point 2048 or more from the origin cannot be written
  // without wrapping onto another position, so it is left out.
  auto inRange = [&](int x, int y) { return x - x0 >= 0 && x - x0 <= 2047 && y - y0 >= 0 && y - y0 <= 2047; };

  ByteWriter out(dest, capacity);
  out.U8(flags);
  out.U8(model.Header);
  out.Uint(3, (static_cast<std::uint32_t>(x0 + 2048) << 12) | static_cast<std::uint32_t>(y0 + 2048));
  const std::size_t countPos = out.Pos();
  out.Uint(2, 0);
  int written[kMaxModelMinutiae];
  int writtenCount = 0;
  for (int i = 0; i < minutiae; ++i) {
    const FeatureMinutia& m = model.Minutiae[i];
    if (!inRange(m.X, m.Y)) continue;
    out.Uint(4, PointWord(m.X - x0, m.Y - y0, m.Type, m.Direction));
    if (flags & kFlagExtraByte) out.U8(m.Extra);
    written[writtenCount++] = i;
  }
  if (!out.Ok()) return -1;
  ByteWriter(dest, capacity, countPos).Uint(2, static_cast<std::uint32_t>(writtenCount));

  if (flags & kFlagSingularPoints) {
    const std::size_t countAt = out.Pos();
    out.U8(0);
    int pointsWritten = 0;
    for (int i = 0; i < singular; ++i) {
      const FeatureSingularPoint& p = model.Singular[i];
      if (!inRange(p.X, p.Y)) continue;
      out.Uint(4, PointWord(p.X - x0, p.Y - y0, p.Type, p.Direction));
      ++pointsWritten;
    }
    if (!out.Ok()) return -1;
    ByteWriter(dest, capacity, countAt).U8(static_cast<std::uint32_t>(pointsWritten));
  }
  if (hasGrid) {
    std::size_t pos = out.Pos();
    if (!out.Ok() || !EncodeOrientationGrid(model, dest, capacity, pos)) return -1;
    out = ByteWriter(dest, capacity, pos);
  }
  if (flags & kFlagRelations) {
    out.U8(model.RelationHeader[0]);
    out.U8(model.RelationHeader[1]);
    const std::uint8_t* arrays[4] = {model.Angle1, model.Distance1, model.Angle2, model.Distance2};
    const int arrayCount = model.RelationHeader[1] != 0 ? 4 : 2;
    for (int a = 0; a < arrayCount; ++a)
      for (int k = 0; k < writtenCount; ++k) out.U8(arrays[a][written[k]]);
  }
  if (flags & kFlagPairTail) {
    out.U8(model.PairTail[0]);
    out.U8(model.PairTail[1]);
  }
  if (!out.Ok()) return -1;
  return static_cast<std::int32_t>(out.Pos());
}

std::int32_t RepackFeatures(std::uint8_t* record, std::size_t length, std::size_t capacity,
                            std::int32_t& minutiaeCount, std::int32_t* singularCount) {
  minutiaeCount = 0;
  if (singularCount) *singularCount = 0;
  FeatureModel m;
  const std::int32_t decoded = DecodeFeatures(record, length, m);
  if (decoded < 0) return -1;
  minutiaeCount = m.MinutiaeCount;
  if (singularCount) *singularCount = m.SingularCount;
  if (m.SingularCount == 0) return decoded;

  m.RelationHeader[0] = m.RelationHeader[1] = 0;
  std::memset(m.Angle2, 0, sizeof m.Angle2);
  std::memset(m.Distance2, 0, sizeof m.Distance2);
  const int first = ChooseRelatedPoint(m, -1);
  if (first >= 0) {
    m.RelationHeader[0] = m.Singular[first].Type;
    Relate(m, first, m.Angle1, m.Distance1);
    const int second = ChooseRelatedPoint(m, first);
    if (second >= 0) {
      m.RelationHeader[1] = m.Singular[second].Type;
      Relate(m, second, m.Angle2, m.Distance2);
    }
  }
  if (m.SingularCount == 2) {
    const int lo = std::min(m.Singular[0].Type, m.Singular[1].Type);
    const int hi = std::max(m.Singular[0].Type, m.Singular[1].Type);
    m.PairTail[0] = static_cast<std::uint8_t>(lo == 1 ? hi : lo == 2 ? hi + 2 : 6);
    m.PairTail[1] = static_cast<std::uint8_t>(
        std::min(PointDistance(m.Singular[0].X - m.Singular[1].X, m.Singular[0].Y - m.Singular[1].Y) / 2, 255));
  }
  for (int i = 0; i < m.MinutiaeCount; ++i) {
    FeatureMinutia& mn = m.Minutiae[i];
    bool near = false;
    for (int s = 0; s < m.SingularCount; ++s)
      near = near || PointDistance(mn.X - m.Singular[s].X, mn.Y - m.Singular[s].Y) < 60;
    mn.Type = static_cast<std::uint8_t>(near ? (mn.Type | kMinutiaNearSingular) : (mn.Type & ~kMinutiaNearSingular));
  }
  std::uint8_t packed[kMaxEncodedFeatures];
  const std::int32_t written = EncodeFeatures(m, packed, sizeof packed);
  if (written < 0 || static_cast<std::size_t>(written) > capacity) {
    minutiaeCount = 0;
    if (singularCount) *singularCount = 0;
    return -1;
  }
  std::memcpy(record, packed, static_cast<std::size_t>(written));
  return written;
}

}  // namespace mivex
