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

#include "ImageHash.h"
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

// One line per master and per impression: what every build must reproduce bit for bit.
void PrintHashes() {
  struct TCase {
    std::uint32_t Subject;
    std::int32_t Finger;
  };
  const TCase fingers[] = {{1, 7}, {2, 1}, {3, 10}, {4, 5}, {5, 6}, {6, 2}};
  struct TShot {
    TPressKind Kind;
    std::int64_t Press;
    std::int32_t Frame;
  };
  const TShot shots[] = {{TPressKind::pkGood, 0, 0}, {TPressKind::pkGood, 1, 3}, {TPressKind::pkPoor, 2, 4},
                         {TPressKind::pkLight, 3, 2}};
  TMasterCache cache(1);
  std::vector<std::uint8_t> image;
  std::printf("# kind subject finger [press-kind press frame] hash (FNV-1a 64 of the pixels)\n");
  for (const TCase& c : fingers) {
    const auto m = cache.Get(c.Subject, c.Finger);
    std::vector<std::uint8_t> bytes(m->Ridges.begin(), m->Ridges.end());
    bytes.insert(bytes.end(), m->Skin.begin(), m->Skin.end());
    std::printf("master %u %d %016llx\n", c.Subject, c.Finger, static_cast<unsigned long long>(HashBytes(bytes)));
    for (const TShot& s : shots) {
      const std::uint64_t seed = PressSeed(0, s.Press, c.Subject, c.Finger);
      RenderImpression(*m, FrameOfPress(DrawPlacement(seed, s.Kind), s.Frame, seed), image);
      std::printf("impression %u %d %s %lld %d %016llx\n", c.Subject, c.Finger, PressKindName(s.Kind),
                  static_cast<long long>(s.Press), s.Frame, static_cast<unsigned long long>(HashBytes(image)));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--hashes") == 0) {
    PrintHashes();
    return 0;
  }
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
