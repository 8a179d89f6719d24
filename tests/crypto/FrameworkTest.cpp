// The cipher framework's own rules: factory fields, block engine, padding, state, keys,
// digests, signatures and registries. Algorithms are checked by KnownAnswerTest.
#include "CryptoTestSupport.h"
#include "crypto/Des.h"
#include "crypto/DesEde3.h"
#include "crypto/Md5.h"
#include "crypto/Rc4.h"

namespace mivex::test {
namespace {

const std::string kKey32 = "0123456789abcdef0123456789abcdef";

TRawSecretKey AesKey() { return TRawSecretKey("AES", Bytes(kKey32)); }

std::unique_ptr<TCipher> Get(const std::string& transformation) {
  return TCipher::GetInstance(transformation, QuelmarinProvider);
}

TBytes Final(TCipher& cipher, const TBytes& data) { return cipher.DoFinal(data.data(), 0, Len(data)); }

// A block cipher whose ciphertext block is one byte longer than its plaintext block (a
// check byte), as RSA's are: it shows the engine keeps the two sizes apart.
class TStretchCipher : public TCipher {
 public:
  TStretchCipher(bool unbuffered, std::int32_t plain) : TCipher(unbuffered), plain_(plain) {}
  std::string GetAlgorithm() const override { return "STRETCH"; }

 protected:
  void EngineInitEncrypt(const TKey&) override {}
  void EngineInitDecrypt(const TKey&) override {}
  std::int32_t EnginePlaintextBlockSize() override { return plain_; }
  std::int32_t EngineCiphertextBlockSize() override { return plain_ == 0 ? 0 : plain_ + 1; }
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override {
    const bool encrypt = State() == TCipherState::Encrypt;
    const std::int32_t ib = encrypt ? plain_ : plain_ + 1;
    std::int32_t written = 0;
    for (std::int32_t at = 0; at + ib <= inLen; at += ib) {
      std::uint8_t sum = 0;
      for (std::int32_t i = 0; i < plain_; ++i) {
        sum = static_cast<std::uint8_t>(sum + in[inOffset + at + i]);
        out[outOffset + written++] = in[inOffset + at + i];
      }
      if (encrypt) out[outOffset + written++] = sum;
      else if (sum != in[inOffset + at + plain_]) throw std::runtime_error("STRETCH: check byte");
    }
    return written;
  }

