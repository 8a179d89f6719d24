#pragma once
// TDes_EDE3: triple DES (SP 800-67 TDEA) with three independent keys K1, K2, K3 taken
// from bytes 0-7, 8-15 and 16-23 of a 24-byte key: encrypt-decrypt-encrypt.
#include <array>
#include <memory>

#include "crypto/Des.h"

namespace mivex {

class TDes_EDE3 : public TCipher {
 public:
  using TCipher::TCipher;

  static std::string ClassAlgorithm() { return "DES-EDE3"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }

 protected:
  // Both make the three inner DES objects afresh ("DES-EDE3: Invalid key length" for
  // keys under 24 bytes).
  void EngineInitEncrypt(const TKey& key) override;
  void EngineInitDecrypt(const TKey& key) override;
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  std::int32_t EngineBlockSize() override { return 8; }

 private:
  void TakeKey(const TKey& key);
  std::array<std::unique_ptr<TDes>, 3> des_;
};

}  // namespace mivex
