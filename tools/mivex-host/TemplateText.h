#pragma once
// Reading the template strings the library returns, as a host's server does.
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::host {

// One entry of an enrollment template string: "code;length;base64;".
struct TemplateEntry {
  std::string code;
  int length = 0;
  std::string text;
};

// The entries of an enrollment template string; empty when it is malformed.
std::vector<TemplateEntry> ParseEnrollString(const std::string& s);

// The bytes of Base64 text whose lines end in CR LF; empty on a character outside
// the alphabet.
std::vector<std::uint8_t> DecodeBase64(const std::string& text);

}  // namespace mivex::host
