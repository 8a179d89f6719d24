#pragma once
// A top-level window that can run a modal message loop.
#include <atomic>

#include "base/win/Controls.h"

namespace mivex::win {

enum class TFormStyle : unsigned char { fsNormal, fsStayOnTop };
enum class TPosition : unsigned char { poDesigned, poScreenCenter };
enum class TBorderStyle : unsigned char { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : unsigned char { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  void SetCaption(const std::string& caption) { SetText(caption); }
  std::string Caption() const { return Text(); }
  void SetFormStyle(TFormStyle style);
  TFormStyle FormStyle() const { return form_style_; }
  void SetPosition(TPosition position) { position_ = position; }
  TPosition Position() const { return position_; }
  void SetBorderStyle(TBorderStyle style) { border_style_ = style; }
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderIcons(unsigned char icons) { border_icons_ = icons; }
  unsigned char BorderIcons() const { return border_icons_; }
  // Scroll bars are never shown; the setting is kept for completeness.
  void SetScrollBarsVisible(bool horizontal, bool vertical) {
    hscroll_ = horizontal;
    vscroll_ = vertical;
  }

  int ModalResult() const { return modal_result_.load(); }
  // Safe from any thread: a thread other than the form's wakes the modal loop.
  void SetModalResult(int result);

  // Shows the form, clears the modal result and pumps messages until the result is not
  // mrNone; the close box gives mrCancel. Other windows of the thread are disabled
  // meanwhile, as a modal dialog does.
  int ShowModal();

 protected:
  void CreateParams(win::CreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void PlaceOnScreen();

  TFormStyle form_style_ = TFormStyle::fsNormal;
  TPosition position_ = TPosition::poDesigned;
  TBorderStyle border_style_ = TBorderStyle::bsSizeable;
  unsigned char border_icons_ = biSystemMenu | biMinimize | biMaximize;
  bool hscroll_ = false, vscroll_ = false;
  std::atomic<int> modal_result_{mrNone};
  bool in_modal_ = false;
};

}  // namespace mivex::win
