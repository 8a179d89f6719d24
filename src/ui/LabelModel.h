#pragma once
// What a multi-line label shows, apart from its font and rectangle: the paragraphs and
// the spacing settings with their rules (negative spacings are refused). The window
// side asks each setter whether the label must be repainted.
#include <string>
#include <vector>

#include "ui/LabelLayout.h"

namespace mivex {

class LabelModel {
 public:
  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(const std::vector<std::string>& lines) { lines_ = lines; }
  void ClearLines() { lines_.clear(); }
  void AddLine(const std::string& line) { lines_.push_back(line); }

  int RowSpace() const { return row_space_; }
  int SectionSize() const { return section_size_; }
  int ForwardSize() const { return forward_size_; }
  bool WantFit() const { return want_fit_; }
  bool WantReturn() const { return want_return_; }

  // Each returns true when the label must be repainted. A negative spacing is ignored.
  bool SetRowSpace(int pixels) { return Store(row_space_, pixels); }
  bool SetSectionSize(int pixels) { return Store(section_size_, pixels); }
  bool SetForwardSize(int pixels) { return Store(forward_size_, pixels); }
  // Only switching shrink-to-fit on can change the picture.
  bool SetWantFit(bool on) {
    want_fit_ = on;
    return on;
  }
  bool SetWantReturn(bool on) {
    want_return_ = on;
    return true;
  }

  LabelSettings Settings(int width, int height, int font_size) const;

 private:
  static bool Store(int& field, int value) {
    if (value < 0) return false;
    field = value;
    return true;
  }

  std::vector<std::string> lines_;
  int row_space_ = 0;
  int section_size_ = 0;
  int forward_size_ = 0;
  bool want_fit_ = false;
  bool want_return_ = false;
};

}  // namespace mivex
