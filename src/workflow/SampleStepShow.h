#pragma once
// The step display of the enrollment dialog: how many presses of the current finger have
// been accepted, drawn with the look's step pictures (four per page).
#include <cstdint>
#include <functional>

namespace mivex {

class TBaseUI;

class TSampleStepShow {
 public:
  // `quality_message` maps a sample quality value to its catalogue message.
  TSampleStepShow(TBaseUI* look, std::function<int(std::int32_t quality)> quality_message);

  // Presses per finger; the shown steps are at most four.
  void SetStepCount(std::int32_t count);
  std::int32_t StepCount() const { return StepCount_; }
  std::int32_t ShownSteps() const { return ShownSteps_; }

  void BeginFinger();
  void AllDone();
  void AllFailed();
  void ResetSteps();
  // Hides the shown step pictures (a change of the device's policy or level).
  void HidePictures();
  // Records a quality report: an accepted sample moves to the next step (turning the
  // page after steps 4 and 8), any other message marks the current step failed.
  void UpdateStep(std::int32_t quality);

  std::int32_t CurrentStep = 0;  // 1-based; 0 before a finger; StepCount + 1 when over
  std::int32_t MessageId = 0;

 private:
  TBaseUI* look_;
  std::function<int(std::int32_t)> quality_message_;
  std::int32_t StepCount_ = 0;
  std::int32_t ShownSteps_ = 0;
};

}  // namespace mivex
