#include "PressModel.h"

#include "Random.h"

namespace mivex::ostrela {

std::uint64_t PressSeed(std::uint32_t runSeed, std::int64_t press, std::uint32_t subject, std::int32_t finger) {
  return MixSeed(MixSeed(runSeed, static_cast<std::uint64_t>(press)),
                 (std::uint64_t{subject} << 8) | static_cast<std::uint64_t>(finger));
}

TPressModel::TPressModel(const TScenario& scenario) : FScenario(scenario) {}

const TScenarioStep* TPressModel::Current() const {
  if (FStep < static_cast<std::int32_t>(FScenario.Steps.size())) return &FScenario.Steps[static_cast<std::size_t>(FStep)];
  return nullptr;
}

bool TPressModel::Unplugged() const {
  const TScenarioStep* step = Current();
  return step != nullptr && step->Kind == TStepKind::skUnplug;
}

void TPressModel::FinishStep() {
  FDone = 0;
  FPhase = 0;
  FInPress = false;
  ++FStep;
  if (FStep >= static_cast<std::int32_t>(FScenario.Steps.size()) && FScenario.Repeat) FStep = 0;
}

void TPressModel::ConsumeUnplug() {
  const TScenarioStep* step = Current();
  if (step->Count == kForever) return;
  if (++FDone >= step->Count) FinishStep();
}

bool TPressModel::TryOpen() {
  if (!Unplugged()) return true;
  ConsumeUnplug();
  return false;
}

TPollResult TPressModel::Poll() {
  TPollResult result;
  const TScenarioStep* step = Current();
  if (step == nullptr) return result;  // the scenario is over: an empty sensor
  switch (step->Kind) {
    case TStepKind::skUnplug:
      result.State = TPollState::psUnplugged;
      ConsumeUnplug();
      return result;
    case TStepKind::skNone:
      if (step->Count != kForever && ++FDone >= step->Count) FinishStep();
      return result;
    case TStepKind::skPress:
    case TStepKind::skImage:
      break;
  }
  if (!FInPress && FPhase < FScenario.GapPolls) {
    ++FPhase;  // the finger is lifted
    return result;
  }
  if (!FInPress) {
    FInPress = true;
    FFrame = 0;
    ++FPressesBegun;
  }
  result.Kind = step->Press;
  result.Press = FPressesBegun - 1;
  result.Frame = FFrame++;
  if (step->Kind == TStepKind::skImage) {
    // The step's images in turn; a step whose images were not loaded feels no finger.
    if (step->ImageCount > 0) {
      result.Image = step->FirstImage + static_cast<std::int32_t>(FDone % step->ImageCount);
      result.State = TPollState::psFinger;
    }
  } else {
    result.Subject = step->Subject;
    result.Finger = step->Finger;
    result.PressSeed = PressSeed(FScenario.Seed, result.Press, step->Subject, step->Finger);
    if (step->Press != TPressKind::pkNone) result.State = TPollState::psFinger;
  }
  if (FFrame >= FScenario.FramesPerPress) {
    FPhase = 0;
    FInPress = false;
    if (++FDone >= step->Count) FinishStep();
  }
  return result;
}

}  // namespace mivex::ostrela
