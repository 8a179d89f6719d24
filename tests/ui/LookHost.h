#pragma once
// A minimal control that owns a fashion look the way the workflow controls do: it
// parents the look's widgets, asks it for the ten fingers, binds a capture device and
// attaches the fingers once its window exists.
#include <memory>
#include <vector>

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

}  // namespace mivex::test
