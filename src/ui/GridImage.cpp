#include "ui/GridImage.h"

#include <vector>

#include "base/win/Controls.h"

namespace mivex {

namespace {
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
}  // namespace

PixelGrid LoadBitmapGrid(HINSTANCE module, const wchar_t* name) {
  win::ScopedBitmap bitmap(
      static_cast<HBITMAP>(::LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) return {};
  BITMAP bm{};
  if (!::GetObjectW(bitmap.get(), sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return {};
  BITMAPINFO info = TopDown32(bm.bmWidth, bm.bmHeight);
  std::vector<std::uint32_t> bits(static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bm.bmHeight));
  win::ScopedGetDC screen(nullptr);
  if (::GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(bm.bmHeight), bits.data(), &info,
                  DIB_RGB_COLORS) != bm.bmHeight)
    return {};
  PixelGrid grid(bm.bmWidth, bm.bmHeight);
  for (int y = 0; y < bm.bmHeight; ++y)
    for (int x = 0; x < bm.bmWidth; ++x) {
      const std::uint32_t v = bits[static_cast<size_t>(y) * static_cast<size_t>(bm.bmWidth) + static_cast<size_t>(x)];
      grid.Set(x, y, PixelRGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    }
  return grid;
}

PixelGrid LoadBitmapGrid(int id) { return LoadBitmapGrid(win::ThisModule(), MAKEINTRESOURCEW(id)); }

PixelGrid LoadBitmapGrid(const char* name) { return LoadBitmapGrid(win::ThisModule(), win::ToWide(name).c_str()); }

GridImage::GridImage(const PixelGrid& grid) {
  if (grid.Empty()) return;
  BITMAPINFO info = TopDown32(grid.Width(), grid.Height());
  void* bits = nullptr;
  win::ScopedGetDC screen(nullptr);
  bitmap_.reset(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_ || !bits) {
    bitmap_.reset();
    return;
  }
  width_ = grid.Width();
  height_ = grid.Height();
  auto* out = static_cast<std::uint32_t*>(bits);
  for (size_t i = 0; i < grid.Pixels().size(); ++i) {
    const TPixel c = grid.Pixels()[i];
    out[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  }
}

void GridImage::Draw(HDC dc, int x, int y) const {
  if (!bitmap_) return;
  win::ScopedMemoryDC source(::CreateCompatibleDC(dc));
  win::ScopedSelect select(source.get(), bitmap_.get());
  ::BitBlt(dc, x, y, width_, height_, source.get(), 0, 0, SRCCOPY);
}

void GridImage::DrawTransparent(HDC dc, int x, int y, TPixel key) const {
  if (!bitmap_) return;
  win::ScopedMemoryDC source(::CreateCompatibleDC(dc));
  win::ScopedSelect select(source.get(), bitmap_.get());
  ::TransparentBlt(dc, x, y, width_, height_, source.get(), 0, 0, width_, height_, key);
}

}  // namespace mivex
