#pragma once
// Unpredictable bytes for keys: session keys of the cipher facade and the random start
// values of RSA key generation. They come from the crypto library's strong generator,
// never from the seeded generator of unit Integers.
#include <cstddef>
#include <cstdint>

#include "crypto/Integers.h"

namespace mivex {

void SecureRandomBytes(std::uint8_t* data, std::size_t count);

// A random non-negative number of at most `bits` bits.
TInteger SecureRandomInteger(std::int32_t bits);

}  // namespace mivex
