// Real images as presses: the PNG and PGM decoder, the fitting to the sensor frame,
// the scenario steps that name the files and the sensor that plays them.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "GreyImageFile.h"
#include "Inflate.h"
#include "OstrelaParams.h"
#include "PressModel.h"
#include "Scenario.h"
#include "SimSensor.h"

namespace mivex::ostrela {
namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<std::uint8_t>;

// A 7 x 5 grey PNG whose rows use the five filters in turn, its data split over two
// IDAT chunks with a text chunk before them, compressed with fixed codes.
const TBytes kFilteredPng = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x07, 0x00, 0x00, 0x00, 0x05, 0x08, 0x00, 0x00, 0x00, 0x00, 0xac, 0xf1, 0xa9, 0x04, 0x00, 0x00, 0x00, 0x0c, 0x74,
    0x45, 0x58, 0x74, 0x43, 0x6f, 0x6d, 0x6d, 0x65, 0x6e, 0x74, 0x00, 0x74, 0x65, 0x73, 0x74, 0x57, 0x61, 0x2b, 0xe9,
    0x00, 0x00, 0x00, 0x0a, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x50, 0xf5, 0xca, 0x9f, 0xb2, 0xf3, 0x00,
    0x06, 0x73, 0xed, 0x00, 0x00, 0x00, 0x23, 0x49, 0x44, 0x41, 0x54, 0x1e, 0xa3, 0xb5, 0x11, 0x18, 0x30, 0x59, 0x7b,
    0x84, 0x26, 0xe5, 0xd7, 0xfc, 0x62, 0x2e, 0xf3, 0x0a, 0x0c, 0x3f, 0x2f, 0x9b, 0xcd, 0x62, 0xed, 0x11, 0x79, 0x2a,
    0x3f, 0xd2, 0x0d, 0x00, 0xf8, 0x74, 0x0d, 0x0d, 0x3c, 0x4d, 0x64, 0x54, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e,
    0x44, 0xae, 0x42, 0x60, 0x82};
const std::array<std::array<int, 7>, 5> kFilteredPixels = {{{0, 37, 74, 111, 148, 185, 222},
                                                           {59, 109, 159, 209, 3, 53, 103},
                                                           {118, 181, 244, 51, 114, 177, 97},
                                                           {177, 253, 73, 149, 82, 158, 234},
                                                           {236, 69, 158, 104, 193, 26, 228}}};

std::string RidgeText() {
  std::string t;
  for (int i = 0; i < 40; ++i)
    t += "ridge " + std::to_string(i * 7 % 13) + " ends, ridge " + std::to_string(i * 5 % 11) + " forks; ";
  return t;
}

// RidgeText() compressed with dynamic codes and back references.
const TBytes kDynamicStream = {
    0x78, 0xda, 0x7d, 0xd3, 0xcb, 0x09, 0xc3, 0x30, 0x10, 0x45, 0xd1, 0x56, 0x54, 0x40, 0x16, 0x9a, 0xd1, 0x9f, 0xb4,
    0x63, 0x27, 0x84, 0x80, 0x0d, 0x72, 0xff, 0x90, 0x8d, 0x37, 0x4f, 0x84, 0xbb, 0x14, 0x97, 0x01, 0xe9, 0xa0, 0x99,
    0x9f, 0xed, 0xbd, 0x87, 0x18, 0xf6, 0x63, 0xbb, 0x1e, 0x61, 0xde, 0xa7, 0xd7, 0x39, 0xbf, 0xd7, 0xf3, 0x3e, 0x36,
    0x89, 0x45, 0xa3, 0x49, 0xb4, 0x65, 0xb4, 0x4b, 0xcd, 0x1a, 0x5d, 0xe2, 0xd0, 0x38, 0x24, 0x26, 0x8d, 0x49, 0x62,
    0x5f, 0x6e, 0xa4, 0x8f, 0x71, 0xad, 0x59, 0x62, 0x5b, 0x46, 0x97, 0xd7, 0x68, 0x2d, 0x12, 0xeb, 0x32, 0xea, 0x44,
    0x58, 0x89, 0x30, 0x22, 0x61, 0x23, 0x42, 0x23, 0xc2, 0x4e, 0x84, 0x4e, 0x84, 0x83, 0x04, 0x13, 0x0a, 0x46, 0x12,
    0xcc, 0x28, 0x68, 0x24, 0x58, 0xf0, 0x13, 0x3a, 0x12, 0x56, 0x22, 0x8c, 0x44, 0xd8, 0x88, 0xd0, 0x88, 0xb0, 0x13,
    0xa1, 0x13, 0xe1, 0x20, 0xc1, 0x84, 0x82, 0xb8, 0xc6, 0x19, 0x05, 0x79, 0x8f, 0x0b, 0x7e, 0x42, 0x5c, 0xe4, 0x4a,
    0x84, 0xf1, 0x3f, 0xe1, 0x0f, 0x93, 0x54, 0x7c, 0xa1};

