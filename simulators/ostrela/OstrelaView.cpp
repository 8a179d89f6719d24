// ostrela_view: writes a grid of synthetic impressions as a PNG file, for the README and
// for judging by eye how real the simulated sensor's prints look.
//
//   ostrela_view OUT.png [--subject S] [--rows N] [--finger F] [--presses M]
//                        [--kind good|poor|light] [--frame K] [--seed N] [--frames]
//
// Each row is one finger (subjects S, S+1, ... with finger F, default R2); each column
// one press of it, showing frame K of the press (default 3, a settled frame). With
// --frames the columns are instead the frames 0..M-1 of a single press per row.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Impression.h"
#include "MasterCache.h"
#include "OstrelaParams.h"
#include "PngFile.h"
#include "PressModel.h"
#include "Scenario.h"

namespace {

using namespace mivex::ostrela;

struct TOptions {
  std::string Output;
  std::uint32_t Subject = kDefaultSubject;
  std::int32_t Rows = 4;
  std::int32_t Finger = kDefaultFinger;
  std::int32_t Presses = 6;
  TPressKind Kind = TPressKind::pkGood;
  std::int32_t Frame = 3;
  std::uint32_t Seed = 0;
  bool Frames = false;
};

bool ParseOptions(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--frames") {
      o.Frames = true;
    } else if (a == "--subject" && hasValue) {
      o.Subject = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--rows" && hasValue) {
      o.Rows = std::atoi(argv[++i]);
    } else if (a == "--finger" && hasValue) {
      o.Finger = ParseFinger(argv[++i]);
    } else if (a == "--presses" && hasValue) {
      o.Presses = std::atoi(argv[++i]);
    } else if (a == "--frame" && hasValue) {
      o.Frame = std::atoi(argv[++i]);
    } else if (a == "--seed" && hasValue) {
      o.Seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--kind" && hasValue) {
      const std::string k = argv[++i];
      if (k == "good") o.Kind = TPressKind::pkGood;
      else if (k == "poor") o.Kind = TPressKind::pkPoor;
      else if (k == "light") o.Kind = TPressKind::pkLight;
      else return false;
    } else if (!a.empty() && a[0] != '-' && o.Output.empty()) {
      o.Output = a;
    } else {
      return false;
    }
  }
  return !o.Output.empty() && o.Finger != 0 && o.Rows >= 1 && o.Rows <= 32 && o.Presses >= 1 && o.Presses <= 32 &&
         o.Frame >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: ostrela_view OUT.png [--subject S] [--rows N] [--finger F] [--presses M]\n"
                 "                    [--kind good|poor|light] [--frame K] [--seed N] [--frames]\n");
    return 2;
  }
  constexpr std::int32_t kGap = 6;
  const std::int32_t cellW = params::kImageWidth + kGap;
  const std::int32_t cellH = params::kImageHeight + kGap;
  const std::int32_t width = o.Presses * cellW - kGap;
  const std::int32_t height = o.Rows * cellH - kGap;
  std::vector<std::uint8_t> grid(static_cast<std::size_t>(width) * height, 255);
  TMasterCache cache(1);
  std::vector<std::uint8_t> image;
  for (std::int32_t row = 0; row < o.Rows; ++row) {
    const std::uint32_t subject = o.Subject + static_cast<std::uint32_t>(row);
    const auto master = cache.Get(subject, o.Finger);
    std::printf("row %d: subject %u finger %d, %s\n", row, subject, o.Finger, PatternClassName(master->Design.Class));
    for (std::int32_t col = 0; col < o.Presses; ++col) {
      const std::int64_t press = o.Frames ? 0 : col;
      const std::int32_t frame = o.Frames ? col : o.Frame;
      const std::uint64_t seed = PressSeed(o.Seed, press, subject, o.Finger);
      RenderImpression(*master, FrameOfPress(DrawPlacement(seed, o.Kind), frame, seed), image);
      for (std::int32_t y = 0; y < params::kImageHeight; ++y) {
        std::memcpy(grid.data() + static_cast<std::size_t>(row * cellH + y) * width + static_cast<std::size_t>(col * cellW),
                    image.data() + static_cast<std::size_t>(y) * params::kImageWidth, params::kImageWidth);
      }
    }
  }
  if (!WriteGreyPng(o.Output, width, height, grid)) {
    std::fprintf(stderr, "cannot write %s\n", o.Output.c_str());
    return 1;
  }
  return 0;
}
