#pragma once
// A small component toolkit over Win32, modelled on the classic form designer's one:
//  - TControl: a rectangle inside a parent; windowless ("graphic") controls paint into
//    their parent's DC, in z-order, after the parent has painted itself;
//  - TWinControl: a control with its own window, created once its parent has one;
//  - TCustomControl: a windowed control that paints itself in DoPaint(HDC), double
//    buffered, so tests can render it into a memory DC;
//  - TForm: a top-level window with a modal message loop.
// Windows belong to the thread that created them. Other threads reach a window only
// through InvokeAsync, which queues a call and posts a message to the window's thread.
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/win/Handles.h"

namespace mivex::win {

class TWinControl;

// Colours as 32-bit values with red in the lowest byte; values with the top bit set
// name a system colour (index in the low byte), as in the component model's colours.
// Other bits of the top byte of a plain colour are ignored.
using TColor = unsigned int;
constexpr TColor kSystemColorFlag = 0xFF000000u;
constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
constexpr TColor cl3DLight = kSystemColorFlag | COLOR_3DLIGHT;
constexpr TColor cl3DDkShadow = kSystemColorFlag | COLOR_3DDKSHADOW;
constexpr TColor clWhite = 0x00FFFFFFu;
constexpr TColor clBlack = 0x00000000u;
// Resolves system colours to plain RGB.
COLORREF ColorToRGB(TColor color);

// Font description; the handle is made on demand for the screen's logical dpi.
class TFont {
 public:
  TFont() = default;
  TFont(std::string name, int size_points, bool bold, TColor color)
      : name_(std::move(name)), size_(size_points), bold_(bold), color_(color) {}
  TFont(const TFont& other) : name_(other.name_), size_(other.size_), bold_(other.bold_), color_(other.color_) {}
  TFont& operator=(const TFont& other);

  const std::string& Name() const { return name_; }
  int Size() const { return size_; }
  bool Bold() const { return bold_; }
  TColor Color() const { return color_; }
  void SetName(std::string name);
  void SetSize(int points);
  void SetBold(bool bold);
  void SetColor(TColor color) { color_ = color; }

  // Height in pixels for this size at the screen's logical dpi (negative: character height).
  int PixelHeight() const;
  HFONT Handle() const;

 private:
  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  bool bold_ = false;
  TColor color_ = clBlack;
  mutable ScopedFont handle_;
};

struct CreateParams {
  std::wstring class_name;     // registered by the toolkit unless `system_class`
  std::wstring caption;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD ex_style = 0;
  bool system_class = false;   // a predefined class (EDIT, BUTTON ...), subclassed
  UINT class_style = CS_DBLCLKS;
};

class TControl : public TComponent {
  friend class TWinControl;

 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  const std::string& Hint() const { return hint_; }
  virtual void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool on) { show_hint_ = on; }

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  virtual void FontChanged() { Invalidate(); }
  TColor Color() const { return color_; }
  void SetColor(TColor color) {
    color_ = color;
    Invalidate();
  }

  // Repaints the control's rectangle (through the parent for windowless controls).
  virtual void Invalidate();
  // Moves the control to the top of its parent's z-order.
  virtual void BringToFront();

  virtual bool IsWindowed() const { return false; }
  // Windowless controls paint here with the DC's origin at their top-left corner.
  virtual void Paint(HDC dc) {}

  TNotifyEvent OnClick;
  virtual void Click() {
    if (OnClick) OnClick(this);
  }

 protected:
  virtual void BoundsChanged() {}

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TWinControl* parent_ = nullptr;
  std::string hint_;
  bool show_hint_ = false;
  TFont font_;
  TColor color_ = clBtnFace;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  bool IsWindowed() const override { return true; }
  // The window handle, created on demand when the control can have one (it needs a
  // parent with a window, or is top-level). May be null.
  HWND Handle();
  HWND HandleIfAllocated() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  // Creates the window now when possible; returns whether it exists.
  bool HandleNeeded();
  // Puts the control inside a window that the toolkit does not manage (a host window).
  void SetParentWindow(HWND parent);
  void SetParent(TWinControl* parent) override;

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Invalidate() override;
  void BringToFront() override;
  void FontChanged() override;

  std::string Text() const;
  void SetText(const std::string& text);

  bool CanFocus() const;
  void SetFocus();
  bool Focused() const;

  const std::vector<TControl*>& Controls() const { return controls_; }

  // Calls `fn` on the thread that owns the window, after every call queued before it.
  // On that thread itself with nothing queued, `fn` runs at once. Safe from any thread;
  // calls queued when the window is gone are dropped.
  void InvokeAsync(std::function<void()> fn);
  // Runs every queued call now (window thread only).
  void DrainInvokes();
  DWORD WindowThreadId() const { return thread_id_; }

  // Sends a message to the window, or posts it when `post`. Returns false without a window.
  bool PostMessageToSelf(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  // Paints the whole control (itself, then its windowless children) into `dc`, which
  // has the control's top-left corner at its origin. Used by WM_PAINT and by tests.
  void PaintTo(HDC dc);

 protected:
  friend class TControl;
  virtual void CreateParams(win::CreateParams& params);
  virtual void CreateHandle();
  // Called after the window and its children's windows exist.
  virtual void HandleCreated() {}
  virtual void DestroyHandle();
  // Message handler; the default handles painting, mouse tracking, clicks and queued
  // invocations, and passes everything else to DefaultHandler.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
  // Paints the control's own surface (before the windowless children).
  virtual void PaintWindow(HDC dc);
  // Notifications a child window sends to its parent (WM_COMMAND, WM_NOTIFY,
  // WM_DRAWITEM, WM_CTLCOLOR...) are reflected to the child's own WndProc as
  // kReflectBase + the original message number.
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual void MouseDown(int x, int y) {}
  virtual void MouseUp(int x, int y) {}
  bool MouseInside() const { return mouse_inside_; }

  void AddChild(TControl* child);
  void RemoveChild(TControl* child);
  void MoveChildToTop(TControl* child);
  void PaintChildren(HDC dc, const RECT& clip);

  HWND hwnd_ = nullptr;
  HWND parent_window_ = nullptr;
  std::string text_;

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK SubclassWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void CreateChildHandles();
  TWinControl* ChildOf(HWND hwnd) const;

  std::vector<TControl*> controls_;  // z-order, bottom first
  WNDPROC default_proc_ = nullptr;
  DWORD thread_id_ = 0;
  bool mouse_inside_ = false;
  bool pressed_ = false;
  std::mutex queue_mutex_;
  std::deque<std::function<void()>> queue_;
};

// A windowed control that draws itself off-screen in DoPaint and then copies the result.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}

 protected:
  void PaintWindow(HDC dc) override { DoPaint(dc); }
  // Draws the control's surface into `dc` (origin at the control's top-left).
  virtual void DoPaint(HDC dc);
};

// Message sent to a window to run its queued invocations.
constexpr UINT WM_MIVEX_INVOKE = WM_APP + 0x100;
// Offset of reflected notification messages (see TWinControl::WndProc).
constexpr UINT kReflectBase = 0xBC00;

// Removes the window classes the toolkit registered (at library unload: classes a DLL
// registers outlive it otherwise, with a window procedure that no longer exists).
void UnregisterWindowClasses();
// The module that holds this code (the DLL, or the program in a static build).
HINSTANCE ThisModule();
// ANSI (system code page) and UTF-16 conversions for window texts.
std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);

}  // namespace mivex::win
