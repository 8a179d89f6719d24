#include "workflow/SampleStepShow.h"

#include <algorithm>

#include "workflow/QualityMessage.h"
#include "ui/XUIBase.h"

namespace mivex {

namespace {
// The look has pictures for steps 1..8 only.
constexpr int kLastStepPicture = 8;
}  // namespace

TSampleStepShow::TSampleStepShow(TBaseUI* look, std::function<int(std::int32_t)> quality_message)
    : look_(look), quality_message_(std::move(quality_message)) {}

void TSampleStepShow::SetStepCount(std::int32_t count) {
  StepCount_ = count;
  ShownSteps_ = std::min(count, 4);
}

void TSampleStepShow::BeginFinger() {
  look_->StepCurrent(1);
  for (int n = 2; n <= ShownSteps_; ++n) look_->StepPending(n);
  CurrentStep = 1;
}

void TSampleStepShow::AllDone() {
  for (int n = 1; n <= ShownSteps_; ++n) look_->StepDone(n);
  CurrentStep = StepCount_ + 1;
}

void TSampleStepShow::AllFailed() {
  for (int n = 1; n <= ShownSteps_; ++n) look_->StepFailed(n);
  CurrentStep = StepCount_ + 1;
}

void TSampleStepShow::ResetSteps() {
  for (int n = 1; n <= ShownSteps_; ++n) look_->StepPending(n);
  CurrentStep = 0;
}

void TSampleStepShow::HidePictures() {
  for (int n = 1; n <= ShownSteps_; ++n) look_->StepHidden(n);
}

void TSampleStepShow::UpdateStep(std::int32_t quality) {
  MessageId = quality_message_(quality);
  if (MessageId < 0 || CurrentStep < 1 || CurrentStep > StepCount_) return;
  if (MessageId != kAcceptedSampleMessage) {
    if (CurrentStep <= kLastStepPicture) look_->StepFailed(CurrentStep);
    return;
  }
  if (CurrentStep <= kLastStepPicture) look_->StepDone(CurrentStep);
  ++CurrentStep;
  if (CurrentStep > StepCount_) return;
  if (CurrentStep == 5) {
    for (int n = 5; n <= StepCount_ && n <= kLastStepPicture; ++n) look_->StepPending(n);
    for (int n = StepCount_ + 1; n <= 8; ++n) look_->StepHidden(n);
  } else if (CurrentStep == 9) {
    // The look has no third page: steps beyond 8 are counted but not drawn.
    return;
  }
  if (CurrentStep <= kLastStepPicture) look_->StepCurrent(CurrentStep);
}

}  // namespace mivex
