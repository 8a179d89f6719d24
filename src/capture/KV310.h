#pragma once
// The fingerprint sensor device: a TVFBase that reaches the sensor through the closed
// sensor-access library "Ostrela.dll" (256 x 288 pixels, 8-bit grey, 500 dpi), and the
// factory through which the enrollment and verification controls get their device.
#include <cstdint>
#include <memory>
#include <string>

#include "capture/VFBase.h"

namespace mivex {

class TKV310 : public TVFBase {
 public:
  explicit TKV310(TComponent* owner);
  ~TKV310() override;

  TDeviceType GetDeviceType() override;
  void GetDeviceName(std::string& name) override;

 protected:
  std::int32_t GetResolution() override;
  std::int32_t GetImageWidth() override;
  std::int32_t GetImageHeight() override;
  // Polls the sensor until it delivers an image that passes the extraction threshold
  // (true, image copied top row first), or until the device closes or a stop is
  // requested (false).
  bool GetImage(std::uint8_t* buffer) override;
  // The sensor has no live-frame mode: DisplayType must stay dtFullImage.
  std::int32_t GetFrameWidth() override { return 0; }
  std::int32_t GetFrameHeight() override { return 0; }
  bool GetFrame(std::uint8_t* buffer) override { return false; }
  bool OpenDevice() override;
  void CloseDevice() override;
};

// A new sensor device without an owner, configured for the sensor (minimum minutiae
// count 14). The caller owns it.
std::unique_ptr<TKV310> CreateSensorDevice();

// Library start: loads "Ostrela.dll" and resolves its fourteen entry points by name.
// Idempotent and thread-safe; creates no thread and waits for none, so it may run inside
// the library's start-up (under the loader lock) or on first use. A failed load is final.
bool LoadSensorLibrary();
// Library unload: forgets the entry points and frees the library.
void FreeSensorLibrary();
bool SensorLibraryLoaded();

}  // namespace mivex
