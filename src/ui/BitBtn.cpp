#include "ui/BitBtn.h"

#include <commctrl.h>

namespace mivex {

TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner) {}

TBitBtn::~TBitBtn() {
  MarkDestroying();
  DestroyTooltip();
  DestroyHandle();
}

void TBitBtn::SetGlyph(const PixelGrid& glyph) {
  glyph_ = glyph;
  glyph_image_ = GridImage(glyph_);
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int n) {
  num_glyphs_ = n < 1 ? 1 : (n > 4 ? 4 : n);
  Invalidate();
}

void TBitBtn::CreateParams(win::CreateParams& params) {
  params.class_name = L"BUTTON";
  params.system_class = true;
  params.style = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW;
}

void TBitBtn::HandleCreated() {
  DestroyTooltip();
  if (!show_hint_) return;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               win::ThisModule(), nullptr);
  if (!tooltip_) return;
  tooltip_text_ = win::ToWide(hint_);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;  // accepted by every comctl32 version
  info.uFlags = TTF_IDISHWND;
  info.hwnd = ::GetParent(hwnd_);
  info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  info.lpszText = tooltip_text_.data();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void TBitBtn::DestroyTooltip() {
  if (tooltip_ && ::IsWindow(tooltip_)) ::DestroyWindow(tooltip_);
  tooltip_ = nullptr;
}

void TBitBtn::SetHint(const std::string& hint) {
  TWinControl::SetHint(hint);
  UpdateTooltipText();
}

void TBitBtn::UpdateTooltipText() {
  if (!tooltip_ || !hwnd_) return;
  tooltip_text_ = win::ToWide(hint_);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;  // accepted by every comctl32 version
  info.hwnd = ::GetParent(hwnd_);
  info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  info.lpszText = tooltip_text_.data();
  ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void TBitBtn::DrawFace(HDC dc, bool pressed, bool focused) const {
  RECT r{0, 0, width_, height_};
  ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  if (!glyph_image_.Empty()) {
    const int gw = glyph_.Width() / num_glyphs_, gh = glyph_.Height();
    // Glyph 1 (when present) is the disabled picture.
    const int index = (!enabled_ && num_glyphs_ > 1) ? 1 : 0;
    const int x = (width_ - gw) / 2 + (pressed ? 1 : 0), y = (height_ - gh) / 2 + (pressed ? 1 : 0);
    win::OffscreenBitmap cell(gw, gh);
    glyph_image_.Draw(cell.dc(), -index * gw, 0);
    const COLORREF key = glyph_.At(0, gh - 1);
    ::TransparentBlt(dc, x, y, gw, gh, cell.dc(), 0, 0, gw, gh, key);
  }
  if (focused) {
    RECT f{4, 4, width_ - 4, height_ - 4};
    ::DrawFocusRect(dc, &f);
  }
}

LRESULT TBitBtn::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (tooltip_ && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    MSG m{hwnd_, msg, wp, lp, 0, {0, 0}};
    ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
  }
  switch (msg) {
    case win::kReflectBase + WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      DrawFace(item->hDC, (item->itemState & ODS_SELECTED) != 0, (item->itemState & ODS_FOCUS) != 0);
      return TRUE;
    }
    case win::kReflectBase + WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) Click();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return TWinControl::WndProc(msg, wp, lp);
  }
}

}  // namespace mivex
