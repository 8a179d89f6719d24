#pragma once
// TDes: the Data Encryption Standard (FIPS 46-3), 8-byte blocks, 8-byte keys whose parity
// bits are ignored.
#include <array>

#include "crypto/Quelmarin.h"

namespace mivex {

class TDes : public TCipher {
 public:
  // Builds the permutation and substitution tables of this object from their text form.
  explicit TDes(bool unbuffered);
  ~TDes() override;

  static std::string ClassAlgorithm() { return "DES"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }

  // Direct block access for the triple cipher: the key schedule from 8 key bytes and the
  // transform of one 8-byte block (in and out may be the same).
  void SetKey(const std::uint8_t* key);
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const { Crypt(in, out, false); }
  void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const { Crypt(in, out, true); }

 protected:
  // Both take the first 8 key bytes ("DES: Invalid key length" for fewer).
  void EngineInitEncrypt(const TKey& key) override;
  void EngineInitDecrypt(const TKey& key) override;
  // Encrypts in the encrypt state, decrypts otherwise; inLen / 8 whole blocks.
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  std::int32_t EngineBlockSize() override { return 8; }

 private:
  void Crypt(const std::uint8_t* in, std::uint8_t* out, bool decrypt) const;
  void TakeKey(const TKey& key);

  std::array<std::uint8_t, 64> initial_{};
  std::array<std::uint8_t, 64> final_{};
  std::array<std::uint8_t, 48> expansion_{};
  std::array<std::uint8_t, 56> choice1_{};
  std::array<std::uint8_t, 48> choice2_{};
  std::array<std::uint8_t, 16> shifts_{};
  // The eight S-boxes with the permutation P applied to their outputs.
  std::array<std::array<std::uint32_t, 64>, 8> spBox_{};
  std::array<std::uint64_t, 16> subkeys_{};
  bool keyed_ = false;
};

}  // namespace mivex
