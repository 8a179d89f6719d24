#pragma once
// The workflow controls that run inside the dialogs: the shared base TXFPBase (look and
// capture device binding, start and stop, user identifier, error reporting) and the
// enrollment control XFPBase::TXFPEnroll with its step display. The verification
// control is in XFPVerify.h.
//
// Threads: everything runs on the dialog's thread except the four device handlers, which
// the capture device calls on its worker thread. They update the look (whose operations
// hand themselves to the window's thread) and the template string there, and hand every
// step that ends or redirects the dialog to the dialog's thread by posting a window
// message to the control.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/win/Controls.h"
#include "capture/FPBase.h"
#include "workflow/Fingers.h"
#include "workflow/SampleStepShow.h"

namespace mivex {

class TBaseUI;
class TVFBase;

enum class TProcessState : std::uint8_t { psIdle, psSelecting, psCapturing, psFingerDone };

using TUIErrorEvent = std::function<void(TObject* sender, std::int32_t errCode, const std::string& errMsg)>;

// Error codes the controls report through onError.
enum ControlError : std::int32_t {
  kErrConnection = 301,
  kErrDisconnected = 302,
  kErrNoUser = 303,
  kErrUserCancel = 304,
  kErrTemplateText = 306,
  kErrVerifyDevice = 308,
  kErrEnrolledList = 310,
  kErrNothingEnrolled = 312,
};

// Window messages the controls post to themselves.
constexpr UINT kMsgVerifyDone = 1025;
constexpr UINT kMsgSelectNext = 1026;
constexpr UINT kMsgSequenceDone = 1027;

// The most of a user identifier the identifier box shows: filling an edit box with a
// text of megabytes holds the dialog's thread for minutes. The control keeps the
// whole identifier.
constexpr std::size_t kUserIDShownBytes = 256;
// `text` as the identifier box shows it: at most kUserIDShownBytes bytes, cut at a
// character boundary.
std::string ShownUserID(const std::string& text);
constexpr UINT kMsgSwitchOperation = 2024;

class TXFPBase : public win::TCustomControl, public TFingersOwner {
 public:
  explicit TXFPBase(TComponent* owner);
  ~TXFPBase() override;

  // Virtual operations, in their slot order.
  virtual void SetLook(TBaseUI* look);
  virtual void SetDevice(TVFBase* device);
  virtual void HandleSampleQuality(std::int32_t quality) = 0;
  virtual void HandleSample(const TBitmap* bitmap) = 0;
  virtual void HandleDone(const std::uint8_t* tmpl) = 0;
  virtual void HandleDeviceError(std::int32_t code) = 0;
  virtual void SetState(TProcessState state) = 0;
  virtual void UserIDChanged();
  virtual void Stop();
  virtual void Start();

  // User identifier.
  void SetUserID(const std::string& text);
  const std::string& UserID() const { return UserID_; }
  bool ShowUserID() const { return ShowUserID_; }
  void SetShowUserID(bool on);
  void StartWithUser(const std::string& text);
  // Starts with LastError -1; true when no error was reported.
  bool Run();

  // Texts: `where` 0 is a message box, 1 the status line.
  void ShowPrompt(int where, const std::string& text);
  // Shows `text` as the status line (any thread).
  void ShowStatusLine(const std::string& text);
  std::string ErrorText(std::int32_t code);
  void ReportError(int where, std::int32_t code);
  int QualityMessage(std::int32_t quality);

  // The host's enrolled-finger list (parsed; error 310 for a malformed code).
  void SetEnrolledFingers(const std::string& text);
  const std::string& EnrolledFingers() const { return EnrolledFingers_; }
  void ClearFingers();

  TProcessState State() const { return State_.load(); }
  std::int32_t LastError() const { return LastError_.load(); }
  TFingers* Fingers() const { return fingers_.get(); }
  TBaseUI* Look() override { return look_; }
  TVFBase* Device() const { return FFPDevice.get(); }
  const TWasEnrolled& WasEnrolled() const { return WasEnrolled_; }

  TUIErrorEvent onError;
  TNotifyEvent onAfterExecute;
  std::int32_t RetryCount = 3;
  std::int32_t RetryDelay = 1000;

  // TFingersOwner
  bool DeviceGetsVerifyTemplate() override;
  TValidFingers ValidFingers() override { return ValidFingers_; }
  TWindowHandle ContainingWindow() override;
  bool AskYesNo(TWindowHandle owner, const std::string& text) override;

