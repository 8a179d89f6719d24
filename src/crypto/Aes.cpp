#include "crypto/Aes.h"

#include <gcrypt.h>

#include <stdexcept>

#include "crypto/CryptoBytes.h"

namespace mivex {

namespace {
constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kBlockBytes = 16;
}  // namespace

// The library's cipher handle, closed (and its key schedule wiped) with the object.
struct TAES::THandle {
  gcry_cipher_hd_t hd = nullptr;
  THandle() {
    if (gcry_cipher_open(&hd, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_ECB, 0) != 0)
      throw std::runtime_error("AES: cipher not available");
  }
  ~THandle() { gcry_cipher_close(hd); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
};

TAES::TAES(bool unbuffered) : TCipher(unbuffered) {}

TAES::~TAES() = default;

void TAES::SetKey(const TKey& key) {
  TBytes bytes = key.GetEncoded();
  if (bytes.size() < kKeyBytes) {
    WipeBytes(bytes.data(), bytes.size());
    throw std::runtime_error("AES: Invalid key length");
  }
  if (!handle_) handle_ = std::make_unique<THandle>();
  const gcry_error_t error = gcry_cipher_setkey(handle_->hd, bytes.data(), kKeyBytes);
  WipeBytes(bytes.data(), bytes.size());
  if (error != 0) throw std::runtime_error("AES: Invalid key length");
}

void TAES::EngineInitEncrypt(const TKey& key) { SetKey(key); }

void TAES::EngineInitDecrypt(const TKey& key) { SetKey(key); }

std::int32_t TAES::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                                std::int32_t outOffset) {
  if (inLen < 0) throw std::runtime_error("inLen < 0");
  if (!handle_) throw std::runtime_error("AES: Cipher not initialized");
  const std::size_t length = static_cast<std::size_t>(inLen) / kBlockBytes * kBlockBytes;
  if (length == 0) return 0;
  const std::uint8_t* src = in + inOffset;
  std::uint8_t* dst = out + outOffset;
  // The library takes an absent input as "in place".
  const void* source = src == dst ? nullptr : src;
  const std::size_t sourceLength = src == dst ? 0 : length;
  const gcry_error_t error = State() == TCipherState::Encrypt
                                 ? gcry_cipher_encrypt(handle_->hd, dst, length, source, sourceLength)
                                 : gcry_cipher_decrypt(handle_->hd, dst, length, source, sourceLength);
  if (error != 0) throw std::runtime_error("AES: block transform failed");
  return static_cast<std::int32_t>(length);
}

void StartAES() { RegisterCipherClass<TAES>(); }

}  // namespace mivex
