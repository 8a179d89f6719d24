/* The host header compiles as C and declares what the DLL exports. */
#include "mivex.h"

int mivex_header_compiles(void) {
  void* exports[] = {(void*)&EnCryptData, (void*)&DeCryptData, (void*)&EncryptSha256, (void*)&GetPdtLID,
                     (void*)&GetFPVerifyTempString, (void*)&GetFPVerifyTemp, (void*)&GetFPEnrollTempBySetP,
                     (void*)&GetFPEnrollTempP, (void*)&GetFPEnrollTempBySet, (void*)&GetFPEnrollTemp};
  return (int)(sizeof exports / sizeof exports[0]);
}
