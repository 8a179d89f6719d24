// The Windows side of the image helpers: the screen's dpi, GDI bitmaps and drawing.
#include <cstring>

#include "capture/ImageConvert.h"

namespace mivex {

int ScreenLogicalDpi() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return 96;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HBITMAP TBitmap::Handle() const {
  if (handle_ || Empty()) return handle_.get();
  const std::vector<std::uint8_t> stream = RawToBitmapStream(width_, height_, pixels_.data(), false);
  if (stream.empty()) return nullptr;
  // The stream holds BITMAPINFOHEADER and the palette right after the file header, in
  // the layout BITMAPINFO expects; copy them so the structure is properly aligned.
  std::vector<std::uint8_t> info(kBitmapPixelOffset - sizeof(BITMAPFILEHEADER));
  std::memcpy(info.data(), stream.data() + sizeof(BITMAPFILEHEADER), info.size());
  void* bits = nullptr;
  win::ScopedBitmap made(::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                            DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!made || bits == nullptr) return nullptr;
  std::memcpy(bits, stream.data() + kBitmapPixelOffset, stream.size() - kBitmapPixelOffset);
  ::GdiFlush();
  handle_ = std::move(made);
  return handle_.get();
}

namespace {

// Selects `bitmap` into a memory DC compatible with `dc` for the duration of a blit.
class SelectedBitmap {
 public:
  SelectedBitmap(HDC dc, HBITMAP bitmap) : mem_(::CreateCompatibleDC(dc)) {
    if (mem_) old_ = ::SelectObject(mem_.get(), bitmap);
  }
  ~SelectedBitmap() {
    if (mem_ && old_ != nullptr) ::SelectObject(mem_.get(), old_);
  }
  SelectedBitmap(const SelectedBitmap&) = delete;
  SelectedBitmap& operator=(const SelectedBitmap&) = delete;
  HDC dc() const { return old_ != nullptr ? mem_.get() : nullptr; }

 private:
  win::ScopedMemoryDC mem_;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

bool TBitmap::Draw(HDC dc, int x, int y) const {
  HBITMAP bitmap = Handle();
  if (dc == nullptr || bitmap == nullptr) return false;
  SelectedBitmap source(dc, bitmap);
  if (source.dc() == nullptr) return false;
  return ::BitBlt(dc, x, y, width_, height_, source.dc(), 0, 0, SRCCOPY) != FALSE;
}

bool TBitmap::StretchDraw(HDC dc, const RECT& rect) const {
  HBITMAP bitmap = Handle();
  if (dc == nullptr || bitmap == nullptr) return false;
  SelectedBitmap source(dc, bitmap);
  if (source.dc() == nullptr) return false;
  const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
  const bool ok = ::StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                               source.dc(), 0, 0, width_, height_, SRCCOPY) != FALSE;
  if (oldMode != 0) ::SetStretchBltMode(dc, oldMode);
  return ok;
}

void DrawRaw(HDC dc, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
             bool stretch, bool topDown) {
  if (dc == nullptr) return;
  std::unique_ptr<TBitmap> bitmap = RawToBitmap(width, height, pixels, topDown);
  if (!bitmap) return;
  if (stretch) {
    RECT clip{};
    if (::GetClipBox(dc, &clip) == ERROR) return;
    bitmap->StretchDraw(dc, clip);
  } else {
    bitmap->Draw(dc, 0, 0);
  }
}

}  // namespace mivex
