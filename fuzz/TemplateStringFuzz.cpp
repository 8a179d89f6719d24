// Template strings built from arbitrary template bytes: each enrollment entry is the
// code, the decimal length and the template text, and the template text decodes back to
// the bytes, with a CR LF after every 76 characters and nothing else.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/ImageConvert.h"
#include "workflow/Fingers.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decodes the template text: false on any character out of place.
bool Decode(const std::string& text, std::vector<std::uint8_t>& out) {
  std::string plain;
  std::size_t column = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (column == 76) {
      if (text.compare(i, 2, "\r\n") != 0) return false;
      ++i;
      column = 0;
      continue;
    }
    plain += text[i];
    ++column;
  }
  if (column == 76 || plain.size() % 4 != 0) return false;
  out.clear();
  for (std::size_t i = 0; i < plain.size(); i += 4) {
    std::uint32_t v = 0;
    int pad = 0;
    for (int j = 0; j < 4; ++j) {
      const char c = plain[i + static_cast<std::size_t>(j)];
      int n = 0;
      if (c == '=') {
        if (j < 2 || i + 4 != plain.size()) return false;
        ++pad;
      } else {
        if (pad != 0) return false;
        const char* p = std::strchr(kAlphabet, c);
        if (p == nullptr || c == '\0') return false;
        n = static_cast<int>(p - kAlphabet);
      }
      v = v << 6 | static_cast<std::uint32_t>(n);
    }
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    if (pad < 2) out.push_back(static_cast<std::uint8_t>(v >> 8));
    if (pad < 1) out.push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex;
  if (size < 1) return 0;
  // The first byte picks the finger (some outside 1..10), the rest is the template.
  const int index = data[0] % 12;
  const std::uint8_t* bytes = data + 1;
  const auto len = static_cast<std::int32_t>(size - 1);

  const std::string text = VerifyTemplateText(len > 0 ? bytes : nullptr, len);
  if (text.size() != (len > 0 ? EncodedBase64Length(static_cast<std::size_t>(len)) : 0)) std::abort();
  std::vector<std::uint8_t> back;
  if (!Decode(text, back) || back.size() != static_cast<std::size_t>(len) ||
      (len > 0 && std::memcmp(back.data(), bytes, back.size()) != 0))
    std::abort();

  std::string enroll = "R2;1;AA==;";
  const std::string before = enroll;
  const bool appended = AppendEnrollEntry(enroll, index, len > 0 ? bytes : nullptr, len);
  if (appended != (index >= 1 && index <= kFingerCount)) std::abort();
  if (!appended) {
    if (enroll != before) std::abort();
    return 0;
  }
  const std::string expected = before + FingerCode(index) + ";" + std::to_string(len) + ";" + text + ";";
  if (enroll != expected) std::abort();
  return 0;
}
