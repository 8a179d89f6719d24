#pragma once
// A push button that shows a glyph instead of a caption: the glyph bitmap holds
// NumGlyphs pictures side by side (normal, disabled); the colour of its bottom-left
// pixel is transparent. With ShowHint, the hint text appears as a tooltip.
#include <string>

#include "base/win/Controls.h"
#include "ui/GridImage.h"
#include "ui/PixelGrid.h"

namespace mivex {

class TBitBtn : public win::TWinControl {
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;

  const PixelGrid& Glyph() const { return glyph_; }
  void SetGlyph(const PixelGrid& glyph);
  // Loads the glyph from this library's bitmap resource `name`.
  void LoadGlyph(const char* name) { SetGlyph(LoadBitmapGrid(name)); }
  int NumGlyphs() const { return num_glyphs_; }
  void SetNumGlyphs(int n);

  void SetHint(const std::string& hint) override;
  // The tooltip window showing the hint (null before the button's window exists or
  // without ShowHint).
  HWND Tooltip() const { return tooltip_; }

  // Draws the button face and glyph as the window shows it (state from the control).
  void DrawFace(HDC dc, bool pressed, bool focused) const;

 protected:
  void CreateParams(win::CreateParams& params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void DestroyTooltip();
  void UpdateTooltipText();

  PixelGrid glyph_;
  GridImage glyph_image_;
  int num_glyphs_ = 1;
  HWND tooltip_ = nullptr;
  std::wstring tooltip_text_;
};

}  // namespace mivex
