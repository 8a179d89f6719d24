#pragma once
// A single-line edit box (the system's EDIT window) with the toolkit's font and colours.
#include "base/win/Controls.h"

namespace mivex {

class TEdit : public win::TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  bool BorderStyle() const { return border_; }
  // With a border the box has the sunken frame; without it, text on a plain field.
  void SetBorderStyle(bool border) { border_ = border; }

  // Raised when the text changes, by the user or by SetText.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(win::CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HBRUSH FieldBrush();

  bool border_ = true;
  win::ScopedBrush brush_;
  win::TColor brush_color_ = 0;
};

}  // namespace mivex
