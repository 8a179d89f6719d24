#include "host_checks.h"

#include "mivex.h"

__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size, unsigned long* written,
                                              void* overlapped);

/* Known answers made with openssl:
 *   printf 'Mivex\0host\n' | openssl enc -aes-256-cbc -K <hex of kKey> -iv 0...0
 *   printf abc | openssl dgst -sha256 */
static const char kKey[] = "0123456789abcdef0123456789ABCDEF";
static const unsigned char kPlain[11] = {'M', 'i', 'v', 'e', 'x', 0, 'h', 'o', 's', 't', '\n'};
static const char kCipherHex[] = "4B13EEA710D9216505CD1F667E31B068";
static const char kCipherHexLower[] = "4b13eea710d9216505cd1f667e31b068";
static const char kAbcDigest[] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

/* Static, so that no large stack frame asks for a stack probe from a C runtime. */
static char g_hex[4096];
static unsigned char g_bytes[4096];
static char g_template[1 << 16];
static int g_failures;

static unsigned long text_length(const char* s) {
  unsigned long n = 0;
  while (s[n]) ++n;
  return n;
}

static int same_bytes(const void* a, const void* b, unsigned long n) {
  const unsigned char* x = (const unsigned char*)a;
  const unsigned char* y = (const unsigned char*)b;
  unsigned long i;
  for (i = 0; i < n; ++i)
    if (x[i] != y[i]) return 0;
  return 1;
}

static void say(const char* text) {
  unsigned long written = 0;
  WriteFile(GetStdHandle((unsigned long)-11), text, text_length(text), &written, 0);
}

static void say_number(long value) {
  char digits[16];
  int i = 15;
  int negative = value < 0;
  unsigned long v = negative ? (unsigned long)-value : (unsigned long)value;
  digits[i] = '\0';
  do {
    digits[--i] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  if (negative) digits[--i] = '-';
  say(digits + i);
}

static void check(const char* host, int ok, const char* what) {
  say(host);
  say(ok ? ": ok   " : ": FAIL ");
  say(what);
  say("\r\n");
  if (!ok) ++g_failures;
}

/* Base64 with CR LF line breaks, as the template strings are written. */
static int is_template_text(const char* s, unsigned long n) {
  unsigned long i;
  if (n == 0) return 0;
  for (i = 0; i < n; ++i) {
    char c = s[i];
    int ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
             c == '=' || c == '\r' || c == '\n';
    if (!ok) return 0;
  }
  return 1;
}

static void crypto_checks(const char* host) {
  int out_len = -1;
  unsigned char done;

  done = EncryptSha256((const unsigned char*)"abc", 3, g_hex);
  check(host, done == 1 && text_length(g_hex) == 64 && same_bytes(g_hex, kAbcDigest, 65),
        "EncryptSha256(\"abc\") is the published digest");

  check(host, EnCryptData(kKey, kPlain, 11, g_hex, &out_len) == 0 && out_len == 32 &&
                  same_bytes(g_hex, kCipherHex, 33),
        "EnCryptData gives openssl's AES-256-CBC ciphertext");

  out_len = -1;
  check(host, DeCryptData(kKey, kCipherHex, 32, g_bytes, &out_len) == 0 && out_len == 11 &&
                  same_bytes(g_bytes, kPlain, 11),
        "DeCryptData restores the bytes, NUL included");

  out_len = -1;
  check(host, DeCryptData(kKey, kCipherHexLower, 32, g_bytes, &out_len) == 0 && out_len == 11 &&
                  same_bytes(g_bytes, kPlain, 11),
        "DeCryptData reads lower-case hex");

  out_len = -7;
  check(host, DeCryptData(kKey, kCipherHex, 0, g_bytes, &out_len) == 1 && out_len == -7,
        "DeCryptData refuses an empty ciphertext with 1 and writes nothing");
}

static void verification_checks(const char* host) {
  MIVEX_COUNTED held = 0;
  int result;
  unsigned long n;

  g_template[0] = '\0';
  result = GetFPVerifyTemp(g_template);
  n = text_length(g_template);
  check(host, result == 0 && is_template_text(g_template, n), "GetFPVerifyTemp fills the buffer with a template");

  result = GetFPVerifyTempString(&held);
  check(host, result == 0 && held != 0, "GetFPVerifyTempString returns 0 and a string");
  if (held) {
    const unsigned char* p = (const unsigned char*)held;
    unsigned short code_page = (unsigned short)(p[-12] | p[-11] << 8);
    unsigned short element_size = (unsigned short)(p[-10] | p[-9] << 8);
    long refs = (long)((unsigned long)p[-8] | (unsigned long)p[-7] << 8 | (unsigned long)p[-6] << 16 |
                       (unsigned long)p[-5] << 24);
    long length = (long)((unsigned long)p[-4] | (unsigned long)p[-3] << 8 | (unsigned long)p[-2] << 16 |
                         (unsigned long)p[-1] << 24);
    n = text_length(held);
    say(host);
    say(": string header: code page ");
    say_number(code_page);
    say(", element size ");
    say_number(element_size);
    say(", references ");
    say_number(refs);
    say(", length ");
    say_number(length);
    say("\r\n");
    check(host, code_page == 0 && element_size == 1, "the string has code page 0 and element size 1");
    check(host, refs == 1 && length == (long)n && is_template_text(held, n),
          "the string has one reference, its length, a NUL after it and template text");
  }
  GetPdtLID(&held, 0);
  check(host, held == 0, "GetPdtLID releases the string and leaves the variable null");
}

int mivex_host_checks(const char* host) {
  g_failures = 0;
  crypto_checks(host);
  verification_checks(host);
  say(host);
  say(g_failures ? ": FAILED\r\n" : ": all checks passed\r\n");
  return g_failures;
}
