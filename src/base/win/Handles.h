#pragma once
// One owner per GDI/USER/kernel handle: each wrapper frees its handle in its destructor.
#include <windows.h>

#include <utility>

namespace mivex::win {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& o) noexcept : h_(std::exchange(o.h_, Handle{})) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Handle{}));
    return *this;
  }
  ~ScopedHandle() { reset(); }

  Handle get() const { return h_; }
  explicit operator bool() const { return Traits::Valid(h_); }
  void reset(Handle h = Handle{}) {
    if (Traits::Valid(h_)) Traits::Close(h_);
    h_ = h;
  }
  Handle release() { return std::exchange(h_, Handle{}); }

 private:
  Handle h_{};
};

template <typename H>
struct GdiTraits {
  using Handle = H;
  static bool Valid(H h) { return h != nullptr; }
  static void Close(H h) { ::DeleteObject(h); }
};
using ScopedBitmap = ScopedHandle<GdiTraits<HBITMAP>>;
using ScopedRegion = ScopedHandle<GdiTraits<HRGN>>;
using ScopedBrush = ScopedHandle<GdiTraits<HBRUSH>>;
using ScopedFont = ScopedHandle<GdiTraits<HFONT>>;
using ScopedPen = ScopedHandle<GdiTraits<HPEN>>;

struct KernelTraits {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using ScopedKernelHandle = ScopedHandle<KernelTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static bool Valid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
using ScopedModule = ScopedHandle<ModuleTraits>;

struct MemoryDCTraits {
  using Handle = HDC;
  static bool Valid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};
using ScopedMemoryDC = ScopedHandle<MemoryDCTraits>;

struct IconTraits {
  using Handle = HICON;
  static bool Valid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { ::DestroyIcon(h); }
};
using ScopedIcon = ScopedHandle<IconTraits>;

// A window's device context from GetDC, released with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  ~ScopedGetDC() {
    if (dc_) ::ReleaseDC(wnd_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND wnd_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() {
    if (old_) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Saves a DC's state (clip, origin, objects) and restores it.
class ScopedSaveDC {
 public:
  explicit ScopedSaveDC(HDC dc) : dc_(dc), id_(::SaveDC(dc)) {}
  ScopedSaveDC(const ScopedSaveDC&) = delete;
  ScopedSaveDC& operator=(const ScopedSaveDC&) = delete;
  ~ScopedSaveDC() {
    if (id_) ::RestoreDC(dc_, id_);
  }

 private:
  HDC dc_;
  int id_;
};

// An off-screen 32-bit picture with its own memory DC, for drawing without flicker and
// for rendering widgets in tests.
class OffscreenBitmap {
 public:
  OffscreenBitmap(int width, int height);
  OffscreenBitmap(const OffscreenBitmap&) = delete;
  OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;
  ~OffscreenBitmap();

  HDC dc() const { return dc_.get(); }
  HBITMAP bitmap() const { return bitmap_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixel as COLORREF (red in the low byte); reads the DIB memory directly.
  COLORREF Pixel(int x, int y) const;

 private:
  int width_, height_;
  ScopedMemoryDC dc_;
  ScopedBitmap bitmap_;
  HGDIOBJ old_ = nullptr;
  unsigned char* bits_ = nullptr;
};

}  // namespace mivex::win
