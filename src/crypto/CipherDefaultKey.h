#pragma once
// The default 1024-bit RSA key pair of TQuelmarinRSA, kept in the library as key records
// (e of 80 bits and n of 1024; d of 1023 bits, p, q and u of 512 bits each).
#include <memory>

#include "crypto/QuelmarinRSA.h"

namespace mivex {

std::unique_ptr<TRawRSAPublicKey> DefaultRSAPublicKey();
std::unique_ptr<TRawRSAPrivateKey> DefaultRSAPrivateKey();

}  // namespace mivex
