#include "capture/ImageConvert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

using namespace mivex;

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A w x h image whose pixel (x, y) is distinct enough to tell rows and columns apart.
std::vector<std::uint8_t> Pattern(int w, int h) {
  std::vector<std::uint8_t> p(static_cast<std::size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(y * 16 + x * 3 + 1);
  return p;
}

}  // namespace

TEST(FlipRows, SwapsRowsInwardAndKeepsTheMiddleOfAnOddCount) {
  // Each 2-byte row holds its own index, high byte first.
  std::vector<std::uint8_t> rows(288 * 2);
  for (std::size_t r = 0; r < 288; ++r) {
    rows[r * 2] = static_cast<std::uint8_t>(r >> 8);
    rows[r * 2 + 1] = static_cast<std::uint8_t>(r);
  }
  FlipRows(rows.data(), 2, 288);
  for (std::size_t r = 0; r < 288; ++r) ASSERT_EQ(rows[r * 2] * 256u + rows[r * 2 + 1], 287 - r) << r;
  std::vector<std::uint8_t> three = {1, 1, 2, 2, 3, 3};
  FlipRows(three.data(), 2, 3);
  EXPECT_EQ(three, (std::vector<std::uint8_t>{3, 3, 2, 2, 1, 1}));
}

TEST(RawToBitmapStream, HeadersPaletteAndPaddedRowsBottomRowFirst) {
  const int w = 3, h = 5;
  const auto raw = Pattern(w, h);
  const auto bmp = RawToBitmapStream(w, h, raw.data(), false, 96);
  ASSERT_EQ(bmp.size(), 4u * h + 1078);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), 4u * h + 1078);
  EXPECT_EQ(U32(bmp, 6), 0u);
  EXPECT_EQ(U32(bmp, 10), 1078u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), 3u);
  EXPECT_EQ(U32(bmp, 22), 5u);
  EXPECT_EQ(U16(bmp, 26), 1);
  EXPECT_EQ(U16(bmp, 28), 8);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_EQ(U32(bmp, 34), 4u * h);
  EXPECT_EQ(U32(bmp, 38), 3780u);
  EXPECT_EQ(U32(bmp, 42), 3780u);
  EXPECT_EQ(U32(bmp, 46), 0u);
  EXPECT_EQ(U32(bmp, 50), 0u);
  for (std::uint32_t i = 0; i < 256; ++i) ASSERT_EQ(U32(bmp, 54 + i * 4), i | (i << 8) | (i << 16));
  for (int stored = 0; stored < h; ++stored) {
    const int src = h - 1 - stored;
    for (int x = 0; x < w; ++x) EXPECT_EQ(bmp[1078 + stored * 4 + x], raw[src * w + x]);
    EXPECT_EQ(bmp[1078 + stored * 4 + 3], 0) << "padding byte of stored row " << stored;
  }
  const auto topDown = RawToBitmapStream(w, h, raw.data(), true, 96);
  for (int x = 0; x < w; ++x) EXPECT_EQ(topDown[1078 + x], raw[x]);
}

TEST(RawToBitmapStream, PixelsPerMetreFollowTheDpiAndBadInputGivesNothing) {
  EXPECT_EQ(PixelsPerMetre(96), 3780);
  EXPECT_EQ(PixelsPerMetre(120), 4724);
  const std::uint8_t px[4] = {};
  const auto bmp = RawToBitmapStream(2, 2, px, false, 120);
  EXPECT_EQ(U32(bmp, 38), 4724u);
  EXPECT_TRUE(RawToBitmapStream(0, 2, px, false, 96).empty());
  EXPECT_TRUE(RawToBitmapStream(2, -1, px, false, 96).empty());
  EXPECT_TRUE(RawToBitmapStream(2, 2, nullptr, false, 96).empty());
}

TEST(RawToBitmap, ShowsRowZeroAtTheTopAndFailsWithoutLeaking) {
  const int w = 7, h = 4;
  const auto raw = Pattern(w, h);
  auto bmp = RawToBitmap(w, h, raw.data(), false);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->Width(), w);
  EXPECT_EQ(bmp->Height(), h);
  EXPECT_EQ(bmp->Pixels(), raw);
  EXPECT_EQ(RawToBitmap(0, 0, raw.data(), false), nullptr);
  EXPECT_EQ(RawToBitmap(w, h, nullptr, false), nullptr);
}