 private:
  std::int32_t plain_;
};

// ---------------------------------------------------------------------------------------

class Factory : public CryptoTest {};

TEST_F(Factory, AesCbcPkcs7IsAModeAroundAesWithOneSharedPadding) {
  auto cipher = Get("AES/CBC/PKCS#7");
  auto* mode = dynamic_cast<TCBCMode*>(cipher.get());
  ASSERT_NE(mode, nullptr);
  ASSERT_NE(dynamic_cast<TAES*>(mode->Cipher()), nullptr);
  EXPECT_FALSE(mode->Unbuffered());
  EXPECT_TRUE(mode->Cipher()->Unbuffered());
  ASSERT_NE(dynamic_cast<TPKCS7*>(mode->PaddingScheme()), nullptr);
  EXPECT_EQ(mode->PaddingScheme()->CipherName(), "AES");
  EXPECT_EQ(mode->Cipher()->PaddingScheme(), mode->PaddingScheme());
  EXPECT_EQ(mode->GetAlgorithm(), "CBC");
}

TEST_F(Factory, NamesIgnoreCaseAndThePaddingKeepsTheCallersSpelling) {
  auto cipher = TCipher::GetInstance("aes/cbc/pkcs#7", "quelmarin");
  auto* mode = dynamic_cast<TCBCMode*>(cipher.get());
  ASSERT_NE(mode, nullptr);
  EXPECT_NE(dynamic_cast<TAES*>(mode->Cipher()), nullptr);
  EXPECT_EQ(mode->PaddingScheme()->CipherName(), "aes");
}

TEST_F(Factory, EcbOrAnEmptyModeMeansNoWrapper) {
  for (const char* name : {"AES/ECB/PKCS#7", "AES//PKCS#7", "AES"}) {
    SCOPED_TRACE(name);
    auto cipher = Get(name);
    ASSERT_NE(dynamic_cast<TAES*>(cipher.get()), nullptr);
    EXPECT_FALSE(cipher->Unbuffered());
  }
  EXPECT_EQ(Get("AES")->PaddingScheme(), nullptr);
}

TEST_F(Factory, UnknownModesAndPaddingsFailUnknownAlgorithmsGiveNothing) {
  EXPECT_EQ(FailureOf([] { Get("AES/ecb"); }), "ecb not implement");
  EXPECT_EQ(FailureOf([] { Get("AES/CBC/ZERO"); }), "ZERO not implement");
  EXPECT_EQ(FailureOf([] { Get("AES/ecb/ZERO"); }), "ZERO not implement") << "padding is looked at first";
  EXPECT_EQ(FailureOf([] { TCipher::GetInstance("AES/CBC/PKCS#7", "Other"); }), "CBC not implement");
  EXPECT_EQ(Get("SERPENT/CBC/PKCS#7"), nullptr);
  EXPECT_EQ(TCipher::GetInstance("AES", "Other"), nullptr);
}

TEST_F(Factory, EveryFrameworkAlgorithmIsRegistered) {
  EXPECT_NE(dynamic_cast<TDes*>(Get("DES").get()), nullptr);
  EXPECT_NE(dynamic_cast<TDes_EDE3*>(Get("des-ede3").get()), nullptr);
  EXPECT_NE(dynamic_cast<TRC4*>(Get("RC4").get()), nullptr);
  EXPECT_NE(dynamic_cast<TCBCMode*>(Get("DES/CBC/PKCS#7").get()), nullptr);
  EXPECT_NE(dynamic_cast<TMD5*>(TMessageDigest::GetInstance("md5", QuelmarinProvider).get()), nullptr);
  EXPECT_EQ(TMessageDigest::GetInstance("SHA-1", QuelmarinProvider), nullptr);
  EXPECT_EQ(TKeyPairGenerator::GetInstance("NONE"), nullptr);
}

// ---------------------------------------------------------------------------------------

class BlockEngine : public CryptoTest {};

TEST_F(BlockEngine, PaddedOutputSizesAndTheWayBack) {
  auto key = AesKey();
  for (int n : {0, 15, 16, 17}) {
    SCOPED_TRACE(n);
    const TBytes data(static_cast<std::size_t>(n), 0x5A);
    auto cipher = Get("AES/CBC/PKCS#7");
    cipher->InitEncrypt(&key);
    EXPECT_EQ(cipher->GetOutputSize(n, true), n < 16 ? 16 : 32);
    const TBytes encrypted = Final(*cipher, data);
    EXPECT_EQ(encrypted.size(), n < 16 ? 16u : 32u);
    EXPECT_EQ(cipher->LastOutputLength(), Len(encrypted));
    cipher->InitDecrypt(&key);
    EXPECT_EQ(Final(*cipher, encrypted), data);
    EXPECT_EQ(cipher->LastOutputLength(), n);
  }
}

TEST_F(BlockEngine, OutputSizeCountsBufferedBytesAndPadding) {
  auto key = AesKey();
  auto cipher = Get("AES/CBC/PKCS#7");
  cipher->InitEncrypt(&key);
  EXPECT_EQ(cipher->GetOutputSize(0, false), 0);
  EXPECT_EQ(cipher->GetOutputSize(5, false), 16);
  EXPECT_EQ(cipher->GetOutputSize(16, false), 16);
  EXPECT_EQ(cipher->GetOutputSize(16, true), 32);
  const TBytes five(5, 1);
  EXPECT_TRUE(cipher->Update(five.data(), 0, 5).empty());
  EXPECT_EQ(cipher->BufferedCount(), 5);
  EXPECT_EQ(cipher->GetOutputSize(11, false), 16);
  EXPECT_EQ(cipher->GetOutputSize(10, false), 16);
  cipher->InitDecrypt(&key);
  EXPECT_EQ(cipher->BufferedCount(), 0) << "keying drops buffered bytes";
  EXPECT_EQ(cipher->GetOutputSize(0, true), 0);
  EXPECT_EQ(cipher->GetOutputSize(20, true), 32);
}

TEST_F(BlockEngine, DecryptFailuresNameTheOutermostCipher) {
  auto key = AesKey();
  auto cipher = Get("AES/CBC/PKCS#7");
  cipher->InitDecrypt(&key);
  EXPECT_EQ(FailureOf([&] { Final(*cipher, TBytes()); }), "outData=null");
  EXPECT_EQ(FailureOf([&] { Final(*cipher, TBytes(20)); }), "CBC: Cipher in DECRYPT state with an incomplete final block");
  EXPECT_EQ(cipher->BufferedCount(), 0);
  EXPECT_EQ(cipher->State(), TCipherState::Decrypt) << "a failed DoFinal keeps key and state";
}

// Ciphertext whose last decrypted block is `block`, made with the unpadded transformation.
TBytes CiphertextOf(const TBytes& block) {
  auto key = AesKey();
  auto raw = Get("AES/CBC");
  raw->InitEncrypt(&key);
  return Final(*raw, block);
}

TEST_F(BlockEngine, UnpaddingLooksAtTheLastByteOnly) {
  auto key = AesKey();
  auto cipher = Get("AES/CBC/PKCS#7");
  cipher->InitDecrypt(&key);

  TBytes block(16, 0xEE);
  block[15] = 17;
  EXPECT_EQ(FailureOf([&] { Final(*cipher, CiphertextOf(block)); }), "AES: Invalid number of padding bytes");

  block[15] = 0;
  cipher->InitDecrypt(&key);
  EXPECT_EQ(Final(*cipher, CiphertextOf(block)), block) << "a count of 0 takes nothing off";

  block[15] = 7;  // the six bytes before it are 0xEE, not 7
  cipher->InitDecrypt(&key);
  EXPECT_EQ(Final(*cipher, CiphertextOf(block)), TBytes(9, 0xEE));

  block[15] = 16;
  cipher->InitDecrypt(&key);
  EXPECT_TRUE(Final(*cipher, CiphertextOf(block)).empty());
}

TEST_F(BlockEngine, EncryptingAnIncompleteBlockWithoutPaddingFails) {
  auto key = AesKey();
  auto cipher = Get("AES/CBC");
  cipher->InitEncrypt(&key);
  EXPECT_EQ(FailureOf([&] { Final(*cipher, TBytes(20)); }),
            "CBC: Non-padding cipher in ENCRYPT state with an incomplete final block");
  EXPECT_EQ(cipher->BufferedCount(), 0);
  auto ecb = Get("AES");
  ecb->InitEncrypt(&key);
  EXPECT_EQ(FailureOf([&] { Final(*ecb, TBytes(3)); }),
            "AES: Non-padding cipher in ENCRYPT state with an incomplete final block");
}

TEST_F(BlockEngine, UpdatesInPiecesEqualOneDoFinal) {
  auto key = AesKey();
  TBytes data(16);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  auto whole = Get("AES/CBC/PKCS#7");
  whole->InitEncrypt(&key);
  const TBytes expected = Final(*whole, data);
  ASSERT_EQ(expected.size(), 32u);

  auto cipher = Get("AES/CBC/PKCS#7");
  cipher->InitEncrypt(&key);
  const TBytes a = cipher->Update(data.data(), 0, 5);
  const TBytes b = cipher->Update(data.data(), 5, 11);
  const TBytes c = cipher->DoFinal(nullptr, 0, 0);
  EXPECT_EQ(a.size(), 0u);
  EXPECT_EQ(b.size(), 16u);
  EXPECT_EQ(c.size(), 16u);
  EXPECT_EQ(Concat(Concat(a, b), c), expected);
}

TEST_F(BlockEngine, RekeyingRestartsTheChainFromZero) {
  auto key = AesKey();
  const TBytes data(40, 0x33);
  auto cipher = Get("AES/CBC/PKCS#7");
  cipher->InitEncrypt(&key);
  const TBytes first = Final(*cipher, data);
  cipher->Update(data.data(), 0, 7);
  cipher->InitEncrypt(&key);
  EXPECT_EQ(Final(*cipher, data), first);
}

TEST_F(BlockEngine, StateAndArgumentChecksComeInOrder) {
  auto cipher = Get("AES/CBC/PKCS#7");
  std::uint8_t out[64];
  const TBytes data(16);
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), 0, 16); }), "cipher uninitialized");
  EXPECT_EQ(FailureOf([&] { Final(*cipher, data); }), "cipher uninitialized");
  EXPECT_EQ(FailureOf([&] { cipher->GetOutputSize(16, true); }), "cipher uninitialized");
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), 0, 16, out, 0); }), "cipher uninitialized");
  EXPECT_EQ(FailureOf([&] { cipher->InitEncrypt(nullptr); }), "key is null");

  auto key = AesKey();
  cipher->InitEncrypt(&key);
  EXPECT_EQ(FailureOf([&] { cipher->SetPaddingScheme(std::make_shared<TPKCS7>("AES")); }),
            "Cipher is already initialized");
  EXPECT_EQ(FailureOf([&] { cipher->GetOutputSize(-1, false); }), "inLen<0");
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), 0, -1, out, 0); }), "inLen<0");
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), -1, 16, out, 0); }), "inOffset < 0  || outOffset < 0 ");
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), 0, 16, out, -1); }), "inOffset < 0  || outOffset < 0 ");
  EXPECT_EQ(FailureOf([&] { cipher->Update(data.data(), 0, 16, nullptr, 0); }), "outData=null");
  EXPECT_EQ(FailureOf([&] { cipher->DoFinal(nullptr, 0, 16); }), "inData=null");
}

