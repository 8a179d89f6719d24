#pragma once
// Dialog hosts: each turns a workflow control into a modal top-level window (class
// "TForm", caption "PX-DAV316") and converts the control's completion and error events
// into the form's modal result.
#include <cstdint>
#include <string>

#include "base/Component.h"
#include "base/win/Form.h"
#include "workflow/XFPBase.h"
#include "workflow/XFPVerify.h"

namespace mivex {

inline constexpr char kDialogCaption[] = "PX-DAV316";
inline constexpr char kDialogClass[] = "TForm";

class TXFPEnrollDlg : public TComponent {
 public:
  explicit TXFPEnrollDlg(TComponent* owner);
  ~TXFPEnrollDlg() override;

  XFPBase::TXFPEnroll* Control = nullptr;
  win::TForm* Form = nullptr;
  std::int32_t ErrCode = 0;

 private:
  void Setup();
};

class TXFPVerifyDlg : public TComponent {
 public:
  explicit TXFPVerifyDlg(TComponent* owner);
  ~TXFPVerifyDlg() override;

  TXFPVerify* Control = nullptr;
  win::TForm* Form = nullptr;
  std::int32_t ErrCode = 0;

 private:
  void Setup();
};

}  // namespace mivex
