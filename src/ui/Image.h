#pragma once
// A windowless picture widget: shows a picture at its top-left corner, unscaled and
// clipped to its bounds; a transparent one leaves out the pixels that have the colour
// of the picture's bottom-left pixel.
#include "base/win/Controls.h"
#include "ui/GridImage.h"
#include "ui/PixelGrid.h"

namespace mivex {

class TImage : public win::TControl {
 public:
  explicit TImage(TComponent* owner) : TControl(owner) {}

  const PixelGrid& Picture() const { return picture_; }
  void SetPicture(const PixelGrid& picture);
  // Loads bitmap resource `id` of this library (empty picture when missing).
  void LoadPicture(int id);
  int PictureId() const { return picture_id_; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);

  void Paint(HDC dc) override;

 private:
  PixelGrid picture_;
  GridImage image_;
  int picture_id_ = 0;
  bool transparent_ = false;
};

}  // namespace mivex