TEST_F(BlockEngine, InPlaceUpdatesMatchSeparateBuffers) {
  auto key = AesKey();
  TBytes data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 1);
  for (const char* direction : {"encrypt", "decrypt"}) {
    SCOPED_TRACE(direction);
    const bool encrypt = direction[0] == 'e';
    auto reference = Get("AES/CBC");
    encrypt ? reference->InitEncrypt(&key) : reference->InitDecrypt(&key);
    const TBytes expected = Final(*reference, TBytes(data.begin(), data.begin() + 96));

    // Aligned: the same buffer in and out. Misaligned: 3 bytes held back first, so every
    // later output block lands 3 bytes before the input it came from.
    for (std::int32_t lead : {0, 3}) {
      SCOPED_TRACE(lead);
      TBytes buffer = data;
      auto cipher = Get("AES/CBC");
      encrypt ? cipher->InitEncrypt(&key) : cipher->InitDecrypt(&key);
      std::int32_t written = cipher->Update(buffer.data(), 0, lead, buffer.data(), 0);
      written += cipher->Update(buffer.data(), lead, 96 - lead, buffer.data(), written);
      ASSERT_EQ(written, 96);
      EXPECT_EQ(TBytes(buffer.begin(), buffer.begin() + 96), expected);
    }
  }
}

