#include "crypto/Cipher.h"

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/TextUtil.h"
#include "crypto/CipherDefaultKey.h"
#include "crypto/CryptoBytes.h"
#include "crypto/HashKey.h"
#include "crypto/QuelmarinRSA.h"
#include "crypto/SecureRandom.h"

namespace mivex {

namespace {

constexpr std::int32_t kDESInterleaveStep = 16;
constexpr std::int32_t kDESWrappedKeyLength = 16;
constexpr std::int32_t kDESSessionKeyLength = 8;
constexpr std::int32_t kTDESSessionKeyLength = 24;
// The 8-byte master key under which TQuelmarinDES wraps its session keys.
constexpr std::uint8_t kMasterKey[kDESSessionKeyLength] = {'v', 'o', 's', 't', 'm', 'e', 'l', 'k'};

// A session key: fresh unpredictable bytes, wiped when it goes.
class TSessionKey {
 public:
  explicit TSessionKey(std::size_t length) : bytes_(length) { SecureRandomBytes(bytes_.data(), length); }
  ~TSessionKey() { WipeBytes(bytes_.data(), bytes_.size()); }
  TSessionKey(const TSessionKey&) = delete;
  TSessionKey& operator=(const TSessionKey&) = delete;
  const TBytes& Bytes() const { return bytes_; }

 private:
  TBytes bytes_;
};

std::unique_ptr<TCipher> NeedCipher(const std::string& transformation) {
  auto cipher = TCipher::GetInstance(transformation, QuelmarinProvider);
  if (!cipher) throw std::runtime_error(transformation + ": no such cipher");
  return cipher;
}

std::unique_ptr<TSignature> NeedSignature(const std::string& name) {
  auto signature = TSignature::GetInstance(name, QuelmarinProvider);
  if (!signature) throw std::runtime_error(name + ": no such signature");
  return signature;
}

// The framework takes input as (pointer, offset, length); an empty input may come as a
// null pointer.
const std::uint8_t* NonNull(const std::uint8_t* data) {
  static const std::uint8_t kNone = 0;
  return data != nullptr ? data : &kNone;
}

void PutBigEndian(TBytes& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Bounds-checked reading of an RSA container.
class TContainerReader {
 public:
  TContainerReader(const std::uint8_t* data, std::int32_t length)
      : data_(NonNull(data)), length_(length < 0 ? 0 : static_cast<std::size_t>(length)) {}
  bool ReadLength(int bytes, std::size_t& value) {
    if (length_ - pos_ < static_cast<std::size_t>(bytes)) return false;
    value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | data_[pos_++];
    return true;
  }
  // The next n bytes, in place; false when the container holds fewer.
  bool Take(std::size_t n, const std::uint8_t*& at) {
    if (length_ - pos_ < n) return false;
    at = data_ + pos_;
    pos_ += n;
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t pos_ = 0;
};

std::int32_t Len(const TBytes& b) { return static_cast<std::int32_t>(b.size()); }

}  // namespace

// ---- base class ------------------------------------------------------------------------

std::int32_t TBasicCipher::Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  out.assign(NonNull(data), NonNull(data) + (length > 0 ? length : 0));
  return 0;
}

std::int32_t TBasicCipher::Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  return TBasicCipher::Encrypt(data, length, out);
}

// ---- DES container ---------------------------------------------------------------------

TQuelmarinDES::TQuelmarinDES() { FInterleaveStep = kDESInterleaveStep; }

std::int32_t TQuelmarinDES::Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  const TSessionKey session(kDESSessionKeyLength);
  auto cipher = NeedCipher("DES/CBC/PKCS#7");
  const TRawSecretKey master("DES", kMasterKey, 0, kDESSessionKeyLength);
  cipher->InitEncrypt(&master);
  const TBytes wrapped = cipher->DoFinal(session.Bytes().data(), 0, kDESSessionKeyLength);
  const TRawSecretKey sessionKey("DES", session.Bytes());
  cipher->InitEncrypt(&sessionKey);
  const TBytes body = cipher->DoFinal(NonNull(data), 0, length);
  THashKey container(body.data(), Len(body));
  container.Interleave(wrapped.data(), Len(wrapped), FInterleaveStep);
  out.assign(container.Data(), container.Data() + container.Length());
  return 0;
}

std::int32_t TQuelmarinDES::Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  THashKey container(data, length);
  const TBytes wrapped = container.Deinterleave(kDESWrappedKeyLength, FInterleaveStep);
  const TBytes body = container.Extract(0, container.Length());
  auto cipher = NeedCipher("DES/CBC/PKCS#7");
  const TRawSecretKey master("DES", kMasterKey, 0, kDESSessionKeyLength);
  cipher->InitDecrypt(&master);
  TBytes session = cipher->DoFinal(wrapped.data(), 0, Len(wrapped));
  const TRawSecretKey sessionKey("DES", session.data(), 0, std::min(Len(session), kDESSessionKeyLength));
  WipeBytes(session.data(), session.size());
  cipher->InitDecrypt(&sessionKey);
  out = cipher->DoFinal(body.data(), 0, Len(body));
  return 0;
}

