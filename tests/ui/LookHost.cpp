#include "LookHost.h"

namespace mivex::test {

TestDevice::TestDevice(TComponent* owner, TEnrollPolicy policy, std::int32_t samples)
    : TFPBase(owner), samples_(samples) {
  // Set directly: the base class accepts the quality policy only from the device
  // families that can judge sample agreement.
  enroll_policy_ = policy;
  SetColor(0x00382C22u);
}

TestDevice::~TestDevice() { FreeWorker(); }

LookHost::LookHost(TComponent* owner, bool enroll, TEnrollPolicy policy, std::int32_t samples)
    : TCustomControl(owner) {
  SetColor(win::clWindow);
  if (enroll) {
    enroll_look = Create<TFashionEnrollUI>();
    look = enroll_look;
  } else {
    look = Create<TFashionVerifyUI>();
  }
  look->OnUserIDChange = [this](TObject*) { ++user_id_changes; };
  look->OnFingerClick = [this](TObject*) { ++finger_clicks; };
  for (int i = 0; i < TBaseUI::kWidgetCount; ++i)
    if (win::TControl* w = look->Widget(i)) w->SetParent(this);
  SetBounds(0, 0, look->LookWidth(), look->LookHeight());
  look->ShowUserIDBox(true);
  for (int k = 1; k <= 10; ++k) fingers.push_back(look->CreateFinger(k));
  device = Create<TestDevice>(policy, samples);
  device->SetParent(this);
  look->BindDevice(device);
  look->RefreshLook();
}

LookHost::~LookHost() {
  MarkDestroying();
  fingers.clear();
}

void LookHost::HandleCreated() {
  for (auto& finger : fingers) look->AttachFinger(finger.get());
  look->RefreshLook();
}

}  // namespace mivex::test
