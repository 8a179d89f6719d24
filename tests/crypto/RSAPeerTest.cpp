// RSA against the openssl command-line tool: our keys, exported as PEM here, pass its key
// check; it accepts our "MD5/RSA/PKCS#1" signatures and we accept its own; raw RSA blocks
// round-trip in both directions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "crypto/CipherDefaultKey.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"

namespace mivex::test {
namespace {

// ---- DER and PEM ---------------------------------------------------------------------

TBytes DerLength(std::size_t n) {
  if (n < 0x80) return {static_cast<std::uint8_t>(n)};
  TBytes bytes;
  for (std::size_t v = n; v != 0; v >>= 8) bytes.insert(bytes.begin(), static_cast<std::uint8_t>(v));
  bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | bytes.size()));
  return bytes;
}

TBytes Der(std::uint8_t tag, const TBytes& content) {
  TBytes out = {tag};
  const TBytes length = DerLength(content.size());
  out.insert(out.end(), length.begin(), length.end());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

TBytes DerInteger(const TInteger& x) {
  TBytes magnitude = x.GetBytes();
  if (magnitude.empty() || magnitude[0] & 0x80) magnitude.insert(magnitude.begin(), 0);
  return Der(0x02, magnitude);
}

TBytes DerSequence(std::initializer_list<TBytes> items) {
  TBytes content;
  for (const TBytes& item : items) content.insert(content.end(), item.begin(), item.end());
  return Der(0x30, content);
}

std::string Pem(const char* label, const TBytes& der) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string base64;
  for (std::size_t i = 0; i < der.size(); i += 3) {
    const std::uint32_t v = (std::uint32_t{der[i]} << 16) | (i + 1 < der.size() ? std::uint32_t{der[i + 1]} << 8 : 0) |
                            (i + 2 < der.size() ? der[i + 2] : 0);
    base64 += alphabet[v >> 18];
    base64 += alphabet[(v >> 12) & 63];
    base64 += i + 1 < der.size() ? alphabet[(v >> 6) & 63] : '=';
    base64 += i + 2 < der.size() ? alphabet[v & 63] : '=';
  }
  std::string text = std::string("-----BEGIN ") + label + "-----\n";
  for (std::size_t i = 0; i < base64.size(); i += 64) text += base64.substr(i, 64) + "\n";
  return text + "-----END " + label + "-----\n";
}

TInteger ModMinusOne(const TInteger& d, const TInteger& prime) {
  TInteger pm1 = prime, r = d;
  ISub(pm1, TInteger(1));
  IMod(r, pm1);
  return r;
}

// PKCS#1 RSAPrivateKey.
std::string PrivatePem(const TBaseRSAPublicKey& pub, const TBaseRSAPrivateKey& priv) {
  return Pem("RSA PRIVATE KEY",
             DerSequence({DerInteger(TInteger(0)), DerInteger(pub.N()), DerInteger(pub.E()), DerInteger(priv.D()),
                          DerInteger(priv.P()), DerInteger(priv.Q()), DerInteger(ModMinusOne(priv.D(), priv.P())),
                          DerInteger(ModMinusOne(priv.D(), priv.Q())), DerInteger(priv.U())}));
}

// SubjectPublicKeyInfo with rsaEncryption.
std::string PublicPem(const TBaseRSAPublicKey& pub) {
  const TBytes algorithm = DerSequence({Der(0x06, {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x01}), Der(0x05, {})});
  TBytes bits = {0x00};
  const TBytes rsaKey = DerSequence({DerInteger(pub.N()), DerInteger(pub.E())});
  bits.insert(bits.end(), rsaKey.begin(), rsaKey.end());
  return Pem("PUBLIC KEY", DerSequence({algorithm, Der(0x03, bits)}));
}

// ---- files and the tool ----------------------------------------------------------------

