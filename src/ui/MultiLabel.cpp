#include "ui/MultiLabel.h"

#include "base/win/Handles.h"

namespace mivex {

namespace {

// Measures with the label's font at a given size, selected into a device context.
class DCMeasure : public TextMeasure {
 public:
  DCMeasure(HDC dc, const win::TFont& font) : dc_(dc), font_(font) {}
  ~DCMeasure() override {
    if (old_) ::SelectObject(dc_, old_);
  }
  DCMeasure(const DCMeasure&) = delete;
  DCMeasure& operator=(const DCMeasure&) = delete;

  void SetFontSize(int points) override {
    // A font still selected cannot be deleted: put the original back first.
    if (old_) ::SelectObject(dc_, old_);
    font_.SetSize(points);
    HGDIOBJ prev = ::SelectObject(dc_, font_.Handle());
    if (!old_) old_ = prev;
  }
  int TextWidth(std::string_view text) override { return Extent(text).cx; }
  int TextHeight(std::string_view text) override { return Extent(text).cy; }
  bool IsLeadByte(unsigned char byte) override { return ::IsDBCSLeadByte(byte) != FALSE; }

 private:
  SIZE Extent(std::string_view text) {
    SIZE size{0, 0};
    const std::wstring w = win::ToWide(std::string(text));
    if (!w.empty()) ::GetTextExtentPoint32W(dc_, w.data(), static_cast<int>(w.size()), &size);
    return size;
  }

  HDC dc_;
  win::TFont font_;  // a copy: size changes stay inside one paint
  HGDIOBJ old_ = nullptr;
};

}  // namespace

TMultiLabel::TMultiLabel(TComponent* owner) : TControl(owner) {}

void TMultiLabel::SetLines(const std::vector<std::string>& lines) {
  model_.SetLines(lines);
  Invalidate();
}

void TMultiLabel::ClearLines() {
  model_.ClearLines();
  Invalidate();
}

void TMultiLabel::AddLine(const std::string& line) {
  model_.AddLine(line);
  Invalidate();
}

void TMultiLabel::SetTransparent(bool on) {
  if (transparent_ == on) return;
  transparent_ = on;
  Invalidate();
}

LabelLayout TMultiLabel::Layout(HDC dc) const {
  DCMeasure measure(dc, font_);
  return LayOutLabel(model_.Lines(), model_.Settings(width_, height_, font_.Size()), measure);
}

void TMultiLabel::Paint(HDC dc) {
  if (width_ <= 0 || height_ <= 0) return;
  if (!transparent_) {
    win::ScopedBrush fill(::CreateSolidBrush(win::ColorToRGB(color_)));
    RECT r{0, 0, width_, height_};
    ::FillRect(dc, &r, fill.get());
  }
  // The picture is cleared white; the copy leaves out the label canvas's brush colour,
  // which is white for a transparent label and the label's colour otherwise.
  win::OffscreenBitmap picture(width_, height_);
  RECT all{0, 0, width_, height_};
  ::FillRect(picture.dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  {
    DCMeasure measure(picture.dc(), font_);
    const LabelLayout layout =
        LayOutLabel(model_.Lines(), model_.Settings(width_, height_, font_.Size()), measure);
    if (layout.passes == 0) return;
    ::SetBkMode(picture.dc(), TRANSPARENT);
    ::SetTextColor(picture.dc(), win::ColorToRGB(font_.Color()));
    for (const PlacedText& t : layout.texts) {
      const std::wstring w = win::ToWide(t.text);
      ::TextOutW(picture.dc(), t.x, t.y, w.data(), static_cast<int>(w.size()));
    }
  }
  const COLORREF key = transparent_ ? RGB(255, 255, 255) : win::ColorToRGB(color_);
  ::TransparentBlt(dc, 0, 0, width_, height_, picture.dc(), 0, 0, width_, height_, key);
}

}  // namespace mivex
