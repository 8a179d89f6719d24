#include "ui/PolygonWnd.h"

#include "ui/MaskShapes.h"

namespace mivex {

namespace {
TPixel Resolve(win::TColor c) { return static_cast<TPixel>(win::ColorToRGB(c)); }
}  // namespace

// ---------------------------------------------------------------------------------------
// TPolygonWnd

TPolygonWnd::TPolygonWnd(TComponent* owner)
    : TComponent(owner), target_(dynamic_cast<win::TWinControl*>(owner)) {}

TPolygonWnd::~TPolygonWnd() { target_ = nullptr; }

void TPolygonWnd::SetMask(const PixelGrid& mask) {
  mask_ = mask;
  mask_image_ = GridImage(mask_);
}

void TPolygonWnd::SetHoverImage(const PixelGrid& picture) {
  auto next = std::make_unique<Picture>();
  next->grid = picture;
  next->image = GridImage(next->grid);
  hover_ = std::move(next);
}

HRGN TPolygonWnd::BuildRegion() {
  region_.reset();
  const std::vector<ColumnRun> runs = ColumnRuns(mask_, Resolve(transparent_color_));
  if (runs.empty()) return nullptr;
  win::ScopedRegion combined(::CreateRectRgn(0, 0, 0, 0));
  if (!combined) return nullptr;
  for (const ColumnRun& run : runs) {
    win::ScopedRegion piece(::CreateRectRgn(run.x, run.top, run.x + 1, run.bottom));
    if (!piece || ::CombineRgn(combined.get(), combined.get(), piece.get(), RGN_OR) == ERROR) return nullptr;
  }
  region_ = std::move(combined);
  return region_.get();
}

bool TPolygonWnd::ApplyRegion() {
  if (!target_ || mask_.Empty() || !target_->HandleNeeded()) return false;
  if (!BuildRegion()) return false;
  // The window takes ownership of the region it is given: hand it a copy.
  win::ScopedRegion copy(::CreateRectRgn(0, 0, 0, 0));
  if (!copy || ::CombineRgn(copy.get(), region_.get(), nullptr, RGN_COPY) == ERROR) return false;
  if (!::SetWindowRgn(target_->HandleIfAllocated(), copy.get(), TRUE)) return false;
  copy.release();
  target_->SetBounds(target_->Left(), target_->Top(), mask_.Width(), mask_.Height());
  return true;
}

void TPolygonWnd::DrawHover(HDC dc) const {
  if (hover_) hover_->image.Draw(dc, 0, 0);
}

void TPolygonWnd::DrawMask(HDC dc) const { mask_image_.Draw(dc, 0, 0); }

// ---------------------------------------------------------------------------------------
// TPolygonBtn

TPolygonBtn::TPolygonBtn(TComponent* owner) : TCustomControl(owner), wnd_(Create<TPolygonWnd>()) {}

TPolygonBtn::~TPolygonBtn() {
  MarkDestroying();
  DestroyHandle();
}

void TPolygonBtn::SetMask(const PixelGrid& mask) {
  wnd_->SetMask(mask);
  wnd_->ApplyRegion();
}

void TPolygonBtn::SetSelected(bool on) {
  if (selected_ == on) return;
  selected_ = on;
  UpdateHoverImage();
  Repaint();
}

void TPolygonBtn::SetSelectedColor(win::TColor color) {
  if (selected_color_ == color) return;
  selected_color_ = color;
  UpdateHoverImage();
  if (selected_) Repaint();
}

void TPolygonBtn::UpdateHoverImage() {
  const TPixel transparent = Resolve(wnd_->TransparentColor());
  const PixelGrid source = selected_ ? FillShape(wnd_->Mask(), transparent, Resolve(selected_color_)) : wnd_->Mask();
  wnd_->SetHoverImage(
      MakeBeveled(source, transparent, Resolve(win::cl3DLight), Resolve(win::cl3DDkShadow)));
}

void TPolygonBtn::RefreshShape() {
  wnd_->ApplyRegion();
  wnd_->SetHoverImage(MakeBeveled(wnd_->Mask(), Resolve(wnd_->TransparentColor()), Resolve(win::cl3DLight),
                                  Resolve(win::cl3DDkShadow)));
}

void TPolygonBtn::Repaint() {
  Invalidate();
  if (HWND h = HandleIfAllocated()) ::UpdateWindow(h);
}

void TPolygonBtn::DoPaint(HDC dc) {
  TCustomControl::DoPaint(dc);
  if (hovering_) {
    wnd_->DrawHover(dc);
  } else if (selected_) {
    // The window region limits the fill to the shape.
    RECT clip;
    if (::GetClipBox(dc, &clip) == ERROR || ::IsRectEmpty(&clip)) clip = RECT{0, 0, width_, height_};
    win::ScopedBrush brush(::CreateSolidBrush(win::ColorToRGB(selected_color_)));
    ::FillRect(dc, &clip, brush.get());
  } else {
    wnd_->DrawMask(dc);
  }
}

void TPolygonBtn::MouseEnter() {
  if (!enabled_) return;
  hovering_ = true;
  Repaint();
  if (OnMouseEnter)
    OnMouseEnter(this);
  else
    ::MessageBeep(0);
}

void TPolygonBtn::MouseLeave() {
  hovering_ = false;
  Repaint();
}

}  // namespace mivex
