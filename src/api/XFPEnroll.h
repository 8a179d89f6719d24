#pragma once
// The per-call components between the exports and the dialogs: one runs an enrollment
// (XFPEnroll::TXFPEnroll), the other a verification (TXFPAuthen).
#include <cstdint>
#include <memory>
#include <string>

#include "api/XFPDlg.h"

namespace mivex {

namespace XFPEnroll {

class TXFPEnroll : public TComponent {
 public:
  explicit TXFPEnroll(TComponent* owner);
  ~TXFPEnroll() override;

  void ClearFingers();
  void SetUserID(const std::string& text) { UserID = text; }
  // Passes the list to the control; a non-empty text means an update enrollment.
  void SetEnrolledFinger(const std::string& text);
  void SetFingerSequence(const std::string& text);
  void SetFingerCodes(const std::string& text);
  void SetMinimum(std::int32_t value);
  void SetMaximum(std::int32_t value);
  // Runs the dialog; true when it ended with the modal result OK.
  bool Execute();
  std::string EnrollTempStr() const;

  TXFPEnrollDlg* Dialog = nullptr;
  std::string UserID;
};

}  // namespace XFPEnroll

class TXFPAuthen : public TComponent {
 public:
  explicit TXFPAuthen(TComponent* owner);
  ~TXFPAuthen() override;

  // Runs the dialog; the verification template string, empty unless it ended with OK.
  std::string Execute();

  TXFPVerifyDlg* Dialog = nullptr;
};

}  // namespace mivex
