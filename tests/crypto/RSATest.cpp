// RSA keys, the raw cipher, the key-pair generator and PKCS#1 signatures through the
// framework's factories, with their exact failure texts; and the embedded default pair.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "crypto/CipherDefaultKey.h"
#include "crypto/Integers.h"
#include "crypto/Integers_Primes.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"

namespace mivex::test {
namespace {

template <typename F>
std::string FailureOf(F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::string();
}

TInteger Hex(const char* text) {
  TInteger x;
  IVal(x, text, 16);
  return x;
}

std::int32_t Len(const TBytes& b) { return static_cast<std::int32_t>(b.size()); }

class RSATest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    StartCipherFramework();
    StartRSA();
    auto generator = TKeyPairGenerator::GetInstance("RSA");
    auto* rsa = dynamic_cast<TBaseRSAKeyPairGenerator*>(generator.get());
    ASSERT_NE(rsa, nullptr);
    rsa->Initialize(1024);
    pair_ = rsa->GenerateKeyPair().release();
  }
  static void TearDownTestSuite() {
    delete pair_;
    pair_ = nullptr;
    StopCipherFramework();
  }

 protected:
  static const TBaseRSAPublicKey& Public() { return dynamic_cast<const TBaseRSAPublicKey&>(*pair_->PublicKey()); }
  static const TBaseRSAPrivateKey& Private() { return dynamic_cast<const TBaseRSAPrivateKey&>(*pair_->PrivateKey()); }

  static TKeyPair* pair_;
};

TKeyPair* RSATest::pair_ = nullptr;

// Checks that the numbers make a consistent key pair of the given size.
void ExpectValidPair(const TBaseRSAPublicKey& pub, const TBaseRSAPrivateKey& priv, std::int32_t bits) {
  ASSERT_TRUE(priv.HasPrimes());
  EXPECT_EQ(pub.N().BitSize(), bits);
  TInteger n = priv.P();
  IMul(n, priv.Q());
  EXPECT_EQ(ICompare(n, pub.N()), 0) << "n = p q";
  EXPECT_EQ(ICompare(priv.N(), pub.N()), 0);
  const std::int32_t bases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};
  EXPECT_TRUE(IIsProbablePrime(priv.P(), bases));
  EXPECT_TRUE(IIsProbablePrime(priv.Q(), bases));
  EXPECT_TRUE(IIsProbablePrime(pub.E(), bases));
  EXPECT_EQ(pub.E().BitSize(), 80);
  EXPECT_TRUE(pub.E().Bit(78));
  // e d = 1 mod (p - 1) and mod (q - 1).
  for (const TInteger* prime : {&priv.P(), &priv.Q()}) {
    TInteger pm1 = *prime;
    ISub(pm1, TInteger(1));
    TInteger ed = pub.E();
    IMul(ed, priv.D());
    IMod(ed, pm1);
    EXPECT_EQ(ed.AsInt64(), 1);
  }
  TInteger uq = priv.U();
  IMul(uq, priv.Q());
  IMod(uq, priv.P());
  EXPECT_EQ(uq.AsInt64(), 1) << "u = q^-1 mod p";
}

TEST_F(RSATest, GeneratedPairIsValid) {
  ExpectValidPair(Public(), Private(), 1024);
  EXPECT_EQ(Private().P().BitSize(), 512);
  EXPECT_EQ(Private().Q().BitSize(), 512);
  EXPECT_TRUE(Private().P().Bit(510)) << "second-highest bit set";
  EXPECT_TRUE(Private().Q().Bit(510));
  EXPECT_EQ(Public().GetAlgorithm(), "RSA");
  EXPECT_EQ(Public().Format(), "RAW");
  EXPECT_EQ(Private().Format(), "RAW");
}

TEST_F(RSATest, GeneratorStrengths) {
  TBaseRSAKeyPairGenerator generator;
  for (std::int32_t requested : {1, 0, -5}) {
    generator.Initialize(requested);
    EXPECT_EQ(generator.Strength(), 1024);
  }
  for (std::int32_t bits : {384, 513, 768}) {
    generator.Initialize(bits);
    auto pair = generator.GenerateKeyPair();
    const auto& pub = dynamic_cast<const TBaseRSAPublicKey&>(*pair->PublicKey());
    const auto& priv = dynamic_cast<const TBaseRSAPrivateKey&>(*pair->PrivateKey());
    ExpectValidPair(pub, priv, bits);
    EXPECT_EQ(priv.P().BitSize(), bits / 2);
    EXPECT_EQ(priv.Q().BitSize(), bits - bits / 2);
  }
}

