// An independent look at how real the synthetic prints are: the same simple ridge
// statistics (local ridge period, orientation coherence, ridge share, covered area)
// measured on real 500 dpi captures and on simulated impressions must agree.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Impression.h"
#include "MasterCache.h"
#include "PressModel.h"

namespace mivex::ostrela {
namespace {

struct TGrey {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;
  double At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// libpng reports errors by longjmp; nothing with a destructor lives in this frame.
bool DecodePng(png_structp png, png_infop info, std::FILE* file, TGrey& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_PACKING | PNG_TRANSFORM_EXPAND, nullptr);
  image.Width = static_cast<int>(png_get_image_width(png, info));
  image.Height = static_cast<int>(png_get_image_height(png, info));
  const int channels = png_get_channels(png, info);
  png_bytepp rows = png_get_rows(png, info);
  image.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height);
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) image.Pixels[static_cast<std::size_t>(y) * image.Width + x] = rows[y][x * channels];
  return true;
}

bool ReadGreyPng(const std::string& path, TGrey& image) {
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool ok = info != nullptr && DecodePng(png, info, file.get(), image);
  png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
  return ok;
}

struct TStats {
  double Period = 0;      // median local ridge period of the print, pixels
  double Coherence = 0;   // mean orientation coherence of its blocks, 0..1
  double RidgeShare = 0;  // share of dark pixels within the print
  double Covered = 0;     // share of the image covered by the print
};

constexpr int kBlock = 16;

TStats Measure(const TGrey& g) {
  TStats s;
  std::vector<double> periods;
  double coherence = 0;
  int blocks = 0;
  int total = 0;
  double dark = 0;
  double inPrint = 0;
  for (int by = kBlock; by + 2 * kBlock <= g.Height; by += kBlock) {
    for (int bx = kBlock; bx + 2 * kBlock <= g.Width; bx += kBlock) {
      ++total;
      // Foreground: enough contrast in the block.
      double mean = 0;
      for (int y = by; y < by + kBlock; ++y)
        for (int x = bx; x < bx + kBlock; ++x) mean += g.At(x, y);
      mean /= kBlock * kBlock;
      double var = 0;
      for (int y = by; y < by + kBlock; ++y)
        for (int x = bx; x < bx + kBlock; ++x) var += (g.At(x, y) - mean) * (g.At(x, y) - mean);
      if (std::sqrt(var / (kBlock * kBlock)) < 25) continue;
      // Structure tensor over the block.
      double gxx = 0;
      double gyy = 0;
      double gxy = 0;
      for (int y = by; y < by + kBlock; ++y) {
        for (int x = bx; x < bx + kBlock; ++x) {
          const double dx = g.At(x + 1, y) - g.At(x - 1, y);
          const double dy = g.At(x, y + 1) - g.At(x, y - 1);
          gxx += dx * dx;
          gyy += dy * dy;
          gxy += dx * dy;
        }
      }
      if (gxx + gyy <= 0) continue;
      ++blocks;
      coherence += std::sqrt((gxx - gyy) * (gxx - gyy) + 4 * gxy * gxy) / (gxx + gyy);
      for (int y = by; y < by + kBlock; ++y)
        for (int x = bx; x < bx + kBlock; ++x) dark += g.At(x, y) < mean ? 1 : 0;
      inPrint += kBlock * kBlock;
      // Ridge period: the grey signature across the ridges (along the gradient),
      // averaged along them, and its crossings of the mean.
      const double normal = 0.5 * std::atan2(2 * gxy, gxx - gyy);
      const double nx = std::cos(normal);
      const double ny = std::sin(normal);
      constexpr int kLength = 32;
      std::vector<double> signature(kLength, 0);
      const double cx = bx + kBlock / 2.0;
      const double cy = by + kBlock / 2.0;
      for (int i = 0; i < kLength; ++i) {
        for (int j = -4; j <= 4; ++j) {
          const int x = static_cast<int>(std::lround(cx + (i - kLength / 2) * nx - j * ny));
          const int y = static_cast<int>(std::lround(cy + (i - kLength / 2) * ny + j * nx));
          signature[i] += (x >= 0 && y >= 0 && x < g.Width && y < g.Height) ? g.At(x, y) : mean;
        }
      }
      double smean = 0;
      for (double v : signature) smean += v / kLength;
      int first = -1;
      int last = -1;
      int crossings = 0;
      for (int i = 1; i < kLength; ++i) {
        if ((signature[i - 1] - smean) * (signature[i] - smean) < 0) {
          if (first < 0) first = i;
          last = i;
          ++crossings;
        }
      }
      if (crossings >= 3) periods.push_back(2.0 * (last - first) / (crossings - 1));
    }
  }
  if (blocks == 0 || periods.empty()) return s;
  std::sort(periods.begin(), periods.end());
  s.Period = periods[periods.size() / 2];
  s.Coherence = coherence / blocks;
  s.RidgeShare = dark / inPrint;
  s.Covered = static_cast<double>(blocks) / total;
  return s;
}

