#include "workflow/Catalogue.h"

namespace mivex {

std::string TXUtil::MessageText(std::int32_t code) const {
  // Catalogue numbers are 16-bit: a code whose number falls outside has no text.
  const std::int64_t number = std::int64_t{code} + 400;
  if (number < 0 || number > 0xFFFF) return {};
  try {
    return LoadStr(static_cast<int>(number));
  } catch (...) {
    return {};
  }
}

std::string ErrorText(std::int32_t code) {
  if (code >= 401 && code <= 499) return LoadStr(code - 100);
  TXUtil util;
  return util.MessageText(code);
}

}  // namespace mivex