// A binary PGM of `width` x `height` pixels with value (x + 3 y) mod 256.
TBytes MakePgm(int width, int height, int maxval = 255) {
  const std::string header = "P5\n# made by a test\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
                             std::to_string(maxval) + "\n";
  TBytes bytes(header.begin(), header.end());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bytes.push_back(static_cast<std::uint8_t>((x + 3 * y) % (maxval + 1)));
  return bytes;
}

// Frames take no time.
class TFreeClock final : public TFrameClock {
 public:
  std::int64_t BeginFrame() override { return 0; }
  void EndFrame(std::int64_t, std::int32_t) override {}
};

class TTempFolder {
 public:
  TTempFolder() {
    static int serial = 0;
    FPath = fs::temp_directory_path() / ("ostrela-image-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                         "-" + std::to_string(++serial));
    fs::remove_all(FPath);
    fs::create_directories(FPath);
  }
  ~TTempFolder() {
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
  }
  std::string Write(const std::string& name, const TBytes& bytes) const {
    const fs::path p = FPath / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string Path() const { return FPath.string(); }

 private:
  fs::path FPath;
};

TEST(ImageFile, DecodesEveryPngFilterAcrossSplitDataChunks) {
  TGreyImage image;
  std::string error;
  ASSERT_TRUE(DecodeGreyImage(kFilteredPng.data(), kFilteredPng.size(), image, error)) << error;
  ASSERT_EQ(image.Width, 7);
  ASSERT_EQ(image.Height, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(image.Pixels[static_cast<std::size_t>(y * 7 + x)], kFilteredPixels[y][x]) << x << "," << y;
}

TEST(ImageFile, InflatesDynamicCodesAndRefusesDamage) {
  TBytes out;
  std::string error;
  ASSERT_TRUE(InflateZlib(kDynamicStream.data(), kDynamicStream.size(), 1 << 20, out, error)) << error;
  const std::string text = RidgeText();
  EXPECT_EQ(std::string(out.begin(), out.end()), text);
  // An output limit below the true size stops the stream.
  EXPECT_FALSE(InflateZlib(kDynamicStream.data(), kDynamicStream.size(), text.size() - 1, out, error));
  // Any changed byte is caught (a damaged code or the check sum), any cut short too.
  for (std::size_t k = 0; k < kDynamicStream.size(); ++k) {
    TBytes damaged = kDynamicStream;
    damaged[k] ^= 0x10;
    error.clear();
    EXPECT_FALSE(InflateZlib(damaged.data(), damaged.size(), 1 << 20, out, error)) << "byte " << k;
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(InflateZlib(kDynamicStream.data(), k, 1 << 20, out, error)) << "cut at " << k;
  }
}

TEST(ImageFile, RefusesDamagedOrUnsupportedFilesWithAMessage) {
  TGreyImage image;
  std::string error;
  const auto refused = [&](const TBytes& bytes, const std::string& words) {
    error.clear();
    const bool ok = DecodeGreyImage(bytes.data(), bytes.size(), image, error);
    return !ok && error.find(words) != std::string::npos;
  };
  EXPECT_TRUE(refused({}, "not a PNG or binary PGM"));
  EXPECT_TRUE(refused({'G', 'I', 'F', '8'}, "not a PNG or binary PGM"));
  for (std::size_t cut = 8; cut < kFilteredPng.size(); ++cut)
    EXPECT_TRUE(refused(TBytes(kFilteredPng.begin(), kFilteredPng.begin() + static_cast<std::ptrdiff_t>(cut)), "PNG"))
        << "cut at " << cut;
  TBytes flipped = kFilteredPng;
  flipped[90] ^= 1;
  EXPECT_TRUE(refused(flipped, "damaged (CRC)"));

  // The header of a 16-bit grey and of an RGB image, with valid check sums.
  const auto withHeader = [](std::uint8_t depth, std::uint8_t colour, std::uint8_t interlace) {
    TBytes png = kFilteredPng;
    png[24] = depth;
    png[25] = colour;
    png[28] = interlace;
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t k = 12; k < 29; ++k) {
      c ^= png[k];
      for (int b = 0; b < 8; ++b) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    c ^= 0xFFFFFFFFu;
    for (int b = 0; b < 4; ++b) png[29 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(c >> (24 - 8 * b));
    return png;
  };
  EXPECT_TRUE(refused(withHeader(16, 0, 0), "not 8-bit grey (bit depth 16, colour type 0)"));
  EXPECT_TRUE(refused(withHeader(8, 2, 0), "not 8-bit grey (bit depth 8, colour type 2)"));
  EXPECT_TRUE(refused(withHeader(8, 0, 1), "interlaced"));

  EXPECT_TRUE(refused(MakePgm(4, 3, 65535), "not 8-bit grey"));
  EXPECT_TRUE(refused({'P', '5', ' ', '4', ' ', '3'}, "header is malformed"));
  EXPECT_TRUE(refused({'P', '5', ' ', '0', ' ', '3', ' ', '9', ' '}, "outside 1 .. 8192"));
  TBytes shortPgm = MakePgm(4, 3);
  shortPgm.pop_back();
  EXPECT_TRUE(refused(shortPgm, "shorter than its size says"));
}

TEST(ImageFile, PgmLevelsAreScaledAndImagesAreCentredCroppedOrPadded) {
  TGreyImage image;
  std::string error;
  const TBytes fourLevels = MakePgm(4, 1, 3);
  ASSERT_TRUE(DecodeGreyImage(fourLevels.data(), fourLevels.size(), image, error)) << error;
  EXPECT_EQ(image.Pixels, (TBytes{0, 85, 170, 255}));

  const std::int32_t w = params::kImageWidth, h = params::kImageHeight;
  // Larger than the sensor: the middle of the image.
  const TBytes large = MakePgm(w + 40, h + 11);
  ASSERT_TRUE(DecodeGreyImage(large.data(), large.size(), image, error)) << error;
  TBytes frame = FitToSensor(image);
  ASSERT_EQ(frame.size(), static_cast<std::size_t>(w * h));
  EXPECT_EQ(frame[0], (20 + 3 * 5) % 256);
  EXPECT_EQ(frame[static_cast<std::size_t>(h - 1) * w + w - 1], (20 + w - 1 + 3 * (5 + h - 1)) % 256);

  // Smaller: in the middle of a white frame.
  const TBytes small = MakePgm(10, 6);
  ASSERT_TRUE(DecodeGreyImage(small.data(), small.size(), image, error)) << error;
  frame = FitToSensor(image);
  const std::int32_t left = (w - 10) / 2, top = (h - 6) / 2;
  std::size_t white = 0;
  for (std::uint8_t v : frame) white += v == 255 ? 1 : 0;
  EXPECT_EQ(white, frame.size() - 60);
  EXPECT_EQ(frame[static_cast<std::size_t>(top) * w + left], 0);
  EXPECT_EQ(frame[static_cast<std::size_t>(top + 5) * w + left + 9], 9 + 15);
}

TEST(ImageScenario, ParsesImageStepsWithQuotedPathsAndRefusesMalformedOnes) {
  TScenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario("image a.png x3\nimages \"my prints;#2\" 101_*.png # comment\nimage b.pgm", s, error))
      << error;
  ASSERT_EQ(s.Steps.size(), 3u);
  EXPECT_EQ(s.Steps[0].Kind, TStepKind::skImage);
  EXPECT_EQ(s.Steps[0].Path, "a.png");
  EXPECT_EQ(s.Steps[0].Count, 3);
  EXPECT_FALSE(s.Steps[0].Folder);
  EXPECT_TRUE(s.Steps[1].Folder);
  EXPECT_EQ(s.Steps[1].Path, "my prints;#2");
  EXPECT_EQ(s.Steps[1].Pattern, "101_*.png");
  EXPECT_EQ(s.Steps[1].Line, 2);
  EXPECT_EQ(s.Steps[2].Count, 1);

  for (const auto& [text, words] : std::vector<std::pair<std::string, std::string>>{
           {"image", "line 1: image needs a file"},
           {"image a.png x0", "count must be"},
           {"image a.png 3", "count must be"},
           {"\nimages folder", "line 2: images needs a folder and a pattern"},
           {"images folder sub/*.png", "without '/'"},
           {"image \"a.png", "double quote is not closed"}}) {
    EXPECT_FALSE(ParseScenario(text, s, error)) << text;
    EXPECT_NE(error.find(words), std::string::npos) << text << ": " << error;
  }
  EXPECT_TRUE(NameMatches("101_5.png", "101_?.png"));
  EXPECT_TRUE(NameMatches("101_5.png", "*_5*"));
  EXPECT_TRUE(NameMatches("abcabd", "*abd"));
  EXPECT_FALSE(NameMatches("101_5.pgm", "*.png"));
  EXPECT_FALSE(NameMatches("101_15.png", "101_?.png"));
}

TEST(ImageScenario, FilesAreLoadedInNameOrderAndPlayedAsPresses) {
  TTempFolder folder;
  folder.Write("p_2.pgm", MakePgm(10, 10));
  folder.Write("p_1.pgm", MakePgm(300, 300));
  folder.Write("q_1.pgm", MakePgm(20, 20));
  folder.Write("single.png", kFilteredPng);
  TScenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario("gap 1; frames 2\nimages . p_*.pgm\nimage single.png x2", s, error)) << error;
  ASSERT_TRUE(LoadScenarioImages(s, folder.Path(), error)) << error;
  ASSERT_EQ(s.Images.size(), 3u);
  EXPECT_NE(s.Images[0]->Source.find("p_1.pgm"), std::string::npos);
  EXPECT_NE(s.Images[1]->Source.find("p_2.pgm"), std::string::npos);
  EXPECT_EQ(s.Steps[0].Count, 2);

  // Gap, two frames, per press: p_1, p_2, then single.png twice, then an empty sensor.
  TPressModel model(s);
  std::vector<std::int32_t> seen;
  for (int poll = 0; poll < 14; ++poll) {
    const TPollResult r = model.Poll();
    seen.push_back(r.State == TPollState::psFinger ? r.Image : -1);
  }
  EXPECT_EQ(seen, (std::vector<std::int32_t>{-1, 0, 0, -1, 1, 1, -1, 2, 2, -1, 2, 2, -1, -1}));

  // The sensor delivers the fitted image bottom row first, reports which image lies on
  // it, and its matcher tells one image from another.
  TSimSensor matcher(s, std::make_unique<TFreeClock>());
  ASSERT_TRUE(matcher.Open());
  ASSERT_TRUE(matcher.MatcherOpen());
  ASSERT_TRUE(matcher.MatcherStartEnroll(0));
  std::vector<std::int32_t> samples;
  for (int poll = 0; poll < 12; ++poll) {
    std::int32_t progress = -1;
    if (matcher.MatcherEnroll(&progress)) samples.push_back(progress);
  }
  EXPECT_EQ(samples, (std::vector<std::int32_t>{1, 1, 1, 2})) << "a new image starts the samples over";

  TSimSensor sensor(s, std::make_unique<TFreeClock>());
  const std::int32_t w = params::kImageWidth, h = params::kImageHeight;
  ASSERT_TRUE(sensor.Open());
  TBytes area(static_cast<std::size_t>(w * h));
  std::int32_t width = w, height = h, image = -2;
  bool delivered = false;
  for (int poll = 0; poll < 6 && !delivered; ++poll) {
    sensor.StartImage();
    delivered = sensor.GetBinaryImage(area.data(), 0, 500, &width, &height);
  }
  ASSERT_TRUE(delivered);
  ASSERT_TRUE(sensor.GetParameter(spImage, &image));
  ASSERT_EQ(image, 0);
  const TBytes& fitted = s.Images[0]->Pixels;
  for (std::int32_t y = 0; y < h; ++y)
    ASSERT_EQ(std::memcmp(area.data() + static_cast<std::size_t>(h - 1 - y) * w, fitted.data() + static_cast<std::size_t>(y) * w,
                          static_cast<std::size_t>(w)),
              0)
        << "row " << y;
  std::int32_t subject = 0, finger = -1;
  ASSERT_TRUE(sensor.GetParameter(spSubject, &subject));
  ASSERT_TRUE(sensor.GetParameter(spFinger, &finger));
  EXPECT_EQ(subject, -1);
  EXPECT_EQ(finger, 0);
}

TEST(ImageScenario, UnreadableFilesNameTheLineAndTheProblem) {
  TTempFolder folder;
  folder.Write("text.png", TBytes{'h', 'e', 'l', 'l', 'o'});
  TScenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario("press 1 R2\nimage text.png", s, error));
  EXPECT_FALSE(LoadScenarioImages(s, folder.Path(), error));
  EXPECT_NE(error.find("line 2: image "), std::string::npos) << error;
  EXPECT_NE(error.find("not a PNG or binary PGM"), std::string::npos) << error;

  ASSERT_TRUE(ParseScenario("image missing.png", s, error));
  EXPECT_FALSE(LoadScenarioImages(s, folder.Path(), error));
  EXPECT_NE(error.find("cannot open image"), std::string::npos) << error;

  ASSERT_TRUE(ParseScenario("images . *.pgm", s, error));
  EXPECT_FALSE(LoadScenarioImages(s, folder.Path(), error));
  EXPECT_NE(error.find("no file in"), std::string::npos) << error;

  ASSERT_TRUE(ParseScenario("images no-such-folder *.png", s, error));
  EXPECT_FALSE(LoadScenarioImages(s, folder.Path(), error));
  EXPECT_NE(error.find("cannot read folder"), std::string::npos) << error;

  // A scenario whose images were never loaded plays no finger for them.
  ASSERT_TRUE(ParseScenario("gap 0; frames 1; image a.png x2; press 1 R2", s, error));
  TPressModel model(s);
  EXPECT_EQ(model.Poll().State, TPollState::psNoFinger);
  EXPECT_EQ(model.Poll().State, TPollState::psNoFinger);
  EXPECT_EQ(model.Poll().State, TPollState::psFinger);
}

}  // namespace
}  // namespace mivex::ostrela
