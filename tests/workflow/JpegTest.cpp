#include "workflow/Jpeg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace mivex;

namespace {

TBitmap Gradient(int w, int h) {
  TBitmap bmp(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bmp.ScanLine(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 3 + (x * y) % 17) & 0xFF);
  return bmp;
}

// The first quantisation table of a baseline JPEG file, in zig-zag order.
std::vector<int> FirstQuantTable(const std::vector<std::uint8_t>& jpeg) {
  for (std::size_t i = 2; i + 4 < jpeg.size();) {
    if (jpeg[i] != 0xFF) return {};
    const int marker = jpeg[i + 1];
    const std::size_t len = static_cast<std::size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
    if (marker == 0xDB && i + 5 + 64 <= jpeg.size()) return std::vector<int>(jpeg.begin() + i + 5, jpeg.begin() + i + 5 + 64);
    i += 2 + len;
  }
  return {};
}

double Psnr(const TBitmap& a, const TBitmap& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.Pixels().size(); ++i) {
    const double d = double(a.Pixels()[i]) - double(b.Pixels()[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.Pixels().size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

TEST(ToJpeg, CompressesAtQualityFiftyAndKeepsADecodedForm) {
  const TBitmap sample = Gradient(64, 48);
  auto picture = ToJpeg(sample);
  ASSERT_TRUE(picture);
  ASSERT_FALSE(picture->Empty());
  const auto& data = picture->Data();
  ASSERT_GE(data.size(), 4u);
  EXPECT_EQ(data[0], 0xFF);
  EXPECT_EQ(data[1], 0xD8);
  EXPECT_EQ(data[data.size() - 2], 0xFF);
  EXPECT_EQ(data[data.size() - 1], 0xD9);
  EXPECT_EQ(picture->Width(), 64);
  EXPECT_EQ(picture->Height(), 48);
  EXPECT_GT(Psnr(sample, picture->Bitmap()), 28.0);

  // At quality 50 libjpeg uses the standard luminance table unscaled: it starts 16, 11, 12.
  const auto table = FirstQuantTable(data);
  ASSERT_EQ(table.size(), 64u);
  EXPECT_EQ(table[0], 16);
  EXPECT_EQ(table[1], 11);
  EXPECT_EQ(table[2], 12);
  std::vector<std::uint8_t> q75;
  ASSERT_TRUE(CompressGrey(sample, 75, q75));
  EXPECT_EQ(FirstQuantTable(q75)[0], 8);
}

TEST(ToJpeg, EmptyBitmapsAndBrokenDataGiveNothing) {
  EXPECT_EQ(ToJpeg(TBitmap()), nullptr);
  EXPECT_EQ(TJpegImage::FromData({}), nullptr);
  EXPECT_EQ(TJpegImage::FromData({0xFF, 0xD8, 0xFF, 0xD9}), nullptr);
  auto good = ToJpeg(Gradient(16, 16));
  ASSERT_TRUE(good);
  std::vector<std::uint8_t> cut(good->Data().begin(), good->Data().begin() + 200);
  EXPECT_EQ(TJpegImage::FromData(cut), nullptr);
  std::vector<std::uint8_t> noise(good->Data());
  for (std::size_t i = 20; i < noise.size(); i += 3) noise[i] = static_cast<std::uint8_t>(i);
  auto decoded = TJpegImage::FromData(noise);  // decodes or fails; never crashes
  if (decoded) {
    EXPECT_EQ(decoded->Width(), 16);
  }
}

#ifndef _WIN32
namespace {

std::string RunCommand(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char buf[65536];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// A binary PGM ("P5") as written by djpeg and Pillow.
bool ParsePgm(const std::string& pgm, TBitmap& out) {
  std::istringstream in(pgm);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P5" || w <= 0 || h <= 0 || max != 255) return false;
  const std::size_t at = static_cast<std::size_t>(in.tellg());
  if (pgm.size() < at + std::size_t(w) * std::size_t(h)) return false;
  out = TBitmap(w, h);
  for (int y = 0; y < h; ++y) std::memcpy(out.ScanLine(y), pgm.data() + at + std::size_t(y) * std::size_t(w), std::size_t(w));
  return true;
}

std::string Temp(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string();
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace

// A real fingerprint through ToJpeg and through cjpeg at quality 50: a real decoder reads
// ours, and size and fidelity match the peer's.
TEST(ToJpeg, MatchesCjpegAtQualityFiftyOnARealFingerprint) {
  const std::string png = std::string(MIVEX_DATA_DIR) + "/fingerprints/fvc2000_db2_b/101_1.png";
  ASSERT_TRUE(std::filesystem::exists(png)) << png;
  const std::string pgmPath = Temp("mivex-sample") + ".pgm";
  RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; Image.open(sys.argv[1]).convert('L').save(sys.argv[2])\" " +
      png + " " + pgmPath);
  std::string pgm;
  {
    std::ifstream in(pgmPath, std::ios::binary);
    pgm.assign(std::istreambuf_iterator<char>(in), {});
  }
  TBitmap sample;
  ASSERT_TRUE(ParsePgm(pgm, sample));
  ASSERT_EQ(sample.Width(), 256);
  ASSERT_EQ(sample.Height(), 364);

  auto ours = ToJpeg(sample);
  ASSERT_TRUE(ours);
  const std::string oursPath = Temp("mivex-ours") + ".jpg";
  WriteFile(oursPath, std::string(ours->Data().begin(), ours->Data().end()));
  TBitmap decodedByPeer;
  ASSERT_TRUE(ParsePgm(RunCommand("djpeg -pnm " + oursPath), decodedByPeer));
  EXPECT_EQ(decodedByPeer.Pixels(), ours->Bitmap().Pixels());

  const std::string peer = RunCommand("cjpeg -quality 50 -grayscale " + pgmPath);
  ASSERT_GT(peer.size(), 100u);
  const double sizeRatio = double(ours->Data().size()) / double(peer.size());
  EXPECT_NEAR(sizeRatio, 1.0, 0.02) << ours->Data().size() << " vs " << peer.size();
  auto peerPicture = TJpegImage::FromData(std::vector<std::uint8_t>(peer.begin(), peer.end()));
  ASSERT_TRUE(peerPicture);
  EXPECT_NEAR(Psnr(sample, ours->Bitmap()), Psnr(sample, peerPicture->Bitmap()), 0.05);
  std::filesystem::remove(pgmPath);
  std::filesystem::remove(oursPath);
}
#endif