TEST_F(RSATest, DefaultPairIsAValidPairOfTheFixedLengths) {
  const auto pub = DefaultRSAPublicKey();
  const auto priv = DefaultRSAPrivateKey();
  ExpectValidPair(*pub, *priv, 1024);
  EXPECT_EQ(priv->D().BitSize(), 1023);
  EXPECT_EQ(priv->P().BitSize(), 512);
  EXPECT_EQ(priv->Q().BitSize(), 512);
  EXPECT_EQ(priv->U().BitSize(), 512);
  // A message survives the public and private operations in both orders.
  TInteger m;
  IVal(m, "123456789abcdef0fedcba987654321", 16);
  TInteger c = TRSAAlgorithm::Public(m, *pub);
  EXPECT_EQ(ICompare(TRSAAlgorithm::Private(c, *priv), m), 0);
  c = TRSAAlgorithm::Private(m, *priv);
  EXPECT_EQ(ICompare(TRSAAlgorithm::Public(c, *pub), m), 0);
}

TEST_F(RSATest, KeySettersAndTextForms) {
  const TInteger n = Hex("a9f1c3"), e = Hex("10001"), d = Hex("1234567");
  EXPECT_EQ(FailureOf([&] { TBaseRSAPublicKey(nullptr, &e); }), "n == null");
  EXPECT_EQ(FailureOf([&] { TBaseRSAPublicKey(&n, nullptr); }), "e == null");
  EXPECT_EQ(FailureOf([&] { TBaseRSAPrivateKey(&n, nullptr, nullptr, nullptr, nullptr); }), "d == null");
  EXPECT_EQ(FailureOf([&] { TBaseRSAPrivateKey(nullptr, &d, nullptr, nullptr, nullptr); }), "n == null");
  const TInteger six(6), three(3);
  EXPECT_EQ(FailureOf([&] { TBaseRSAPrivateKey(nullptr, &d, &six, &three, nullptr); }), "gcd(q, p) != 1");

  TRawRSAPublicKey pub(&n, &e);
  EXPECT_EQ(pub.ToText(), "RSAPublicKey:\r\nn:A9 F1C3\r\ne:1 0001");
  const TInteger p(61), q(53), wrongU(5), rightU(38);  // 53 * 38 = 2014 = 33 * 61 + 1
  TRawRSAPrivateKey withWrongU(nullptr, &d, &p, &q, &wrongU);
  EXPECT_EQ(withWrongU.U().AsInt64(), 38) << "a wrong u is replaced by q^-1 mod p";
  EXPECT_EQ(withWrongU.N().AsInt64(), 61 * 53);
  TRawRSAPrivateKey withU(nullptr, &d, &p, &q, &rightU);
  EXPECT_EQ(withU.ToText(), "RSAPrivateKey:\r\nd:123 4567\r\np:3D\r\nq:35\r\nq^-1 mod p:26");
  TRawRSAPrivateKey withoutPrimes(&n, &d, nullptr, nullptr, nullptr);
  EXPECT_EQ(withoutPrimes.ToText(), "RSAPrivateKey:\r\nd:123 4567\r\np:NULL\r\nq:NULL\r\nq^-1 mod p:NULL");
  EXPECT_TRUE(withoutPrimes.GetEncoded().empty());
  EXPECT_EQ(RSAKeyText(nullptr), "NULL");
  EXPECT_EQ(RSAKeyText(&rightU), "26");
  const TInteger eightDigits = Hex("12345678");
  EXPECT_EQ(RSAKeyText(&eightDigits), "1234 5678");
}

TEST_F(RSATest, KeyRecords) {
  const TBytes pubRecord = Public().GetEncoded();
  // e first: 16-bit bit count 80, then 10 bytes; then n: 1024 bits in 128 bytes.
  ASSERT_EQ(pubRecord.size(), 2u + 10u + 2u + 128u);
  EXPECT_EQ(pubRecord[0], 0x00);
  EXPECT_EQ(pubRecord[1], 80);
  EXPECT_EQ(pubRecord[12], 0x04);
  EXPECT_EQ(pubRecord[13], 0x00);
  auto pub = RSAPublicKeyFromRecord(pubRecord.data(), pubRecord.size());
  ASSERT_TRUE(pub);
  EXPECT_EQ(ICompare(pub->N(), Public().N()), 0);
  EXPECT_EQ(ICompare(pub->E(), Public().E()), 0);

  const TBytes privRecord = Private().GetEncoded();
  auto priv = RSAPrivateKeyFromRecord(privRecord.data(), privRecord.size());
  ASSERT_TRUE(priv);
  EXPECT_EQ(ICompare(priv->D(), Private().D()), 0);
  EXPECT_EQ(ICompare(priv->U(), Private().U()), 0);

  // Cut short anywhere, or with a byte left over, a record makes no key.
  for (std::size_t cut = 0; cut < pubRecord.size(); cut += 7)
    EXPECT_FALSE(RSAPublicKeyFromRecord(pubRecord.data(), cut)) << cut;
  for (std::size_t cut = 0; cut < privRecord.size(); cut += 11)
    EXPECT_FALSE(RSAPrivateKeyFromRecord(privRecord.data(), cut)) << cut;
  TBytes longer = pubRecord;
  longer.push_back(0);
  EXPECT_FALSE(RSAPublicKeyFromRecord(longer.data(), longer.size()));
  TBytes wrongCount = pubRecord;
  wrongCount[1] = 79;  // claims one bit less than the bytes hold
  EXPECT_FALSE(RSAPublicKeyFromRecord(wrongCount.data(), wrongCount.size()));
}

