#pragma once
// The fashion looks: the drawn 530 x 400 surface of the enrollment and verification
// dialogs behind the look interface. Every widget is owned by the control that owns the
// look (the look only refers to them); finger buttons belong to their fingers.
// Operations that change what is shown run on the control's window thread in the order
// they were called (directly while the control has not had a window yet).
#include <array>
#include <functional>

#include "ui/FashionLayout.h"
#include "ui/XUIBase.h"

namespace mivex {

namespace win {
class TWinControl;
}
class TImage;
class TMultiLabel;
class TEdit;
class TSoundBtn;
class TPolygonBtn;

class TFashionUI : public TBaseUI {
 public:
  // `control` (a windowed control) owns and parents the widgets.
  explicit TFashionUI(TComponent* control);

  int LookWidth() override;
  int LookHeight() override;
  std::unique_ptr<TFinger> CreateFinger(int k) override;
  void ShowFinger(TFinger* finger) override;
  void AttachFinger(TFinger* finger) override;
  void EnableFinger(TFinger* finger, bool on) override;
  std::string GetUserIDText() override;
  void SetUserIDText(const std::string& text) override;
  void ShowUserIDBox(bool on) override;
  void EnableUserIDBox(bool on) override;
  void ShowStatus(const std::string& text) override;
  win::TControl* Widget(int index) override;

  // The finger button of a finger made by CreateFinger (null otherwise).
  static TPolygonBtn* ButtonOf(TFinger* finger);

  win::TWinControl* Control;
  TImage* BlankImage;
  TMultiLabel* IDLabel;
  TEdit* UserIDBox;
  TMultiLabel* StatusLabel;
  std::array<win::TControl*, kWidgetCount> Widgets{};

 protected:
  // Runs `fn` on the control's window thread after every call queued before it.
  void Run(std::function<void()> fn);
  // Applies one row of a layout table to widget `index` and shows it.
  void Place(int index, const fashion::WidgetPlace& place);
  // Wires the widget events both looks share.
  void BindCommonEvents();
};

class TFashionEnrollUI : public TFashionUI {
 public:
  explicit TFashionEnrollUI(TComponent* control);

  void RefreshLook() override;
  void StepDone(int n) override;
  void StepFailed(int n) override;
  void StepCurrent(int n) override;
  void StepPending(int n) override;
  void StepHidden(int n) override;
  void BindDevice(TFPBase* device) override;
  void EnableCancel(bool on) override;
  void SetCancelHint(const std::string& text) override;
  void EnableFinish(bool on) override;

  // The four step picture widgets (widgets 7..10), in order, for the step display.
  const std::array<TImage*, 4>& StepPictures() const { return step_pictures_; }

  // Presses per finger announced by the device; sets how many step pictures show.
  std::int32_t SampleCount = 0;
  TSoundBtn* CancelButton;
  TSoundBtn* FinishButton;

 private:
  void ShowStep(int n, fashion::StepState state);

  std::array<TImage*, 4> step_pictures_{};
};

class TFashionVerifyUI : public TFashionUI {
 public:
  explicit TFashionVerifyUI(TComponent* control) : TFashionUI(control) {}

  void RefreshLook() override;
  // The verification dialog has no step pictures and no Cancel or Finish button.
  void StepDone(int) override {}
  void StepFailed(int) override {}
  void StepCurrent(int) override {}
  void StepPending(int) override {}
  void StepHidden(int) override {}
  void EnableCancel(bool) override {}
  void SetCancelHint(const std::string&) override {}
  void EnableFinish(bool) override {}
  void BindDevice(TFPBase* device) override;
};

}  // namespace mivex
