#include "api/XFPDlg.h"

namespace mivex {

namespace {
// Frees an owned component now, ahead of the owner's own teardown.
template <typename T>
void FreeOwned(TComponent* owner, T*& field) {
  if (field) owner->Release(field).reset();
  field = nullptr;
}
}  // namespace

TXFPEnrollDlg::TXFPEnrollDlg(TComponent* owner) : TComponent(owner) {
  Form = Create<win::TForm>();
  Form->SetFormStyle(win::TFormStyle::fsStayOnTop);
  Control = Create<XFPBase::TXFPEnroll>();
  Control->SetParent(Form);
  Setup();
}

void TXFPEnrollDlg::Setup() {
  // Handlers may run on the capture worker: SetModalResult wakes the modal loop.
  Control->onAfterExecute = [this](TObject*) { Form->SetModalResult(win::mrOk); };
  Control->onError = [this](TObject*, std::int32_t code, const std::string&) {
    ErrCode = code;
    Form->SetModalResult(win::mrCancel);
  };
  Form->SetWidth(Control->Width());
  Form->SetHeight(Control->Height() + 25);
  Form->SetFormStyle(win::TFormStyle::fsStayOnTop);
  Form->SetPosition(win::TPosition::poScreenCenter);
  Form->SetCaption(kDialogCaption);
  Form->SetScrollBarsVisible(false, false);
  Form->SetBorderStyle(win::TBorderStyle::bsDialog);
}

TXFPEnrollDlg::~TXFPEnrollDlg() {
  MarkDestroying();
  FreeOwned(this, Control);
  FreeOwned(this, Form);
}

TXFPVerifyDlg::TXFPVerifyDlg(TComponent* owner) : TComponent(owner) {
  Form = Create<win::TForm>();
  Control = Create<TXFPVerify>();
  Control->SetParent(Form);
  Setup();
}

void TXFPVerifyDlg::Setup() {
  Control->onAfterExecute = [this](TObject*) { Form->SetModalResult(win::mrOk); };
  Control->onError = [this](TObject*, std::int32_t code, const std::string&) {
    ErrCode = code;
    Form->SetModalResult(win::mrCancel);
  };
  Form->SetFormStyle(win::TFormStyle::fsStayOnTop);
  Form->SetPosition(win::TPosition::poScreenCenter);
  Form->SetCaption(kDialogCaption);
  Form->SetWidth(Control->Width());
  Form->SetHeight(Control->Height() + 25);
  Form->SetScrollBarsVisible(false, false);
  Form->SetBorderIcons(win::biSystemMenu);
  Form->SetBorderStyle(win::TBorderStyle::bsSingle);
}

TXFPVerifyDlg::~TXFPVerifyDlg() {
  MarkDestroying();
  FreeOwned(this, Control);
  FreeOwned(this, Form);
}

}  // namespace mivex
