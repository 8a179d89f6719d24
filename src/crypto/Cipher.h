#pragma once
// The basic cipher facade (unit Cipher): one call encrypts or decrypts a whole block of
// bytes. TBasicCipher and its two DES stand-ins copy the input; TQuelmarinDES builds a
// DES-CBC container that carries its own wrapped session key; TQuelmarinRSA builds a
// signed RSA and triple-DES container.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Component.h"
#include "crypto/Quelmarin.h"

namespace mivex {

class TBasicCipher : public TObject {
 public:
  TBasicCipher() = default;
  ~TBasicCipher() override = default;

  // Both hand out a new buffer in `out` and return a result code (0 success). The base
  // class copies the input unchanged; Decrypt does so through Encrypt.
  virtual std::int32_t Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out);
  virtual std::int32_t Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out);

  // Bytes between woven key bytes in the container (16 for TQuelmarinDES, else 0).
  std::int32_t InterleaveStep() const { return FInterleaveStep; }

 protected:
  std::int32_t FInterleaveStep = 0;
};

class TCryptoLibDES : public TBasicCipher {};

class TCryptoApiDES : public TBasicCipher {};

// Container: the DES-CBC/PKCS#7 body under a fresh 8-byte session key, with the session
// key (DES-CBC/PKCS#7 under the master key "vostmelk", 16 bytes) woven in at step 16.
// Failures of the framework or of the buffer pass to the caller as exceptions.
class TQuelmarinDES : public TBasicCipher {
 public:
  TQuelmarinDES();
  std::int32_t Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) override;
  std::int32_t Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) override;
};

// Container (lengths big-endian): signature length (2 bytes), "MD5/RSA/PKCS#1" signature
// of the plaintext, wrapped-key length (2), the 24-byte session key under "RSA/ECB/PKCS#7"
// with the default public key, body length (4), the "DES-EDE3/CBC/PKCS#7" body.
// Results: 0 success; Encrypt 1 on any failure; Decrypt 2 on any failure (including length
// fields that claim more bytes than the container holds) and 3 when the signature does
// not match, in which case the plaintext is handed out all the same.
class TQuelmarinRSA : public TBasicCipher {
 public:
  std::int32_t Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) override;
  std::int32_t Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) override;
};

// The class list: StartCipherFacade enters the five classes under their class names
// ("TBasicCipher", "TCryptoLibDES", "TCryptoApiDES", "TQuelmarinDES", "TQuelmarinRSA");
// StopCipherFacade releases it. CreateBasicCipher makes an object of a listed class
// (names compare without regard to case), nullptr for any other name.
void StartCipherFacade();
void StopCipherFacade();
std::unique_ptr<TBasicCipher> CreateBasicCipher(std::string_view className);

}  // namespace mivex
