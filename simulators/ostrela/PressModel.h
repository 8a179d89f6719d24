#pragma once
// The press model: walks a scenario one poll at a time. A press is the gap (finger
// lifted), then `frames` polls that see the finger: the first ones touch only partly,
// the later ones settle; the next press is a new placement, a new impression. The
// model is driven by polls, not by the clock, so a test sees the same images in the
// same order on every run.
#include <cstdint>

#include "Scenario.h"

namespace mivex::ostrela {

enum class TPollState : std::uint8_t { psNoFinger, psFinger, psUnplugged };

struct TPollResult {
  TPollState State = TPollState::psNoFinger;
  std::uint32_t Subject = 0;
  std::int32_t Finger = 0;
  TPressKind Kind = TPressKind::pkGood;
  std::int64_t Press = -1;  // ordinal of the press within the run, from 0
  std::int32_t Frame = 0;   // poll within the press, from 0
  std::uint64_t PressSeed = 0;
  std::int32_t Image = -1;  // index in the scenario's images for a real image's press, else -1
};

class TPressModel {
 public:
  explicit TPressModel(const TScenario& scenario);

  // Advances one poll and says what the sensor sees.
  TPollResult Poll();
  // An open attempt: false while the scenario has the sensor unplugged (the attempt
  // counts toward the unplug step).
  bool TryOpen();

  const TScenario& Scenario() const { return FScenario; }
  void SetFrameMs(std::int32_t ms) { FScenario.FrameMs = ms; }
  void SetFramesPerPress(std::int32_t frames) { FScenario.FramesPerPress = frames; }
  void SetGapPolls(std::int32_t polls) { FScenario.GapPolls = polls; }

  std::int32_t StepIndex() const { return FStep; }
  std::int64_t PressesBegun() const { return FPressesBegun; }
  bool Unplugged() const;

 private:
  const TScenarioStep* Current() const;
  void FinishStep();
  // Counts one event of an unplug step.
  void ConsumeUnplug();

  TScenario FScenario;
  std::int32_t FStep = 0;
  std::int64_t FDone = 0;        // presses, polls or calls done in the current step
  std::int32_t FPhase = 0;       // gap polls done before the current press
  bool FInPress = false;         // the gap is over, the finger lies on the sensor
  std::int32_t FFrame = 0;       // frames of the current press done
  std::int64_t FPressesBegun = 0;
};

// Seed of one press of a run: the same press of the same scenario is the same impression.
std::uint64_t PressSeed(std::uint32_t runSeed, std::int64_t press, std::uint32_t subject, std::int32_t finger);

}  // namespace mivex::ostrela