TEST_F(RSATest, RawCipherKeyingAndBlocks) {
  auto rsa = TCipher::GetInstance("RSA", QuelmarinProvider);
  ASSERT_TRUE(rsa);
  EXPECT_EQ(rsa->GetAlgorithm(), "RSA");
  EXPECT_EQ(FailureOf([&] { rsa->PlaintextBlockSize(); }), "RSA: Block size is not valid until key is set");
  EXPECT_EQ(FailureOf([&] { rsa->CiphertextBlockSize(); }), "RSA: Block size is not valid until key is set");
  const TRawSecretKey secret("DES", TBytes(8, 1));
  EXPECT_EQ(FailureOf([&] { rsa->InitEncrypt(&secret); }), "RSA: Not an RSA key");
  EXPECT_EQ(FailureOf([&] { rsa->InitDecrypt(&secret); }), "RSA: Not an RSA Private key");
  EXPECT_EQ(FailureOf([&] { rsa->InitDecrypt(&Public()); }), "RSA: Not an RSA Private key");
  EXPECT_EQ(FailureOf([&] { rsa->InitEncrypt(nullptr); }), "key is null");
  const TKeyPair empty(nullptr, nullptr);
  EXPECT_EQ(FailureOf([&] { rsa->InitEncrypt(&empty); }), "RSA: key is null");
  EXPECT_EQ(FailureOf([&] { rsa->InitDecrypt(&empty); }), "RSA: key is null");

  // One block each way, through every kind of key the directions accept.
  TBytes block(127);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(255 - i);
  for (const TKey* encryptKey : {static_cast<const TKey*>(&Public()), static_cast<const TKey*>(pair_)}) {
    rsa->InitEncrypt(encryptKey);
    EXPECT_EQ(rsa->PlaintextBlockSize(), 127);
    EXPECT_EQ(rsa->CiphertextBlockSize(), 128);
    const TBytes c = rsa->DoFinal(block.data(), 0, Len(block));
    ASSERT_EQ(c.size(), 128u);
    for (const TKey* decryptKey : {static_cast<const TKey*>(&Private()), static_cast<const TKey*>(pair_)}) {
      rsa->InitDecrypt(decryptKey);
      EXPECT_EQ(rsa->DoFinal(c.data(), 0, Len(c)), block);
    }
  }
  // Encrypting with the private key is undone by the public exponent.
  rsa->InitEncrypt(&Private());
  const TBytes signedBlock = rsa->DoFinal(block.data(), 0, Len(block));
  TInteger x;
  x.SetBytes(signedBlock.data(), Len(signedBlock));
  TInteger y = TRSAAlgorithm::Public(x, Public());
  TBytes back(127);
  ASSERT_TRUE(y.GetBytes(back.data(), 127));
  EXPECT_EQ(back, block);

  rsa->InitDecrypt(&Private());
  TBytes tooBig(128, 0xFF);
  EXPECT_EQ(FailureOf([&] { rsa->DoFinal(tooBig.data(), 0, 128); }), "RSA: Input block value is out of range (>= modulus)");
  // (n - 1)^d = n - 1 needs all 128 bytes: it cannot be a plaintext block.
  TInteger nm1 = Public().N();
  ISub(nm1, TInteger(1));
  TBytes last(128);
  nm1.GetBytes(last.data(), 128);
  EXPECT_EQ(FailureOf([&] { rsa->DoFinal(last.data(), 0, 128); }), "Decryption failed, wrong key?");
}

