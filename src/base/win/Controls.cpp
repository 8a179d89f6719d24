#include "base/win/Controls.h"

#include <algorithm>
#include <set>

namespace mivex::win {

namespace {
const wchar_t kSubclassProp[] = L"MivexControl";

std::mutex& ClassMutex() {
  static std::mutex m;
  return m;
}
std::set<std::wstring>& RegisteredClasses() {
  static std::set<std::wstring> classes;
  return classes;
}
}  // namespace

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

void UnregisterWindowClasses() {
  std::lock_guard<std::mutex> lock(ClassMutex());
  for (const std::wstring& name : RegisteredClasses()) ::UnregisterClassW(name.c_str(), ThisModule());
  RegisteredClasses().clear();
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return {};
  int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

COLORREF ColorToRGB(TColor color) {
  if (color & 0x80000000u) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFFu;
}

// ---------------------------------------------------------------------------------------
// OffscreenBitmap

OffscreenBitmap::OffscreenBitmap(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  ScopedGetDC screen(nullptr);
  dc_.reset(::CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.reset(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  bits_ = static_cast<unsigned char*>(bits);
  if (dc_ && bitmap_) old_ = ::SelectObject(dc_.get(), bitmap_.get());
}

OffscreenBitmap::~OffscreenBitmap() {
  if (old_) ::SelectObject(dc_.get(), old_);
}

COLORREF OffscreenBitmap::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  ::GdiFlush();
  const unsigned char* p = bits_ + (static_cast<size_t>(y) * width_ + x) * 4;
  return RGB(p[2], p[1], p[0]);
}

// ---------------------------------------------------------------------------------------
// TFont

TFont& TFont::operator=(const TFont& other) {
  if (this != &other) {
    name_ = other.name_;
    size_ = other.size_;
    bold_ = other.bold_;
    color_ = other.color_;
    handle_.reset();
  }
  return *this;
}

void TFont::SetName(std::string name) {
  name_ = std::move(name);
  handle_.reset();
}
void TFont::SetSize(int points) {
  size_ = points;
  handle_.reset();
}
void TFont::SetBold(bool bold) {
  bold_ = bold;
  handle_.reset();
}

int TFont::PixelHeight() const {
  ScopedGetDC screen(nullptr);
  return -::MulDiv(size_, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
}

HFONT TFont::Handle() const {
  if (!handle_) {
    LOGFONTW lf{};
    lf.lfHeight = PixelHeight();
    lf.lfWeight = bold_ ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    std::wstring face = ToWide(name_);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    handle_.reset(::CreateFontIndirectW(&lf));
  }
  return handle_.get();
}

// ---------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (parent_) {
    TWinControl* parent = parent_;
    parent_ = nullptr;
    parent->RemoveChild(this);
    if (!IsWindowed() && visible_) {
      RECT r = BoundsRect();
      if (HWND pw = parent->HandleIfAllocated()) ::InvalidateRect(pw, &r, TRUE);
    }
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
  BoundsChanged();
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  RECT r = BoundsRect();
  if (parent_)
    if (HWND pw = parent_->HandleIfAllocated()) ::InvalidateRect(pw, &r, TRUE);
}

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveChild(this);
  }
  parent_ = parent;
  if (parent_) {
    parent_->AddChild(this);
    Invalidate();
  }
}

void TControl::Invalidate() {
  if (!parent_ || !visible_) return;
  if (HWND pw = parent_->HandleIfAllocated()) {
    RECT r = BoundsRect();
    ::InvalidateRect(pw, &r, TRUE);
  }
}

void TControl::BringToFront() {
  if (parent_) parent_->MoveChildToTop(this);
  Invalidate();
}

// ---------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children may outlive this part of the object (their owner frees them later):
  // cut them loose first so they never reach back into a half-destroyed parent.
  for (TControl* child : controls_) child->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();
}

void TWinControl::CreateParams(win::CreateParams& params) {
  params.class_name = L"MivexControl";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}

bool TWinControl::HandleNeeded() {
  if (!hwnd_) CreateHandle();
  return hwnd_ != nullptr;
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return hwnd_;
}