TEST_F(BlockEngine, DecryptingManyBlocksAtOnceEqualsBlockByBlock) {
  auto key = AesKey();
  TBytes data(16 * 37 + 5);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i ^ (i >> 3));
  auto enc = Get("AES/CBC/PKCS#7");
  enc->InitEncrypt(&key);
  const TBytes encrypted = Final(*enc, data);
  auto dec = Get("AES/CBC/PKCS#7");
  dec->InitDecrypt(&key);
  TBytes pieces;
  for (std::int32_t at = 0; at < Len(encrypted) - 16; at += 16)
    pieces = Concat(pieces, dec->Update(encrypted.data(), at, 16));
  pieces = Concat(pieces, dec->DoFinal(encrypted.data(), Len(encrypted) - 16, 16));
  EXPECT_EQ(pieces, data);
}

TEST_F(BlockEngine, DifferentPlainAndCipherBlockSizesStayApart) {
  auto cipher = std::make_unique<TStretchCipher>(false, 3);
  cipher->SetPaddingScheme(std::make_shared<TPKCS7>("STRETCH"));
  TRawSecretKey key("STRETCH", Bytes("k"));
  cipher->InitEncrypt(&key);
  EXPECT_EQ(cipher->InputBlockSize(), 3);
  EXPECT_EQ(cipher->OutputBlockSize(), 4);
  EXPECT_EQ(cipher->PaddingScheme()->BlockSize(), 3);
  const TBytes data = Bytes("abcdefg");
  EXPECT_EQ(cipher->GetOutputSize(7, true), 12);
  const TBytes encrypted = Final(*cipher, data);
  EXPECT_EQ(encrypted.size(), 12u);
  cipher->InitDecrypt(&key);
  EXPECT_EQ(cipher->InputBlockSize(), 4);
  EXPECT_EQ(cipher->PaddingScheme()->BlockSize(), 3);
  EXPECT_EQ(Final(*cipher, encrypted), data);
  EXPECT_EQ(FailureOf([&] { Final(*cipher, TBytes(encrypted.begin(), encrypted.end() - 1)); }),
            "STRETCH: Cipher in DECRYPT state with an incomplete final block");
}

