// Makes an RSA key pair with the library's own generator and prints its two key records
// as C++ array initialisers, the form in which the default key pair of the cipher facade
// is kept in the source. Usage: rsa-keyrecord [bits]  (1024 by default).
//
// For the default pair the numbers must also have the lengths the container format
// expects: e of 80 bits, n of `bits`, d of bits - 1, p, q and u of bits / 2; pairs are made
// until one has them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "crypto/Integers.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"

namespace {

void PrintRecord(const char* name, const mivex::TBytes& record) {
  std::printf("constexpr std::uint8_t %s[%zu] = {", name, record.size());
  for (std::size_t i = 0; i < record.size(); ++i)
    std::printf("%s0x%02x%s", i % 12 == 0 ? "\n    " : " ", record[i], i + 1 < record.size() ? "," : "");
  std::printf("};\n");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mivex;
  const int bits = argc > 1 ? std::atoi(argv[1]) : 1024;
  StartCipherFramework();
  StartIntegers();
  StartRSA();
  TBaseRSAKeyPairGenerator generator;
  generator.Initialize(bits);
  for (int attempt = 1;; ++attempt) {
    auto pair = generator.GenerateKeyPair();
    const auto& pub = static_cast<const TBaseRSAPublicKey&>(*pair->PublicKey());
    const auto& priv = static_cast<const TBaseRSAPrivateKey&>(*pair->PrivateKey());
    if (pub.E().BitSize() != 80 || pub.N().BitSize() != bits || priv.D().BitSize() != bits - 1 ||
        priv.P().BitSize() != bits / 2 || priv.Q().BitSize() != bits - bits / 2 || priv.U().BitSize() != bits / 2)
      continue;
    std::printf("// Made by tools/rsa-keyrecord after %d attempt(s).\n", attempt);
    PrintRecord("kPublicRecord", pub.GetEncoded());
    PrintRecord("kPrivateRecord", priv.GetEncoded());
    break;
  }
  StopIntegers();
  StopCipherFramework();
  return 0;
}
