#pragma once
// A minimal control that owns a fashion look the way the workflow controls do: it
// parents the look's widgets, asks it for the ten fingers, binds a capture device and
// attaches the fingers once its window exists.
#include <memory>
#include <string>
#include <vector>

#include "base/win/Form.h"
#include "capture/FPBase.h"
#include "ui/XUIFashion.h"
#include "workflow/Fingers.h"

namespace mivex::test {

// A capture device that captures nothing; it only shows its view and announces its
// presses per finger.
class TestDevice : public TFPBase {
 public:
  TestDevice(TComponent* owner, TEnrollPolicy policy, std::int32_t samples);
  ~TestDevice() override;
  void ExecuteOperation() override {}
  const std::uint8_t* GetTemplate() override { return nullptr; }
  TDeviceType GetDeviceType() override { return TDeviceType::dtAbig; }
  void GetDeviceName(std::string& name) override { name = "test device"; }
  bool Open() override { return true; }
  void Close() override {}
  std::int32_t GetSampleCount() override { return samples_; }

 private:
  std::int32_t samples_;
};

class LookHost : public win::TCustomControl {
 public:
  LookHost(TComponent* owner, bool enroll, TEnrollPolicy policy = TEnrollPolicy::epEnrollQuality,
           std::int32_t samples = 3);
  ~LookHost() override;

  TFashionUI* look = nullptr;
  TFashionEnrollUI* enroll_look = nullptr;  // null for the verification look
  TestDevice* device = nullptr;
  std::vector<std::unique_ptr<TFinger>> fingers;
  int finger_clicks = 0;
  int user_id_changes = 0;

 protected:
  void HandleCreated() override;
};

// A look in a borderless form of the dialog's size, as the dialog shows it.
struct HostedLook {
  win::TForm form{nullptr};
  LookHost* host;
  explicit HostedLook(bool enroll, TEnrollPolicy policy = TEnrollPolicy::epEnrollQuality, int samples = 3);
  bool Open();
  TPolygonBtn* Button(int k) { return TFashionUI::ButtonOf(fingers()[static_cast<size_t>(k - 1)].get()); }
  std::vector<std::unique_ptr<TFinger>>& fingers() { return host->fingers; }
};

// Captures the form's pixels from the screen and writes them as a PNG file of the
// tree's artefact folder.
void Screenshot(HostedLook& h, const std::string& name);

}  // namespace mivex::test