TEST_F(BlockEngine, UnbufferedOutputSizeRoundsHalvesToEven) {
  TStretchCipher cipher(true, 4);
  TRawSecretKey key("STRETCH", Bytes("k"));
  cipher.InitEncrypt(&key);
  EXPECT_EQ(cipher.GetOutputSize(2, true), 0);    // 0.5 -> 0
  EXPECT_EQ(cipher.GetOutputSize(6, true), 10);   // 1.5 -> 2
  EXPECT_EQ(cipher.GetOutputSize(10, true), 10);  // 2.5 -> 2
  EXPECT_EQ(cipher.GetOutputSize(11, true), 15);  // 2.75 -> 3
}

TEST_F(BlockEngine, BlockSizesBelowOneLeaveTheCipherUninitialized) {
  TStretchCipher cipher(false, 0);
  TRawSecretKey key("STRETCH", Bytes("k"));
  EXPECT_EQ(FailureOf([&] { cipher.InitEncrypt(&key); }), "input or output block size < 1");
  EXPECT_EQ(cipher.State(), TCipherState::Uninitialized);
}

TEST_F(BlockEngine, ModesNeedACipherOfEqualBlockSizes) {
  TCBCMode mode(false);
  EXPECT_EQ(FailureOf([&] { mode.SetCipher(nullptr); }), "cipher is null");
  EXPECT_EQ(FailureOf([&] { mode.SetCipher(std::make_unique<TStretchCipher>(true, 3)); }),
            "blockSize called when plaintext and ciphertext block sizes differ");
  mode.SetCipher(std::make_unique<TDes>(true));
  EXPECT_EQ(mode.FeedbackBlockSize(), 8);
}

TEST_F(BlockEngine, StreamCipherContinuesAcrossCalls) {
  TRawSecretKey key("RC4", Hex("0102030405"));
  auto whole = Get("RC4");
  whole->InitEncrypt(&key);
  const TBytes stream = Final(*whole, TBytes(40));
  auto pieces = Get("RC4");
  pieces->InitEncrypt(&key);
  TBytes joined = pieces->Update(TBytes(13).data(), 0, 13);
  joined = Concat(joined, Final(*pieces, TBytes(27)));
  EXPECT_EQ(joined, stream);
  TRawSecretKey empty("Foo", TBytes());
  EXPECT_EQ(FailureOf([&] { pieces->InitEncrypt(&empty); }), "Foo: Null user key");
}

TEST_F(BlockEngine, TripleDesIsRekeyedFromScratch) {
  const TBytes block = Hex("4e6f772069732074");
  auto tdea = Get("DES-EDE3");
  TRawSecretKey other("DES-EDE3", Hex("0123456789abcdef23456789abcdef01456789abcdef0123"));
  tdea->InitEncrypt(&other);
  Final(*tdea, block);
  TRawSecretKey same("DES-EDE3", Hex("0123456789abcdef0123456789abcdef0123456789abcdef"));
  tdea->InitEncrypt(&same);
  EXPECT_EQ(ToHex(Final(*tdea, block)), "3fa40e8a984d4815");
}

// ---------------------------------------------------------------------------------------

class Padding : public CryptoTest {};

TEST_F(Padding, Pkcs7PadsOneToAWholeBlock) {
  TPKCS7 padding("AES");
  EXPECT_EQ(FailureOf([&] { padding.SetBlockSize(0); }), "AES: 0 is not a valid block size");
  EXPECT_EQ(FailureOf([&] { padding.SetBlockSize(256); }), "AES: 256 is not a valid block size");
  padding.SetBlockSize(8);
  TBytes buffer(24, 0xAA);
  EXPECT_EQ(padding.Pad(buffer.data(), 0, 13), 3) << "pads the last partial block";
  EXPECT_EQ(ToHex(TBytes(buffer.begin() + 13, buffer.begin() + 17)), "030303aa");
  EXPECT_EQ(padding.Pad(buffer.data(), 0, 16), 8);
  EXPECT_EQ(buffer[23], 8);
  EXPECT_EQ(FailureOf([&] { padding.Pad(buffer.data(), -1, 4); }), "Invalid offset or length");
  EXPECT_EQ(FailureOf([&] { padding.Pad(buffer.data(), 0, -4); }), "Invalid offset or length");
}

