#include "ui/LabelModel.h"

namespace mivex {

LabelSettings LabelModel::Settings(int width, int height, int font_size) const {
  LabelSettings s;
  s.width = width;
  s.height = height;
  s.font_size = font_size;
  s.row_space = row_space_;
  s.section_size = section_size_;
  s.forward_size = forward_size_;
  s.want_fit = want_fit_;
  s.want_return = want_return_;
  return s;
}

}  // namespace mivex
