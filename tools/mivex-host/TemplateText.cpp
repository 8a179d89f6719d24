#include "TemplateText.h"

#include <cstdlib>

namespace mivex::host {

std::vector<TemplateEntry> ParseEnrollString(const std::string& s) {
  std::vector<TemplateEntry> entries;
  std::size_t at = 0;
  while (at < s.size()) {
    const std::size_t a = s.find(';', at);
    const std::size_t b = a == std::string::npos ? a : s.find(';', a + 1);
    const std::size_t c = b == std::string::npos ? b : s.find(';', b + 1);
    if (c == std::string::npos) return {};
    const std::string length = s.substr(a + 1, b - a - 1);
    char* end = nullptr;
    const long n = std::strtol(length.c_str(), &end, 10);
    if (length.empty() || *end != '\0' || n < 0) return {};
    entries.push_back({s.substr(at, a - at), static_cast<int>(n), s.substr(b + 1, c - b - 1)});
    at = c + 1;
  }
  return entries;
}

std::vector<std::uint8_t> DecodeBase64(const std::string& text) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') break;
    const std::size_t v = kAlphabet.find(c);
    if (v == std::string::npos) return {};
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<std::uint8_t>(bits >> count));
    }
  }
  return out;
}

}  // namespace mivex::host