TEST(TBitmap, LoadFromStreamRejectsMalformedImagesAndKeepsItsPicture) {
  const auto raw = Pattern(5, 3);
  const auto good = RawToBitmapStream(5, 3, raw.data(), false, 96);
  TBitmap bmp;
  ASSERT_TRUE(bmp.LoadFromStream(good.data(), good.size()));
  const auto before = bmp.Pixels();

  auto truncated = good;
  truncated.pop_back();
  EXPECT_FALSE(bmp.LoadFromStream(truncated.data(), truncated.size()));
  EXPECT_FALSE(bmp.LoadFromStream(good.data(), 20));
  auto wrongDepth = good;
  wrongDepth[28] = 24;
  EXPECT_FALSE(bmp.LoadFromStream(wrongDepth.data(), wrongDepth.size()));
  auto compressed = good;
  compressed[30] = 1;
  EXPECT_FALSE(bmp.LoadFromStream(compressed.data(), compressed.size()));
  auto hugeWidth = good;
  hugeWidth[21] = 0x7F;
  EXPECT_FALSE(bmp.LoadFromStream(hugeWidth.data(), hugeWidth.size()));
  EXPECT_EQ(bmp.Pixels(), before);

  // A top-down file (negative height) reads in its own order.
  auto topDown = RawToBitmapStream(5, 3, raw.data(), true, 96);
  const std::int32_t negative = -3;
  for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(negative) >> (8 * i));
  ASSERT_TRUE(bmp.LoadFromStream(topDown.data(), topDown.size()));
  EXPECT_EQ(bmp.Pixels(), raw);
}

TEST(EncodeBase64, WorkedSizesOfTheTemplateText) {
  std::vector<std::uint8_t> data(512);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);

  const std::string t57 = EncodeBase64(data.data(), 57);
  ASSERT_EQ(t57.size(), 78u);
  EXPECT_EQ(t57.substr(76), "\r\n");

  const std::string t58 = EncodeBase64(data.data(), 58);
  ASSERT_EQ(t58.size(), 82u);
  EXPECT_EQ(t58.substr(0, 78), t57);
  EXPECT_EQ(t58.substr(80), "==");

  const std::string t512 = EncodeBase64(data.data(), 512);
  EXPECT_EQ(t512.size(), 684u + 9 * 2);
  EXPECT_EQ(t512.size(), EncodedBase64Length(512));
  for (int line = 0; line < 9; ++line) EXPECT_EQ(t512.substr(line * 78 + 76, 2), "\r\n");

  const std::uint8_t four[] = {0, 1, 2, 3};
  EXPECT_EQ(EncodeBase64(four, 4), "AAECAw==");
  EXPECT_EQ(EncodeBase64(four, 0), "");
  std::string appended = "R2;4;";
  EncodeBase64(four, 4, appended);
  EXPECT_EQ(appended, "R2;4;AAECAw==");
}

#ifndef _WIN32
namespace {

std::string RunCommand(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

}  // namespace

// Our text with the line breaks taken out must be what coreutils' base64 writes, and the
// breaks must fall after every 76th character, across the 510-byte source blocks.
TEST(EncodeBase64, AgreesWithCoreutilsBase64) {
  std::mt19937 rng(20240131);
  const auto file = TempFile("mivex-b64");
  for (std::size_t size : {1u, 2u, 3u, 56u, 57u, 58u, 509u, 510u, 511u, 512u, 1020u, 1021u, 2047u, 4096u, 9001u}) {
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    { std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(size)); }
    const std::string peer = RunCommand("base64 -w0 " + file.string());
    const std::string ours = EncodeBase64(data.data(), data.size());
    ASSERT_EQ(ours.size(), EncodedBase64Length(size));
    std::string joined;
    for (std::size_t i = 0, column = 0; i < ours.size(); ++i) {
      if (ours[i] == '\r') {
        ASSERT_EQ(column, 76u) << "size " << size << " at " << i;
        ASSERT_EQ(ours[i + 1], '\n');
        ++i;
        column = 0;
        continue;
      }
      joined += ours[i];
      ++column;
    }
    EXPECT_EQ(joined, peer) << "size " << size;
    EXPECT_EQ(ours.size() >= 2 && ours.substr(ours.size() - 2) == "\r\n", peer.size() % 76 == 0) << size;
  }
  std::filesystem::remove(file);
}

// Pillow, a real bitmap reader, must see row 0 of the raw image at the top.
TEST(RawToBitmapStream, RealReaderSeesRowZeroAtTheTop) {
  const int w = 3, h = 4;
  const auto raw = Pattern(w, h);
  const auto bmp = RawToBitmapStream(w, h, raw.data(), false, 96);
  const auto file = TempFile("mivex-bmp") += ".bmp";
  { std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size())); }
  const std::string script =
      "import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
      "print(im.mode, im.size[0], im.size[1], round(im.info['dpi'][0])); "
      "print(' '.join(str(v) for v in im.convert('L').getdata()))";
  const std::string out = RunCommand("/usr/bin/python3 -c \"" + script + "\" " + file.string());
  // A bitmap with a grey palette reads as a grey-level image.
  std::string expected = "L 3 4 96\n";
  for (std::size_t i = 0; i < raw.size(); ++i) expected += (i ? " " : "") + std::to_string(raw[i]);
  expected += "\n";
  EXPECT_EQ(out, expected);
  std::filesystem::remove(file);
}
#endif
