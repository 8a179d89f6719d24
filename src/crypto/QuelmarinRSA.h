#pragma once
// RSA for the cipher framework (unit QuelmarinRSA): keys with their text forms and key
// records, the raw RSA cipher "RSA", the key-pair generator "RSA" and PKCS#1 v1.5
// signatures, "MD5/RSA/PKCS#1" among them. Failures are std::runtime_error with the
// texts quoted in the comments.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "crypto/Integers.h"
#include "crypto/IntegersParams.h"
#include "crypto/Quelmarin.h"

namespace mivex {

// ---- keys ------------------------------------------------------------------------------

// Modulus n and public exponent e. Fails with "n == null" or "e == null".
class TBaseRSAPublicKey : public TPublicKey {
 public:
  TBaseRSAPublicKey(const TInteger* n, const TInteger* e);
  const TInteger& N() const { return n_; }
  const TInteger& E() const { return e_; }
  // "RSAPublicKey:\r\nn:<n>\r\ne:<e>"
  std::string ToText() const override;
  // The key record: e, then n.
  TBytes GetEncoded() const override;

 private:
  TInteger n_, e_;
};

// Private exponent d with the primes p, q and u = q^-1 mod p; n = p q. Fails with
// "d == null" without d. A given u is kept only if u q mod p = 1; otherwise u is computed,
// failing with "gcd(q, p) != 1" when q has no inverse mod p. Without both primes the key
// needs n ("n == null") and works without the Chinese remainder theorem.
class TBaseRSAPrivateKey : public TPrivateKey {
 public:
  TBaseRSAPrivateKey(const TInteger* n, const TInteger* d, const TInteger* p, const TInteger* q, const TInteger* u);
  const TInteger& N() const { return n_; }
  const TInteger& D() const { return d_; }
  bool HasPrimes() const { return p_.has_value(); }
  // Only when HasPrimes().
  const TInteger& P() const { return *p_; }
  const TInteger& Q() const { return *q_; }
  const TInteger& U() const { return *u_; }
  // "RSAPrivateKey:\r\nd:<d>\r\np:<p>\r\nq:<q>\r\nq^-1 mod p:<u>" (absent numbers "NULL")
  std::string ToText() const override;
  // The key record: d, p, q, u; empty for a key without its primes.
  TBytes GetEncoded() const override;
  // m^d mod n, through the primes when they are known.
  TInteger Apply(const TInteger& m) const;

 private:
  TInteger n_, d_;
  std::optional<TInteger> p_, q_, u_;
  std::optional<TInteger> dp_, dq_;  // d mod (p - 1), d mod (q - 1)
};

class TRawRSAPublicKey : public TBaseRSAPublicKey {
 public:
  using TBaseRSAPublicKey::TBaseRSAPublicKey;
  std::string Format() const override { return "RAW"; }
};

class TRawRSAPrivateKey : public TBaseRSAPrivateKey {
 public:
  using TBaseRSAPrivateKey::TBaseRSAPrivateKey;
  std::string Format() const override { return "RAW"; }
};

// Key records: each integer as a 16-bit big-endian bit count and ceil(bits / 8) magnitude
// bytes, most significant first. The readers return nullptr for a record that is cut
// short, has bytes left over, or holds numbers that make no key.
TBytes RSAKeyRecord(std::initializer_list<const TInteger*> numbers);
std::unique_ptr<TRawRSAPublicKey> RSAPublicKeyFromRecord(const std::uint8_t* data, std::size_t length);
std::unique_ptr<TRawRSAPrivateKey> RSAPrivateKeyFromRecord(const std::uint8_t* data, std::size_t length);

// Integers of the text forms: upper-case hexadecimal in groups of four digits counted
// from the right, separated by blanks; "NULL" for an absent number.
std::string RSAKeyText(const TInteger* value);

// ---- the computation -------------------------------------------------------------------

class TRSAAlgorithm {
 public:
  // x^e mod n.
  static TInteger Public(const TInteger& x, const TBaseRSAPublicKey& key);
  // x^d mod n, with the Chinese remainder theorem when p and q are known.
  static TInteger Private(const TInteger& x, const TBaseRSAPrivateKey& key);
};

// ---- raw cipher ------------------------------------------------------------------------

// Raw RSA per block: with k the byte length of n, plaintext blocks of k - 1 bytes and
// ciphertext blocks of k bytes, both big-endian. Encryption takes a public key, a private
// key or a key pair (its public key); decryption a private key or a key pair.
class TRawRSACipher : public TCipher {
 public:
  explicit TRawRSACipher(bool unbuffered) : TCipher(unbuffered) {}
  static std::string ClassAlgorithm() { return "RSA"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }

