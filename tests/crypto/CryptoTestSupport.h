#pragma once
// Helpers shared by the crypto tests: the registries set up per suite, hex conversion,
// and checks for the exact failure messages.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/Aes.h"
#include "crypto/Quelmarin.h"

namespace mivex::test {

// Every suite starts the framework and AES as the library's start sequence does and
// frees the registries afterwards, so each suite also proves a clean restart.
class CryptoTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    StartCipherFramework();
    StartAES();
  }
  static void TearDownTestSuite() { StopCipherFramework(); }
};

// Hex digits of either case; blanks are skipped.
inline TBytes Hex(const std::string& text) {
  TBytes bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ') continue;
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) throw std::invalid_argument("bad hex in test data: " + text);
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex in test data: " + text);
  return bytes;
}

inline std::string ToHex(const TBytes& bytes, bool upper = false) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

inline TBytes Bytes(const std::string& text) { return TBytes(text.begin(), text.end()); }

inline TBytes Concat(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::int32_t Len(const TBytes& b) { return static_cast<std::int32_t>(b.size()); }

// The message of the std::runtime_error `action` throws; "" when it throws nothing.
template <typename F>
std::string FailureOf(F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::string();
}

}  // namespace mivex::test
