#pragma once
// CryptAPI: the exported data-encryption functions. EnCryptData and DeCryptData run
// "AES/CBC/PKCS#7" (zero IV, the first 32 bytes of the key text as the key) and trade the
// ciphertext as hex text; EncryptSha256 writes a SHA-256 digest as hex text. Every call
// builds and frees its own objects; a failing call writes nothing to the caller's buffers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Stdcall.h"
#include "crypto/Quelmarin.h"

namespace mivex {

// One DoFinal of "AES/CBC/PKCS#7" over input[0, inputLen), keyed with the first 32 bytes
// of keyText (shorter key texts are refused). Throws on any failure.
TBytes AESCryptBuffer(const std::string& keyText, bool decrypt, const std::uint8_t* input, std::int32_t inputLen);

// Upper-case hex, high nibble first: 2 × count characters.
std::string BufferToHex(const std::uint8_t* bytes, std::int32_t count);
// Writes the same 2 × count characters to out (no terminator).
void WriteHex(const std::uint8_t* bytes, std::size_t count, char* out);

// Decodes pairs of hex digits (either letter case); an odd last digit is the high nibble
// of a last byte. Throws std::invalid_argument on any other character.
TBytes HexToBuffer(std::string_view text);

}  // namespace mivex

// KeyText: NUL-terminated, at least 32 bytes. OutHex receives 32 × (DataLen / 16 + 1)
// hex characters and a NUL; *OutLen their count. 0 success, 2 failure.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL EnCryptData(const char* KeyText, const std::uint8_t* Data, std::int32_t DataLen,
                                                    char* OutHex, std::int32_t* OutLen);

// Decrypts the first HexLen / 2 bytes that HexText's first HexLen hex digits encode.
// OutData receives the plaintext (no terminator), *OutLen its length. 0 success, 1 failure
// (including a HexLen beyond the text and non-hex characters among the first HexLen).
MIVEX_EXPORT std::int32_t MIVEX_STDCALL DeCryptData(const char* KeyText, const char* HexText, std::uint32_t HexLen,
                                                    std::uint8_t* OutData, std::int32_t* OutLen);

// Writes the 64 upper-case hex characters of the SHA-256 digest of Data and a NUL to
// OutHex (65 bytes). True; false only when it cannot run (absent buffers, negative
// DataLen, exhausted resources), and then OutHex is left alone.
MIVEX_EXPORT bool MIVEX_STDCALL EncryptSha256(const std::uint8_t* Data, std::int32_t DataLen, char* OutHex);