std::string Path(const std::string& name) { return ::testing::TempDir() + "rsa_peer_" + name; }

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
void WriteFile(const std::string& path, const TBytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
TBytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolResult {
  int status;
  std::string output;
};

ToolResult Openssl(const std::string& arguments) {
  const std::string out = Path("tool_output.txt");
  const int status = std::system(("openssl " + arguments + " >" + out + " 2>&1").c_str());
  const TBytes text = ReadFile(out);
  return {status, std::string(text.begin(), text.end())};
}

class RSAPeer : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    StartCipherFramework();
    StartRSA();
    TBaseRSAKeyPairGenerator generator;
    generator.Initialize(1024);
    pair_ = generator.GenerateKeyPair().release();
    WriteFile(Path("priv.pem"), PrivatePem(Public(), Private()));
    WriteFile(Path("pub.pem"), PublicPem(Public()));
  }
  static void TearDownTestSuite() {
    delete pair_;
    pair_ = nullptr;
    StopCipherFramework();
  }

 protected:
  void SetUp() override {
    if (std::system("openssl version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl tool";
  }
  static const TBaseRSAPublicKey& Public() { return dynamic_cast<const TBaseRSAPublicKey&>(*pair_->PublicKey()); }
  static const TBaseRSAPrivateKey& Private() { return dynamic_cast<const TBaseRSAPrivateKey&>(*pair_->PrivateKey()); }

  static TBytes Sign(const TBytes& message) {
    auto signer = TSignature::GetInstance("MD5/RSA/PKCS#1", QuelmarinProvider);
    signer->InitSign(&Private());
    if (!message.empty()) signer->Update(message.data(), 0, static_cast<std::int32_t>(message.size()));
    return signer->Sign();
  }
  static bool Verify(const TBytes& message, const TBytes& signature) {
    auto verifier = TSignature::GetInstance("MD5/RSA/PKCS#1", QuelmarinProvider);
    verifier->InitVerify(&Public());
    if (!message.empty()) verifier->Update(message.data(), 0, static_cast<std::int32_t>(message.size()));
    return verifier->Verify(signature);
  }

  static TKeyPair* pair_;
};

TKeyPair* RSAPeer::pair_ = nullptr;

TEST_F(RSAPeer, OpensslChecksOurKeys) {
  ToolResult check = Openssl("rsa -check -noout -in " + Path("priv.pem"));
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("RSA key ok"), std::string::npos) << check.output;

  const auto defaultPublic = DefaultRSAPublicKey();
  const auto defaultPrivate = DefaultRSAPrivateKey();
  WriteFile(Path("default.pem"), PrivatePem(*defaultPublic, *defaultPrivate));
  check = Openssl("rsa -check -noout -in " + Path("default.pem"));
  EXPECT_NE(check.output.find("RSA key ok"), std::string::npos) << "default pair: " << check.output;
}

TEST_F(RSAPeer, OpensslVerifiesOurSignature) {
  const std::string text = "The quick brown fox jumps over the lazy dog";
  const TBytes message(text.begin(), text.end());
  WriteFile(Path("message"), message);
  TBytes signature = Sign(message);
  WriteFile(Path("ours.sig"), signature);
  ToolResult verify = Openssl("dgst -md5 -verify " + Path("pub.pem") + " -signature " + Path("ours.sig") + " " +
                              Path("message"));
  EXPECT_EQ(verify.status, 0) << verify.output;
  EXPECT_NE(verify.output.find("Verified OK"), std::string::npos) << verify.output;

  signature[5] ^= 0x40;
  WriteFile(Path("bad.sig"), signature);
  verify = Openssl("dgst -md5 -verify " + Path("pub.pem") + " -signature " + Path("bad.sig") + " " + Path("message"));
  EXPECT_NE(verify.status, 0) << "a damaged signature is refused: " << verify.output;
}

TEST_F(RSAPeer, WeVerifyOpensslSignatures) {
  for (const std::string& text : {std::string(), std::string("abc"), std::string(5000, 'x')}) {
    const TBytes message(text.begin(), text.end());
    WriteFile(Path("message"), message);
    const ToolResult sign = Openssl("dgst -md5 -sign " + Path("priv.pem") + " -out " + Path("theirs.sig") + " " +
                                    Path("message"));
    ASSERT_EQ(sign.status, 0) << sign.output;
    const TBytes theirs = ReadFile(Path("theirs.sig"));
    EXPECT_TRUE(Verify(message, theirs)) << text.size();
    EXPECT_EQ(theirs, Sign(message)) << "PKCS#1 v1.5 signatures are deterministic";
  }
}

TEST_F(RSAPeer, RawBlocksRoundTrip) {
  TBytes block(127);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 13 + 1);

  // Ours encrypts, openssl decrypts (no padding: the 128-byte result is 0x00 + block).
  auto rsa = TCipher::GetInstance("RSA", QuelmarinProvider);
  rsa->InitEncrypt(&Public());
  WriteFile(Path("ours.bin"), rsa->DoFinal(block.data(), 0, 127));
  ToolResult run = Openssl("pkeyutl -decrypt -inkey " + Path("priv.pem") + " -pkeyopt rsa_padding_mode:none -in " +
                           Path("ours.bin") + " -out " + Path("ours.plain"));
  ASSERT_EQ(run.status, 0) << run.output;
  TBytes expect = block;
  expect.insert(expect.begin(), 0);
  EXPECT_EQ(ReadFile(Path("ours.plain")), expect);

  // openssl encrypts, ours decrypts.
  WriteFile(Path("plain.bin"), expect);
  run = Openssl("pkeyutl -encrypt -pubin -inkey " + Path("pub.pem") + " -pkeyopt rsa_padding_mode:none -in " +
                Path("plain.bin") + " -out " + Path("theirs.bin"));
  ASSERT_EQ(run.status, 0) << run.output;
  const TBytes theirs = ReadFile(Path("theirs.bin"));
  ASSERT_EQ(theirs.size(), 128u);
  rsa->InitDecrypt(&Private());
  EXPECT_EQ(rsa->DoFinal(theirs.data(), 0, 128), block);
}

}  // namespace
}  // namespace mivex::test