TEST_F(RSATest, PaddedTransformation) {
  auto rsa = TCipher::GetInstance("RSA/ECB/PKCS#7", QuelmarinProvider);
  ASSERT_TRUE(rsa);
  for (std::int32_t length : {0, 1, 24, 126, 127, 300}) {
    TBytes plain(static_cast<std::size_t>(length));
    for (std::int32_t i = 0; i < length; ++i) plain[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
    rsa->InitEncrypt(&Public());
    const std::uint8_t none = 0;
    const TBytes c = rsa->DoFinal(length ? plain.data() : &none, 0, length);
    EXPECT_EQ(c.size(), static_cast<std::size_t>(128 * (length / 127 + 1))) << length;
    rsa->InitDecrypt(&Private());
    EXPECT_EQ(rsa->DoFinal(c.data(), 0, Len(c)), plain) << length;
  }
}

TEST_F(RSATest, CrtAndPlainPrivateOperationsAgree) {
  TRawRSAPrivateKey plain(&Private().N(), &Private().D(), nullptr, nullptr, nullptr);
  EXPECT_FALSE(plain.HasPrimes());
  for (const char* text : {"0", "1", "2", "ffffffffffffffffffffffffffffffff", "123456789abcdef123456789abcdef"}) {
    const TInteger m = Hex(text);
    EXPECT_EQ(ICompare(TRSAAlgorithm::Private(m, plain), TRSAAlgorithm::Private(m, Private())), 0) << text;
  }
}

TEST_F(RSATest, Signatures) {
  auto signer = TSignature::GetInstance("MD5/RSA/PKCS#1", QuelmarinProvider);
  ASSERT_TRUE(signer);
  EXPECT_EQ(signer->GetAlgorithm(), "MD5/RSA/PKCS#1");
  const TBytes message = {'a', 'b', 'c'};
  signer->InitSign(&Private());
  signer->Update(message.data(), 0, Len(message));
  const TBytes signature = signer->Sign();
  ASSERT_EQ(signature.size(), 128u);
  // The public operation shows the PKCS#1 v1.5 encoding around MD5("abc").
  TInteger s;
  s.SetBytes(signature.data(), 128);
  TBytes em(128);
  TRSAAlgorithm::Public(s, Public()).GetBytes(em.data(), 128);
  EXPECT_EQ(em[0], 0x00);
  EXPECT_EQ(em[1], 0x01);
  for (int i = 2; i < 128 - 35; ++i) EXPECT_EQ(em[static_cast<std::size_t>(i)], 0xFF) << i;
  EXPECT_EQ(em[128 - 35], 0x00);
  const TBytes md5abc = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0, 0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
  EXPECT_EQ(TBytes(em.end() - 16, em.end()), md5abc);
  EXPECT_EQ(em[128 - 34], 0x30);

  auto verifier = TSignature::GetInstance("md5/rsa/pkcs#1", QuelmarinProvider);
  ASSERT_TRUE(verifier);
  verifier->InitVerify(&Public());
  verifier->Update(message.data(), 0, Len(message));
  EXPECT_TRUE(verifier->Verify(signature));
  verifier->Update(message.data(), 0, Len(message));
  TBytes altered = signature;
  altered[60] ^= 1;
  EXPECT_FALSE(verifier->Verify(altered));
  verifier->Update(message.data(), 0, 2);
  EXPECT_FALSE(verifier->Verify(signature)) << "another message";
  verifier->Update(message.data(), 0, Len(message));
  EXPECT_FALSE(verifier->Verify(TBytes(signature.begin(), signature.end() - 1))) << "short signature";
}

TEST_F(RSATest, SignatureStatesAndFailures) {
  TMD5_RSA_PKCS1Signature signature;
  EXPECT_EQ(FailureOf([&] { signature.Sign(); }), "object not initialized for signing");
  signature.InitSign(nullptr);
  EXPECT_EQ(FailureOf([&] { signature.Sign(); }), "MD5/RSA/PKCS#1: Not initialized for signing");
  signature.InitVerify(nullptr);
  EXPECT_EQ(FailureOf([&] { signature.Verify(TBytes(128)); }), "MD5/RSA/PKCS#1: Not initialized for verification");

  EXPECT_EQ(FailureOf([] { TAny_RSA_PKCS1Signature("SHA-1/RSA/PKCS#1", "SHA-1", TBytes()); }),
            "SHA-1/RSA/PKCS#1: Unable to instantiate the MessageDigest");

  // 44 bytes cannot hold 0x00 0x01, eight 0xFF, 0x00, the 18-byte prefix and the digest.
  TBaseRSAKeyPairGenerator generator;
  generator.Initialize(352);
  auto small = generator.GenerateKeyPair();
  signature.InitSign(small->PrivateKey());
  EXPECT_EQ(FailureOf([&] { signature.Sign(); }), "Signer's public key modulus too short.");
  generator.Initialize(360);  // 45 bytes: just enough
  auto enough = generator.GenerateKeyPair();
  signature.InitSign(enough->PrivateKey());
  const TBytes s = signature.Sign();
  signature.InitVerify(enough->PublicKey());
  EXPECT_TRUE(signature.Verify(s));
}

}  // namespace
}  // namespace mivex::test
