/*
 * mivex.h - the exported functions of Mivex.dll for host programs (C and C++).
 *
 * Mivex.dll is a 32-bit Windows library. Every function uses the stdcall convention and
 * is exported undecorated under the names and ordinals below. Link with the import
 * library libMivex.dll.a (MinGW) or Mivex.lib (Microsoft's linker, lld-link), which map
 * the decorated names compilers use (_EnCryptData@20) to the exported ones; Mivex.def
 * lists them for other tools. Or look the functions up by name with GetProcAddress.
 * docs/integration.md is the integration guide.
 *
 * Template functions. Each call runs one complete modal dialog on the calling thread,
 * which must be able to own windows; the call returns when the dialog has closed.
 * Result codes:
 *   0    success: the template string was delivered
 *   404  refused: a dialog of the library (any top-level window of class "TForm"
 *        captioned "PX-DAV316", also of another process) is open - it is brought to the
 *        front; or an enrollment dialog ended without success. Of guarded calls made
 *        at the same moment (from threads of one process, or from processes of one
 *        session) exactly one opens its dialog; the others are refused at once.
 *   504  no template: the dialog ended with an empty template string; for verification
 *        also a cancelled or failed dialog
 * No failure crosses the boundary: an unexpected failure inside the library ends an
 * enrollment call with 404 and a verification call with 504. A null TemplateBuf is
 * refused the same way without opening a dialog.
 *
 * Counted strings (MIVEX_COUNTED): a pointer to the first 8-bit character, with the
 * signed 32-bit length in the 4 bytes before it and a signed 32-bit reference count in
 * the 4 bytes before that (-1 for a constant that is never freed), and a NUL after the
 * last character. A null pointer is the empty string. Arguments are read through the
 * stored length. A counted-string variable (MIVEX_COUNTED_VAR) holds null or a string of
 * this library; the library releases what it holds before writing to it. Strings the
 * library hands out have 4 more bytes in front of the count: a 16-bit code page (0, the
 * ANSI code page) and a 16-bit element size (1), as Free Pascal 3 and Delphi 2009+
 * AnsiStrings have. Copy the text out and release the string with GetPdtLID; never let
 * a host runtime (a Pascal AnsiString variable, free()) release it.
 *
 * Enrollment strings: one entry per finger finished in the dialog, each being the
 * finger code ("L1".."L5", "R1".."R5"), ";", the template's byte length in decimal,
 * ";", the template in Base64 with CR LF after every 76 characters, ";".
 * Verification strings: the template in the same Base64 text alone.
 * TemplateBuf must hold the whole string plus one NUL.
 *
 * Libraries: Mivex.dll loads the feature engine Vandrel.dll and the sensor library
 * Ostrela.dll on the first call of any function, looking for each only in
 *   1. the folder of Mivex.dll itself,
 *   2. the folder of the host program,
 *   3. the Windows system folder,
 * and never in the current folder or along PATH (a host running elevated must not load
 * code that another user placed there). Keep the three DLLs together in one folder.
 *
 * Picture files: the dialogs write sample pictures into C:\FPtemp. Links there
 * (symbolic links, junctions) are removed themselves, never followed: nothing outside
 * the folder is deleted or written. A link at a picture's name that cannot be removed
 * on its own refuses that picture; a C:\FPtemp that is itself such a link gets no
 * pictures.
 *
 * Data protection functions: AES-256 in CBC mode (IV of 16 zero bytes, PKCS#7 padding)
 * with the first 32 bytes of KeyText as the key, exchanging upper-case hex text (either
 * case is accepted on input); SHA-256 as 64 upper-case hex characters. They open no
 * window. A key text shorter than 32 bytes is refused.
 */
#ifndef MIVEX_H
#define MIVEX_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define MIVEX_API __declspec(dllimport) int __stdcall
#define MIVEX_API_VOID __declspec(dllimport) void __stdcall
#define MIVEX_API_BOOL __declspec(dllimport) unsigned char __stdcall
#else
#define MIVEX_API int
#define MIVEX_API_VOID void
#define MIVEX_API_BOOL unsigned char
#endif

typedef const char* MIVEX_COUNTED;
typedef const char** MIVEX_COUNTED_VAR;

