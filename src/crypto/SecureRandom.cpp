#include "crypto/SecureRandom.h"

#include <gcrypt.h>

#include <vector>

#include "crypto/CryptoBytes.h"

namespace mivex {

void SecureRandomBytes(std::uint8_t* data, std::size_t count) {
  if (count > 0) gcry_randomize(data, count, GCRY_STRONG_RANDOM);
}

TInteger SecureRandomInteger(std::int32_t bits) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>((bits + 7) / 8));
  SecureRandomBytes(bytes.data(), bytes.size());
  if (bits % 8 != 0) bytes[0] &= static_cast<std::uint8_t>((1u << (bits % 8)) - 1);
  TInteger x;
  x.SetBytes(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  WipeBytes(bytes.data(), bytes.size());
  return x;
}

}  // namespace mivex