TEST_F(Padding, Pkcs7UnpadReturnsTheEndOfTheData) {
  TPKCS7 padding("DES");
  padding.SetBlockSize(8);
  TBytes buffer = Hex("ffff 1111111111 0503");
  EXPECT_EQ(padding.Unpad(buffer.data(), 2, 0), 0);
  EXPECT_EQ(padding.Unpad(buffer.data(), 2, 7), 6) << "(offset + length) - 3";
  buffer.back() = 9;
  EXPECT_EQ(FailureOf([&] { padding.Unpad(buffer.data(), 2, 7); }), "DES: Invalid number of padding bytes");
}

// ---------------------------------------------------------------------------------------

class Keys : public CryptoTest {};

class TTestPublicKey : public TPublicKey {
 public:
  TTestPublicKey() : TPublicKey("TEST", nullptr, 0, 0) {}
  std::string ToText() const override { return "public"; }
};

class TTestPrivateKey : public TPrivateKey {
 public:
  TTestPrivateKey() : TPrivateKey("TEST", nullptr, 0, 0) {}
  std::string ToText() const override { return "private"; }
};

TEST_F(Keys, KeysCopyTheirSlice) {
  TBytes source = Bytes("..secret..");
  TRawSecretKey key("AES", source.data(), 2, 6);
  source[3] = 'X';
  EXPECT_EQ(key.GetEncoded(), Bytes("secret"));
  EXPECT_EQ(key.Length(), 6);
  EXPECT_EQ(key.GetAlgorithm(), "AES");
  EXPECT_EQ(key.Format(), "");
  EXPECT_TRUE(TRawSecretKey("AES", nullptr, 0, 0).GetEncoded().empty());
  EXPECT_EQ(FailureOf([] { TRawSecretKey("AES", nullptr, 0, -1); }), "Invalid offset or length");
}

TEST_F(Keys, KeyPairOwnsBothKeys) {
  TKeyPair pair(std::make_unique<TTestPublicKey>(), std::make_unique<TTestPrivateKey>());
  EXPECT_EQ(pair.PublicKey()->ToText(), "public");
  EXPECT_EQ(pair.PrivateKey()->ToText(), "private");
  EXPECT_EQ(pair.GetAlgorithm(), "TEST");
}

TEST_F(Keys, AesWantsThirtyTwoBytesAndUsesOnlyThose) {
  auto cipher = Get("AES");
  TRawSecretKey shortKey("AES", Bytes("0123456789abcdef0123456789abcde"));
  EXPECT_EQ(FailureOf([&] { cipher->InitEncrypt(&shortKey); }), "AES: Invalid key length");
  TRawSecretKey longKey("AES", Bytes(kKey32 + "tail"));
  auto exact = AesKey();
  const TBytes block(16, 1);
  cipher->InitEncrypt(&longKey);
  const TBytes a = Final(*cipher, block);
  cipher->InitEncrypt(&exact);
  EXPECT_EQ(Final(*cipher, block), a);
}

// ---------------------------------------------------------------------------------------

class Digests : public CryptoTest {};

