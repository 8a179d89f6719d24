#include "crypto/Rc4.h"

#include <stdexcept>
#include <utility>

#include "crypto/CryptoBytes.h"

namespace mivex {

TRC4::~TRC4() { WipeBytes(s_.data(), s_.size()); }

void TRC4::Schedule(const TKey& key) {
  TBytes bytes = key.GetEncoded();
  if (bytes.empty()) throw std::runtime_error(key.GetAlgorithm() + ": Null user key");
  for (std::size_t i = 0; i < 256; ++i) s_[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s_[i] + bytes[i % bytes.size()]);
    std::swap(s_[i], s_[j]);
  }
  WipeBytes(bytes.data(), bytes.size());
  x_ = 0;
  y_ = 0;
  keyed_ = true;
}

std::int32_t TRC4::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                                std::int32_t outOffset) {
  if (inLen < 0) throw std::runtime_error("inLen < 0");
  if (!keyed_) throw std::runtime_error("RC4: Cipher not initialized");
  for (std::int32_t i = 0; i < inLen; ++i) {
    x_ = static_cast<std::uint8_t>(x_ + 1);
    y_ = static_cast<std::uint8_t>(y_ + s_[x_]);
    std::swap(s_[x_], s_[y_]);
    out[outOffset + i] = static_cast<std::uint8_t>(in[inOffset + i] ^ s_[static_cast<std::uint8_t>(s_[x_] + s_[y_])]);
  }
  return inLen;
}

}  // namespace mivex
