#include "workflow/XFPBase.h"

#include <bit>

namespace mivex {

// The single-line box showing the user identifier.
class TUserIDBox : public win::TWinControl {
 public:
  explicit TUserIDBox(TComponent* owner) : TWinControl(owner) {}

 protected:
  void CreateParams(win::CreateParams& params) override {
    params.class_name = L"EDIT";
    params.system_class = true;
    params.style = WS_CHILD | ES_AUTOHSCROLL | ES_READONLY;
  }
};

TXFPBase::TXFPBase(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 530, 400);
  SetColor(win::clWhite);
  user_id_box_ = Create<TUserIDBox>();
  user_id_box_->SetBounds(364, 47, 130, 20);
  user_id_box_->SetParent(this);
}

TXFPBase::~TXFPBase() {
  MarkDestroying();
  DestroyOwned();
}

void TXFPBase::SetUserID(const std::string& text) {
  if (text != user_id_ || !user_id_set_) {
    user_id_ = text;
    user_id_box_->SetText(text);
    user_id_set_ = true;
  }
}

void TXFPBase::SetShowUserID(bool on) {
  show_user_id_ = on;
  user_id_box_->SetVisible(on);
}

void TXFPBase::StartWithUser(const std::string& text) {
  SetUserID(text);
  Start();
}

void TXFPBase::DoPaint(HDC dc) {
  TCustomControl::DoPaint(dc);
  std::wstring title = win::ToWide(Title());
  RECT r{10, 10, Width() - 10, 40};
  ::SetBkMode(dc, TRANSPARENT);
  ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &r, DT_LEFT | DT_SINGLELINE);
}

namespace XFPBase {

void TXFPEnroll::SetValidFingers(std::uint16_t set) {
  set &= 1023;
  if (set == 0) return;
  int members = std::popcount(set);
  if (minimum_ > members) minimum_ = members;
  valid_fingers_ = set;
}

void TXFPEnroll::SetMinimum(std::int32_t value) {
  int members = std::popcount(valid_fingers_);
  if (value < 1)
    minimum_ = 1;
  else
    minimum_ = value > members ? members : value;
}

}  // namespace XFPBase

void TXFPVerify::PrepareVerify(const std::string& user_id, const std::string& enrolled, std::string& output,
                               int mode) {
  output.clear();
  if (mode == 1 || mode == 3) SetShowUserID(false);
  if (mode == 1 && user_id.empty()) purpose_ = TVerifyPurpose::vpIdentify;
  SetUserID(user_id);
  Start();
}

}  // namespace mivex
