// The enrollment control: finger choice, capture with the step display, deletion,
// Minimum and Maximum, the preset finger order, Exit and Cancel, Finish.
#include <algorithm>

#include "capture/KV310.h"
#include "ui/XUIFashion.h"
#include "workflow/Catalogue.h"
#include "workflow/Jpeg.h"
#include "workflow/PictureFiles.h"
#include "workflow/XFPBase.h"

namespace mivex::XFPBase {

namespace {
constexpr char kCrLf[] = "\r\n";
// Catalogue text shown when the preset order reaches a finger that is already enrolled.
constexpr int kAlreadyEnrolledNotice = 267;
constexpr DWORD kSequenceFinishPauseMs = 350;
constexpr DWORD kOperationSwitchPauseMs = 100;

std::string FingerName(int index) { return LoadStr(FingerNameTextId(index)); }
}  // namespace

TXFPEnroll::TXFPEnroll(TComponent* owner) : TXFPBase(owner), picture_folder_(kPictureFolder) {
  NextCode_.clear();
  PendingCodes_ = FingerSequence_;
  ValidFingers_ = kAllFingers;
  Maximum_ = 10;
  Minimum_ = 1;
  auto* look = Create<TFashionEnrollUI>();
  step_show_ = std::make_unique<TSampleStepShow>(look, [this](std::int32_t q) { return QualityMessage(q); });
  SetLook(look);
}

TXFPEnroll::~TXFPEnroll() {
  MarkDestroying();
  // Stop the worker before the step display and the template string go.
  FFPDevice.reset();
}

void TXFPEnroll::SetLook(TBaseUI* look) {
  look_ = look;
  look->OnFinishClick = [this](TObject*) { Finish(); };
  look->OnCancelClick = [this](TObject*) { CancelClick(); };
  look->OnFingerClick = [this](TObject* button) { FingerClick(button); };
  TXFPBase::SetLook(look);
  for (int i = 5; i <= 10; ++i) {
    try {
      if (win::TControl* widget = look->Widget(i)) widget->SetParent(this);
    } catch (...) {
    }
  }
  FFPDevice = CreateSensorDevice();
  SetDevice(FFPDevice.get());
  try {
    if (win::TControl* widget = look->Widget(11)) widget->SetParent(this);
  } catch (...) {
  }
  for (int k = 1; k <= kFingerCount; ++k) look->AttachFinger(fingers_->Item(k));
  look->RefreshLook();
}

void TXFPEnroll::SetDevice(TVFBase* device) {
  TXFPBase::SetDevice(device);
  look_->BindDevice(device);
  device->SetOperation(FT_OPERATION::ftEnroll);
  look_->RefreshLook();
}

std::int32_t TXFPEnroll::SampleCount() {
  if (FFPDevice->EnrollPolicy() == TEnrollPolicy::epEnrollQuality) return 8;
  return FFPDevice->GetSampleCount();
}

TSecurityLevel TXFPEnroll::SecurityLevel() const { return FFPDevice->SecurityLevel(); }

void TXFPEnroll::SetSecurityLevel(TSecurityLevel level) {
  FFPDevice->SetSecurityLevel(level);
  step_show_->HidePictures();
}

TEnrollPolicy TXFPEnroll::EnrollPolicy() const { return FFPDevice->EnrollPolicy(); }

void TXFPEnroll::SetEnrollPolicy(TEnrollPolicy policy) {
  FFPDevice->SetEnrollPolicy(policy);
  step_show_->HidePictures();
}

void TXFPEnroll::SetValidFingers(TValidFingers set) {
  set &= kAllFingers;
  if (set == 0) return;
  const int members = MemberCount(set);
  if (Minimum_ > members) Minimum_ = members;
  ValidFingers_ = set;
}

void TXFPEnroll::SetMinimum(std::int32_t value) {
  const int members = MemberCount(ValidFingers_);
  Minimum_ = value < 1 ? 1 : std::min<std::int32_t>({value, members, Maximum_});
}

// A Minimum above Maximum could never be met (the finger after Maximum is refused), so
// Finish would never enable: Minimum follows Maximum down.
void TXFPEnroll::SetMaximum(std::int32_t value) {
  Maximum_ = (value < 1 || value > 10) ? 10 : value;
  if (Minimum_ > Maximum_) Minimum_ = Maximum_;
}

int TXFPEnroll::CountEnrolled() const { return fingers_->EnrolledCount(); }

bool TXFPEnroll::MinimumMet() const { return Minimum_ == 0 || Minimum_ <= CountEnrolled(); }

void TXFPEnroll::ShowLines(const std::string& l1, const std::string& l2, const std::string& l3) {
  ShowStatusLine("1. " + l1 + kCrLf + "2. " + l2 + kCrLf + "3. " + l3);
}

void TXFPEnroll::Start() {
  FFPDevice->SetOperation(FT_OPERATION::ftEnroll);
  TXFPBase::Start();
  step_show_->SetStepCount(SampleCount());
  fingers_->EnableButtons(!UserID_.empty() && FFPDevice->IsOpened());
  PendingCodes_.clear();
  if (!FingerSequence_.empty()) {
    PendingCodes_ = FingerSequence_;
    NextCode_ = PendingCodes_.substr(0, 2);
    if (FFPDevice->IsOpened()) PostToSelf(kMsgSelectNext);
  }
}

void TXFPEnroll::Stop() {
  TXFPBase::Stop();
  ShowState(TProcessState::psIdle);
  fingers_->EnableButtons(false);
}

void TXFPEnroll::SetState(TProcessState state) {
  if (state == State_.load()) return;
  State_ = state;
  if (state == TProcessState::psIdle)
    Stop();
  else
    ShowState(state);
}

void TXFPEnroll::ShowState(TProcessState state) {
  switch (state) {
    case TProcessState::psIdle:
      look_->EnableCancel(false);
      look_->EnableFinish(false);
      break;
    case TProcessState::psSelecting: {
      look_->EnableCancel(true);
      look_->SetCancelHint(LoadStr(207));
      look_->EnableFinish(false);
      step_show_->ResetSteps();
      const int enrolled = CountEnrolled();
      for (int k = 1; k <= kFingerCount; ++k) {
        const TFinger* finger = fingers_->Item(k);
        const bool made_here = finger->State == TFingerState::fgEnrolled && finger->EnrollTemplate;
        const bool deleted_from_list = finger->State == TFingerState::fgDeleted && WasEnrolled_[k];
        if (made_here || deleted_from_list) {
          if (Minimum_ == 0 || Minimum_ <= enrolled) look_->EnableFinish(true);
          break;
        }
      }
      if (fingers_->NoneEnrolled()) look_->EnableFinish(false);
      break;
    }
    case TProcessState::psCapturing:
      look_->EnableUserIDBox(false);
      look_->EnableCancel(true);
      look_->SetCancelHint(LoadStr(202));
      look_->EnableFinish(false);
      break;
    case TProcessState::psFingerDone:
      if (MinimumMet()) look_->EnableFinish(true);
      look_->SetCancelHint(LoadStr(207));
      fingers_->EnableButtons(true);
      break;
  }
}

void TXFPEnroll::UserIDChanged() {
  TXFPBase::UserIDChanged();
  fingers_->EnableButtons(!look_->GetUserIDText().empty());
}

void TXFPEnroll::FingerClick(TObject* button) {
  const auto* component = dynamic_cast<const TComponent*>(button);
  if (!component) return;
  const int index = component->Tag();
  if (!fingers_->Item(index)) return;
  fingers_->Select(index);
  AfterSelect(index);
}

void TXFPEnroll::AfterSelect(int index) {
  switch (fingers_->Item(index)->State) {
    case TFingerState::fgSelected:
      BeginFinger(index);
      break;
    case TFingerState::fgDeleted: {
      bool keep_done = false;
      for (int k = 1; k <= kFingerCount && !keep_done; ++k)
        keep_done = fingers_->Item(k)->State == TFingerState::fgEnrolled && MinimumMet();
      SetState(keep_done ? TProcessState::psFingerDone : TProcessState::psSelecting);
      break;
    }
    default:
      break;
  }
}

void TXFPEnroll::BeginFinger(int index) {
  if (CountEnrolled() < Maximum_) {
    SetState(TProcessState::psCapturing);
    step_show_->BeginFinger();
    ShowLines(LoadStr(209) + FingerName(index), LoadStr(258) + std::to_string(SampleCount()), LoadStr(257));
    FFPDevice->Start();
  } else {
    fingers_->Select(index);  // back to free, buttons on
    SetState(TProcessState::psSelecting);
    ShowStatusLine(LoadStr(315));
  }
}

void TXFPEnroll::SelectFinger(int index) {
  TFinger* finger = fingers_->Item(index);
  if (!finger) return;
  if (finger->State == TFingerState::fgEnrolled) {
    // Owned by the dialog's form, which closes its boxes when the dialog ends.
    ::MessageBoxW(::GetAncestor(Handle(), GA_ROOT), win::ToWide(LoadStr(kAlreadyEnrolledNotice)).c_str(), L"",
                  MB_OK);
    NextCode_.clear();
    PendingCodes_.clear();
    return;
  }
  fingers_->Select(index);
  AfterSelect(index);
}

void TXFPEnroll::SelectByCode(const std::string& code) {
  if (int index = FingerIndexOfCode(code)) SelectFinger(index);
}

void TXFPEnroll::HandleSampleQuality(std::int32_t quality) {
  step_show_->UpdateStep(quality);
  ShowLines(LoadStr(step_show_->MessageId), LoadStr(265) + FingerName(fingers_->Current), LoadStr(257));
}

void TXFPEnroll::HandleSample(const TBitmap* bitmap) {
  TFinger* finger = fingers_->CurrentFinger();
  if (!bitmap || !finger) return;
  if (auto picture = ToJpeg(*bitmap)) finger->Images.push_back(std::move(picture));
}

void TXFPEnroll::HandleDone(const std::uint8_t* tmpl) {
  // A failure while storing is dropped: what was appended before it stays.
  try {
    const std::int32_t size = FFPDevice->TemplateSize();
    AppendEnrollEntry(EnrollTempStr_, fingers_->Current, tmpl, size);
    fingers_->TemplateLen = size;
    fingers_->StoreTemplate(tmpl);
    step_show_->AllDone();
    ShowStatusLine(LoadStr(231));
    SetState(TProcessState::psFingerDone);
    if (!PendingCodes_.empty()) {
      NextCode_ = PendingCodes_.substr(0, 2);
      PostToSelf(kMsgSelectNext);
    } else if (!FingerSequence_.empty()) {
      PostToSelf(kMsgSequenceDone);
    }
  } catch (...) {
  }
}

void TXFPEnroll::HandleDeviceError(std::int32_t code) {
  if (State() != TProcessState::psCapturing) return;
  step_show_->AllFailed();
  ShowStatusLine(LoadStr(208) + LoadStr(256) + LoadStr(264));
}

void TXFPEnroll::CancelClick() {
  const TProcessState state = State();
  int question;
  if (state == TProcessState::psSelecting || state == TProcessState::psFingerDone)
    question = 214;
  else if (state == TProcessState::psCapturing)
    question = 215;
  else
    return;
  if (::MessageBoxW(Handle(), win::ToWide(LoadStr(question)).c_str(), L"", MB_YESNO) != IDYES) return;
  if (question == 214) {
    ReportError(1, kErrUserCancel);
    State_ = TProcessState::psIdle;
  } else {
    fingers_->CancelCurrent();
    SetState(TProcessState::psSelecting);
    FFPDevice->Cancel();
  }
}

void TXFPEnroll::Finish() {
  TPictureFolder(picture_folder_).WriteEnrollPictures(*fingers_, WasEnrolled_);
  Stop();
  if (onAfterExecute) onAfterExecute(this);
}

void TXFPEnroll::HandleControlMessage(UINT msg, WPARAM wp) {
  switch (msg) {
    case kMsgSelectNext:
      SelectByCode(NextCode_);
      if (!PendingCodes_.empty()) PendingCodes_.erase(0, 2);
      break;
    case kMsgSequenceDone:
      ::Sleep(kSequenceFinishPauseMs);
      Finish();
      break;
    case kMsgSwitchOperation:
      ::Sleep(kOperationSwitchPauseMs);
      if (wp == 0) {
        FFPDevice->SetOperation(FT_OPERATION::ftEnroll);
        FFPDevice->Start();
      } else if (wp == 1) {
        FFPDevice->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
      }
      break;
    default:
      break;
  }
}

}  // namespace mivex::XFPBase
