// Bent presses: an unbent image comes back as it is, the middle of a bent one stays
// while its periphery moves by the whole shift (and places between by part of it), each
// image bends its own way and always the same way, and a real press bent as far as a
// careless press is bent still matches its unbent self.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "BentPresses.h"
#include "Engine.h"
#include "PngGray.h"
#include "RawComparisons.h"

namespace mivex::vandrel {
namespace {

// An image whose grey value is its column: where a pixel came from reads off it.
GrayImage ColumnRamp(int width, int height) {
  GrayImage img;
  img.width = width;
  img.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.pixels.push_back(static_cast<std::uint8_t>(x));
  return img;
}

int At(const GrayImage& img, int x, int y) {
  return img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) + static_cast<std::size_t>(x)];
}

TEST(BentPresses, UnbentImageComesBackAsItIs) {
  GrayImage img = ColumnRamp(200, 240);
  img.pixels[1234] = 7;
  const GrayImage same = BendPress(img, 0, 0);
  EXPECT_EQ(same.width, img.width);
  EXPECT_EQ(same.height, img.height);
  EXPECT_EQ(same.pixels, img.pixels);
}

TEST(BentPresses, MiddleStaysAndPeripheryMovesByTheShift) {
  const GrayImage img = ColumnRamp(256, 320);
  const GrayImage bent = BendPress(img, 6, 0);
  const int margin = BendMargin(6, 0);
  ASSERT_EQ(margin, 6);
  ASSERT_EQ(bent.width, 256 - 12);
  ASSERT_EQ(bent.height, 320 - 12);
  const int cx = 128, cy = 160;
  // Output pixel (x, y) shows the input's (x + margin, y + margin) place, moved.
  const auto source = [&](int x, int y) { return At(bent, x - margin, y - margin); };
  EXPECT_EQ(source(cx, cy), cx);                                       // the middle
  EXPECT_EQ(source(cx, cy + static_cast<int>(kBendStillRadius)), cx);  // the ring that stays
  EXPECT_EQ(source(cx, cy + static_cast<int>(kBendInnerRadius)), cx - 6);  // a ring that moves
  // Between them the shift grows from none to all of it, and never past it.
  const int between = source(cx, cy + 80);
  EXPECT_GT(between, cx - 6);
  EXPECT_LT(between, cx);
  for (int y = margin; y < 320 - margin; y += 7)
    for (int x = margin + 8; x < 256 - margin - 8; x += 7) {
      EXPECT_LE(source(x, y), x) << x << "," << y;
      EXPECT_GE(source(x, y), x - 6) << x << "," << y;
    }
  // An image too small to cut comes back as it is.
  const GrayImage tiny = ColumnRamp(10, 10);
  EXPECT_EQ(BendPress(tiny, 6, 0).pixels, tiny.pixels);
}

TEST(BentPresses, EachImageBendsItsOwnWayAndAlwaysTheSame) {
  const float a = BendDirection(0, "101_1");
  EXPECT_EQ(a, BendDirection(0, "101_1"));
  EXPECT_NE(a, BendDirection(0, "101_2"));
  EXPECT_NE(a, BendDirection(1, "101_1"));
  // Directions spread round the whole turn.
  int quadrants[4] = {};
  for (int i = 0; i < 64; ++i) {
    const float d = BendDirection(0, "press" + std::to_string(i));
    ASSERT_GE(d, 0.0f);
    ASSERT_LT(d, 2 * std::numbers::pi_v<float>);
    ++quadrants[static_cast<int>(d / (std::numbers::pi_v<float> / 2))];
  }
  for (int q : quadrants) EXPECT_GE(q, 6);
}

TEST(BentPresses, RealPressBentStillMatchesItself) {
  EngineInitialize();
  GrayImage img;
  ASSERT_TRUE(ReadPngGray(std::string(MIVEX_DATA_DIR) + "/fingerprints/fvc2000_db2_b/101_1.png", img));
  const GrayImage bent = BendPress(img, 8 * std::cos(0.7f), 8 * std::sin(0.7f));
  StoredSample plain, moved;
  ASSERT_TRUE(ExtractStoredSample(img.pixels.data(), img.width, img.height, 0, plain));
  ASSERT_TRUE(ExtractStoredSample(bent.pixels.data(), bent.width, bent.height, 0, moved));
  std::int32_t details[5] = {20, 0, 0, 0, 0};
  ASSERT_GE(VerifyRecords(plain.record.data(), moved.record.data(), details, 0), 0);
  // Far past the score of one false acceptance in a thousand.
  EXPECT_GE(details[1], 200) << "score " << details[1];
}

}  // namespace
}  // namespace mivex::vandrel
