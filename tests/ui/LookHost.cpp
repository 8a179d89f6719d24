#include "LookHost.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "PngFile.h"
#include "base/win/Handles.h"
#include "base/win/MessagePump.h"

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

HostedLook::HostedLook(bool enroll, TEnrollPolicy policy, int samples) {
  form.SetBorderStyle(win::TBorderStyle::bsNone);
  form.SetBounds(16, 16, 530, 400);
  host = form.Create<LookHost>(enroll, policy, samples);
  host->SetParent(&form);
}

bool HostedLook::Open() {
  if (!form.HandleNeeded()) return false;
  form.SetVisible(true);
  win::ProcessMessages();
  return true;
}

void Screenshot(HostedLook& h, const std::string& name) {
  for (int i = 0; i < 20; ++i) {
    win::ProcessMessages();
    ::Sleep(25);
  }
  ::RedrawWindow(h.form.HandleIfAllocated(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  win::ProcessMessages();
  const int w = 530, hgt = 400;
  RECT r;
  ::GetWindowRect(h.form.HandleIfAllocated(), &r);
  win::OffscreenBitmap shot(w, hgt);
  win::ScopedGetDC screen(nullptr);
  ASSERT_TRUE(::BitBlt(shot.dc(), 0, 0, w, hgt, screen.get(), r.left, r.top, SRCCOPY));
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(w) * hgt * 3);
  for (int y = 0; y < hgt; ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = shot.Pixel(x, y);
      rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
  // The picture is the dialog: the title band at the top, white field, grey fingers.
  EXPECT_LT(GetRValue(shot.Pixel(5, 5)), 80);
  EXPECT_EQ(shot.Pixel(5, 395), RGB(255, 255, 255));
  const std::string dir = MIVEX_ARTIFACT_DIR;
  ::CreateDirectoryA(dir.c_str(), nullptr);
  EXPECT_TRUE(WritePng(dir + "/" + name, w, hgt, rgb));
}

}  // namespace mivex::test
