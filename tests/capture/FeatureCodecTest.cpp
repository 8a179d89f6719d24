#include "capture/FeatureCodec.h"

#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace mivex {
namespace {

// Writes records byte by byte, independently of the encoder under test.
struct RecordBuilder {
  std::vector<std::uint8_t> bytes;
  void U8(int v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
  void Le(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Header(int flags, int x0, int y0, int count) {
    U8(flags);
    U8(0x5A);
    Le((static_cast<std::uint32_t>(x0 + 2048) << 12) | static_cast<std::uint32_t>(y0 + 2048), 3);
    Le(static_cast<std::uint32_t>(count), 2);
  }
  void Point(int dx, int dy, int type, int dir) {
    Le((static_cast<std::uint32_t>(dx) << 21) | (static_cast<std::uint32_t>(dy) << 10) |
           (static_cast<std::uint32_t>(type) << 8) | static_cast<std::uint32_t>(dir),
       4);
  }
};

FeatureModel EmptyModel() {
  FeatureModel m;
  ClearFeatureModel(m);
  std::memset(m.Grid, kGridEmpty, sizeof m.Grid);
  return m;
}

void AddMinutia(FeatureModel& m, int x, int y, int dir, int type = 0, int extra = 255) {
  m.Minutiae[m.MinutiaeCount++] = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                   static_cast<std::uint8_t>(dir), static_cast<std::uint8_t>(extra),
                                   static_cast<std::uint8_t>(type)};
}

void AddSingular(FeatureModel& m, int x, int y, int type) {
  m.Singular[m.SingularCount++] = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                   static_cast<std::uint8_t>(type), 0};
}

std::vector<std::uint8_t> Encode(const FeatureModel& m) {
  std::vector<std::uint8_t> out(kMaxEncodedFeatures);
  const std::int32_t n = EncodeFeatures(m, out.data(), out.size());
  EXPECT_GT(n, 0);
  out.resize(static_cast<std::size_t>(std::max(n, 0)));
  return out;
}

FeatureModel Decode(const std::vector<std::uint8_t>& record) {
  FeatureModel m;
  EXPECT_EQ(DecodeFeatures(record.data(), record.size(), m), static_cast<std::int32_t>(record.size()));
  return m;
}

// Encodes a model that holds only a grid and returns the grid codes (after W-1, H-1).
std::vector<std::uint8_t> GridCodes(const FeatureModel& m) {
  std::vector<std::uint8_t> out(kMaxEncodedFeatures);
  std::size_t pos = 0;
  EXPECT_TRUE(EncodeOrientationGrid(m, out.data(), out.size(), pos));
  return {out.begin() + 2, out.begin() + static_cast<std::ptrdiff_t>(pos)};
}

TEST(PointGeometry, DistanceIsTheFlooredLengthWithALimit) {
  EXPECT_EQ(PointDistance(3, 4), 5);
  EXPECT_EQ(PointDistance(-3, -4), 5);
  EXPECT_EQ(PointDistance(1, 1), 1);
  EXPECT_EQ(PointDistance(0, 59), 59);
  EXPECT_EQ(PointDistance(8192, 0), 8192);
  EXPECT_EQ(PointDistance(8193, 0), 8193);
  EXPECT_EQ(PointDistance(6000, 6000), 8193);
  EXPECT_EQ(PointDistance(INT32_MIN, 0), 8193);
}

TEST(PointGeometry, AngleRunsClockwiseOnTheScreenFromPlusX) {
  EXPECT_EQ(PointAngle(10, 10, 20, 10), 0);    // right
  EXPECT_EQ(PointAngle(10, 10, 10, 20), 60);   // down
  EXPECT_EQ(PointAngle(10, 10, 0, 10), 120);   // left
  EXPECT_EQ(PointAngle(10, 10, 10, 0), 180);   // up
  EXPECT_EQ(PointAngle(0, 0, 10, 10), 30);
  EXPECT_EQ(PointAngle(0, 0, -10, -10), 150);
  EXPECT_EQ(PointAngle(0, 0, 1000, -1000), 210);
  EXPECT_EQ(PointAngle(5, 5, 5, 5), 60);  // the table's value for a null vector
}

TEST(FeatureCodec, RecordWithoutSingularPointsIsLeftByteForByte) {
  RecordBuilder b;
  b.Header(kFlagExtraByte, 100, 50, 2);
  b.Point(1, 2, 1, 17);
  b.U8(9);
  b.Point(30, 40, 0, 239);
  b.U8(255);
  const std::size_t length = b.bytes.size();
  std::vector<std::uint8_t> buffer = b.bytes;
  buffer.resize(10000, 0xEE);
  const std::vector<std::uint8_t> before = buffer;
  std::int32_t count = -1, singular = -1;
  EXPECT_EQ(RepackFeatures(buffer.data(), buffer.size(), buffer.size(), count, &singular),
            static_cast<std::int32_t>(length));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(singular, 0);
  EXPECT_EQ(buffer, before);
}

TEST(FeatureCodec, EightyFiveMinutiaeAreCutToTheFirstEighty) {
  RecordBuilder b;
  b.Header(kFlagSingularPoints, 0, 0, 85);
  for (int i = 0; i < 85; ++i) b.Point(i * 3, 500 - i, i & 1, i % 240);
  b.U8(1);
  b.Point(300, 300, 1, 0);
  std::vector<std::uint8_t> buffer = b.bytes;
  buffer.resize(10000);
  std::int32_t count = 0;
  const std::int32_t length = RepackFeatures(buffer.data(), buffer.size(), buffer.size(), count);
  ASSERT_GT(length, 0);
  EXPECT_EQ(count, 80);
  FeatureModel m;
  ASSERT_EQ(DecodeFeatures(buffer.data(), static_cast<std::size_t>(length), m), length);
  EXPECT_EQ(buffer[5] | (buffer[6] << 8), 80);
  ASSERT_EQ(m.MinutiaeCount, 80);
  for (int i = 0; i < 80; ++i) {
    EXPECT_EQ(m.Minutiae[i].X, i * 3);
    EXPECT_EQ(m.Minutiae[i].Y, 500 - i);
    EXPECT_EQ(m.Minutiae[i].Direction, i % 240);
  }
  EXPECT_EQ(m.RelationHeader[0], 1);
  EXPECT_EQ(m.RelationHeader[1], 0);
  // Minutia 0 at (0, 500), core at (300, 300): distance 360 -> byte 180.
  EXPECT_EQ(m.Distance1[0], 180);
  EXPECT_EQ(m.Angle1[0], PointAngle(0, 500, 300, 300));
}

TEST(FeatureCodec, PairCodeComesFromTheTwoTypes) {
  struct Case {
    int a, b, code;
  } cases[] = {{2, 3, 5}, {3, 2, 5}, {1, 1, 1}, {3, 3, 6}, {1, 3, 3}, {2, 2, 4}, {1, 2, 2}};
  for (const Case& c : cases) {
    FeatureModel m = EmptyModel();
    AddMinutia(m, 10, 10, 0);
    AddSingular(m, 100, 100, c.a);
    AddSingular(m, 160, 180, c.b);  // 100 apart
    std::vector<std::uint8_t> rec = Encode(m);
    rec.resize(10000);
    std::int32_t count = 0;
    const std::int32_t n = RepackFeatures(rec.data(), rec.size(), rec.size(), count);
    ASSERT_GT(n, 0);
    FeatureModel out;
    ASSERT_EQ(DecodeFeatures(rec.data(), static_cast<std::size_t>(n), out), n);
    EXPECT_EQ(out.PairTail[0], c.code) << c.a << "," << c.b;
    EXPECT_EQ(out.PairTail[1], 50);
  }
}

TEST(FeatureCodec, RelatedPointsPreferTheLowestType) {
  FeatureModel m = EmptyModel();
  AddMinutia(m, 50, 50, 30);
  AddSingular(m, 10, 10, 3);
  AddSingular(m, 90, 90, 2);
  AddSingular(m, 10, 90, 2);
  std::vector<std::uint8_t> rec = Encode(m);
  rec.resize(2000);
  std::int32_t count = 0, singular = 0;
  const std::int32_t n = RepackFeatures(rec.data(), rec.size(), rec.size(), count, &singular);
  ASSERT_GT(n, 0);
  EXPECT_EQ(singular, 3);
  FeatureModel out;
  ASSERT_EQ(DecodeFeatures(rec.data(), static_cast<std::size_t>(n), out), n);
  EXPECT_EQ(out.RelationHeader[0], 2);
  EXPECT_EQ(out.RelationHeader[1], 2);
  EXPECT_EQ(out.Distance1[0], PointDistance(50 - 90, 50 - 90) / 2);  // index 1 first
  EXPECT_EQ(out.Distance2[0], PointDistance(50 - 10, 50 - 90) / 2);
  EXPECT_EQ(out.Angle1[0], (PointAngle(50, 50, 90, 90) - 30 + 240) % 240);
  EXPECT_TRUE(out.Minutiae[0].Type & kMinutiaNearSingular);  // 56 from (10, 10)
}

TEST(FeatureCodec, NearSingularBitBelowSixtyPixels) {
  FeatureModel m = EmptyModel();
  AddMinutia(m, 200, 259, 0, 1);  // distance 59
  AddMinutia(m, 200, 260, 0, 1);  // distance 60
  AddMinutia(m, 200, 141, 0, 3);  // 59 above, bit already set
  AddMinutia(m, 200, 100, 0, 2);  // 100 away, stale bit cleared
  AddSingular(m, 200, 200, 1);
  std::vector<std::uint8_t> rec = Encode(m);
  rec.resize(2000);
  std::int32_t count = 0;
  const std::int32_t n = RepackFeatures(rec.data(), rec.size(), rec.size(), count);
  FeatureModel out;
  ASSERT_EQ(DecodeFeatures(rec.data(), static_cast<std::size_t>(n), out), n);
  EXPECT_EQ(out.Minutiae[0].Type, 1 | kMinutiaNearSingular);
  EXPECT_EQ(out.Minutiae[1].Type, 1);
  EXPECT_EQ(out.Minutiae[2].Type, 3);
  EXPECT_EQ(out.Minutiae[3].Type, 0);
}

TEST(OrientationGrid, OnlyTheLastRowFilledRoundTrips) {
  FeatureModel m = EmptyModel();
  m.GridWidth = 5;
  m.GridHeight = 4;
  for (int c = 0; c < 5; ++c) m.Grid[3 * kGridCells + c] = static_cast<std::uint8_t>(20 + c);
  AddMinutia(m, 0, 0, 0);
  const FeatureModel out = Decode(Encode(m));
  EXPECT_EQ(out.GridWidth, 5);
  EXPECT_EQ(out.GridHeight, 4);
  EXPECT_EQ(0, std::memcmp(out.Grid, m.Grid, sizeof m.Grid));
  // Rest of row 0 and the 2 rows after it are empty, then the last row.
  EXPECT_EQ(GridCodes(m).front(), 0xE2);
}

TEST(OrientationGrid, RepeatCodeCarriesThreeCopies) {
  FeatureModel m = EmptyModel();
  m.GridWidth = 4;
  m.GridHeight = 1;
  for (int c = 0; c < 4; ++c) m.Grid[c] = 10;
  // A literal 10 sets previous, then 10, 10, 10 after previous 10 is one repeat.
  EXPECT_EQ(GridCodes(m), (std::vector<std::uint8_t>{10, 0x82}));
}

TEST(OrientationGrid, ChoosesTheShortestCodesWithEarliestTies) {
  FeatureModel m = EmptyModel();
  m.GridWidth = 15;
  m.GridHeight = 2;
  const std::uint8_t row0[] = {10, 12, 14, 16, 18, 255, 255, 255, 118, 2, 119, 119, 119, 200, 120};
  std::memcpy(m.Grid, row0, sizeof row0);
  m.Grid[kGridCells + 1] = 7;
  const std::vector<std::uint8_t> expected = {
      10, 0xA1, 0xAA, 0xAA,  // literal, then two delta pairs of +2 (3 bytes for 4 cells)
      0xC2,                  // three empty cells
      118, 0xA1, 0xC5, 0x88,  // +4 wraps to 2, -3 wraps to 119: deltas tie with literal+repeat
      127, 120,              // a value above 120 becomes 127; 120 is its own literal
      126, 7, 0xE0};         // one empty cell as a literal, then 7, then the rest is empty
  EXPECT_EQ(GridCodes(m), expected);
  FeatureModel with = m;
  AddMinutia(with, 0, 0, 0);
  const FeatureModel out = Decode(Encode(with));
  FeatureModel want = m;
  want.Grid[13] = 127;
  EXPECT_EQ(0, std::memcmp(out.Grid, want.Grid, sizeof want.Grid));
}

TEST(FeatureCodecSafety, EveryTruncationIsRejected) {
  FeatureModel m = EmptyModel();
  for (int i = 0; i < 30; ++i) AddMinutia(m, 20 + i * 5, 40 + i * 3, i * 7, i & 1, i);
  AddSingular(m, 100, 120, 1);
  AddSingular(m, 110, 200, 3);
  m.GridWidth = 16;
  m.GridHeight = 18;
  for (int i = 0; i < 16 * 18; ++i) m.Grid[(i / 16) * kGridCells + i % 16] = static_cast<std::uint8_t>(i % 7 ? i % 120 : 255);
  std::vector<std::uint8_t> rec = Encode(m);
  rec.resize(4000);
  std::int32_t count = 0;
  const std::int32_t n = RepackFeatures(rec.data(), rec.size(), rec.size(), count);
  ASSERT_GT(n, 0);
  for (std::int32_t len = 0; len < n; ++len) {
    // An exact-size copy, so the sanitizer sees any read past the end.
    std::vector<std::uint8_t> part(rec.begin(), rec.begin() + len);
    FeatureModel out;
    EXPECT_EQ(DecodeFeatures(part.data(), part.size(), out), -1) << len;
    std::int32_t c = 7;
    EXPECT_EQ(RepackFeatures(part.data(), part.size(), part.size(), c), -1);
    EXPECT_EQ(c, 0);
  }
}

TEST(FeatureCodecSafety, HostileCountsAndGridCodesStayInsideTheModel) {
  RecordBuilder b;
  b.Header(kFlagSingularPoints | kFlagGrid | kFlagRelations | kFlagPairTail, -2048, -2048, 90);
  for (int i = 0; i < 90; ++i) b.Point(2047, 2047, 3, 255);
  b.U8(9);
  for (int i = 0; i < 9; ++i) b.Point(i, i, 2, 1);
  b.U8(255);  // width 256
  b.U8(255);  // height 256
  for (int r = 0; r < 40; ++r) {
    b.U8(0x9F);  // 32 repeats
    b.U8(0xBF);  // 32 delta bytes = 64 cells, running past the row
    for (int i = 0; i < 32; ++i) b.U8(0xFF);
    b.U8(0xDF);  // skip 32
  }
  b.U8(0xE0);
  b.U8(1);
  b.U8(2);
  for (int i = 0; i < 4 * 90; ++i) b.U8(i);
  b.U8(6);
  b.U8(7);
  FeatureModel m;
  ASSERT_EQ(DecodeFeatures(b.bytes.data(), b.bytes.size(), m), static_cast<std::int32_t>(b.bytes.size()));
  EXPECT_EQ(m.MinutiaeCount, 80);
  EXPECT_EQ(m.SingularCount, 4);
  EXPECT_EQ(m.GridWidth, 256);
  EXPECT_EQ(m.Minutiae[79].X, -1);
  EXPECT_EQ(m.Angle2[79], static_cast<std::uint8_t>(2 * 90 + 79));
  EXPECT_EQ(m.PairTail[1], 7);
  // Re-encoding clamps the grid to 32 x 32 and keeps only points within 11-bit offsets.
  std::vector<std::uint8_t> rec(b.bytes);
  rec.resize(10000);
  std::int32_t count = 0, singular = 0;
  const std::int32_t n = RepackFeatures(rec.data(), b.bytes.size(), rec.size(), count, &singular);
  ASSERT_GT(n, 0);
  FeatureModel again;
  ASSERT_EQ(DecodeFeatures(rec.data(), static_cast<std::size_t>(n), again), n);
  EXPECT_EQ(again.GridWidth, 32);
  EXPECT_EQ(again.GridHeight, 32);
  EXPECT_EQ(again.MinutiaeCount, 80);
  EXPECT_EQ(again.SingularCount, 4);
}

TEST(FeatureCodecSafety, NullAndTinyBuffers) {
  FeatureModel m;
  EXPECT_EQ(DecodeFeatures(nullptr, 100, m), -1);
  std::int32_t count = 5;
  EXPECT_EQ(RepackFeatures(nullptr, 0, 0, count), -1);
  FeatureModel model = EmptyModel();
  AddMinutia(model, 1, 1, 1);
  std::uint8_t small[6];
  EXPECT_EQ(EncodeFeatures(model, small, sizeof small), -1);
  // A re-encoding that does not fit the caller's buffer leaves the record untouched.
  AddSingular(model, 5, 5, 1);
  std::vector<std::uint8_t> rec = Encode(model);
  const std::vector<std::uint8_t> before = rec;
  EXPECT_EQ(RepackFeatures(rec.data(), rec.size(), rec.size(), count), -1);
  EXPECT_EQ(rec, before);
}

// Random models shaped like engine output: smooth orientation fields with holes.
FeatureModel RandomModel(std::mt19937& rng) {
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  FeatureModel m = EmptyModel();
  m.Header = static_cast<std::uint8_t>(uni(0, 255));
  const int baseX = uni(-2048, 2047), baseY = uni(-2048, 2047);
  const int span = uni(1, 2047);
  const bool extra = uni(0, 1);
  const int n = uni(0, 80);
  for (int i = 0; i < n; ++i)
    AddMinutia(m, baseX + uni(0, span), baseY + uni(0, span), uni(0, 255), uni(0, 3), extra ? uni(0, 255) : 255);
  const int s = uni(0, 4);
  for (int i = 0; i < s; ++i) {
    AddSingular(m, baseX + uni(0, span), baseY + uni(0, span), uni(0, 3));
    m.Singular[i].Direction = static_cast<std::uint8_t>(uni(0, 255));
  }
  if (uni(0, 3) != 0) {
    m.GridWidth = uni(1, 32);
    m.GridHeight = uni(1, 32);
    int v = uni(0, 119);
    for (int r = 0; r < m.GridHeight; ++r)
      for (int c = 0; c < m.GridWidth; ++c) {
        const int roll = uni(0, 99);
        if (roll < 15) {
          m.Grid[r * kGridCells + c] = kGridEmpty;
          continue;
        }
        if (roll < 25) v = uni(0, 119);
        else if (roll < 28) v = 120;
        else if (roll > 60) v = ((v % 120) + uni(-9, 9) + 120) % 120;
        m.Grid[r * kGridCells + c] = static_cast<std::uint8_t>(v);
      }
  }
  if (uni(0, 1)) {
    m.RelationHeader[0] = static_cast<std::uint8_t>(uni(1, 3));
    m.RelationHeader[1] = static_cast<std::uint8_t>(uni(0, 3));
    for (int i = 0; i < n; ++i) {
      m.Angle1[i] = static_cast<std::uint8_t>(uni(0, 255));
      m.Distance1[i] = static_cast<std::uint8_t>(uni(0, 255));
      m.Angle2[i] = static_cast<std::uint8_t>(uni(0, 255));
      m.Distance2[i] = static_cast<std::uint8_t>(uni(0, 255));
    }
  }
  m.PairTail[0] = static_cast<std::uint8_t>(uni(0, 255));
  m.PairTail[1] = static_cast<std::uint8_t>(uni(0, 255));
  return m;
}

void ExpectEncodedFieldsEqual(const FeatureModel& in, const FeatureModel& out) {
  ASSERT_EQ(out.Header, in.Header);
  ASSERT_EQ(out.MinutiaeCount, in.MinutiaeCount);
  bool extra = false;
  for (int i = 0; i < in.MinutiaeCount; ++i) extra = extra || in.Minutiae[i].Extra != 255;
  for (int i = 0; i < in.MinutiaeCount; ++i) {
    const FeatureMinutia &a = in.Minutiae[i], &b = out.Minutiae[i];
    ASSERT_EQ(b.X, a.X);
    ASSERT_EQ(b.Y, a.Y);
    ASSERT_EQ(b.Direction, a.Direction);
    ASSERT_EQ(b.Type, a.Type);
    ASSERT_EQ(b.Extra, extra ? a.Extra : 255);
  }
  ASSERT_EQ(out.SingularCount, in.SingularCount);
  for (int i = 0; i < in.SingularCount; ++i) {
    ASSERT_EQ(out.Singular[i].X, in.Singular[i].X);
    ASSERT_EQ(out.Singular[i].Y, in.Singular[i].Y);
    ASSERT_EQ(out.Singular[i].Type, in.Singular[i].Type);
    ASSERT_EQ(out.Singular[i].Direction, in.Singular[i].Direction);
  }
  if (in.GridWidth > 0 && in.GridHeight > 0) {
    ASSERT_EQ(out.GridWidth, in.GridWidth);
    ASSERT_EQ(out.GridHeight, in.GridHeight);
    for (int r = 0; r < in.GridHeight; ++r)
      for (int c = 0; c < in.GridWidth; ++c) ASSERT_EQ(out.Grid[r * kGridCells + c], in.Grid[r * kGridCells + c]);
  } else {
    ASSERT_EQ(out.GridWidth, 0);
  }
  if (in.RelationHeader[0] != 0) {
    ASSERT_EQ(out.RelationHeader[1], in.RelationHeader[1]);
    for (int i = 0; i < in.MinutiaeCount; ++i) {
      ASSERT_EQ(out.Angle1[i], in.Angle1[i]);
      ASSERT_EQ(out.Distance1[i], in.Distance1[i]);
      if (in.RelationHeader[1] != 0) {
        ASSERT_EQ(out.Angle2[i], in.Angle2[i]);
        ASSERT_EQ(out.Distance2[i], in.Distance2[i]);
      }
    }
  }
  if (in.SingularCount == 2) {
    ASSERT_EQ(out.PairTail[0], in.PairTail[0]);
    ASSERT_EQ(out.PairTail[1], in.PairTail[1]);
  }
}

TEST(FeatureCodecProperty, DecodeOfEncodeKeepsEveryFieldAndRepackIsIdempotent) {
  std::mt19937 rng(20261208);
  for (int trial = 0; trial < 4000; ++trial) {
    SCOPED_TRACE(trial);
    const FeatureModel m = RandomModel(rng);
    std::vector<std::uint8_t> rec = Encode(m);
    ASSERT_LE(rec.size(), kMaxEncodedFeatures);
    const FeatureModel out = Decode(rec);
    ExpectEncodedFieldsEqual(m, out);

    rec.resize(10000);
    std::int32_t c1 = 0, c2 = 0;
    const std::int32_t n1 = RepackFeatures(rec.data(), rec.size(), rec.size(), c1);
    ASSERT_GT(n1, 0);
    const std::vector<std::uint8_t> once(rec.begin(), rec.begin() + n1);
    const std::int32_t n2 = RepackFeatures(rec.data(), rec.size(), rec.size(), c2);
    ASSERT_EQ(n2, n1);
    ASSERT_EQ(c2, c1);
    ASSERT_TRUE(std::equal(once.begin(), once.end(), rec.begin()));
  }
}

}  // namespace
}  // namespace mivex