void TWinControl::CreateHandle() {
  if (hwnd_) return;
  win::CreateParams params;
  CreateParams(params);
  HWND parent_hwnd = parent_ ? parent_->Handle() : parent_window_;
  // Creating the parent's window creates its children's windows, this one included.
  if (hwnd_) return;
  if ((params.style & WS_CHILD) && !parent_hwnd) return;

  HINSTANCE instance = ThisModule();
  if (!params.system_class) {
    std::lock_guard<std::mutex> lock(ClassMutex());
    if (!RegisteredClasses().count(params.class_name)) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.style = params.class_style;
      wc.lpfnWndProc = &TWinControl::StaticWndProc;
      wc.hInstance = instance;
      wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      wc.lpszClassName = params.class_name.c_str();
      if (::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        RegisteredClasses().insert(params.class_name);
    }
  }
  DWORD style = params.style;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  thread_id_ = ::GetCurrentThreadId();
  // A child window carries its component's Tag as its control identifier, so that
  // programs driving the dialog (tests, the demo) can find it.
  HMENU id = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(Tag())) : nullptr;
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name.c_str(), params.caption.c_str(), style, left_,
                                top_, width_, height_, parent_hwnd, id, instance,
                                params.system_class ? nullptr : this);
  if (!hwnd) return;
  if (params.system_class) {
    hwnd_ = hwnd;
    ::SetPropW(hwnd, kSubclassProp, this);
    default_proc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::SubclassWndProc)));
  }
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  if (!text_.empty() && params.caption.empty()) ::SetWindowTextW(hwnd_, ToWide(text_).c_str());
  CreateChildHandles();
  HandleCreated();
}

void TWinControl::CreateChildHandles() {
  for (TControl* child : controls_)
    if (child->IsWindowed()) static_cast<TWinControl*>(child)->HandleNeeded();
  // Creation order equals z-order: keep the windows stacked like the list.
  for (TControl* child : controls_)
    if (child->IsWindowed())
      if (HWND h = static_cast<TWinControl*>(child)->hwnd_)
        ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::DestroyHandle() {
  if (!hwnd_) return;
  HWND hwnd = hwnd_;
  ::DestroyWindow(hwnd);  // WM_NCDESTROY clears hwnd_
  hwnd_ = nullptr;
  std::lock_guard<std::mutex> lock(queue_mutex_);
  queue_.clear();
}

void TWinControl::SetParentWindow(HWND parent) {
  parent_window_ = parent;
  if (hwnd_) ::SetParent(hwnd_, parent);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  TControl::SetParent(parent);
  if (parent_ && parent_->HandleAllocated()) {
    if (hwnd_)
      ::SetParent(hwnd_, parent_->hwnd_);
    else
      CreateHandle();
  } else if (!parent_ && hwnd_ && !parent_window_) {
    DestroyHandle();
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bool changed = left != left_ || top != top_ || width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (hwnd_ && changed) ::MoveWindow(hwnd_, left, top, width, height, TRUE);
  if (changed) BoundsChanged();
}

void TWinControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (hwnd_) ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  Invalidate();
}

void TWinControl::Invalidate() {
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void TWinControl::BringToFront() {
  if (parent_) parent_->MoveChildToTop(this);
  if (hwnd_) ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::FontChanged() {
  if (hwnd_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
  Invalidate();
}

std::string TWinControl::Text() const {
  if (!hwnd_) return text_;
  int n = ::GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  n = ::GetWindowTextW(hwnd_, w.data(), n + 1);
  w.resize(static_cast<size_t>(std::max(n, 0)));
  return FromWide(w);
}

void TWinControl::SetText(const std::string& text) {
  text_ = text;
  if (hwnd_) ::SetWindowTextW(hwnd_, ToWide(text).c_str());
}

bool TWinControl::CanFocus() const {
  if (!hwnd_) return false;
  for (HWND h = hwnd_; h; h = (::GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : nullptr)
    if (!::IsWindowVisible(h) || !::IsWindowEnabled(h)) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (hwnd_) ::SetFocus(hwnd_);
}

bool TWinControl::Focused() const { return hwnd_ && ::GetFocus() == hwnd_; }

void TWinControl::AddChild(TControl* child) { controls_.push_back(child); }

void TWinControl::RemoveChild(TControl* child) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), child), controls_.end());
}

void TWinControl::MoveChildToTop(TControl* child) {
  auto it = std::find(controls_.begin(), controls_.end(), child);
  if (it == controls_.end()) return;
  controls_.erase(it);
  controls_.push_back(child);
}

void TWinControl::InvokeAsync(std::function<void()> fn) {
  if (::GetCurrentThreadId() == thread_id_ && hwnd_) {
    bool idle;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      idle = queue_.empty();
    }
    if (idle) {
      fn();
      return;
    }
  }
  bool post;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (!hwnd_) return;
    post = queue_.empty();
    queue_.push_back(std::move(fn));
  }
  if (post) ::PostMessageW(hwnd_, WM_MIVEX_INVOKE, 0, 0);
}

void TWinControl::DrainInvokes() {
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      if (queue_.empty()) return;
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
  }
}