TEST_F(Digests, StateAndBufferChecks) {
  auto md5 = TMessageDigest::GetInstance("MD5", QuelmarinProvider);
  ASSERT_TRUE(md5);
  EXPECT_EQ(md5->GetAlgorithm(), "MD5");
  EXPECT_EQ(md5->GetDigestLength(), 16);
  EXPECT_EQ(md5->State(), 0);
  EXPECT_EQ(FailureOf([&] { md5->Update(nullptr, 0, 1); }), "No input buffer given");
  md5->Update(Bytes("abc").data(), 0, 3);
  EXPECT_EQ(md5->State(), 1);
  std::uint8_t out[20];
  EXPECT_EQ(FailureOf([&] { md5->Digest(out, 0, 15); }), "insufficient space for buf");
  EXPECT_EQ(md5->Digest(out, 4, 16), 16);
  EXPECT_EQ(ToHex(TBytes(out + 4, out + 20)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5->State(), 0);
}

TEST_F(Digests, InputIsLimitedToTwoToTheTwentyNinthMinusOneBytes) {
  TMD5 md5;
  const std::uint8_t byte[1] = {0};
  // The limit is checked before any byte is read, so a short buffer serves here.
  EXPECT_EQ(FailureOf([&] { md5.Update(byte, 0, 536870912); }), "MD5: Maximum input length exceeded");
  TBytes ten(10);
  md5.Update(ten.data(), 0, 10);
  EXPECT_EQ(FailureOf([&] { md5.Update(byte, 0, 536870902); }), "MD5: Maximum input length exceeded");
  EXPECT_EQ(ToHex(md5.Digest()), ToHex(TMD5().Digest(ten))) << "a refused update adds nothing";
}

// ---------------------------------------------------------------------------------------

class Signatures : public CryptoTest {};

// Sums the fed bytes; enough to watch the state rules of the base class.
class TSumSignature : public TSignature {
 public:
  TSumSignature() : TSignature("SUM") {}

 protected:
  void EngineInitSign(const TPrivateKey*) override { sum_ = 0; }
  void EngineInitVerify(const TPublicKey*) override { sum_ = 0; }
  void EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) override {
    for (std::int32_t i = 0; i < length; ++i) sum_ = static_cast<std::uint8_t>(sum_ + in[offset + i]);
  }
  TBytes EngineSign() override { return TBytes{sum_}; }
  bool EngineVerify(const std::uint8_t* s, std::int32_t offset, std::int32_t length) override {
    return length == 1 && s[offset] == sum_;
  }

 private:
  std::uint8_t sum_ = 0;
};

TEST_F(Signatures, StateDecidesWhatIsAllowed) {
  TSumSignature signature;
  TTestPrivateKey privateKey;
  TTestPublicKey publicKey;
  EXPECT_EQ(signature.State(), 0);
  EXPECT_EQ(FailureOf([&] { signature.Update(1); }), "not initialized for signature or verification");
  EXPECT_EQ(FailureOf([&] { signature.Sign(); }), "object not initialized for signing");
  signature.InitSign(&privateKey);
  signature.Update(Bytes("ab").data(), 0, 2);
  EXPECT_EQ(FailureOf([&] { signature.Verify(TBytes{1}); }), "object not initialized for verification");
  const TBytes sum = signature.Sign();
  signature.InitVerify(&publicKey);
  EXPECT_EQ(FailureOf([&] { signature.Sign(); }), "object not initialized for signing");
  signature.Update(Bytes("ab").data(), 0, 2);
  EXPECT_TRUE(signature.Verify(sum));
}

TEST_F(Signatures, FactoryChecksItsArgumentsAndMapsDsa) {
  EXPECT_EQ(FailureOf([] { TSignature::GetInstance("", QuelmarinProvider); }), "missing algorithm");
  EXPECT_EQ(FailureOf([] { TSignature::GetInstance("MD5/RSA/PKCS#1", ""); }), "missing provider");
  EXPECT_EQ(TSignature::GetInstance("NO/SUCH", QuelmarinProvider), nullptr);
  RegisterSignature("SHA/DSA", [] { return std::make_unique<TSumSignature>(); });
  EXPECT_NE(TSignature::GetInstance("DSA", QuelmarinProvider), nullptr);
  EXPECT_NE(TSignature::GetInstance("sha/dsa", QuelmarinProvider), nullptr);
}

// ---------------------------------------------------------------------------------------

class Registries : public CryptoTest {};

TEST_F(Registries, FirstEntryWinsAndStopEmptiesEverything) {
  RegisterCipher("aes", [](bool unbuffered) { return std::make_unique<TDes>(unbuffered); });
  EXPECT_NE(dynamic_cast<TAES*>(Get("AES").get()), nullptr);

  StopCipherFramework();
  EXPECT_EQ(FailureOf([] { Get("AES/CBC/PKCS#7"); }), "PKCS#7 not implement");
  EXPECT_EQ(Get("AES"), nullptr);
  EXPECT_EQ(TMessageDigest::GetInstance("MD5", QuelmarinProvider), nullptr);

  StartCipherFramework();
  EXPECT_EQ(Get("AES"), nullptr) << "AES is the AES unit's to register";
  StartAES();
  EXPECT_NE(dynamic_cast<TAES*>(Get("AES").get()), nullptr);
}

}  // namespace
}  // namespace mivex::test