// ---- RSA container ---------------------------------------------------------------------

std::int32_t TQuelmarinRSA::Encrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  try {
    const TSessionKey session(kTDESSessionKeyLength);
    const auto publicKey = DefaultRSAPublicKey();
    const auto privateKey = DefaultRSAPrivateKey();

    auto rsa = NeedCipher("RSA/ECB/PKCS#7");
    rsa->InitEncrypt(publicKey.get());
    const TBytes wrapped = rsa->DoFinal(session.Bytes().data(), 0, kTDESSessionKeyLength);

    auto signer = NeedSignature("MD5/RSA/PKCS#1");
    signer->InitSign(privateKey.get());
    if (length > 0) signer->Update(data, 0, length);
    const TBytes signature = signer->Sign();

    auto tdes = NeedCipher("DES-EDE3/CBC/PKCS#7");
    const TRawSecretKey sessionKey("DES-EDE3", session.Bytes());
    tdes->InitEncrypt(&sessionKey);
    const TBytes body = tdes->DoFinal(NonNull(data), 0, length);

    TBytes container;
    PutBigEndian(container, static_cast<std::uint32_t>(signature.size()), 2);
    container.insert(container.end(), signature.begin(), signature.end());
    PutBigEndian(container, static_cast<std::uint32_t>(wrapped.size()), 2);
    container.insert(container.end(), wrapped.begin(), wrapped.end());
    PutBigEndian(container, static_cast<std::uint32_t>(body.size()), 4);
    container.insert(container.end(), body.begin(), body.end());
    out = std::move(container);
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

std::int32_t TQuelmarinRSA::Decrypt(const std::uint8_t* data, std::int32_t length, TBytes& out) {
  try {
    TContainerReader reader(data, length);
    std::size_t signatureLength = 0, wrappedLength = 0, bodyLength = 0;
    const std::uint8_t *signature = nullptr, *wrapped = nullptr, *body = nullptr;
    if (!reader.ReadLength(2, signatureLength) || !reader.Take(signatureLength, signature)) return 2;
    if (!reader.ReadLength(2, wrappedLength) || !reader.Take(wrappedLength, wrapped)) return 2;

    const auto publicKey = DefaultRSAPublicKey();
    const auto privateKey = DefaultRSAPrivateKey();
    auto rsa = NeedCipher("RSA/ECB/PKCS#7");
    rsa->InitDecrypt(privateKey.get());
    TBytes session = rsa->DoFinal(NonNull(wrapped), 0, static_cast<std::int32_t>(wrappedLength));
    if (Len(session) < kTDESSessionKeyLength) {
      WipeBytes(session.data(), session.size());
      return 2;
    }
    const TRawSecretKey sessionKey("DES-EDE3", session.data(), 0, kTDESSessionKeyLength);
    WipeBytes(session.data(), session.size());

    if (!reader.ReadLength(4, bodyLength) || !reader.Take(bodyLength, body)) return 2;
    auto tdes = NeedCipher("DES-EDE3/CBC/PKCS#7");
    tdes->InitDecrypt(&sessionKey);
    out = tdes->DoFinal(NonNull(body), 0, static_cast<std::int32_t>(bodyLength));

    auto verifier = NeedSignature("MD5/RSA/PKCS#1");
    verifier->InitVerify(publicKey.get());
    if (!out.empty()) verifier->Update(out.data(), 0, Len(out));
    return verifier->Verify(NonNull(signature), 0, static_cast<std::int32_t>(signatureLength)) ? 0 : 3;
  } catch (const std::exception&) {
    return 2;
  }
}

// ---- class list ------------------------------------------------------------------------

namespace {

using TFacadeFactory = std::function<std::unique_ptr<TBasicCipher>()>;
std::unique_ptr<std::vector<std::pair<std::string, TFacadeFactory>>> gClassList;

template <typename T>
void Enter(const char* name) {
  gClassList->emplace_back(name, [] { return std::make_unique<T>(); });
}

}  // namespace

void StartCipherFacade() {
  gClassList = std::make_unique<std::vector<std::pair<std::string, TFacadeFactory>>>();
  Enter<TBasicCipher>("TBasicCipher");
  Enter<TCryptoLibDES>("TCryptoLibDES");
  Enter<TCryptoApiDES>("TCryptoApiDES");
  Enter<TQuelmarinDES>("TQuelmarinDES");
  Enter<TQuelmarinRSA>("TQuelmarinRSA");
}

void StopCipherFacade() { gClassList.reset(); }

std::unique_ptr<TBasicCipher> CreateBasicCipher(std::string_view className) {
  if (!gClassList) return nullptr;
  for (const auto& [name, factory] : *gClassList)
    if (EqualsIgnoreCase(name, className)) return factory();
  return nullptr;
}

}  // namespace mivex