TEST(Realism, SimulatedPrintsHaveTheStatisticsOfRealCaptures) {
  std::vector<TStats> real;
  for (int finger = 101; finger <= 110; ++finger) {
    for (int impression : {1, 5}) {
      TGrey g;
      const std::string path = std::string(MIVEX_DATA_DIR) + "/fingerprints/fvc2000_db2_b/" + std::to_string(finger) +
                               "_" + std::to_string(impression) + ".png";
      ASSERT_TRUE(ReadGreyPng(path, g)) << path;
      real.push_back(Measure(g));
    }
  }
  std::vector<TStats> simulated;
  TMasterCache cache(1);
  for (std::uint32_t subject = 1; subject <= 10; ++subject) {
    const std::int32_t finger = 1 + static_cast<std::int32_t>(subject % 10);
    const auto master = cache.Get(subject, finger);
    for (std::int64_t press = 0; press < 2; ++press) {
      const std::uint64_t seed = PressSeed(0, press, subject, finger);
      TGrey g;
      g.Width = 256;
      g.Height = 288;
      RenderImpression(*master, FrameOfPress(DrawPlacement(seed, TPressKind::pkGood), 3, seed), g.Pixels);
      simulated.push_back(Measure(g));
    }
  }
  const auto range = [](const std::vector<TStats>& v, double TStats::*field, double& lo, double& hi, double& mean) {
    lo = 1e9;
    hi = -1e9;
    mean = 0;
    for (const TStats& s : v) {
      lo = std::min(lo, s.*field);
      hi = std::max(hi, s.*field);
      mean += s.*field / static_cast<double>(v.size());
    }
  };
  const struct {
    const char* Name;
    double TStats::*Field;
    double Slack;  // how far the simulated mean may lie outside the real range
  } checks[] = {{"ridge period", &TStats::Period, 0.5},
                {"coherence", &TStats::Coherence, 0.05},
                {"ridge share", &TStats::RidgeShare, 0.05},
                {"covered area", &TStats::Covered, 0.05}};
  for (const auto& c : checks) {
    double rlo = 0, rhi = 0, rmean = 0, slo = 0, shi = 0, smean = 0;
    range(real, c.Field, rlo, rhi, rmean);
    range(simulated, c.Field, slo, shi, smean);
    std::printf("%-13s real %.3f .. %.3f (mean %.3f)   simulated %.3f .. %.3f (mean %.3f)\n", c.Name, rlo, rhi, rmean,
                slo, shi, smean);
    EXPECT_GE(smean, rlo - c.Slack) << c.Name;
    EXPECT_LE(smean, rhi + c.Slack) << c.Name;
  }
  // About 9 pixels between ridges at 500 dpi, in every simulated print.
  for (const TStats& s : simulated) {
    EXPECT_GE(s.Period, 7.5);
    EXPECT_LE(s.Period, 11.5);
  }
}

}  // namespace
}  // namespace mivex::ostrela
