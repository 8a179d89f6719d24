#include "crypto/DesEde3.h"

#include <stdexcept>

#include "crypto/CryptoBytes.h"

namespace mivex {

void TDes_EDE3::TakeKey(const TKey& key) {
  TBytes bytes = key.GetEncoded();
  if (bytes.size() < 24) {
    WipeBytes(bytes.data(), bytes.size());
    throw std::runtime_error("DES-EDE3: Invalid key length");
  }
  for (std::size_t i = 0; i < des_.size(); ++i) {
    des_[i] = std::make_unique<TDes>(true);
    des_[i]->SetKey(bytes.data() + 8 * i);
  }
  WipeBytes(bytes.data(), bytes.size());
}

void TDes_EDE3::EngineInitEncrypt(const TKey& key) { TakeKey(key); }

void TDes_EDE3::EngineInitDecrypt(const TKey& key) { TakeKey(key); }

std::int32_t TDes_EDE3::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen,
                                     std::uint8_t* out, std::int32_t outOffset) {
  if (inLen < 0) throw std::runtime_error("inLen < 0");
  if (!des_[0]) throw std::runtime_error("DES-EDE3: Cipher not initialized");
  const bool encrypt = State() == TCipherState::Encrypt;
  const std::int32_t length = inLen / 8 * 8;
  for (std::int32_t at = 0; at < length; at += 8) {
    std::uint8_t* block = out + outOffset + at;
    if (encrypt) {
      des_[0]->EncryptBlock(in + inOffset + at, block);
      des_[1]->DecryptBlock(block, block);
      des_[2]->EncryptBlock(block, block);
    } else {
      des_[2]->DecryptBlock(in + inOffset + at, block);
      des_[1]->EncryptBlock(block, block);
      des_[0]->DecryptBlock(block, block);
    }
  }
  return length;
}

}  // namespace mivex
