#include "crypto/CryptAPI.h"

#include <gcrypt.h>

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "crypto/CryptoBytes.h"

static_assert(sizeof(bool) == 1, "EncryptSha256 returns a one-byte boolean");

namespace mivex {

namespace {

constexpr char kTransformation[] = "AES/CBC/PKCS#7";
constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kSha256Bytes = 32;

// Two output characters per byte value, so that a byte costs one table read.
constexpr std::array<std::array<char, 2>, 256> MakeHexPairs() {
  constexpr char digits[] = "0123456789ABCDEF";
  std::array<std::array<char, 2>, 256> pairs{};
  for (int i = 0; i < 256; ++i) pairs[static_cast<std::size_t>(i)] = {digits[i >> 4], digits[i & 15]};
  return pairs;
}
constexpr auto kHexPairs = MakeHexPairs();

// Nibble value of a hex digit of either case, -1 for anything else.
constexpr std::array<std::int8_t, 256> MakeNibbles() {
  std::array<std::int8_t, 256> nibbles{};
  for (int i = 0; i < 256; ++i) {
    nibbles[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(i >= '0' && i <= '9'   ? i - '0'
                                                                    : i >= 'A' && i <= 'F' ? i - 'A' + 10
                                                                    : i >= 'a' && i <= 'f' ? i - 'a' + 10
                                                                                           : -1);
  }
  return nibbles;
}
constexpr auto kNibbles = MakeNibbles();

int NibbleOf(char c) { return kNibbles[static_cast<unsigned char>(c)]; }

// Sixteen hex digits at once into eight bytes, in 16-byte vectors (SSE2 on x86-64; the
// compiler falls back to plain code where it has no vector unit). False, writing
// nothing, when any of the sixteen is not a hex digit.
using TVec16 = std::uint8_t __attribute__((vector_size(16)));
using TVec8 = std::uint8_t __attribute__((vector_size(8)));
using TWords8 = std::uint16_t __attribute__((vector_size(16)));

bool DecodeSixteenDigits(const char* in, std::uint8_t* out) {
  TVec16 x;
  std::memcpy(&x, in, sizeof(x));
  const TVec16 zero{};
  // Unsigned wrap-around turns each range test into one comparison.
  const TVec16 digit = (x - (zero + '0')) < (zero + 10);
  const TVec16 letter = ((x | (zero + 0x20)) - (zero + 'a')) < (zero + 6);
  const TVec16 valid = digit | letter;
  std::uint64_t halves[2];
  std::memcpy(halves, &valid, sizeof(halves));
  if ((halves[0] & halves[1]) != ~std::uint64_t{0}) return false;
  // Digits and letters of both cases keep their value (less 9 for letters) in the low nibble.
  const TVec16 nibbles = (x & (zero + 0x0F)) + (letter & (zero + 9));
  // Each 16-bit lane holds one pair: the first character is the high nibble.
  const TWords8 pairs = reinterpret_cast<const TWords8&>(nibbles);
  const TWords8 low8 = TWords8{} + 0xFF;
  const TWords8 joined = std::endian::native == std::endian::little ? ((pairs & low8) << 4) | (pairs >> 8)
                                                                   : ((pairs >> 8) << 4) | (pairs & low8);
  const TVec8 bytes = __builtin_convertvector(joined, TVec8);
  std::memcpy(out, &bytes, sizeof(bytes));
  return true;
}

// Eight bytes into sixteen upper-case hex digits, one 16-bit lane per byte.
void EncodeEightBytes(const std::uint8_t* in, char* out) {
  TVec8 x;
  std::memcpy(&x, in, sizeof(x));
  const TWords8 words = __builtin_convertvector(x, TWords8);
  const TWords8 zero{};
  const TWords8 high = words >> 4;
  const TWords8 low = words & (zero + 0x0F);
  // '0' + n, and 7 more for 'A'..'F' (comparisons give all-ones lanes).
  const TWords8 highDigit = high + (zero + '0') + ((high > (zero + 9)) & (zero + 7));
  const TWords8 lowDigit = low + (zero + '0') + ((low > (zero + 9)) & (zero + 7));
  const TWords8 chars = std::endian::native == std::endian::little ? (highDigit | (lowDigit << 8))
                                                                  : ((highDigit << 8) | lowDigit);
  std::memcpy(out, &chars, sizeof(chars));
}

// The first 32 bytes of a key text, read no further than its NUL; fewer than 32 bytes
// before the NUL is a refusal.
std::string KeyOf(const char* keyText) {
  if (keyText == nullptr) throw std::invalid_argument("key text absent");
  return std::string(keyText, strnlen(keyText, kKeyBytes));
}

// A SHA-256 hash object of the crypto library, closed with its owner.
class TSha256 {
 public:
  TSha256() {
    if (gcry_md_open(&hd_, GCRY_MD_SHA256, 0) != 0) throw std::runtime_error("SHA-256 not available");
  }
  ~TSha256() { gcry_md_close(hd_); }
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Update(const std::uint8_t* data, std::size_t length) { gcry_md_write(hd_, data, length); }
  const std::uint8_t* Finish() {
    const unsigned char* digest = gcry_md_read(hd_, GCRY_MD_SHA256);
    if (digest == nullptr) throw std::runtime_error("SHA-256 failed");
    return digest;
  }

 private:
  gcry_md_hd_t hd_ = nullptr;
};

}  // namespace

TBytes AESCryptBuffer(const std::string& keyText, bool decrypt, const std::uint8_t* input, std::int32_t inputLen) {
  if (keyText.size() < kKeyBytes) throw std::invalid_argument("key text shorter than 32 bytes");
  std::unique_ptr<TCipher> cipher = TCipher::GetInstance(kTransformation, QuelmarinProvider);
  if (!cipher) throw std::runtime_error("AES not registered");
  TRawSecretKey key("AES", reinterpret_cast<const std::uint8_t*>(keyText.data()), 0, kKeyBytes);
  if (decrypt)
    cipher->InitDecrypt(&key);
  else
    cipher->InitEncrypt(&key);
  return cipher->DoFinal(input, 0, inputLen);
}

void WriteHex(const std::uint8_t* bytes, std::size_t count, char* out) {
  const std::uint8_t* end = bytes + count;
  for (; end - bytes >= 8; bytes += 8, out += 16) EncodeEightBytes(bytes, out);
  for (; bytes != end; ++bytes, out += 2) std::memcpy(out, kHexPairs[*bytes].data(), 2);
}

std::string BufferToHex(const std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0) return std::string();
  std::string text(2 * static_cast<std::size_t>(count), '\0');
  WriteHex(bytes, static_cast<std::size_t>(count), text.data());
  return text;
}

TBytes HexToBuffer(std::string_view text) {
  TBytes bytes((text.size() + 1) / 2);
  const std::size_t pairs = text.size() / 2;
  // Local pointers: stores through a byte pointer could alias the vector's own fields.
  std::uint8_t* out = bytes.data();
  const char* in = text.data();
  std::size_t i = 0;
  for (; i + 8 <= pairs; i += 8)
    if (!DecodeSixteenDigits(in + 2 * i, out + i)) throw std::invalid_argument("not a hex digit");
  for (; i < pairs; ++i) {
    const int high = NibbleOf(in[2 * i]);
    const int low = NibbleOf(in[2 * i + 1]);
    if ((high | low) < 0) throw std::invalid_argument("not a hex digit");
    out[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  if (text.size() % 2 != 0) {
    const int high = NibbleOf(text.back());
    if (high < 0) throw std::invalid_argument("not a hex digit");
    bytes[pairs] = static_cast<std::uint8_t>(high << 4);
  }
  return bytes;
}

}  // namespace mivex

using namespace mivex;

MIVEX_EXPORT std::int32_t MIVEX_STDCALL EnCryptData(const char* KeyText, const std::uint8_t* Data, std::int32_t DataLen,
                                                    char* OutHex, std::int32_t* OutLen) {
  try {
    if (OutHex == nullptr || OutLen == nullptr) return 2;
    std::string key = KeyOf(KeyText);
    TBytes cipher = AESCryptBuffer(key, false, Data, DataLen);
    WipeBytes(key.data(), key.size());
    if (cipher.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) return 2;
    const auto hexLen = static_cast<std::int32_t>(2 * cipher.size());
    // Nothing can fail from here on: the caller's buffers are written only on success.
    *OutLen = hexLen;
    WriteHex(cipher.data(), cipher.size(), OutHex);
    OutHex[hexLen] = '\0';
    return 0;
  } catch (...) {
    return 2;
  }
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL DeCryptData(const char* KeyText, const char* HexText, std::uint32_t HexLen,
                                                    std::uint8_t* OutData, std::int32_t* OutLen) {
  try {
    if (HexText == nullptr || OutData == nullptr || OutLen == nullptr) return 1;
    // The text must hold HexLen characters before its NUL, all of them hex digits.
    const std::size_t digits = HexLen;
    if (strnlen(HexText, digits) < digits) return 1;
    const std::size_t byteCount = digits / 2;
    if (digits % 2 != 0 && NibbleOf(HexText[digits - 1]) < 0) return 1;
    TBytes cipher = HexToBuffer(std::string_view(HexText, 2 * byteCount));
    std::string key = KeyOf(KeyText);
    TBytes plain = AESCryptBuffer(key, true, cipher.data(), static_cast<std::int32_t>(byteCount));
    WipeBytes(key.data(), key.size());
    *OutLen = static_cast<std::int32_t>(plain.size());
    if (!plain.empty()) std::memcpy(OutData, plain.data(), plain.size());
    WipeBytes(plain.data(), plain.size());
    return 0;
  } catch (...) {
    return 1;
  }
}

MIVEX_EXPORT bool MIVEX_STDCALL EncryptSha256(const std::uint8_t* Data, std::int32_t DataLen, char* OutHex) {
  try {
    if (OutHex == nullptr || DataLen < 0 || (Data == nullptr && DataLen > 0)) return false;
    TSha256 hash;
    hash.Update(Data, static_cast<std::size_t>(DataLen));
    WriteHex(hash.Finish(), kSha256Bytes, OutHex);
    OutHex[2 * kSha256Bytes] = '\0';
    return true;
  } catch (...) {
    return false;
  }
}
