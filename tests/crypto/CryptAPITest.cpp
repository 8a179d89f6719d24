// The exported data-encryption functions: result codes, hex forms, lengths, and that a
// failing call leaves the caller's buffers alone.
#include <cstring>
#include <random>

#include "CryptoTestSupport.h"
#include "crypto/CryptAPI.h"

namespace mivex::test {
namespace {

const std::string kKeyText = "0123456789ABCDEF0123456789ABCDEF";
constexpr char kUntouched = '\xCC';
constexpr std::int32_t kUntouchedLen = -12345;

struct TEncrypted {
  std::int32_t result;
  std::string hex;  // the characters up to the NUL
  std::int32_t outLen;
  bool nulAtOutLen;
};

TEncrypted Encrypt(const char* key, const TBytes& data, std::int32_t dataLen) {
  std::vector<char> out(32 * (std::max(dataLen, 0) / 16 + 1) + 1 + 8, kUntouched);
  TEncrypted e{};
  e.outLen = kUntouchedLen;
  e.result = EnCryptData(key, data.data(), dataLen, out.data(), &e.outLen);
  if (e.result == 0) {
    e.hex = std::string(out.data());
    e.nulAtOutLen = e.outLen >= 0 && out[static_cast<std::size_t>(e.outLen)] == '\0';
  } else {
    for (char c : out) EXPECT_EQ(c, kUntouched) << "OutHex written on failure";
    EXPECT_EQ(e.outLen, kUntouchedLen) << "OutLen written on failure";
  }
  return e;
}

TEncrypted Encrypt(const TBytes& data) { return Encrypt(kKeyText.c_str(), data, Len(data)); }

struct TDecrypted {
  std::int32_t result;
  TBytes data;
};

TDecrypted Decrypt(const char* key, const std::string& text, std::uint32_t hexLen) {
  std::vector<std::uint8_t> out(hexLen / 2 + 8, 0xCC);
  std::int32_t outLen = kUntouchedLen;
  TDecrypted d{};
  d.result = DeCryptData(key, text.c_str(), hexLen, out.data(), &outLen);
  if (d.result == 0) {
    EXPECT_GE(outLen, 0);
    d.data.assign(out.begin(), out.begin() + outLen);
    EXPECT_EQ(out[static_cast<std::size_t>(outLen)], 0xCC) << "no terminator is added";
  } else {
    for (std::uint8_t c : out) EXPECT_EQ(c, 0xCC) << "OutData written on failure";
    EXPECT_EQ(outLen, kUntouchedLen) << "OutLen written on failure";
  }
  return d;
}

TDecrypted Decrypt(const std::string& text) {
  return Decrypt(kKeyText.c_str(), text, static_cast<std::uint32_t>(text.size()));
}

class Exports : public CryptoTest {};

TEST_F(Exports, EmptyDataGivesOneBlockOfPadding) {
  const TEncrypted e = Encrypt(TBytes());
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.outLen, 32);
  EXPECT_TRUE(e.nulAtOutLen);
  // AES-256 of sixteen 0x10 bytes under this key text, zero IV (openssl enc -aes-256-cbc).
  EXPECT_EQ(e.hex, "9BF7330543BC847F4663B2330D47BBC7");
}

TEST_F(Exports, HexLengthFollowsTheBlockCount) {
  for (auto [n, hexLen] : {std::pair{15, 32}, {16, 64}, {17, 64}, {31, 64}, {32, 96}}) {
    const TEncrypted e = Encrypt(TBytes(static_cast<std::size_t>(n), 'x'));
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.outLen, hexLen) << n;
    EXPECT_EQ(static_cast<std::int32_t>(e.hex.size()), hexLen);
    EXPECT_EQ(e.hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  }
}

TEST_F(Exports, OnlyTheFirstThirtyTwoKeyBytesCount) {
  const TBytes data = Bytes("the same data");
  const std::string once = Encrypt(data).hex;
  EXPECT_EQ(Encrypt(data).hex, once) << "no salt, no random IV";
  std::string longer = kKeyText + "anything after the 32nd byte";
  EXPECT_EQ(Encrypt(longer.c_str(), data, Len(data)).hex, once);
  for (std::size_t i : {0u, 17u, 31u}) {
    std::string changed = kKeyText;
    changed[i] ^= 1;
    EXPECT_NE(Encrypt(changed.c_str(), data, Len(data)).hex, once) << i;
  }
}

TEST_F(Exports, RoundTripKeepsNulBytesAndAcceptsLowerCase) {
  std::mt19937 random(7);
  for (int n : {0, 1, 15, 16, 17, 100, 1000}) {
    SCOPED_TRACE(n);
    TBytes data(static_cast<std::size_t>(n));
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % 4 == 0 ? 0 : random());
    const TEncrypted e = Encrypt(data);
    ASSERT_EQ(e.result, 0);
    const TDecrypted upper = Decrypt(e.hex);
    EXPECT_EQ(upper.result, 0);
    EXPECT_EQ(upper.data, data);
    std::string lower = e.hex;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Decrypt(lower).data, data);
  }
}

