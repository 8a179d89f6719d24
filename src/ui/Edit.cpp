#include "ui/Edit.h"

namespace mivex {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) { color_ = win::clWindow; }

void TEdit::CreateParams(win::CreateParams& params) {
  params.class_name = L"EDIT";
  params.system_class = true;
  params.style = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | ES_LEFT | ES_AUTOHSCROLL;
  params.ex_style = border_ ? WS_EX_CLIENTEDGE : 0;
}

HBRUSH TEdit::FieldBrush() {
  if (!brush_ || brush_color_ != color_) {
    brush_.reset(::CreateSolidBrush(win::ColorToRGB(color_)));
    brush_color_ = color_;
  }
  return brush_.get();
}

LRESULT TEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case win::kReflectBase + WM_COMMAND:
      if (HIWORD(wp) == EN_CHANGE && OnChange) OnChange(this);
      return 0;
    case win::kReflectBase + WM_CTLCOLOREDIT:
    case win::kReflectBase + WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetTextColor(dc, win::ColorToRGB(font_.Color()));
      ::SetBkColor(dc, win::ColorToRGB(color_));
      return reinterpret_cast<LRESULT>(FieldBrush());
    }
    default:
      return TWinControl::WndProc(msg, wp, lp);
  }
}

}  // namespace mivex