 protected:
  // Once the window exists the finger buttons can take their shapes.
  void HandleCreated() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Posted control messages, on the dialog's thread.
  virtual void HandleControlMessage(UINT msg, WPARAM wp) {}
  void HandleDisconnect();
  // Tries to open the sensor up to RetryCount + 1 times, RetryDelay apart, keeping the
  // dialog responsive while it waits.
  void WaitForDevice();
  void PostToSelf(UINT msg, WPARAM wp = 0);
  // The control's purpose for the enrolled-finger check at Start.
  virtual bool NewEnrollment() const { return true; }
  virtual bool IdentifyWithoutUser() const { return false; }

  std::unique_ptr<TVFBase> FFPDevice;
  std::vector<std::uint8_t> VerifyBuffer;
  std::unique_ptr<TFingers> fingers_;
  TWasEnrolled WasEnrolled_{};
  std::string EnrolledFingers_;
  std::string FingerSequence_;
  TBaseUI* look_ = nullptr;
  std::atomic<TProcessState> State_{TProcessState::psIdle};
  std::atomic<std::int32_t> LastError_{0};
  bool ShowUserID_ = true;
  std::string UserID_;
  bool UserIDSet_ = false;
  TValidFingers ValidFingers_ = kAllFingers;
};

namespace XFPBase {

// The enrollment control.
class TXFPEnroll : public TXFPBase {
 public:
  explicit TXFPEnroll(TComponent* owner);
  ~TXFPEnroll() override;

  void SetLook(TBaseUI* look) override;
  void SetDevice(TVFBase* device) override;
  void Start() override;
  void Stop() override;
  void SetState(TProcessState state) override;
  void UserIDChanged() override;
  void HandleSampleQuality(std::int32_t quality) override;
  void HandleSample(const TBitmap* bitmap) override;
  void HandleDone(const std::uint8_t* tmpl) override;
  void HandleDeviceError(std::int32_t code) override;
  // Writes the sample pictures, stops and reports completion.
  virtual void Finish();

  void ShowState(TProcessState state);
  void FingerClick(TObject* button);
  void SelectFinger(int index);
  void SelectByCode(const std::string& code);
  void CancelClick();
  std::int32_t SampleCount();

  // Published properties.
  TEnrollPurpose Purpose() const { return Purpose_; }
  void SetPurpose(TEnrollPurpose purpose) { Purpose_ = purpose; }
  // An empty set is ignored; a set smaller than Minimum lowers Minimum first.
  void SetValidFingers(TValidFingers set);
  std::int32_t Minimum() const { return Minimum_; }
  // Below 1 gives 1; above the number of selectable fingers gives that number.
  void SetMinimum(std::int32_t value);
  std::int32_t Maximum() const { return Maximum_; }
  // Outside 1..10 gives 10.
  void SetMaximum(std::int32_t value);
  const std::string& FingerSequence() const { return FingerSequence_; }
  void SetFingerSequence(const std::string& text) { FingerSequence_ = text; }
  const std::string& EnrollTempStr() const { return EnrollTempStr_; }
  std::int32_t EnrollTempLen() const { return 0; }
  TSecurityLevel SecurityLevel() const;
  void SetSecurityLevel(TSecurityLevel level);
  TEnrollPolicy EnrollPolicy() const;
  void SetEnrollPolicy(TEnrollPolicy policy);
  TSampleStepShow* StepShow() const { return step_show_.get(); }
  // Where the sample pictures go (the fixed folder unless a test says otherwise).
  void SetPictureFolder(const std::string& path) { picture_folder_ = path; }

 protected:
  void HandleControlMessage(UINT msg, WPARAM wp) override;
  bool NewEnrollment() const override { return Purpose_ == TEnrollPurpose::epNewEnroll; }

 private:
  void BeginFinger(int index);
  void AfterSelect(int index);
  int CountEnrolled() const;
  bool MinimumMet() const;
  void ShowLines(const std::string& l1, const std::string& l2, const std::string& l3);

  std::string NextCode_;
  std::string PendingCodes_;
  TEnrollPurpose Purpose_ = TEnrollPurpose::epNewEnroll;
  std::int32_t Minimum_ = 1;
  std::int32_t Maximum_ = 10;
  std::string EnrollTempStr_;
  std::unique_ptr<TSampleStepShow> step_show_;
  std::string picture_folder_;
};

}  // namespace XFPBase

}  // namespace mivex
