#include "crypto/QuelmarinRSA.h"

#include <stdexcept>
#include <vector>

#include "crypto/CryptoBytes.h"
#include "crypto/IntegersParams.h"
#include "crypto/Integers_Primes.h"
#include "crypto/SecureRandom.h"

namespace mivex {

namespace {

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

bool IsOne(const TInteger& x) { return x.Size() == 1 && x.Digits()[0] == 1 && !x.Negative(); }

TInteger MinusOne(const TInteger& x) {
  TInteger r = x;
  ISub(r, TInteger(1));
  return r;
}

// Bounds-checked reader of key records.
class TRecordReader {
 public:
  TRecordReader(const std::uint8_t* data, std::size_t length) : data_(data), length_(length) {}
  bool Read(TInteger& value) {
    if (length_ - pos_ < 2) return false;
    const std::size_t bits = (std::size_t{data_[pos_]} << 8) | data_[pos_ + 1];
    pos_ += 2;
    const std::size_t bytes = (bits + 7) / 8;
    if (length_ - pos_ < bytes) return false;
    value.SetBytes(data_ + pos_, static_cast<std::int32_t>(bytes));
    pos_ += bytes;
    return static_cast<std::size_t>(value.BitSize()) == bits;  // the count must be exact
  }
  bool AtEnd() const { return pos_ == length_; }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t pos_ = 0;
};

std::unique_ptr<TBaseRSAPublicKey> CopyOf(const TBaseRSAPublicKey& key) {
  return std::make_unique<TBaseRSAPublicKey>(&key.N(), &key.E());
}

std::unique_ptr<TBaseRSAPrivateKey> CopyOf(const TBaseRSAPrivateKey& key) {
  if (key.HasPrimes()) return std::make_unique<TBaseRSAPrivateKey>(nullptr, &key.D(), &key.P(), &key.Q(), &key.U());
  return std::make_unique<TBaseRSAPrivateKey>(&key.N(), &key.D(), nullptr, nullptr, nullptr);
}

// The big-endian value x written into exactly `size` bytes at out; false when too long.
bool PutBlock(const TInteger& x, std::uint8_t* out, std::int32_t size) { return x.GetBytes(out, size); }

}  // namespace

// ---- keys ------------------------------------------------------------------------------

std::string RSAKeyText(const TInteger* value) {
  if (value == nullptr) return "NULL";
  const std::string hex = IStr(*value, 16, true);
  // Groups of four counted from the right: a blank before every digit that has a multiple
  // of four digits after it.
  std::string text;
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (i > 0 && (hex.size() - i) % 4 == 0) text.push_back(' ');
    text.push_back(hex[i]);
  }
  return text;
}

TBytes RSAKeyRecord(std::initializer_list<const TInteger*> numbers) {
  TBytes record;
  for (const TInteger* x : numbers) {
    const std::int32_t bits = x->BitSize();
    if (bits > 0xFFFF) Fail("RSA: key number too long for a key record");
    record.push_back(static_cast<std::uint8_t>(bits >> 8));
    record.push_back(static_cast<std::uint8_t>(bits));
    const TBytes bytes = x->GetBytes();
    record.insert(record.end(), bytes.begin(), bytes.end());
  }
  return record;
}

std::unique_ptr<TRawRSAPublicKey> RSAPublicKeyFromRecord(const std::uint8_t* data, std::size_t length) {
  TRecordReader reader(data, length);
  TInteger e, n;
  if (!reader.Read(e) || !reader.Read(n) || !reader.AtEnd() || e.IsZero() || n.IsZero()) return nullptr;
  return std::make_unique<TRawRSAPublicKey>(&n, &e);
}

std::unique_ptr<TRawRSAPrivateKey> RSAPrivateKeyFromRecord(const std::uint8_t* data, std::size_t length) {
  TRecordReader reader(data, length);
  TInteger d, p, q, u;
  if (!reader.Read(d) || !reader.Read(p) || !reader.Read(q) || !reader.Read(u) || !reader.AtEnd()) return nullptr;
  if (d.IsZero() || p.BitSize() < 2 || q.BitSize() < 2) return nullptr;
  try {
    return std::make_unique<TRawRSAPrivateKey>(nullptr, &d, &p, &q, &u);
  } catch (const std::runtime_error&) {
    return nullptr;  // primes without an inverse: no key
  }
}

