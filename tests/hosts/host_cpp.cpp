// A MinGW C++ host written against the header-only wrapper: crypto results against
// known answers made with openssl (see host_checks.c), a verification through the
// simulated sensor, and the library's string owned and released by LibraryString.
#include <cstdio>
#include <string>

#include "mivex.hpp"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("mingw-c++: %s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

const std::string kKey = "0123456789abcdef0123456789ABCDEF";
const std::string kPlain("Mivex\0host\n", 11);

}  // namespace

int main() {
  auto digest = mivex::Sha256Hex("abc");
  Check(digest && *digest == "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
        "Sha256Hex(\"abc\") is the published digest");

  auto cipher = mivex::Encrypt(kKey, kPlain);
  Check(cipher && *cipher == "4B13EEA710D9216505CD1F667E31B068", "Encrypt gives openssl's ciphertext");
  auto plain = mivex::Decrypt(kKey, cipher ? *cipher : std::string());
  Check(plain && *plain == kPlain, "Decrypt restores the bytes, NUL included");

  auto wrong = mivex::Decrypt(kKey, "");
  Check(!wrong && wrong.error().code == 1, "Decrypt of nothing is error 1");
  auto short_key = mivex::Encrypt("short", kPlain);
  Check(!short_key && short_key.error().code == 2, "Encrypt with a key text under 32 bytes is error 2");

  auto verified = mivex::VerifyTemplate();
  Check(verified && !verified->empty(), "VerifyTemplate returns the template text");

  {
    mivex::LibraryString held;
    int code = GetFPVerifyTempString(held.address());
    Check(code == 0 && held.get() != nullptr, "GetFPVerifyTempString into a LibraryString");
    Check(held.code_page() == 0 && held.element_size() == 1 && held.references() == 1,
          "the string has code page 0, element size 1 and one reference");
    Check(held.length() == static_cast<std::int32_t>(std::char_traits<char>::length(held.get())),
          "its length is the text up to its NUL");
    held.reset();
    Check(held.get() == nullptr, "reset releases it through GetPdtLID");
  }

  std::printf(failures ? "mingw-c++: FAILED\n" : "mingw-c++: all checks passed\n");
  return failures ? 1 : 0;
}
