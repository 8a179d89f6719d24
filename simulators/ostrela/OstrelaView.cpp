// ostrela_view: writes a grid of synthetic impressions as a PNG file, for the README and
// for judging by eye how real the simulated sensor's prints look.
//
//   ostrela_view OUT.png [--subject S] [--rows N] [--finger F] [--presses M]
//                        [--kind good|poor|light] [--frame K] [--seed N] [--frames]
//
// Each row is one finger (subjects S, S+1, ... with finger F, default R2); each column
// one press of it, showing frame K of the press (default 3, a settled frame). With
// --frames the columns are instead the frames 0..M-1 of a single press per row.
//
//   ostrela_view OUT.png --sheet [--subject S] [--finger F] [--seed N]
//
// The overview sheet: the first row holds one finger of each pattern class (arch,
// tented arch, left loop, right loop, whorl; the first subject from S on whose finger F
// has it), the second one press of subject S's finger pressed from light to heavy.
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
  bool Sheet = false;
};

bool ParseOptions(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--frames") {
      o.Frames = true;
    } else if (a == "--sheet") {
      o.Sheet = true;
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

constexpr std::int32_t kGap = 6;

// A grid of `columns` x `rows` sensor frames with white gaps between them.
class TGrid {
 public:
  TGrid(std::int32_t columns, std::int32_t rows)
      : FWidth(columns * (params::kImageWidth + kGap) - kGap),
        FHeight(rows * (params::kImageHeight + kGap) - kGap),
        FPixels(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), 255) {}

  void Put(std::int32_t column, std::int32_t row, const std::vector<std::uint8_t>& image) {
    for (std::int32_t y = 0; y < params::kImageHeight; ++y) {
      std::memcpy(FPixels.data() + static_cast<std::size_t>(row * (params::kImageHeight + kGap) + y) * FWidth +
                      static_cast<std::size_t>(column * (params::kImageWidth + kGap)),
                  image.data() + static_cast<std::size_t>(y) * params::kImageWidth, params::kImageWidth);
    }
  }
  bool Write(const std::string& path) const { return WriteGreyPng(path, FWidth, FHeight, FPixels); }

 private:
  std::int32_t FWidth, FHeight;
  std::vector<std::uint8_t> FPixels;
};

// Settled frame of a good press of `subject`'s finger, put down on the usual spot and
// unturned, so that the sheet shows each pattern whole (a press may land far off).
void GoodPress(const TMasterPrint& master, std::uint32_t runSeed, std::uint32_t subject, std::int32_t finger,
               std::int32_t pressure, bool setPressure, std::vector<std::uint8_t>& image) {
  const std::uint64_t seed = PressSeed(runSeed, 0, subject, finger);
  TImpressionParams placement = DrawPlacement(seed, TPressKind::pkGood);
  placement.OffsetXQ8 = 0;
  placement.OffsetYQ8 = params::kSensorBelowCentre * 256;
  placement.Rotation = 0;
  TImpressionParams frame = FrameOfPress(placement, 3, seed);
  if (setPressure) frame.Pressure = pressure;
  RenderImpression(master, frame, image);
}

int WriteSheet(const TOptions& o) {
  // Ink threshold shifts from a light touch to a heavy press.
  const std::int32_t pressures[] = {-60, -36, -16, 0, 18, 40};
  constexpr std::int32_t kClasses = 5;
  constexpr std::int32_t kColumns = 6;
  TGrid grid(kColumns, 2);
  TMasterCache cache(1);
  std::vector<std::uint8_t> image;
  bool found[kClasses] = {};
  std::int32_t column = 0;  // classes found
  for (std::uint32_t subject = o.Subject; column < kClasses && subject < o.Subject + 1000; ++subject) {
    const auto master = cache.Get(subject, o.Finger);
    const auto cls = static_cast<std::int32_t>(master->Design.Class);
    if (found[cls]) continue;
    found[cls] = true;
    GoodPress(*master, o.Seed, subject, o.Finger, 0, false, image);
    grid.Put(cls, 0, image);
    ++column;
    std::printf("row 0 column %d: subject %u finger %d, %s\n", cls, subject, o.Finger,
                PatternClassName(master->Design.Class));
  }
  const auto master = cache.Get(o.Subject, o.Finger);
  for (std::int32_t k = 0; k < kColumns; ++k) {
    GoodPress(*master, o.Seed, o.Subject, o.Finger, pressures[k], true, image);
    grid.Put(k, 1, image);
  }
  std::printf("row 1: subject %u finger %d, pressure %d (light) to %d (heavy)\n", o.Subject, o.Finger, pressures[0],
              pressures[kColumns - 1]);
  if (column < kClasses) std::fprintf(stderr, "not every pattern class among 1000 subjects\n");
  if (!grid.Write(o.Output)) {
    std::fprintf(stderr, "cannot write %s\n", o.Output.c_str());
    return 1;
  }
  return 0;
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
                 "                    [--kind good|poor|light] [--frame K] [--seed N] [--frames]\n"
                 "       ostrela_view OUT.png --sheet [--subject S] [--finger F] [--seed N]\n");
    return 2;
  }
  if (o.Sheet) return WriteSheet(o);
  TGrid grid(o.Presses, o.Rows);
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
      grid.Put(col, row, image);
    }
  }
  if (!grid.Write(o.Output)) {
    std::fprintf(stderr, "cannot write %s\n", o.Output.c_str());
    return 1;
  }
  return 0;
}
