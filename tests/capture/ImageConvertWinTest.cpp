// The GDI side of the image helpers, run under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "capture/ImageConvert.h"

using namespace mivex;

namespace {

// A 32-bit memory DC of the given size, filled white.
class Canvas {
 public:
  Canvas(int w, int h) : dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bmp_.reset(::CreateDIBSection(dc_.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    old_ = ::SelectObject(dc_.get(), bmp_.get());
    RECT r{0, 0, w, h};
    ::FillRect(dc_.get(), &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() { ::SelectObject(dc_.get(), old_); }
  HDC dc() const { return dc_.get(); }
  int Grey(int x, int y) const { return GetRValue(::GetPixel(dc_.get(), x, y)); }

 private:
  win::ScopedMemoryDC dc_;
  win::ScopedBitmap bmp_;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

TEST(ImageConvertWin, HandleIsAnEightBitDibOfThePicture) {
  const std::uint8_t raw[] = {0, 50, 100, 150, 200, 250};
  auto bmp = RawToBitmap(3, 2, raw, false);
  ASSERT_TRUE(bmp);
  HBITMAP h = bmp->Handle();
  ASSERT_NE(h, nullptr);
  DIBSECTION ds{};
  ASSERT_EQ(::GetObjectW(h, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 3);
  EXPECT_EQ(ds.dsBm.bmHeight, 2);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 8);
  EXPECT_EQ(bmp->Handle(), h);  // made once
  TBitmap empty;
  EXPECT_EQ(empty.Handle(), nullptr);
}

TEST(ImageConvertWin, DrawRawPutsRowZeroAtTheTopAndStretchesOverTheClipBox) {
  const std::uint8_t raw[] = {10, 20, 30, 40, 50, 60};  // 3 x 2
  Canvas canvas(12, 8);
  DrawRaw(canvas.dc(), raw, 3, 2, false, false);
  EXPECT_EQ(canvas.Grey(0, 0), 10);
  EXPECT_EQ(canvas.Grey(2, 0), 30);
  EXPECT_EQ(canvas.Grey(0, 1), 40);
  EXPECT_EQ(canvas.Grey(3, 0), 255);  // outside the image: untouched

  Canvas stretched(12, 8);
  HRGN clip = ::CreateRectRgn(0, 0, 6, 4);
  ::SelectClipRgn(stretched.dc(), clip);
  ::DeleteObject(clip);
  DrawRaw(stretched.dc(), raw, 3, 2, true, false);
  EXPECT_EQ(stretched.Grey(0, 0), 10);
  EXPECT_EQ(stretched.Grey(5, 0), 30);
  EXPECT_EQ(stretched.Grey(5, 3), 60);
  EXPECT_EQ(stretched.Grey(7, 5), 255);

  DrawRaw(nullptr, raw, 3, 2, false, false);          // no canvas: nothing
  DrawRaw(canvas.dc(), nullptr, 3, 2, false, false);  // no bitmap: nothing
}
