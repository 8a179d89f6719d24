#include "SimulatedPresses.h"

#include <chrono>

#include "GaborBank.h"
#include "Impression.h"
#include "MasterPrint.h"
#include "PressModel.h"

namespace mivex::vandrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kExtractThreshold = 120;
constexpr std::int32_t kMinMinutiae = 14;
// Polls of one press that see the finger (the simulated sensor's default).
constexpr std::int32_t kFramesPerPress = 6;
constexpr int kImageWidth = 256, kImageHeight = 288;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

std::vector<SimulatedFinger> SimulatedFingers(std::uint32_t seed, int genuineFingers, int genuinePresses, int fingers,
                                              int presses) {
  std::vector<SimulatedFinger> list;
  const int total = genuineFingers + fingers;
  for (int i = 0; i < total; ++i)
    list.push_back({seed * kSimulatedSubjectsPerSeed + 1 + static_cast<std::uint32_t>(i), 1 + i % 10,
                    i < genuineFingers ? genuinePresses : presses});
  return list;
}

bool DriverAccepts(const StoredSample& s) { return s.quality <= kExtractThreshold && s.minutiae >= kMinMinutiae; }

void RenderSimulatedPresses(const std::vector<SimulatedFinger>& list, std::uint32_t seed, std::int32_t context,
                            std::vector<std::string>& fingers, std::vector<MatchTemplate>& templates, int& rejected,
                            SimulationTimings& t) {
  const auto t0 = Clock::now();
  const ostrela::TGaborBank bank;
  t.masters += Seconds(Clock::now() - t0);
  std::vector<std::uint8_t> image;
  for (const SimulatedFinger& f : list) {
    const auto m0 = Clock::now();
    const ostrela::TMasterPrint master = ostrela::GenerateMaster(bank, f.subject, f.finger);
    t.masters += Seconds(Clock::now() - m0);
    for (int press = 0; press < f.presses; ++press) {
      const std::uint64_t pressSeed = ostrela::PressSeed(seed, press, f.subject, f.finger);
      const ostrela::TImpressionParams placement = ostrela::DrawPlacement(pressSeed, ostrela::TPressKind::pkGood);
      bool accepted = false;
      for (std::int32_t frame = 0; frame < kFramesPerPress && !accepted; ++frame) {
        const auto r0 = Clock::now();
        ostrela::RenderImpression(master, ostrela::FrameOfPress(placement, frame, pressSeed), image);
        const auto e0 = Clock::now();
        StoredSample s;
        const bool extracted = ExtractStoredSample(image.data(), kImageWidth, kImageHeight, context, s);
        const auto e1 = Clock::now();
        t.rendering += Seconds(e0 - r0);
        t.extraction += Seconds(e1 - e0);
        ++t.frames;
        if (!extracted || !DriverAccepts(s)) continue;
        MatchTemplate m;
        if (!TemplateOfRecord(s.record.data(), m)) continue;
        fingers.push_back(std::to_string(f.subject) + "/" + std::to_string(f.finger));
        templates.push_back(std::move(m));
        accepted = true;
      }
      rejected += accepted ? 0 : 1;
    }
  }
}

}  // namespace mivex::vandrel
