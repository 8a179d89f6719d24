#pragma once
// Pixel grids on screen: loading a bitmap resource into a grid, and a drawable
// device-independent copy of a grid.
#include <windows.h>

#include "base/win/Handles.h"
#include "ui/PixelGrid.h"

namespace mivex {

// The bitmap resource `name` (MAKEINTRESOURCE number or name) of `module` as a grid;
// empty when the resource is missing or unreadable.
PixelGrid LoadBitmapGrid(HINSTANCE module, const wchar_t* name);
// The same from this library's own resources.
PixelGrid LoadBitmapGrid(int id);
PixelGrid LoadBitmapGrid(const char* name);

// A 32-bit DIB holding a copy of a grid.
class GridImage {
 public:
  GridImage() = default;
  explicit GridImage(const PixelGrid& grid);

  bool Empty() const { return !bitmap_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Copies the picture with its top-left corner at (x, y).
  void Draw(HDC dc, int x, int y) const;
  // The same, leaving out the pixels of colour `key`.
  void DrawTransparent(HDC dc, int x, int y, TPixel key) const;

 private:
  int width_ = 0, height_ = 0;
  win::ScopedBitmap bitmap_;
};

}  // namespace mivex
