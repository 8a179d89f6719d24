#include "workflow/QualityMessage.h"

namespace mivex {

int QualityFlagClass(std::int32_t v) {
  if (v == 0) return 0;
  static const std::int32_t kHighMasks[] = {0x2000, 0x100, 0x200, 0x400, 0x800};
  const std::int32_t high = v & 0x2F00;
  for (int i = 0; i < 5; ++i)
    if ((high & kHighMasks[i]) == kHighMasks[i]) return 1 + i;
  // 0x60 can never win over 0x20, which is tried first.
  static const std::int32_t kLowMasks[] = {0x20, 0x40, 0x60, 0x80};
  const std::int32_t low = v & 0xE0;
  for (int i = 0; i < 4; ++i)
    if ((low & kLowMasks[i]) == kLowMasks[i]) return 6 + i;
  return -1;
}

int QualityMessage(int device_type, bool quality_policy, std::int32_t quality) {
  switch (device_type & 0x7F) {
    case 0:
      switch (quality) {
        case 0: return 232;
        case 1: return 233;
        case 2: return 234;
        default: return 254;
      }
    case 1:
    case 8:
      if (quality_policy) {
        if (quality == -32) return 236;
        if (quality >= 65 && quality <= 69) return 237 + (quality - 65);
        return 254;
      } else {
        static const int kByClass[] = {232, 242, 243, 244, 245, 246, 251, 252, 253, 254};
        int flag_class = QualityFlagClass(quality);
        return flag_class < 0 ? 254 : kByClass[flag_class];
      }
    case 2:
    case 6:
      if (quality == -1) return 234;
      return quality == 0 ? 232 : 254;
    case 3:
    case 5:
    case 13:
    case 14:
    case 30:
    case 31:
      return (quality >= 0 && quality <= 100) ? 232 : 254;
    case 4:
      return quality == 1 ? 232 : 254;
    default:
      return 232;
  }
}

}  // namespace mivex