TBaseRSAPublicKey::TBaseRSAPublicKey(const TInteger* n, const TInteger* e) : TPublicKey("RSA", nullptr, 0, 0) {
  if (n == nullptr) Fail("n == null");
  if (e == nullptr) Fail("e == null");
  n_ = *n;
  e_ = *e;
}

std::string TBaseRSAPublicKey::ToText() const {
  return "RSAPublicKey:\r\nn:" + RSAKeyText(&n_) + "\r\n" + "e:" + RSAKeyText(&e_);
}

TBytes TBaseRSAPublicKey::GetEncoded() const { return RSAKeyRecord({&e_, &n_}); }

TBaseRSAPrivateKey::TBaseRSAPrivateKey(const TInteger* n, const TInteger* d, const TInteger* p, const TInteger* q,
                                       const TInteger* u)
    : TPrivateKey("RSA", nullptr, 0, 0) {
  if (d == nullptr) Fail("d == null");
  d_ = *d;
  if (p == nullptr || q == nullptr) {
    if (n == nullptr) Fail("n == null");
    n_ = *n;
    return;
  }
  p_ = *p;
  q_ = *q;
  n_ = *p;
  IMul(n_, *q);
  // u = q^-1 mod p: a given value is kept only when it is right.
  bool given = false;
  if (u != nullptr && p->BitSize() >= 2) {
    TInteger check = *u;
    IMul(check, *q);
    IMod(check, *p);
    given = IsOne(check);
  }
  if (given) {
    u_ = *u;
  } else {
    TInteger inverse = *q;
    if (p->BitSize() < 2 || !IInvMod(inverse, *p)) Fail("gcd(q, p) != 1");
    u_ = std::move(inverse);
  }
  dp_ = d_;
  IMod(*dp_, MinusOne(*p_));
  dq_ = d_;
  IMod(*dq_, MinusOne(*q_));
}

std::string TBaseRSAPrivateKey::ToText() const {
  return "RSAPrivateKey:\r\nd:" + RSAKeyText(&d_) + "\r\n" + "p:" + RSAKeyText(p_ ? &*p_ : nullptr) + "\r\n" +
         "q:" + RSAKeyText(q_ ? &*q_ : nullptr) + "\r\n" + "q^-1 mod p:" + RSAKeyText(u_ ? &*u_ : nullptr);
}

TBytes TBaseRSAPrivateKey::GetEncoded() const {
  if (!HasPrimes()) return TBytes();
  return RSAKeyRecord({&d_, &*p_, &*q_, &*u_});
}

TInteger TBaseRSAPrivateKey::Apply(const TInteger& m) const {
  if (!HasPrimes()) {
    TInteger r = m;
    IPowMod(r, d_, n_);
    return r;
  }
  // Garner: m1 = m^dp mod p, m2 = m^dq mod q, h = u (m1 - m2) mod p, result m2 + h q.
  TInteger m1 = m, m2 = m;
  IPowMod(m1, *dp_, *p_);
  IPowMod(m2, *dq_, *q_);
  TInteger h = m1;
  ISub(h, m2);
  IMul(h, *u_);
  IMod(h, *p_);
  IMul(h, *q_);
  IAdd(h, m2);
  return h;
}

// ---- the computation -------------------------------------------------------------------

TInteger TRSAAlgorithm::Public(const TInteger& x, const TBaseRSAPublicKey& key) {
  TInteger r = x;
  IPowMod(r, key.E(), key.N());
  return r;
}

TInteger TRSAAlgorithm::Private(const TInteger& x, const TBaseRSAPrivateKey& key) { return key.Apply(x); }

// ---- raw cipher ------------------------------------------------------------------------

void TRawRSACipher::EngineInitEncrypt(const TKey& key) {
  public_.reset();
  private_.reset();
  const TKey* k = &key;
  if (const auto* pair = dynamic_cast<const TKeyPair*>(k)) {
    if (pair->PublicKey() == nullptr) Fail("RSA: key is null");
    k = pair->PublicKey();
  }
  if (const auto* pub = dynamic_cast<const TBaseRSAPublicKey*>(k))
    public_ = CopyOf(*pub);
  else if (const auto* priv = dynamic_cast<const TBaseRSAPrivateKey*>(k))
    private_ = CopyOf(*priv);
  else
    Fail("RSA: Not an RSA key");
}

