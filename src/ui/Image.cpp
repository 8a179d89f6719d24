#include "ui/Image.h"

namespace mivex {

void TImage::SetPicture(const PixelGrid& picture) {
  picture_ = picture;
  image_ = GridImage(picture_);
  picture_id_ = 0;
  Invalidate();
}

void TImage::LoadPicture(int id) {
  SetPicture(LoadBitmapGrid(id));
  picture_id_ = id;
}

void TImage::SetTransparent(bool on) {
  if (transparent_ == on) return;
  transparent_ = on;
  Invalidate();
}

void TImage::Paint(HDC dc) {
  if (image_.Empty()) return;
  if (transparent_)
    image_.DrawTransparent(dc, 0, 0, picture_.At(0, picture_.Height() - 1));
  else
    image_.Draw(dc, 0, 0);
}

}  // namespace mivex