TEST_F(Exports, DecryptLengthRules) {
  const std::string hex = Encrypt(Bytes("sixteen bytes!!!")).hex;  // 64 characters
  ASSERT_EQ(hex.size(), 64u);
  EXPECT_EQ(Decrypt(kKeyText.c_str(), hex, 0).result, 1);
  EXPECT_EQ(Decrypt(kKeyText.c_str(), hex, 48).result, 1) << "24 bytes: incomplete final block";
  // An odd HexLen: the last character is ignored, but it must be there and be hex.
  const TDecrypted odd = Decrypt(kKeyText.c_str(), hex + "7", 65);
  EXPECT_EQ(odd.result, 0);
  EXPECT_EQ(odd.data, Bytes("sixteen bytes!!!"));
  EXPECT_EQ(Decrypt(kKeyText.c_str(), hex + "Z", 65).result, 1);
  // Characters after the first HexLen ones are not looked at.
  EXPECT_EQ(Decrypt(kKeyText.c_str(), hex + "not hex", 64).result, 0);
}

TEST_F(Exports, DecryptRefusesTextItCannotRead) {
  const std::string hex = Encrypt(Bytes("abc")).hex;  // 32 characters
  EXPECT_EQ(Decrypt(kKeyText.c_str(), hex, 34).result, 1) << "HexLen beyond the text";
  std::uint8_t plain[64];
  std::int32_t plainLen = kUntouchedLen;
  EXPECT_EQ(DeCryptData(kKeyText.c_str(), hex.c_str(), 0xFFFFFFFFu, plain, &plainLen), 1);
  EXPECT_EQ(plainLen, kUntouchedLen);
  for (std::size_t at : {0u, 9u, 31u}) {
    std::string bad = hex;
    bad[at] = 'g';
    EXPECT_EQ(Decrypt(kKeyText.c_str(), bad, 32).result, 1) << at;
    bad[at] = ' ';
    EXPECT_EQ(Decrypt(kKeyText.c_str(), bad, 32).result, 1) << at;
  }
}