 protected:
  void EngineInitEncrypt(const TKey& key) override;
  void EngineInitDecrypt(const TKey& key) override;
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  // Fail with "RSA: Block size is not valid until key is set" before keying.
  std::int32_t EnginePlaintextBlockSize() override;
  std::int32_t EngineCiphertextBlockSize() override;

 private:
  std::int32_t ModulusBytes() const;

  std::unique_ptr<TBaseRSAPublicKey> public_;  // set for public-key encryption
  std::unique_ptr<TBaseRSAPrivateKey> private_;
};

// ---- key-pair generator ----------------------------------------------------------------

// New key pairs of `strength` bits (1024 when 1 or less): a random 80-bit prime e, primes
// p and q of floor(strength / 2) and the remaining bits, d = e^-1 mod (p - 1)(q - 1).
// All randomness comes from the strong generator of SecureRandom.h.
class TBaseRSAKeyPairGenerator : public TKeyPairGenerator {
 public:
  void Initialize(std::int32_t strength);
  std::unique_ptr<TKeyPair> GenerateKeyPair();
  std::int32_t Strength() const { return strength_; }

 private:
  std::int32_t strength_ = hitparams::RSADefaultStrength;
};

// ---- signatures ------------------------------------------------------------------------

// PKCS#1 v1.5 signatures over a registered digest: the encoded message is 0x00 0x01,
// bytes 0xFF, 0x00, the digest's DigestInfo prefix and the digest, as long as n.
class TAny_RSA_PKCS1Signature : public TSignature {
 public:
  // Fails with "<name>: Unable to instantiate the MessageDigest" when the digest is not
  // registered.
  TAny_RSA_PKCS1Signature(const std::string& name, const std::string& digestName, TBytes digestInfoPrefix);

 protected:
  // A key of another kind (or none) leaves the object without a key, so that Sign and
  // Verify fail with "<name>: Not initialized for signing" / "... for verification".
  void EngineInitSign(const TPrivateKey* key) override;
  void EngineInitVerify(const TPublicKey* key) override;
  void EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) override;
  TBytes EngineSign() override;
  bool EngineVerify(const std::uint8_t* signature, std::int32_t offset, std::int32_t length) override;

 private:
  // The encoded message for the digest of everything fed so far ("Signer's public key
  // modulus too short." when k bytes cannot hold it).
  TBytes EncodedMessage(std::int32_t k);

  std::unique_ptr<TMessageDigest> digest_;
  TBytes prefix_;
  // Copies of the keys given to InitSign / InitVerify.
  std::unique_ptr<TBaseRSAPrivateKey> signingKey_;
  std::unique_ptr<TBaseRSAPublicKey> verifyingKey_;
};

class TMD5_RSA_PKCS1Signature : public TAny_RSA_PKCS1Signature {
 public:
  TMD5_RSA_PKCS1Signature();
  static std::string ClassAlgorithm() { return "MD5/RSA/PKCS#1"; }
};

// Start-up of the unit: enters the cipher "RSA", the key-pair generator "RSA" and the
// signature "MD5/RSA/PKCS#1". Call after StartCipherFramework.
void StartRSA();

}  // namespace mivex
