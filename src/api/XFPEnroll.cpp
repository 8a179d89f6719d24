#include "api/XFPEnroll.h"

namespace mivex {

namespace XFPEnroll {

TXFPEnroll::TXFPEnroll(TComponent* owner) : TComponent(owner) { Dialog = Create<TXFPEnrollDlg>(); }

TXFPEnroll::~TXFPEnroll() {
  MarkDestroying();
  if (Dialog) Release(Dialog).reset();
  Dialog = nullptr;
}

void TXFPEnroll::ClearFingers() { Dialog->Control->ClearFingers(); }

void TXFPEnroll::SetEnrolledFinger(const std::string& text) {
  XFPBase::TXFPEnroll* control = Dialog->Control;
  control->SetEnrolledFingers(text);
  control->SetPurpose(text.empty() ? TEnrollPurpose::epNewEnroll : TEnrollPurpose::epUpdateEnroll);
}

void TXFPEnroll::SetFingerSequence(const std::string& text) { Dialog->Control->SetFingerSequence(text); }

void TXFPEnroll::SetFingerCodes(const std::string& text) {
  Dialog->Control->SetValidFingers(FingerSetFromText(text));
}

void TXFPEnroll::SetMinimum(std::int32_t value) { Dialog->Control->SetMinimum(value); }
void TXFPEnroll::SetMaximum(std::int32_t value) { Dialog->Control->SetMaximum(value); }

bool TXFPEnroll::Execute() {
  Dialog->Control->StartWithUser(UserID);
  int result = Dialog->Form->ShowModal();
  Dialog->Control->Stop();
  return result == win::mrOk;
}

std::string TXFPEnroll::EnrollTempStr() const { return Dialog->Control->EnrollTempStr(); }

}  // namespace XFPEnroll

TXFPAuthen::TXFPAuthen(TComponent* owner) : TComponent(owner) { Dialog = Create<TXFPVerifyDlg>(); }

TXFPAuthen::~TXFPAuthen() {
  MarkDestroying();
  if (Dialog) Release(Dialog).reset();
  Dialog = nullptr;
}

std::string TXFPAuthen::Execute() {
  std::string unused_output;
  Dialog->Control->PrepareVerify("", "", unused_output, 1);
  int result = Dialog->Form->ShowModal();
  Dialog->Control->Stop();
  return result == win::mrOk ? Dialog->Control->VerifyTempStr() : std::string();
}

}  // namespace mivex
