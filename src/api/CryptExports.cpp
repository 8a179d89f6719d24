// The data-encryption exports as the DLL exports them: the library's start sequence
// (which fills the cipher registries) runs first, then the functions of the crypto unit.
#include <cstdint>

#include "api/Library.h"
#include "base/Stdcall.h"
#include "crypto/CryptAPI.h"

MIVEX_EXPORT std::int32_t MIVEX_STDCALL DllEnCryptData(const char* KeyText, const std::uint8_t* Data,
                                                       std::int32_t DataLen, char* OutHex, std::int32_t* OutLen) {
  try {
    mivex::EnsureLibraryStarted();
  } catch (...) {
    return 2;
  }
  return EnCryptData(KeyText, Data, DataLen, OutHex, OutLen);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL DllDeCryptData(const char* KeyText, const char* HexText, std::uint32_t HexLen,
                                                       std::uint8_t* OutData, std::int32_t* OutLen) {
  try {
    mivex::EnsureLibraryStarted();
  } catch (...) {
    return 1;
  }
  return DeCryptData(KeyText, HexText, HexLen, OutData, OutLen);
}

MIVEX_EXPORT bool MIVEX_STDCALL DllEncryptSha256(const std::uint8_t* Data, std::int32_t DataLen, char* OutHex) {
  try {
    mivex::EnsureLibraryStarted();
  } catch (...) {
  }
  return EncryptSha256(Data, DataLen, OutHex);
}
