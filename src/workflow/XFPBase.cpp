#include "workflow/XFPBase.h"

#include <stdexcept>

#include "base/win/MessagePump.h"
#include "capture/VFBase.h"
#include "ui/XUIBase.h"
#include "workflow/Catalogue.h"
#include "workflow/QualityMessage.h"

namespace mivex {

TXFPBase::TXFPBase(TComponent* owner) : TCustomControl(owner) {
  LastError_ = 0;
  RetryCount = 3;
  RetryDelay = 1000;
  color_ = win::clWindow;
}

TXFPBase::~TXFPBase() {
  MarkDestroying();
  // The device goes first: closing it waits for its worker, whose handlers use the
  // fingers and the look.
  FFPDevice.reset();
  // The window goes before the look: look updates still queued for it must not run
  // while the look and its widgets are being freed (a widget's end may pump messages).
  DestroyHandle();
  fingers_.reset();
  DestroyOwned();
}

void TXFPBase::SetLook(TBaseUI* look) {
  look_ = look;
  for (int i = 0; i <= 4; ++i) {
    try {
      if (win::TControl* widget = look->Widget(i)) widget->SetParent(this);
    } catch (...) {
      // A widget that cannot be parented is skipped; the next one is tried.
    }
  }
  look->OnUserIDChange = [this](TObject*) { UserIDChanged(); };
  SetBounds(left_, top_, look->LookWidth(), look->LookHeight());
  SetShowUserID(true);
  fingers_ = std::make_unique<TFingers>(this);
}

void TXFPBase::SetDevice(TVFBase* device) {
  if (!device) throw std::runtime_error("FFPDevice not assigned");
  device->SetTemplateType(TTemplateType::ttAbig);
  device->SetExtractThreshold(120);
  device->SetEnrollPolicy(TEnrollPolicy::epEnrollQuality);
  device->SetMaxEnrollTry(8);
  device->OnSampleQuality = [this](TObject*, std::int32_t quality) { HandleSampleQuality(quality); };
  device->onSample = [this](TObject*, const TBitmap* bitmap) { HandleSample(bitmap); };
  device->OnDone = [this](TObject*, const std::uint8_t* tmpl) { HandleDone(tmpl); };
  device->OnError = [this](TObject*, std::int32_t code) { HandleDeviceError(code); };
  device->OnDevConnected = [](TObject*, std::int64_t) {};
  device->OnDevDisconnected = [this](TObject*, std::int64_t) { HandleDisconnect(); };
}

void TXFPBase::HandleCreated() {
  if (!fingers_ || !look_) return;
  for (int k = 1; k <= kFingerCount; ++k) look_->AttachFinger(fingers_->Item(k));
  look_->RefreshLook();
}

void TXFPBase::HandleDisconnect() {
  LastError_ = kErrDisconnected;
  ReportError(1, kErrDisconnected);
}

std::string ShownUserID(const std::string& text) {
  if (text.size() <= kUserIDShownBytes) return text;
  // Cut at a character boundary of the ANSI code page, never inside a double-byte one.
  const char* begin = text.c_str();
  const char* at = begin;
  for (;;) {
    const char* next = ::CharNextA(at);
    if (next == at || static_cast<std::size_t>(next - begin) > kUserIDShownBytes) break;
    at = next;
  }
  return std::string(begin, at);
}

void TXFPBase::SetUserID(const std::string& text) {
  if (text != UserID_ || !UserIDSet_) {
    UserID_ = text;
    if (look_) look_->SetUserIDText(ShownUserID(text));
    UserIDSet_ = true;
  }
}

void TXFPBase::UserIDChanged() {
  if (!look_) return;
  std::string text = look_->GetUserIDText();
  // The box shows a long identifier cut short: that is not an edit.
  if (text != ShownUserID(UserID_)) SetUserID(text);
}

void TXFPBase::SetShowUserID(bool on) {
  ShowUserID_ = on;
  if (look_) look_->ShowUserIDBox(on);
}

void TXFPBase::StartWithUser(const std::string& text) {
  SetUserID(text);
  Start();
}

bool TXFPBase::Run() {
  LastError_ = -1;
  Start();
  return LastError_ <= 0;
}

void TXFPBase::ShowPrompt(int where, const std::string& text) {
  if (where == 0)
    ::MessageBoxW(Handle(), win::ToWide(text).c_str(), L"", MB_OK);
  else if (where == 1)
    ShowStatusLine(text);
}

void TXFPBase::ShowStatusLine(const std::string& text) {
  if (look_) look_->ShowStatus(text);
  // The control's window text repeats the status line for screen readers and for
  // programs that drive the dialog.
  if (HandleAllocated())
    InvokeAsync([this, text] { SetText(text); });
  else
    SetText(text);
}

std::string TXFPBase::ErrorText(std::int32_t code) { return mivex::ErrorText(code); }

void TXFPBase::ReportError(int where, std::int32_t code) {
  SetState(TProcessState::psIdle);
  LastError_ = code;
  std::string text = ErrorText(code);
  if (where == 1) ShowStatusLine(text);
  if (onError) onError(this, code, text);
}

int TXFPBase::QualityMessage(std::int32_t quality) {
  if (!FFPDevice) return kAcceptedSampleMessage;
  return mivex::QualityMessage(static_cast<int>(FFPDevice->DeviceType()),
                               FFPDevice->EnrollPolicy() == TEnrollPolicy::epEnrollQuality, quality);
}

void TXFPBase::SetEnrolledFingers(const std::string& text) {
  switch (ReadEnrolledFingers(text, *fingers_, WasEnrolled_)) {
    case TEnrolledListResult::kRead:
      EnrolledFingers_ = text;
      break;
    case TEnrolledListResult::kIgnored:
      break;
    case TEnrolledListResult::kMalformed:
      ReportError(1, kErrEnrolledList);
      break;
  }
}

void TXFPBase::ClearFingers() {
  if (fingers_) fingers_->Clear();
}

bool TXFPBase::DeviceGetsVerifyTemplate() {
  return FFPDevice && FFPDevice->Operation() == FT_OPERATION::ftGetVerifyTemplate;
}

TWindowHandle TXFPBase::ContainingWindow() {
  HWND own = HandleIfAllocated();
  return own ? ::GetAncestor(own, GA_ROOT) : nullptr;
}

bool TXFPBase::AskYesNo(TWindowHandle owner, const std::string& text) {
  return ::MessageBoxW(static_cast<HWND>(owner), win::ToWide(text).c_str(), L"", MB_YESNO) == IDYES;
}

void TXFPBase::Start() {
  LastError_ = 0;
  if (State() != TProcessState::psIdle) {
    ShowPrompt(0, LoadStr(230));
    return;
  }
  if (FFPDevice->IsOpened()) FFPDevice->Close();
  if (FFPDevice->Operation() == FT_OPERATION::ftEnroll) {
    if (NewEnrollment()) {
      fingers_->Clear();
    } else if (fingers_->NoneEnrolled()) {
      LastError_ = kErrNothingEnrolled;
      ReportError(1, kErrNothingEnrolled);
      return;
    }
  }
  ShowStatusLine("");
  if (!UserIDSet_) SetUserID("");
  if (!FFPDevice->IsOpened()) WaitForDevice();
  if (!FFPDevice->IsOpened()) {
    LastError_ = kErrConnection;
    ReportError(1, kErrConnection);
    ShowStatusLine(LoadStr(301));
    return;
  }
  if (!ShowUserID_ && UserID_.empty() && !IdentifyWithoutUser()) {
    ReportError(1, kErrNoUser);
    return;
  }
  if (FFPDevice->Operation() == FT_OPERATION::ftGetVerifyTemplate)
    ShowStatusLine(LoadStr(260));
  else if (!EnrolledFingers_.empty())
    ShowStatusLine(LoadStr(261) + LoadStr(256) + LoadStr(208));
  else
    ShowStatusLine(LoadStr(262) + LoadStr(256) + LoadStr(208));
  SetState(TProcessState::psSelecting);
}

void TXFPBase::WaitForDevice() {
  if (FFPDevice->Open()) return;
  for (std::int32_t pauses = 0; pauses < RetryCount; ++pauses) {
    win::SleepPumping(static_cast<DWORD>(RetryDelay));
    if (FFPDevice->Open()) return;
  }
}

void TXFPBase::Stop() {
  if (FFPDevice->Busy()) FFPDevice->Cancel();
  ::Sleep(100);
  FFPDevice->Close();
  SetState(TProcessState::psIdle);
  UserIDSet_ = false;
  if (ShowUserID_ && look_) look_->EnableUserIDBox(false);
}

void TXFPBase::PostToSelf(UINT msg, WPARAM wp) {
  if (!PostMessageToSelf(msg, wp, 0) && HandleNeeded()) PostMessageToSelf(msg, wp, 0);
}

LRESULT TXFPBase::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgVerifyDone:
    case kMsgSelectNext:
    case kMsgSequenceDone:
    case kMsgSwitchOperation:
      HandleControlMessage(msg, wp);
      return 0;
    default:
      return TCustomControl::WndProc(msg, wp, lp);
  }
}

}  // namespace mivex
