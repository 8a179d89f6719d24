#pragma once
// Shaped buttons for the finger areas: the clickable and visible area of a
// TPolygonBtn is exactly the part of its mask picture that is not the transparent
// colour. TPolygonWnd turns the mask into the window region of its owner.
#include "base/win/Controls.h"
#include "ui/GridImage.h"
#include "ui/PixelGrid.h"

namespace mivex {

class TPolygonWnd : public TComponent {
 public:
  explicit TPolygonWnd(TComponent* owner);
  ~TPolygonWnd() override;

  const PixelGrid& Mask() const { return mask_; }
  // Copies the picture; the region is not rebuilt.
  void SetMask(const PixelGrid& mask);
  const PixelGrid* HoverImage() const { return hover_ ? &hover_->grid : nullptr; }
  void SetHoverImage(const PixelGrid& picture);
  win::TColor TransparentColor() const { return transparent_color_; }
  void SetTransparentColor(win::TColor color) { transparent_color_ = color; }
  win::TWinControl* Target() const { return target_; }
  // The last region built; null before the first build or after a failed one.
  HRGN Region() const { return region_.get(); }

  // Builds the region of the mask's non-transparent pixels (rows at the bottom of the
  // mask excepted, see ColumnRuns); null when the mask has no such pixel.
  HRGN BuildRegion();
  // Gives the target window the mask's region and size. Changes nothing when there is
  // no target window (yet) or the mask has no area. Returns whether it was applied.
  bool ApplyRegion();

  // Draws the hover picture or the mask at (0, 0) of `dc`.
  void DrawHover(HDC dc) const;
  void DrawMask(HDC dc) const;

 private:
  struct Picture {
    PixelGrid grid;
    GridImage image;
  };

  PixelGrid mask_;
  GridImage mask_image_;
  std::unique_ptr<Picture> hover_;
  win::TColor transparent_color_ = win::clWhite;
  win::TWinControl* target_ = nullptr;
  win::ScopedRegion region_;
};

class TPolygonBtn : public win::TCustomControl {
 public:
  explicit TPolygonBtn(TComponent* owner);
  ~TPolygonBtn() override;

  TPolygonWnd& Wnd() { return *wnd_; }
  const TPolygonWnd& Wnd() const { return *wnd_; }

  const PixelGrid& Mask() const { return wnd_->Mask(); }
  // Copies the picture and applies its region at once.
  void SetMask(const PixelGrid& mask);
  win::TColor TransparentColor() const { return wnd_->TransparentColor(); }
  // Takes effect with the next RefreshShape.
  void SetTransparentColor(win::TColor color) { wnd_->SetTransparentColor(color); }
  bool Selected() const { return selected_; }
  void SetSelected(bool on);
  win::TColor SelectedColor() const { return selected_color_; }
  void SetSelectedColor(win::TColor color);
  bool Hovering() const { return hovering_; }

  // Applies the mask's region and makes the hover picture from the plain mask.
  void RefreshShape();
  // The hover picture for the current selection: the bevelled mask, filled with the
  // selection colour first while selected.
  void UpdateHoverImage();

  // Called when the pointer enters the enabled button; unassigned, the system beeps.
  TNotifyEvent OnMouseEnter;

 protected:
  void DoPaint(HDC dc) override;
  void MouseEnter() override;
  void MouseLeave() override;

 private:
  void Repaint();

  TPolygonWnd* wnd_;
  bool hovering_ = false;
  bool selected_ = false;
  win::TColor selected_color_ = 0x0000FF00u;  // lime green
};

}  // namespace mivex
