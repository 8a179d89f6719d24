#include "base/TextUtil.h"

namespace mivex {

namespace {
template <typename Pred>
std::string TrimIf(std::string_view text, Pred strip) {
  size_t begin = 0, end = text.size();
  while (begin < end && strip(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && strip(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string TrimBlanks(std::string_view text) {
  return TrimIf(text, [](unsigned char c) { return c == ' '; });
}

std::string TrimControls(std::string_view text) {
  return TrimIf(text, [](unsigned char c) { return c <= 0x20; });
}

std::string FieldOf(std::string_view text, char separator, int n) {
  if (n < 1) return {};
  size_t start = 0;
  for (int field = 1;; ++field) {
    size_t stop = text.find(separator, start);
    if (field == n) return std::string(text.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start));
    if (stop == std::string_view::npos) return {};
    start = stop + 1;
  }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace mivex