/* 1: encrypts DataLen bytes; OutHex receives the hex text and a NUL and must hold
 *    32 * (DataLen / 16 + 1) + 1 bytes; *OutLen the number of hex characters.
 *    0 on success, 2 on failure (buffers untouched). */
MIVEX_API EnCryptData(const char* KeyText, const unsigned char* Data, int DataLen, char* OutHex, int* OutLen);
/* 2: decrypts the first HexLen hex characters; OutData receives the bytes (no NUL) and
 *    must hold HexLen / 2 bytes; *OutLen their number. 0 on success, 1 on failure
 *    (HexLen / 2 not a positive multiple of 16, a HexLen beyond the text, a character
 *    that is not a hex digit, a last plaintext byte above 16; buffers untouched).
 *    The padding is NOT checked as PKCS#7 demands: only its count byte, the last
 *    plaintext byte, is read, and that many bytes are dropped (0 drops none); the
 *    bytes before it are not compared. This is kept on purpose, so that data stored by
 *    earlier versions still decrypts. It also means a wrong key is detected only when
 *    that last byte comes out above 16: DeCryptData is no integrity check. */
MIVEX_API DeCryptData(const char* KeyText, const char* HexText, unsigned int HexLen, unsigned char* OutData,
                      int* OutLen);
/* 3: writes the 64 hex characters of the SHA-256 digest and a NUL (OutHex: 65 bytes)
 *    and returns true. Returns false, writing nothing, for a null OutHex, a negative
 *    DataLen or a null Data with a positive DataLen (a null Data with DataLen 0 is the
 *    empty message). */
MIVEX_API_BOOL EncryptSha256(const unsigned char* Data, int DataLen, char* OutHex);
/* 4: releases the string Output holds and leaves it null; Input has no effect. */
MIVEX_API_VOID GetPdtLID(MIVEX_COUNTED_VAR Output, MIVEX_COUNTED Input);
/* 5: verification; on success TemplateVar holds a new library string with one
 *    reference; after any other outcome it is null. Release it with GetPdtLID. */
MIVEX_API GetFPVerifyTempString(MIVEX_COUNTED_VAR TemplateVar);
/* 6: verification into a caller buffer. */
MIVEX_API GetFPVerifyTemp(char* TemplateBuf);
/* 7: enrollment with a preset finger order; plain NUL-terminated texts, kept as given. */
MIVEX_API GetFPEnrollTempBySetP(const char* UserID, const char* EnrolledFinger, const char* FingerCodes,
                                const char* FingerSequence, int Minimum, int Maximum, char* TemplateBuf);
/* 8: enrollment; plain NUL-terminated texts, kept as given. */
MIVEX_API GetFPEnrollTempP(const char* UserID, const char* EnrolledFinger, const char* FingerCodes, int Minimum,
                           int Maximum, char* TemplateBuf);
/* 9: enrollment with a preset finger order; counted strings, characters 0x00..0x20
 *    trimmed from both ends; refused with 404 while a dialog is open. */
MIVEX_API GetFPEnrollTempBySet(MIVEX_COUNTED UserID, MIVEX_COUNTED EnrolledFinger, MIVEX_COUNTED FingerCodes,
                               MIVEX_COUNTED FingerSequence, int Minimum, int Maximum, char* TemplateBuf);
/* 10: enrollment; counted strings, trimmed; refused with 404 while a dialog is open.
 *     UserID: shown in the dialog. EnrolledFinger: the codes the user already has,
 *     written together (e.g. "L1R3"); non-empty means an update enrollment.
 *     FingerCodes: the selectable fingers (every code found in the text; empty: all).
 *     Minimum: least fingers before Finish (below 1: 1; above the selectable or above
 *     Maximum: that number). Maximum: most fingers (outside 1..10: 10). UserID may be
 *     of any length; the dialog's box shows its first 256 bytes. */
MIVEX_API GetFPEnrollTemp(MIVEX_COUNTED UserID, MIVEX_COUNTED EnrolledFinger, MIVEX_COUNTED FingerCodes,
                          int Minimum, int Maximum, char* TemplateBuf);

#ifdef __cplusplus
}
#endif

#endif /* MIVEX_H */