void TRawRSACipher::EngineInitDecrypt(const TKey& key) {
  public_.reset();
  private_.reset();
  const TKey* k = &key;
  if (const auto* pair = dynamic_cast<const TKeyPair*>(k)) {
    if (pair->PrivateKey() == nullptr) Fail("RSA: key is null");
    k = pair->PrivateKey();
  }
  const auto* priv = dynamic_cast<const TBaseRSAPrivateKey*>(k);
  if (priv == nullptr) Fail("RSA: Not an RSA Private key");
  private_ = CopyOf(*priv);
}

std::int32_t TRawRSACipher::ModulusBytes() const {
  if (public_) return public_->N().ByteSize();
  if (private_) return private_->N().ByteSize();
  Fail("RSA: Block size is not valid until key is set");
}

std::int32_t TRawRSACipher::EnginePlaintextBlockSize() { return ModulusBytes() - 1; }

std::int32_t TRawRSACipher::EngineCiphertextBlockSize() { return ModulusBytes(); }

std::int32_t TRawRSACipher::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen,
                                         std::uint8_t* out, std::int32_t outOffset) {
  const std::int32_t k = ModulusBytes();
  const bool encrypt = State() != TCipherState::Decrypt;
  const std::int32_t inBlock = encrypt ? k - 1 : k;
  const std::int32_t outBlock = encrypt ? k : k - 1;
  const TInteger& n = public_ ? public_->N() : private_->N();
  std::int32_t written = 0;
  for (std::int32_t pos = 0; pos + inBlock <= inLen; pos += inBlock) {
    TInteger x;
    x.SetBytes(in + inOffset + pos, inBlock);
    if (ICompare(x, n) >= 0) Fail("RSA: Input block value is out of range (>= modulus)");
    const TInteger y = public_ ? TRSAAlgorithm::Public(x, *public_) : TRSAAlgorithm::Private(x, *private_);
    if (!PutBlock(y, out + outOffset + written, outBlock)) Fail("Decryption failed, wrong key?");
    written += outBlock;
  }
  return written;
}

// ---- key-pair generator ----------------------------------------------------------------

void TBaseRSAKeyPairGenerator::Initialize(std::int32_t strength) {
  strength_ = strength <= 1 ? hitparams::RSADefaultStrength : strength;
}

namespace {

// A random prime of exactly `bits` bits whose two highest bits are set.
TInteger RandomPrime(std::int32_t bits) {
  for (;;) {
    TInteger start = SecureRandomInteger(bits);
    start.SetBit(bits - 1, true);
    start.SetBit(bits - 2, true);
    IMakePrime(start, hitparams::RSAPrimeBases);
    if (start.BitSize() == bits) return start;
  }
}

}  // namespace

std::unique_ptr<TKeyPair> TBaseRSAKeyPairGenerator::GenerateKeyPair() {
  const std::int32_t pBits = strength_ / 2, qBits = strength_ - pBits;
  for (;;) {
    TInteger e = RandomPrime(hitparams::RSAPublicExponentBits);
    TInteger p = RandomPrime(pBits), q = RandomPrime(qBits);
    if (ICompare(p, q) == 0) continue;
    TInteger n = p;
    IMul(n, q);
    if (n.BitSize() != strength_) continue;
    TInteger phi = MinusOne(p);
    IMul(phi, MinusOne(q));
    TInteger d = e;
    if (!IInvMod(d, phi)) continue;
    auto publicKey = std::make_unique<TRawRSAPublicKey>(&n, &e);
    auto privateKey = std::make_unique<TRawRSAPrivateKey>(nullptr, &d, &p, &q, nullptr);
    return std::make_unique<TKeyPair>(std::move(publicKey), std::move(privateKey));
  }
}

// ---- signatures ------------------------------------------------------------------------

