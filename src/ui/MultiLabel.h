#pragma once
// A windowless label that shows a list of paragraphs in its fixed rectangle, with its
// own word wrapping (also between double-byte characters), first-row indent,
// paragraph spacing and an optional shrink-to-fit. The text is drawn off-screen and
// copied without the background, so whatever lies behind stays visible.
#include <string>
#include <vector>

#include "base/win/Controls.h"
#include "ui/LabelModel.h"

namespace mivex {

class TMultiLabel : public win::TControl {
 public:
  explicit TMultiLabel(TComponent* owner);

  const std::vector<std::string>& Lines() const { return model_.Lines(); }
  void SetLines(const std::vector<std::string>& lines);
  void ClearLines();
  void AddLine(const std::string& line);

  int RowSpace() const { return model_.RowSpace(); }
  int SectionSize() const { return model_.SectionSize(); }
  int ForwardSize() const { return model_.ForwardSize(); }
  bool WantFit() const { return model_.WantFit(); }
  bool WantReturn() const { return model_.WantReturn(); }
  // Negative spacings are ignored.
  void SetRowSpace(int pixels) { Repaint(model_.SetRowSpace(pixels)); }
  void SetSectionSize(int pixels) { Repaint(model_.SetSectionSize(pixels)); }
  void SetForwardSize(int pixels) { Repaint(model_.SetForwardSize(pixels)); }
  void SetWantFit(bool on) { Repaint(model_.SetWantFit(on)); }
  void SetWantReturn(bool on) { Repaint(model_.SetWantReturn(on)); }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);

  // The layout the label would draw now (the font size after shrinking included).
  LabelLayout Layout(HDC dc) const;

  void Paint(HDC dc) override;

 private:
  void Repaint(bool needed) {
    if (needed) Invalidate();
  }

  LabelModel model_;
  bool transparent_ = false;
};

}  // namespace mivex
