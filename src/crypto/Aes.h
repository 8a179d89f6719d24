#pragma once
// TAES: AES with 256-bit keys (FIPS-197), 16-byte blocks. The block transform is the
// crypto library's, driven in ECB mode over whole blocks.
#include <memory>

#include "crypto/Quelmarin.h"

namespace mivex {

class TAES : public TCipher {
 public:
  explicit TAES(bool unbuffered);
  ~TAES() override;

  static std::string ClassAlgorithm() { return "AES"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }

 protected:
  // Both key schedules take the first 32 bytes of the key; shorter keys are refused
  // ("AES: Invalid key length").
  void EngineInitEncrypt(const TKey& key) override;
  void EngineInitDecrypt(const TKey& key) override;
  // Encrypts in the encrypt state, decrypts otherwise; inLen / 16 whole blocks.
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  std::int32_t EngineBlockSize() override { return 16; }

 private:
  void SetKey(const TKey& key);
  struct THandle;
  std::unique_ptr<THandle> handle_;
};

// Start-up of the AES unit: enters "AES" in the cipher registry. Call after
// StartCipherFramework.
void StartAES();

}  // namespace mivex