TAny_RSA_PKCS1Signature::TAny_RSA_PKCS1Signature(const std::string& name, const std::string& digestName,
                                                 TBytes digestInfoPrefix)
    : TSignature(name), digest_(TMessageDigest::GetInstance(digestName, QuelmarinProvider)),
      prefix_(std::move(digestInfoPrefix)) {
  if (!digest_) Fail(name + ": Unable to instantiate the MessageDigest");
}

void TAny_RSA_PKCS1Signature::EngineInitSign(const TPrivateKey* key) {
  const auto* rsa = dynamic_cast<const TBaseRSAPrivateKey*>(key);
  signingKey_ = rsa ? CopyOf(*rsa) : nullptr;
  verifyingKey_.reset();
  digest_->Reset();
}

void TAny_RSA_PKCS1Signature::EngineInitVerify(const TPublicKey* key) {
  const auto* rsa = dynamic_cast<const TBaseRSAPublicKey*>(key);
  verifyingKey_ = rsa ? CopyOf(*rsa) : nullptr;
  signingKey_.reset();
  digest_->Reset();
}

void TAny_RSA_PKCS1Signature::EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) {
  digest_->Update(in, offset, length);
}

TBytes TAny_RSA_PKCS1Signature::EncodedMessage(std::int32_t k) {
  const TBytes digest = digest_->Digest();
  const std::int32_t tLen = static_cast<std::int32_t>(prefix_.size() + digest.size());
  // At least eight 0xFF bytes between the leading 0x00 0x01 and the 0x00 separator.
  if (k < tLen + 11) Fail("Signer's public key modulus too short.");
  TBytes em(static_cast<std::size_t>(k), 0xFF);
  em[0] = 0x00;
  em[1] = 0x01;
  em[static_cast<std::size_t>(k - tLen - 1)] = 0x00;
  std::copy(prefix_.begin(), prefix_.end(), em.end() - tLen);
  std::copy(digest.begin(), digest.end(), em.end() - static_cast<std::ptrdiff_t>(digest.size()));
  return em;
}

TBytes TAny_RSA_PKCS1Signature::EngineSign() {
  if (signingKey_ == nullptr) Fail(GetAlgorithm() + ": Not initialized for signing");
  const std::int32_t k = signingKey_->N().ByteSize();
  TBytes em = EncodedMessage(k);
  TInteger m;
  m.SetBytes(em.data(), k);
  const TInteger s = TRSAAlgorithm::Private(m, *signingKey_);
  TBytes signature(static_cast<std::size_t>(k));
  s.GetBytes(signature.data(), k);
  return signature;
}

bool TAny_RSA_PKCS1Signature::EngineVerify(const std::uint8_t* signature, std::int32_t offset, std::int32_t length) {
  if (verifyingKey_ == nullptr) Fail(GetAlgorithm() + ": Not initialized for verification");
  const std::int32_t k = verifyingKey_->N().ByteSize();
  const TBytes expected = EncodedMessage(k);  // also resets the digest for the next message
  if (signature == nullptr || offset < 0 || length != k) return false;
  TInteger s;
  s.SetBytes(signature + offset, length);
  if (ICompare(s, verifyingKey_->N()) >= 0) return false;
  const TInteger m = TRSAAlgorithm::Public(s, *verifyingKey_);
  TBytes em(static_cast<std::size_t>(k));
  return m.GetBytes(em.data(), k) && em == expected;
}

namespace {
// DigestInfo of MD5 (RFC 8017, section 9.2, note 1).
const std::uint8_t kMD5DigestInfo[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
}  // namespace

TMD5_RSA_PKCS1Signature::TMD5_RSA_PKCS1Signature()
    : TAny_RSA_PKCS1Signature(ClassAlgorithm(), "MD5", TBytes(std::begin(kMD5DigestInfo), std::end(kMD5DigestInfo))) {}

void StartRSA() {
  RegisterCipherClass<TRawRSACipher>();
  RegisterKeyPairGenerator("RSA", [] {
    auto generator = std::make_unique<TBaseRSAKeyPairGenerator>();
    generator->Initialize(hitparams::RSADefaultStrength);
    return generator;
  });
  RegisterSignature(TMD5_RSA_PKCS1Signature::ClassAlgorithm(), [] { return std::make_unique<TMD5_RSA_PKCS1Signature>(); });
}

}  // namespace mivex
