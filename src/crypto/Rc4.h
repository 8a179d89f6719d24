#pragma once
// TRC4: the RC4 stream cipher; one-byte blocks, the same transform in both directions.
#include <array>

#include "crypto/Quelmarin.h"

namespace mivex {

class TRC4 : public TCipher {
 public:
  using TCipher::TCipher;
  ~TRC4() override;

  static std::string ClassAlgorithm() { return "RC4"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }

 protected:
  // The key schedule over all key bytes ("<key algorithm>: Null user key" for none).
  void EngineInitEncrypt(const TKey& key) override { Schedule(key); }
  void EngineInitDecrypt(const TKey& key) override { Schedule(key); }
  // XORs the key stream over the input, continuing the stream across calls.
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  std::int32_t EngineBlockSize() override { return 1; }

 private:
  void Schedule(const TKey& key);
  std::array<std::uint8_t, 256> s_{};
  std::uint8_t x_ = 0;
  std::uint8_t y_ = 0;
  bool keyed_ = false;
};

}  // namespace mivex
