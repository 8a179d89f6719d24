#pragma once
// The look interface: the operations and four event slots through which the workflow
// controls drive the drawn dialog surface, without knowing its widgets.
#include <memory>
#include <string>

#include "base/Component.h"

namespace mivex {

namespace win {
class TControl;
}
class TFinger;
class TFPBase;

// Operations that change what is shown (everything but the three queries LookWidth,
// LookHeight and GetUserIDText) may be called from any thread: a look that draws
// windows runs them on its window's thread, in the order they were called.
class TBaseUI : public TComponent {
 public:
  static constexpr int kWidgetCount = 12;

  explicit TBaseUI(TComponent* owner) : TComponent(owner) {}

  virtual void RefreshLook() = 0;
  virtual int LookWidth() = 0;
  virtual int LookHeight() = 0;
  // Builds finger k (1..10) with its clickable button (button Tag = k).
  virtual std::unique_ptr<TFinger> CreateFinger(int k) = 0;
  // Shows the finger's button selected or not, from its state.
  virtual void ShowFinger(TFinger* finger) = 0;
  // Builds the button's clickable region and hover picture from its mask.
  virtual void AttachFinger(TFinger* finger) = 0;
  virtual void EnableFinger(TFinger* finger, bool on) = 0;
  // Step pictures of steps 1..8.
  virtual void StepDone(int n) = 0;
  virtual void StepFailed(int n) = 0;
  virtual void StepCurrent(int n) = 0;
  virtual void StepPending(int n) = 0;
  virtual void StepHidden(int n) = 0;
  virtual std::string GetUserIDText() = 0;
  virtual void SetUserIDText(const std::string& text) = 0;
  virtual void ShowUserIDBox(bool on) = 0;
  virtual void EnableUserIDBox(bool on) = 0;
  virtual void BindDevice(TFPBase* device) = 0;
  // Shows `text` as the only line of the status text (empty clears it).
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void EnableCancel(bool on) = 0;
  virtual void SetCancelHint(const std::string& text) = 0;
  virtual void EnableFinish(bool on) = 0;

  // The numbered widgets 0..11 that the control parents (null where a look has none).
  virtual win::TControl* Widget(int index) = 0;

  // Event slots, filled by the control before it asks for its fingers.
  TNotifyEvent OnFinishClick;
  TNotifyEvent OnCancelClick;
  TNotifyEvent OnUserIDChange;
  TNotifyEvent OnFingerClick;
};

}  // namespace mivex
