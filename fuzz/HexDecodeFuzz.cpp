// Hex text as DeCryptData reads it: the vector decoder must agree with a plain one on
// every text, refuse exactly the texts with a non-hex character, and the export must
// never read past HexLen characters or write past the plaintext it reports.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/CryptAPI.h"

namespace {

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReferenceDecode(std::string_view text, std::vector<std::uint8_t>& out) {
  out.assign((text.size() + 1) / 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int n = Nibble(text[i]);
    if (n < 0) return false;
    out[i / 2] = static_cast<std::uint8_t>(out[i / 2] | (i % 2 == 0 ? n << 4 : n));
  }
  return true;
}

const char kKey[] = "0123456789abcdef0123456789ABCDEF";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::vector<std::uint8_t> expected;
  const bool valid = ReferenceDecode(text, expected);
  bool decoded = true;
  TBytes got;
  try {
    got = HexToBuffer(text);
  } catch (const std::invalid_argument&) {
    decoded = false;
  }
  if (decoded != valid) std::abort();
  if (valid && (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin())))
    std::abort();
  if (valid && size % 2 == 0 && BufferToHex(got.data(), static_cast<std::int32_t>(got.size())).size() != size)
    std::abort();

  // The export over a NUL-terminated copy, with HexLen up to two past the text.
  const std::string copy(text.substr(0, text.find('\0')));
  for (std::uint32_t hexLen : {static_cast<std::uint32_t>(copy.size()), static_cast<std::uint32_t>(copy.size() + 2)}) {
    std::vector<std::uint8_t> out(hexLen / 2 + 1, 0xA5);
    std::int32_t outLen = -7;
    const std::int32_t rc = DeCryptData(kKey, copy.c_str(), hexLen, out.data(), &outLen);
    if (rc == 0) {
      if (outLen < 0 || static_cast<std::uint32_t>(outLen) > hexLen / 2 || out[hexLen / 2] != 0xA5) std::abort();
    } else if (rc != 1 || outLen != -7) {
      std::abort();
    }
  }
  return 0;
}
