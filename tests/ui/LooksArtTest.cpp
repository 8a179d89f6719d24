// The pictures and sounds the generator draws: the fingers of the background lie
// exactly under the finger masks, the layout areas stay clear, the palettes fit and
// the output never changes between runs.
#include <gtest/gtest.h>

#include <set>

#include "Indexed.h"
#include "LookArt.h"

using namespace looks;
namespace fashion = mivex::fashion;

namespace {
const Colour kWhiteC{255, 255, 255};

IndexedImage BackgroundImage() { return Quantize(Background(), 256, {kWhiteC, kFingerGrey, kNailGrey}); }

bool IsFinger(const Colour& c) { return c == kFingerGrey || c == kNailGrey; }
}  // namespace

TEST(LooksArt, MasksMatchTheFingersOfTheBackground) {
  const IndexedImage bg = BackgroundImage();
  ASSERT_EQ(bg.width, 530);
  ASSERT_EQ(bg.height, 400);
  std::vector<int> owner(static_cast<size_t>(bg.width) * bg.height, 0);
  for (int k = 1; k <= 10; ++k) {
    const fashion::FingerArea& a = fashion::kFingers[static_cast<size_t>(k - 1)];
    const IndexedImage mask = Quantize(FingerMask(k), 256, {kWhiteC});
    ASSERT_EQ(mask.width, a.mask_width) << k;
    ASSERT_EQ(mask.height, a.mask_height) << k;
    for (int y = 0; y < mask.height; ++y)
      for (int x = 0; x < mask.width; ++x) {
        const Colour m = mask.At(x, y);
        ASSERT_TRUE(m == kWhiteC || IsFinger(m)) << k;
        if (m == kWhiteC) continue;
        // The same grey at the same place of the dialog picture, owned by one finger.
        EXPECT_EQ(bg.At(a.left + x, a.top + y), m) << k << " at " << x << "," << y;
        int& o = owner[static_cast<size_t>(a.top + y) * bg.width + a.left + x];
        EXPECT_EQ(o, 0) << "fingers " << o << " and " << k << " overlap";
        o = k;
      }
    // Each mask reaches every edge of its rectangle.
    int min_x = a.mask_width, max_x = -1, min_y = a.mask_height, max_y = -1;
    for (int y = 0; y < mask.height; ++y)
      for (int x = 0; x < mask.width; ++x)
        if (mask.At(x, y) != kWhiteC) {
          min_x = std::min(min_x, x), max_x = std::max(max_x, x);
          min_y = std::min(min_y, y), max_y = std::max(max_y, y);
        }
    EXPECT_EQ(min_x, 0) << k;
    EXPECT_EQ(min_y, 0) << k;
    EXPECT_EQ(max_x, a.mask_width - 1) << k;
    EXPECT_EQ(max_y, a.mask_height - 1) << k;
  }
  // And no finger grey anywhere else.
  for (int y = 0; y < bg.height; ++y)
    for (int x = 0; x < bg.width; ++x) {
      if (IsFinger(bg.At(x, y))) {
        EXPECT_NE(owner[static_cast<size_t>(y) * bg.width + x], 0) << x << "," << y;
      }
    }
}

TEST(LooksArt, AreasUnderTheTextsAndStepsStayWhite) {
  const IndexedImage bg = BackgroundImage();
  EXPECT_LE(bg.palette.size(), 256u);
  auto all_white = [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (bg.At(x, y) != kWhiteC) return false;
    return true;
  };
  EXPECT_TRUE(all_white(10, 245, 330, 305));   // step pictures
  EXPECT_TRUE(all_white(10, 308, 332, 373));   // status text
  EXPECT_TRUE(all_white(364, 47, 494, 67));    // user identifier box
  EXPECT_EQ(bg.At(0, 399), kWhiteC);           // transparent colour of the picture
  // The "ID" caption (near-white text) sits on the dark title band.
  for (int y = 47; y < 64; ++y)
    for (int x = 336; x < 356; ++x) {
      const Colour c = bg.At(x, y);
      EXPECT_LT(c[0] + c[1] + c[2], 3 * 140) << x << "," << y;
    }
}

TEST(LooksArt, StepPicturesAndGlyphs) {
  for (auto state : {fashion::StepState::Pending, fashion::StepState::Current, fashion::StepState::Done,
                     fashion::StepState::Failed}) {
    const IndexedImage img = Quantize(DrawStepPicture(state, 3), 256, {kWhiteC});
    EXPECT_EQ(img.width, 64);
    EXPECT_EQ(img.height, 64);
    EXPECT_EQ(img.At(0, 0), kWhiteC);
    EXPECT_EQ(img.At(63, 63), kWhiteC);
    // The disc lies inside the 59 rows the step widget shows.
    for (int x = 0; x < 64; ++x)
      for (int y = 59; y < 64; ++y) EXPECT_EQ(img.At(x, y), kWhiteC);
  }
  // The states differ from each other.
  std::set<std::vector<std::uint8_t>> distinct;
  for (auto state : {fashion::StepState::Pending, fashion::StepState::Current, fashion::StepState::Done,
                     fashion::StepState::Failed}) {
    const IndexedImage img = Quantize(DrawStepPicture(state, 2), 256, {kWhiteC});
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const Colour c = img.At(x, y);
        rgb.insert(rgb.end(), c.begin(), c.end());
      }
    distinct.insert(rgb);
  }
  EXPECT_EQ(distinct.size(), 4u);
  for (bool finish : {true, false}) {
    const IndexedImage g = GlyphPair(finish);
    EXPECT_EQ(g.width, 36);
    EXPECT_EQ(g.height, 18);
    EXPECT_LE(g.palette.size(), 16u);
    EXPECT_EQ(g.At(0, 17), (Colour{128, 128, 0}));   // transparent colour, first glyph
    EXPECT_EQ(g.At(18, 17), (Colour{128, 128, 0}));  // and second
  }
}

TEST(LooksArt, SoundsHaveTheirLengthsAndAreAudible) {
  const auto check = [](const std::vector<std::uint8_t>& s, size_t n) {
    ASSERT_EQ(s.size(), n);
    int lo = 255, hi = 0;
    for (std::uint8_t v : s) lo = std::min<int>(lo, v), hi = std::max<int>(hi, v);
    EXPECT_GT(hi - lo, 60);
    EXPECT_NEAR(s.back(), 128, 3);  // fades out without a click
  };
  check(HoverSound(), 1256);
  check(PressSound(), 1068);
  check(ReleaseSound(), 661);
  EXPECT_GT(DingSound().size(), 4000u);
}

TEST(LooksArt, OutputIsDeterministic) {
  const IndexedImage a = BackgroundImage(), b = BackgroundImage();
  EXPECT_EQ(a.palette, b.palette);
  EXPECT_EQ(a.indices, b.indices);
  EXPECT_EQ(HoverSound(), HoverSound());
}
