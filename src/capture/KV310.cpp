#include "capture/KV310.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "base/Stdcall.h"
#include "base/win/MessagePump.h"
#include "capture/CaptureParams.h"
#include "capture/LibraryLoad.h"
#include "capture/ImageConvert.h"
#include "capture/Log.h"

namespace mivex {

namespace cp = capture_params;

namespace {

// Every name the sensor library is asked for. Only the first five are called;
// bAPI4_GetImage must be present for image requests; the rest are looked up only.
enum SensorEntry {
  kOpenSensor,
  kCloseSensor,
  kStartImage,
  kGetBinaryImage,
  kStopImage,
  kGetImage,
  kCheckSensorStatus,
  kHMFVOpenLib,
  kHMFVCloseLib,
  kHMFVStartEnroll,
  kHMFVEnroll,
  kHMFVVerify,
  kHMFVSetParas,
  kHMFVGetParas,
  kSensorEntryCount
};

constexpr const char* kSensorEntryNames[kSensorEntryCount] = {
    "bAPI4_OpenSensor",    "bAPI4_CloseSensor", "bAPI4_StartImage",        "bAPI4_GetBinaryImage",
    "bAPI4_StopImage",     "bAPI4_GetImage",    "bAPI4_CheckSensorStatus", "bAPI4_HMFVOpenLib",
    "bAPI4_HMFVCLoseLib",  "bAPI4_HMFVStartEnroll", "bAPI4_HMFVEnroll",    "bAPI4_HMFVVerify",
    "bAPI4_HMFVSetParas",  "bAPI4_HMFVGetParas",
};

using BoolProc = std::int32_t(MIVEX_STDCALL*)();
using VoidProc = std::int32_t(MIVEX_STDCALL*)();
using GetBinaryImageProc = std::int32_t(MIVEX_STDCALL*)(std::uint8_t* area, std::int32_t mode, std::int32_t dpi,
                                                        std::int32_t* width, std::int32_t* height);

// Written under the lock while the library loads (before any device exists), read
// without it afterwards. Zero-initialised: nothing happens before the load.
struct SensorTable {
  HMODULE module;
  bool attempted;
  void* entries[kSensorEntryCount];
};
SensorTable g_sensor;
SRWLOCK g_sensor_lock = SRWLOCK_INIT;

struct SensorLock {
  SensorLock() { ::AcquireSRWLockExclusive(&g_sensor_lock); }
  ~SensorLock() { ::ReleaseSRWLockExclusive(&g_sensor_lock); }
  SensorLock(const SensorLock&) = delete;
  SensorLock& operator=(const SensorLock&) = delete;
};

template <typename Proc>
Proc Entry(SensorEntry entry) {
  return reinterpret_cast<Proc>(g_sensor.entries[entry]);
}

// The library's Booleans are judged by their low byte.
bool IsTrue(std::int32_t value) { return (value & 0xFF) != 0; }

}  // namespace

bool LoadSensorLibrary() {
  SensorLock lock;
  if (g_sensor.attempted) return g_sensor.module != nullptr;
  g_sensor.attempted = true;
  HMODULE module = LoadPrivateLibrary(L"Ostrela.dll");
  if (!module) return false;
  g_sensor.module = module;
  for (int i = 0; i < kSensorEntryCount; ++i)
    g_sensor.entries[i] = reinterpret_cast<void*>(::GetProcAddress(module, kSensorEntryNames[i]));
  return true;
}

void FreeSensorLibrary() {
  SensorLock lock;
  HMODULE module = g_sensor.module;
  g_sensor = SensorTable{};
  g_sensor.attempted = true;
  if (module) ::FreeLibrary(module);
}

bool SensorLibraryLoaded() { return g_sensor.module != nullptr; }

TKV310::TKV310(TComponent* owner) : TVFBase(owner) { template_type_ = TTemplateType::ttDefault; }

TKV310::~TKV310() { ShutDown(); }

TDeviceType TKV310::GetDeviceType() {
  switch (TemplateType()) {
    case TTemplateType::ttNormalize: return TDeviceType::dtVF;
    case TTemplateType::ttAbig: return TDeviceType::dtAbig;
    default: return TDeviceType::dTKV310;
  }
}

void TKV310::GetDeviceName(std::string& name) { name = "FPKV310"; }

std::int32_t TKV310::GetResolution() { return cp::kDefaultResolution; }
std::int32_t TKV310::GetImageWidth() { return cp::kImageWidth; }
std::int32_t TKV310::GetImageHeight() { return cp::kImageHeight; }

bool TKV310::OpenDevice() {
  auto open_sensor = Entry<BoolProc>(kOpenSensor);
  return open_sensor && IsTrue(open_sensor());
}

void TKV310::CloseDevice() {
  auto close_sensor = Entry<VoidProc>(kCloseSensor);
  if (close_sensor && Entry<VoidProc>(kStopImage)) close_sensor();
  opened_.store(false);
}

bool TKV310::GetImage(std::uint8_t* buffer) {
  auto get_binary_image = Entry<GetBinaryImageProc>(kGetBinaryImage);
  if (!Entry<void*>(kGetImage) || !get_binary_image) return false;
  auto start_image = Entry<VoidProc>(kStartImage);
  auto stop_image = Entry<VoidProc>(kStopImage);

  LogMessage(logtext::kBeginFetchImage);
  bool result = false;
  std::int32_t width = cp::kImageWidth;
  std::int32_t height = cp::kImageHeight;
  std::vector<std::uint8_t> area(cp::kSensorAreaBytes);
  std::vector<std::uint8_t> features(cp::kFeatureBufferSize);
  while (IsOpened()) {
    std::fill(area.begin(), area.end(), 0);
    const auto start = std::chrono::steady_clock::now();
    if (start_image) start_image();
    if (IsTrue(get_binary_image(area.data(), cp::kSensorImageMode, cp::kSensorImageDpi, &width, &height))) {
      // The library reports the size it delivered; a size that does not fit the area
      // is not an image this device can judge.
      const bool fits = width > 0 && height > 0 &&
                        static_cast<std::int64_t>(width) * height <= static_cast<std::int64_t>(cp::kImageBytes);
      if (fits) {
        std::int32_t output = 0;
        const std::int32_t score =
            VFExtract(width, height, area.data(), GetResolution(), features.data(), &output, Context());
        quality_ = score;
        // A negative result is an engine error, not a good score.
        if (score >= 0 && score <= GetExtractThreshold()) {
          const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
          LogMessage(logtext::GetBinaryImageSpent(elapsed));
          std::copy_n(area.begin(), cp::kImageBytes, buffer);
          FlipRows(buffer, cp::kImageWidth, cp::kImageHeight);
          if (stop_image) stop_image();
          result = true;
        }
      }
      break;
    }
    win::ProcessMessages();
    if (StopRequested()) break;
  }
  LogMessage(logtext::kEndFetchImage);
  return result;
}

std::unique_ptr<TKV310> CreateSensorDevice() {
  auto device = std::make_unique<TKV310>(nullptr);
  device->SetMinMinutiaeCount(cp::kSensorMinMinutiaeCount);
  return device;
}

}  // namespace mivex
