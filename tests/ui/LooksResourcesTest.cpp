// Reads every picture and sound of the looks back out of the module that holds them
// and checks numbers, sizes, colour depths and wave formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "base/win/Controls.h"
#include "ui/FashionLayout.h"
#include "ui/GridImage.h"

using namespace mivex;

namespace {

struct Bytes {
  const std::uint8_t* data = nullptr;
  size_t size = 0;
};

Bytes Resource(const wchar_t* name, const wchar_t* type) {
  HMODULE module = win::ThisModule();
  HRSRC info = ::FindResourceW(module, name, type);
  if (!info) return {};
  HGLOBAL loaded = ::LoadResource(module, info);
  if (!loaded) return {};
  return Bytes{static_cast<const std::uint8_t*>(::LockResource(loaded)), ::SizeofResource(module, info)};
}

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

struct BitmapInfo {
  int width = 0, height = 0, bits = 0;
};

BitmapInfo ReadBitmap(const wchar_t* name) {
  Bytes b = Resource(name, reinterpret_cast<LPCWSTR>(RT_BITMAP));
  if (b.size < sizeof(BITMAPINFOHEADER)) return {};
  BITMAPINFOHEADER h;
  std::memcpy(&h, b.data, sizeof(h));
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB) return {};
  const size_t colours = h.biClrUsed ? h.biClrUsed : (size_t{1} << h.biBitCount);
  const size_t stride = ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  // Header, palette and every row must be present.
  if (b.size < h.biSize + colours * 4 + stride * static_cast<size_t>(std::abs(h.biHeight))) return {};
  return BitmapInfo{h.biWidth, std::abs(h.biHeight), h.biBitCount};
}

struct WaveInfo {
  int format = 0, channels = 0, rate = 0, bits = 0, block_align = 0;
  size_t samples = 0;
};

// Walks the RIFF chunks of a WAVE image; fields stay 0 when a chunk is missing.
WaveInfo ReadWave(const std::uint8_t* p, size_t n) {
  WaveInfo w;
  if (n < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return w;
  for (size_t pos = 12; pos + 8 <= n;) {
    const std::uint32_t size = Le32(p + pos + 4);
    if (size > n - pos - 8) break;
    const std::uint8_t* body = p + pos + 8;
    if (std::memcmp(p + pos, "fmt ", 4) == 0 && size >= 16) {
      w.format = Le16(body);
      w.channels = Le16(body + 2);
      w.rate = static_cast<int>(Le32(body + 4));
      w.block_align = Le16(body + 12);
      w.bits = Le16(body + 14);
    } else if (std::memcmp(p + pos, "data", 4) == 0) {
      w.samples = size;
    }
    pos += 8 + size + (size & 1);
  }
  return w;
}

void ExpectPcm8Mono(const WaveInfo& w, int rate, size_t samples) {
  EXPECT_EQ(w.format, 1);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bits, 8);
  EXPECT_EQ(w.block_align, 1);
  EXPECT_EQ(w.rate, rate);
  EXPECT_EQ(w.samples, samples);
}

}  // namespace

TEST(LooksResources, BackgroundAndItsCrops) {
  const int sizes[][3] = {{101, 530, 400}, {199, 530, 300}, {200, 530, 230}};
  for (const auto& s : sizes) {
    BitmapInfo b = ReadBitmap(MAKEINTRESOURCEW(s[0]));
    EXPECT_EQ(b.width, s[1]) << s[0];
    EXPECT_EQ(b.height, s[2]) << s[0];
    EXPECT_EQ(b.bits, 8) << s[0];
  }
  // The bottom-left pixel (the transparent colour when drawn) is the white field.
  PixelGrid background = LoadBitmapGrid(101);
  ASSERT_EQ(background.Height(), 400);
  EXPECT_EQ(background.At(0, 399), PixelRGB(255, 255, 255));
}

TEST(LooksResources, StepPictures) {
  std::set<int> ids;
  for (int n = 1; n <= 8; ++n)
    for (auto state : {fashion::StepState::Pending, fashion::StepState::Current, fashion::StepState::Done,
                       fashion::StepState::Failed})
      ids.insert(fashion::StepPicture(state, n));
  ASSERT_EQ(ids.size(), 32u);
  for (int id : ids) {
    BitmapInfo b = ReadBitmap(MAKEINTRESOURCEW(id));
    EXPECT_EQ(b.width, 64) << id;
    EXPECT_EQ(b.height, 64) << id;
    EXPECT_EQ(b.bits, 8) << id;
  }
}

TEST(LooksResources, FingerMasksFillTheirSizesInFingerGrey) {
  for (const fashion::FingerArea& a : fashion::kFingers) {
    BitmapInfo b = ReadBitmap(MAKEINTRESOURCEW(a.mask_id));
    EXPECT_EQ(b.width, a.mask_width) << a.code;
    EXPECT_EQ(b.height, a.mask_height) << a.code;
    EXPECT_EQ(b.bits, 8) << a.code;
    PixelGrid mask = LoadBitmapGrid(a.mask_id);
    ASSERT_EQ(mask.Width(), a.mask_width);
    int min_x = mask.Width(), max_x = -1, min_y = mask.Height(), max_y = -1, grey = 0;
    for (int y = 0; y < mask.Height(); ++y)
      for (int x = 0; x < mask.Width(); ++x) {
        const TPixel c = mask.At(x, y);
        if (c == PixelRGB(255, 255, 255)) continue;
        ASSERT_TRUE(c == PixelRGB(95, 95, 95) || c == PixelRGB(94, 94, 94)) << a.code;
        ++grey;
        min_x = std::min(min_x, x), max_x = std::max(max_x, x);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
      }
    EXPECT_GT(grey, mask.Width() * mask.Height() / 3) << a.code;
    // The finger touches every edge of its mask.
    EXPECT_EQ(min_x, 0) << a.code;
    EXPECT_EQ(min_y, 0) << a.code;
    EXPECT_EQ(max_x, mask.Width() - 1) << a.code;
    EXPECT_EQ(max_y, mask.Height() - 1) << a.code;
  }
}

TEST(LooksResources, GlyphPairs) {
  for (const char* name : {fashion::kFinishGlyphs, fashion::kCancelGlyphs}) {
    BitmapInfo b = ReadBitmap(win::ToWide(name).c_str());
    EXPECT_EQ(b.width, 36) << name;
    EXPECT_EQ(b.height, 18) << name;
    EXPECT_EQ(b.bits, 4) << name;
  }
}

TEST(LooksResources, WaveSounds) {
  const struct {
    int id, rate;
    size_t samples;
  } sounds[] = {{129, 11025, 1256}, {301, 22050, 1068}, {302, 22050, 661}};
  for (const auto& s : sounds) {
    Bytes b = Resource(MAKEINTRESOURCEW(s.id), L"WAVE");
    ASSERT_NE(b.data, nullptr) << s.id;
    ExpectPcm8Mono(ReadWave(b.data, b.size), s.rate, s.samples);
  }
}

TEST(LooksResources, CaptureSoundFileBesideThePrograms) {
  std::ifstream in("ding.wav", std::ios::binary);
  ASSERT_TRUE(in) << "ding.wav next to the test program";
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const WaveInfo w = ReadWave(bytes.data(), bytes.size());
  EXPECT_EQ(w.format, 1);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bits, 8);
  EXPECT_GT(w.samples, 1000u);
}