bool TWinControl::PostMessageToSelf(UINT msg, WPARAM wp, LPARAM lp) {
  return hwnd_ && ::PostMessageW(hwnd_, msg, wp, lp);
}

void TWinControl::PaintWindow(HDC dc) {
  RECT r{0, 0, width_, height_};
  ScopedBrush brush(::CreateSolidBrush(ColorToRGB(color_)));
  ::FillRect(dc, &r, brush.get());
}

void TWinControl::PaintChildren(HDC dc, const RECT& clip) {
  for (TControl* child : std::vector<TControl*>(controls_)) {
    if (child->IsWindowed() || !child->Visible() || child->Width() <= 0 || child->Height() <= 0) continue;
    RECT r = child->BoundsRect(), hit;
    if (!::IntersectRect(&hit, &r, &clip)) continue;
    ScopedSaveDC save(dc);
    POINT origin;
    ::GetViewportOrgEx(dc, &origin);
    ::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    ::SetViewportOrgEx(dc, origin.x + r.left, origin.y + r.top, nullptr);
    child->Paint(dc);
  }
}

void TWinControl::PaintTo(HDC dc) {
  RECT clip{0, 0, width_, height_};
  {
    ScopedSaveDC save(dc);
    PaintWindow(dc);
  }
  PaintChildren(dc, clip);
}

TWinControl* TWinControl::ChildOf(HWND hwnd) const {
  for (TControl* child : controls_)
    if (child->IsWindowed() && static_cast<TWinControl*>(child)->hwnd_ == hwnd) return static_cast<TWinControl*>(child);
  return nullptr;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (default_proc_) return ::CallWindowProcW(default_proc_, hwnd_, msg, wp, lp);
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MIVEX_INVOKE:
      DrainInvokes();
      return 0;
    case WM_ERASEBKGND:
      if (!default_proc_) return 1;
      break;
    case WM_PAINT:
      if (!default_proc_) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        RECT client;
        ::GetClientRect(hwnd_, &client);
        OffscreenBitmap buffer(client.right, client.bottom);
        PaintTo(buffer.dc());
        ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, buffer.dc(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        ::EndPaint(hwnd_, &ps);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (!mouse_inside_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
        ::TrackMouseEvent(&tme);
        mouse_inside_ = true;
        MouseEnter();
      }
      break;
    case WM_MOUSELEAVE:
      mouse_inside_ = false;
      MouseLeave();
      break;
    case WM_LBUTTONDOWN:
      if (!default_proc_) {
        pressed_ = true;
        ::SetCapture(hwnd_);
        MouseDown(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (!default_proc_) {
        bool was_pressed = pressed_;
        pressed_ = false;
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
        int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        MouseUp(x, y);
        RECT client;
        ::GetClientRect(hwnd_, &client);
        POINT pt{x, y};
        if (was_pressed && ::PtInRect(&client, pt) && enabled_) Click();
        return 0;
      }
      break;
    case WM_COMMAND:
      if (lp) {
        if (TWinControl* child = ChildOf(reinterpret_cast<HWND>(lp)))
          return child->Dispatch(kReflectBase + msg, wp, lp);
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr && hdr->hwndFrom)
        if (TWinControl* child = ChildOf(hdr->hwndFrom)) return child->Dispatch(kReflectBase + msg, wp, lp);
      break;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (dis && dis->hwndItem)
        if (TWinControl* child = ChildOf(dis->hwndItem)) return child->Dispatch(kReflectBase + msg, wp, lp);
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (TWinControl* child = ChildOf(reinterpret_cast<HWND>(lp))) return child->Dispatch(kReflectBase + msg, wp, lp);
      break;
    default:
      break;
  }
  if (msg >= kReflectBase && msg < kReflectBase + 0x400) return DefaultHandler(msg - kReflectBase, wp, lp);
  return DefaultHandler(msg, wp, lp);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = WndProc(msg, wp, lp);
  return result;
}


LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    self = static_cast<TWinControl*>(cs->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->mouse_inside_ = false;
    return r;
  }
  return self->Dispatch(msg, wp, lp);
}

LRESULT CALLBACK TWinControl::SubclassWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<TWinControl*>(::GetPropW(hwnd, kSubclassProp));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    WNDPROC proc = self->default_proc_;
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    ::RemovePropW(hwnd, kSubclassProp);
    self->hwnd_ = nullptr;
    self->default_proc_ = nullptr;
    self->mouse_inside_ = false;
    return ::CallWindowProcW(proc, hwnd, msg, wp, lp);
  }
  return self->Dispatch(msg, wp, lp);
}

void TCustomControl::DoPaint(HDC dc) { TWinControl::PaintWindow(dc); }

}  // namespace mivex::win
