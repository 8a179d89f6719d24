#include "base/win/Form.h"

#include <cstring>
#include <vector>

#include "base/win/MessagePump.h"

namespace mivex::win {

namespace {
struct Collect {
  HWND self;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectEnabledWindow(HWND w, LPARAM lp) {
  auto* c = reinterpret_cast<Collect*>(lp);
  if (w != c->self && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) c->windows.push_back(w);
  return TRUE;
}
// A notice a control of the form shows (a message box it owns) would otherwise hold the
// modal loop in its own loop until someone answers it, long after the dialog ended.
BOOL CALLBACK CloseOwnedNotice(HWND w, LPARAM lp) {
  const HWND form = reinterpret_cast<HWND>(lp);
  char name[16] = {};
  if (::GetWindow(w, GW_OWNER) == form && ::GetClassNameA(w, name, sizeof name) > 0 &&
      std::strcmp(name, "#32770") == 0)
    ::PostMessageW(w, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  color_ = clBtnFace;
}

TForm::~TForm() { DestroyHandle(); }

void TForm::CreateParams(win::CreateParams& params) {
  params.class_name = L"TForm";
  params.caption = ToWide(text_);
  params.style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_CAPTION;
  params.ex_style = 0;
  switch (border_style_) {
    case TBorderStyle::bsNone:
      params.style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
      break;
    case TBorderStyle::bsSingle:
      params.style |= WS_BORDER;
      break;
    case TBorderStyle::bsSizeable:
      params.style |= WS_THICKFRAME;
      break;
    case TBorderStyle::bsDialog:
      params.style |= DS_MODALFRAME | WS_DLGFRAME;
      params.ex_style |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (border_style_ != TBorderStyle::bsNone && (border_icons_ & biSystemMenu)) {
    params.style |= WS_SYSMENU;
    // A dialog frame shows no minimise or maximise box.
    if (border_style_ != TBorderStyle::bsDialog) {
      if (border_icons_ & biMinimize) params.style |= WS_MINIMIZEBOX;
      if (border_icons_ & biMaximize) params.style |= WS_MAXIMIZEBOX;
    }
  }
  if (form_style_ == TFormStyle::fsStayOnTop) params.ex_style |= WS_EX_TOPMOST;
}

void TForm::SetFormStyle(TFormStyle style) {
  form_style_ = style;
  if (hwnd_)
    ::SetWindowPos(hwnd_, style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetModalResult(int result) {
  modal_result_.store(result);
  if (!hwnd_) return;
  // The dialog ends: its open notices end with it.
  if (result != mrNone)
    ::EnumThreadWindows(WindowThreadId(), &CloseOwnedNotice, reinterpret_cast<LPARAM>(hwnd_));
  if (::GetCurrentThreadId() != WindowThreadId()) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void TForm::PlaceOnScreen() {
  if (position_ != TPosition::poScreenCenter) return;
  int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  SetBounds((sw - width_) / 2, (sh - height_) / 2, width_, height_);
}

int TForm::ShowModal() {
  if (!HandleNeeded()) return mrCancel;
  PlaceOnScreen();

  // Disable the thread's other top-level windows while the dialog is up.
  Collect collect{hwnd_, {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&collect));
  std::vector<HWND>& disabled = collect.windows;
  for (HWND w : disabled) ::EnableWindow(w, FALSE);
  HWND previously_active = ::GetActiveWindow();

  visible_ = true;
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  modal_result_.store(mrNone);
  in_modal_ = true;
  while (modal_result_.load() == mrNone && hwnd_) {
    MSG msg;
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT: give it back to the host's loop and end the dialog
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      if (modal_result_.load() == mrNone) modal_result_.store(mrCancel);
      break;
    }
    if (got < 0) {
      modal_result_.store(mrCancel);
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  in_modal_ = false;
  for (HWND w : disabled)
    if (::IsWindow(w)) ::EnableWindow(w, TRUE);
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
  visible_ = false;
  if (previously_active && ::IsWindow(previously_active)) ::SetActiveWindow(previously_active);
  return modal_result_.load();
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    if (in_modal_) {
      SetModalResult(mrCancel);
      return 0;
    }
    SetVisible(false);
    return 0;
  }
  if (msg == WM_MOVE || msg == WM_SIZE) {
    RECT r;
    ::GetWindowRect(hwnd_, &r);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

}  // namespace mivex::win
