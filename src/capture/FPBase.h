#pragma once
// The abstract fingerprint capture device: a custom-drawn child control that owns one
// worker thread on which every capture operation runs, and the published face (the
// properties and events) that the enrollment and verification controls bind to.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/win/Controls.h"

namespace mivex {

class TBitmap;  // a captured image as a bitmap (ImageConvert.h)

// What the next Start does.
enum class FT_OPERATION : std::uint8_t { ftEnroll, ftVerify, ftGetPreEnrollTemplate, ftGetVerifyTemplate };

enum class TSecurityLevel : std::uint8_t { fsLevelAuto, fsLevelA, fsLevelB, fsLevelC, fsLevelD, fsLevelE };

// epEnrollCount: a fixed number of samples; epEnrollQuality: samples must agree.
enum class TEnrollPolicy : std::uint8_t { epEnrollCount, epEnrollQuality };

// Families of sensors and of the templates they produce. The controls pick their
// messages by the ordinal, so the order is fixed; this system produces only dtAbig,
// dtVF and dTKV310, the other members stand for other sensors' template families.
enum class TDeviceType : std::uint8_t {
  dtFamily0, dtFamily1, dtFamily2, dtFamily3, dtFamily4, dtFamily5, dtFamily6, dtFamily7,
  dtFamily8, dtFamily9, dtFamily10, dtFamily11, dtFamily12, dtFamily13, dtFamily14, dtFamily15,
  dtFamily16, dtFamily17, dtFamily18, dtFamily19, dtFamily20, dtFamily21, dtFamily22, dtFamily23,
  dtFamily24, dtFamily25, dtFamily26, dtFamily27, dtFamily28, dtFamily29,
  dtAbig,     // 30
  dtVF,       // 31
  dtFamily32,
  dTKV310,    // 33
  dtFamily34, dtFamily35, dtFamily36, dtFamily37, dtFamily38,
};
constexpr int kDeviceTypeCount = 39;

// Status values passed to OnStatus.
enum DeviceStatus : std::int32_t {
  kStatusOpened = 1,
  kStatusClosed = 2,
  kStatusWaitingForImage = 3,
  kStatusImageReceived = 4,
  kStatusRejectedScore = 5,
  kStatusRejectedMinutiae = 6,
  kStatusOperationBegins = 7,
  kStatusOperationEnded = 8,
};

using TStatusEvent = std::function<void(TObject* sender, std::int32_t status)>;
using TSampleQualityEvent = std::function<void(TObject* sender, std::int32_t quality)>;
using TFPDoneEvent = std::function<void(TObject* sender, const std::uint8_t* binTemplate)>;
using TFPErrorEvent = std::function<void(TObject* sender, std::int32_t errCode)>;
using TFPVerifyEvent = std::function<void(TObject* sender, std::int32_t score)>;
// The bitmap belongs to the device and is valid only during the call.
using TFPSampleEvent = std::function<void(TObject* sender, const TBitmap* bmp)>;
using TFPDevicePlugEvent = std::function<void(TObject* sender, std::int64_t deviceID)>;

class TFPExecThread;

class TFPBase : public win::TCustomControl {
 public:
  explicit TFPBase(TComponent* owner);
  ~TFPBase() override;

  // Published properties.
  std::int32_t ActiveDevice() const { return active_device_; }
  virtual void SetActiveDevice(std::int32_t index) { active_device_ = index; }
  std::int32_t DeviceNumbers() { return GetDeviceNumbers(); }
  std::int32_t ErrorCode() const { return error_code_; }
  void SetErrorCode(std::int32_t code) { error_code_ = code; }
  TSecurityLevel SecurityLevel() const { return security_level_; }
  virtual void SetSecurityLevel(TSecurityLevel level) { security_level_ = level; }
  FT_OPERATION Operation() const { return operation_; }
  void SetOperation(FT_OPERATION op) { operation_ = op; }
  TDeviceType DeviceType() { return GetDeviceType(); }
  TEnrollPolicy EnrollPolicy() const { return enroll_policy_; }

  TNotifyEvent OnReady;
  TStatusEvent OnStatus;
  TSampleQualityEvent OnSampleQuality;
  TFPDoneEvent OnDone;
  TFPErrorEvent OnError;
  TFPVerifyEvent onVerify;
  TFPSampleEvent onSample;
  TFPDevicePlugEvent OnDevConnected;
  TFPDevicePlugEvent OnDevDisconnected;

  // State shared with the worker thread (plain flags, as the controls poll them).
  bool Busy() const { return busy_.load(); }
  bool StopRequested() const { return stop_requested_.load(); }
  std::int32_t Quality() const { return quality_; }
  std::int32_t Score() const { return score_; }

  // Virtual operations, in the order of the device's interface.
  virtual bool IsOpened() { return opened_.load(); }
  virtual void ExecuteOperation() = 0;
  virtual const std::uint8_t* GetTemplate() = 0;
  virtual void DoDone();
  virtual void DoError();
  virtual void DoVerify();
  virtual void DoSampleQuality();
  virtual std::int32_t GetDeviceNumbers() { return 1; }
  virtual TDeviceType GetDeviceType() = 0;
  virtual void GetDeviceName(std::string& name) = 0;
  virtual void SetEnrollPolicy(TEnrollPolicy policy);
  virtual void Stop(bool stop) { stop_requested_.store(stop); }
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // Runs Operation on the worker thread: once per call, ignored while busy.
  virtual void Start();
  virtual void DrawBackground();
  virtual void Cancel();
  // Presses one enrollment takes under epEnrollCount.
  virtual std::int32_t GetSampleCount() { return 6; }

 protected:
  friend class TFPExecThread;
  void DoPaint(HDC dc) override;
  // Ends the worker (and waits for it) before the device's own parts go away;
  // derived destructors call it first.
  void FreeWorker();
  // True on the worker thread (where waiting for the worker would never end).
  bool InWorkerThread() const;

  std::int32_t active_device_ = 0;
  std::int32_t error_code_ = 0;
  TSecurityLevel security_level_ = TSecurityLevel::fsLevelAuto;
  FT_OPERATION operation_ = FT_OPERATION::ftEnroll;
  TEnrollPolicy enroll_policy_ = TEnrollPolicy::epEnrollCount;
  std::atomic<bool> busy_{false};
  std::atomic<bool> opened_{false};
  std::atomic<bool> stop_requested_{false};
  std::int32_t quality_ = 0;
  std::int32_t score_ = 0;
  std::unique_ptr<TFPExecThread> worker_;
};

}  // namespace mivex