TEST_F(Exports, WrongKeysFailOnlyWhenTheLastByteIsAboveSixteen) {
  const TBytes data = Bytes("a message for the right key only");
  const std::string hex = Encrypt(data).hex;
  int refused = 0, accepted = 0;
  for (int i = 0; i < 2000 && (refused == 0 || accepted == 0); ++i) {
    std::string key = kKeyText;
    key[0] = static_cast<char>('A' + i % 26);
    key[1] = static_cast<char>('a' + i / 26 % 26);
    key[2] = static_cast<char>('0' + i / 676);
    if (key == kKeyText) continue;
    const TDecrypted d = Decrypt(key.c_str(), hex, static_cast<std::uint32_t>(hex.size()));
    if (d.result == 1) {
      ++refused;
    } else {
      ++accepted;  // stored data relies on these being accepted: unrelated bytes come back
      EXPECT_NE(d.data, data);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(accepted, 0);
}

TEST_F(Exports, ShortKeyTextsAreRefused) {
  const std::string shortKey = kKeyText.substr(0, 31);
  EXPECT_EQ(Encrypt(shortKey.c_str(), Bytes("x"), 1).result, 2);
  const std::string hex = Encrypt(Bytes("x")).hex;
  EXPECT_EQ(Decrypt(shortKey.c_str(), hex, 32).result, 1);
  // A NUL inside the first 32 bytes ends the key text there.
  std::string embedded = kKeyText;
  embedded[20] = '\0';
  EXPECT_EQ(Encrypt(embedded.c_str(), Bytes("x"), 1).result, 2);
  EXPECT_EQ(Encrypt("", Bytes("x"), 1).result, 2);
}

TEST_F(Exports, BadArgumentsGiveTheFailureCode) {
  const TBytes data(32, 1);
  EXPECT_EQ(Encrypt(kKeyText.c_str(), data, -1).result, 2);
  EXPECT_EQ(Encrypt(kKeyText.c_str(), data, std::numeric_limits<std::int32_t>::min()).result, 2);
  EXPECT_EQ(Encrypt(nullptr, data, 4).result, 2);
  char out[40];
  std::int32_t outLen = kUntouchedLen;
  EXPECT_EQ(EnCryptData(kKeyText.c_str(), data.data(), 4, nullptr, &outLen), 2);
  EXPECT_EQ(outLen, kUntouchedLen);
  EXPECT_EQ(EnCryptData(kKeyText.c_str(), data.data(), 4, out, nullptr), 2);
  EXPECT_EQ(EnCryptData(kKeyText.c_str(), nullptr, 4, out, &outLen), 2);

  const std::string hex = Encrypt(Bytes("x")).hex;
  std::uint8_t plain[32];
  EXPECT_EQ(Decrypt(nullptr, hex, 32).result, 1);
  EXPECT_EQ(DeCryptData(kKeyText.c_str(), nullptr, 32, plain, &outLen), 1);
  EXPECT_EQ(DeCryptData(kKeyText.c_str(), hex.c_str(), 32, nullptr, &outLen), 1);
  EXPECT_EQ(DeCryptData(kKeyText.c_str(), hex.c_str(), 32, plain, nullptr), 1);
  EXPECT_EQ(outLen, kUntouchedLen);
  EXPECT_EQ(EnCryptData(kKeyText.c_str(), nullptr, 0, out, &outLen), 0) << "no data needs no buffer";
  EXPECT_EQ(outLen, 32);
}

TEST_F(Exports, NothingWorksUntilAesIsRegistered) {
  StopCipherFramework();
  StartCipherFramework();
  EXPECT_EQ(Encrypt(Bytes("x")).result, 2);
  StartAES();
  EXPECT_EQ(Encrypt(Bytes("x")).result, 0);
}

TEST_F(Exports, Sha256WritesSixtyFourDigitsAndANul) {
  char out[70];
  std::memset(out, 'x', sizeof(out));
  const TBytes abc = Bytes("abc");
  EXPECT_TRUE(EncryptSha256(abc.data(), 3, out));
  EXPECT_EQ(std::string(out, 64), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(out[64], '\0');
  EXPECT_EQ(out[65], 'x');
  EXPECT_TRUE(EncryptSha256(nullptr, 0, out));
  EXPECT_EQ(std::string(out), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST_F(Exports, Sha256WithoutUsableArgumentsWritesNothing) {
  char out[70];
  std::memset(out, 'x', sizeof(out));
  const TBytes abc = Bytes("abc");
  EXPECT_FALSE(EncryptSha256(abc.data(), -1, out));
  EXPECT_FALSE(EncryptSha256(nullptr, 3, out));
  EXPECT_FALSE(EncryptSha256(abc.data(), 3, nullptr));
  for (char c : out) EXPECT_EQ(c, 'x');
}

// ---------------------------------------------------------------------------------------

class HexForms : public CryptoTest {};

TEST_F(HexForms, EveryByteValueRoundTrips) {
  TBytes all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  const std::string hex = BufferToHex(all.data(), 256);
  EXPECT_EQ(hex.substr(0, 8), "00010203");
  EXPECT_EQ(hex.substr(hex.size() - 6), "FDFEFF");
  EXPECT_EQ(hex, ToHex(all, true));
  EXPECT_EQ(HexToBuffer(hex), all);
  EXPECT_EQ(HexToBuffer(ToHex(all)), all);
}

TEST_F(HexForms, EveryCharacterAtEveryPlaceIsJudgedAlike) {
  // 40 digits: two 16-digit runs taken together and a tail of 8 taken one pair at a time.
  const std::string good = "0123456789abcdefABCDEF0123456789aBcDeF01";
  const TBytes expected = Hex(good);
  EXPECT_EQ(HexToBuffer(good), expected);
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (int c = 0; c < 256; ++c) {
      std::string text = good;
      text[at] = static_cast<char>(c);
      const bool isHex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      if (!isHex) {
        EXPECT_THROW(HexToBuffer(text), std::invalid_argument) << "char " << c << " at " << at;
        continue;
      }
      TBytes want = expected;
      const int v = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      want[at / 2] = static_cast<std::uint8_t>(at % 2 == 0 ? (v << 4) | (want[at / 2] & 0x0F) : (want[at / 2] & 0xF0) | v);
      EXPECT_EQ(HexToBuffer(text), want) << "char " << c << " at " << at;
    }
  }
}

TEST_F(HexForms, OddDigitsAndStrangers) {
  EXPECT_EQ(HexToBuffer("aB1"), (TBytes{0xAB, 0x10}));
  EXPECT_TRUE(HexToBuffer("").empty());
  EXPECT_THROW(HexToBuffer("0g"), std::invalid_argument);
  EXPECT_THROW(HexToBuffer("0x10"), std::invalid_argument);
  EXPECT_EQ(BufferToHex(nullptr, 0), "");
}

TEST_F(HexForms, AesCryptBufferIsTheFrameworkPath) {
  const TBytes data = Bytes("framework path");
  const TBytes viaBuffer = AESCryptBuffer(kKeyText, false, data.data(), Len(data));
  auto cipher = TCipher::GetInstance("AES/CBC/PKCS#7", QuelmarinProvider);
  TRawSecretKey key("AES", Bytes(kKeyText));
  cipher->InitEncrypt(&key);
  EXPECT_EQ(viaBuffer, cipher->DoFinal(data.data(), 0, Len(data)));
  EXPECT_EQ(AESCryptBuffer(kKeyText, true, viaBuffer.data(), Len(viaBuffer)), data);
  EXPECT_THROW(AESCryptBuffer("short", false, data.data(), Len(data)), std::invalid_argument);
}

}  // namespace
}  // namespace mivex::test
