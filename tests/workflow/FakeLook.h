#pragma once
// Test doubles for the finger model: a look that records what it is asked to show, and
// an owner control with a scripted answer to the Yes/No question.
#include <string>
#include <utility>
#include <vector>

#include "ui/XUIBase.h"
#include "workflow/Fingers.h"

namespace mivex::test {

class FakeLook : public TBaseUI {
 public:
  FakeLook() : TBaseUI(nullptr) {}

  std::vector<int> created;                  // k of each CreateFinger(k)
  std::vector<int> shown;                    // finger index of each ShowFinger
  std::vector<std::pair<int, bool>> enabled; // (finger index, on) of each EnableFinger

  static int IndexOf(TFinger* f) { return f != nullptr && f->Button ? f->Button->Tag() : 0; }

  void RefreshLook() override {}
  int LookWidth() override { return 530; }
  int LookHeight() override { return 400; }
  std::unique_ptr<TFinger> CreateFinger(int k) override {
    created.push_back(k);
    auto button = std::make_unique<TComponent>();
    button->SetTag(k);
    return std::make_unique<TFinger>(std::move(button));
  }
  void ShowFinger(TFinger* finger) override { shown.push_back(IndexOf(finger)); }
  void AttachFinger(TFinger*) override {}
  void EnableFinger(TFinger* finger, bool on) override { enabled.emplace_back(IndexOf(finger), on); }
  void StepDone(int) override {}
  void StepFailed(int) override {}
  void StepCurrent(int) override {}
  void StepPending(int) override {}
  void StepHidden(int) override {}
  std::string GetUserIDText() override { return {}; }
  void SetUserIDText(const std::string&) override {}
  void ShowUserIDBox(bool) override {}
  void EnableUserIDBox(bool) override {}
  void BindDevice(TFPBase*) override {}
  void ShowStatus(const std::string&) override {}
  void EnableCancel(bool) override {}
  void SetCancelHint(const std::string&) override {}
  void EnableFinish(bool) override {}
  win::TControl* Widget(int) override { return nullptr; }
};

class FakeOwner : public TFingersOwner {
 public:
  FakeLook look;
  bool verifyOperation = false;
  TValidFingers valid = kAllFingers;
  bool answer = false;
  int window = 0;  // its address stands for the window handle
  std::vector<std::pair<TWindowHandle, std::string>> questions;

  TBaseUI* Look() override { return &look; }
  bool DeviceGetsVerifyTemplate() override { return verifyOperation; }
  TValidFingers ValidFingers() override { return valid; }
  TWindowHandle ContainingWindow() override { return &window; }
  bool AskYesNo(TWindowHandle owner, const std::string& text) override {
    questions.emplace_back(owner, text);
    return answer;
  }
};

}  // namespace mivex::test
