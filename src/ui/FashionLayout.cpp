#include "ui/FashionLayout.h"

#include <algorithm>

namespace mivex::fashion {

std::array<StepCell, kStepWidgets> StepRow(int sample_count) {
  const int c = (sample_count >= 1 && sample_count <= kStepWidgets) ? sample_count : kStepWidgets;
  static constexpr int kGap[kStepWidgets + 1] = {0, 30, 20, 10, 0};
  const int gap = kGap[c];
  const int total = (c - 1) * gap + c * kStepCellWidth;
  const int first = std::max(kStepRowCentre - total / 2, 0);
  std::array<StepCell, kStepWidgets> cells{};
  for (int j = 0; j < c; ++j) cells[j] = StepCell{first + j * (gap + kStepCellWidth), kStepCellWidth, kStepCellHeight};
  return cells;
}

int StepWidget(int n) {
  if (n < 1 || n > 8) return -1;
  return n <= 4 ? n - 1 : n - 5;
}

int StepPicture(StepState state, int n) {
  if (n < 1 || n > 8) return 0;
  const bool first_page = n <= 4;
  switch (state) {
    case StepState::Pending: return first_page ? 102 + n : 130 + n;  // 103..106, 135..138
    case StepState::Current: return first_page ? 106 + n : 126 + n;  // 107..110, 131..134
    case StepState::Done: return first_page ? 110 + n : 134 + n;     // 111..114, 139..142
    case StepState::Failed: return first_page ? 114 + n : 138 + n;   // 115..118, 143..146
  }
  return 0;
}

}  // namespace mivex::fashion
