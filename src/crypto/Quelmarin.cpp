#include "crypto/Quelmarin.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "base/TextUtil.h"
#include "crypto/CryptoBytes.h"
#include "crypto/Des.h"
#include "crypto/DesEde3.h"
#include "crypto/Md5.h"
#include "crypto/Rc4.h"

namespace mivex {

namespace {

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

// One name-to-class list. Few entries and lookups only at object creation: a linear
// search with case-insensitive comparison is all it needs.
template <typename Factory>
class TRegistry {
 public:
  void Add(const std::string& name, Factory factory) {
    if (Find(name) == nullptr) entries_.emplace_back(name, std::move(factory));
  }
  const Factory* Find(const std::string& name) const {
    for (const auto& [key, factory] : entries_)
      if (EqualsIgnoreCase(key, name)) return &factory;
    return nullptr;
  }

 private:
  std::vector<std::pair<std::string, Factory>> entries_;
};

// Each registry comes into being with its first entry and goes at StopCipherFramework.
std::unique_ptr<TRegistry<TCipherFactory>> gCiphers;
std::unique_ptr<TRegistry<TPaddingFactory>> gPaddings;
std::unique_ptr<TRegistry<TDigestFactory>> gDigests;
std::unique_ptr<TRegistry<TKeyPairGeneratorFactory>> gGenerators;
std::unique_ptr<TRegistry<TSignatureFactory>> gSignatures;

template <typename Factory>
void AddTo(std::unique_ptr<TRegistry<Factory>>& registry, const std::string& key, Factory factory) {
  if (!registry) registry = std::make_unique<TRegistry<Factory>>();
  registry->Add(key, std::move(factory));
}

template <typename Factory>
const Factory* FindIn(const std::unique_ptr<TRegistry<Factory>>& registry, const std::string& key) {
  return registry ? registry->Find(key) : nullptr;
}

// True when [a, a + n) and [b, b + n) share bytes without being the same range.
bool PartlyOverlap(const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
  if (a == b || n <= 0) return false;
  std::less<const std::uint8_t*> before;
  return before(a, b + n) && before(b, a + n);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Keys

TKey::TKey(std::string algorithm, const std::uint8_t* data, std::int32_t offset, std::int32_t length)
    : algorithm_(std::move(algorithm)) {
  if (length < 0) Fail("Invalid offset or length");
  if (length > 0) {
    if (data == nullptr || offset < 0) Fail("Invalid offset or length");
    bytes_.assign(data + offset, data + offset + length);
  }
}

TKey::~TKey() { WipeBytes(bytes_.data(), bytes_.size()); }

TBytes TKey::GetEncoded() const { return bytes_; }

TKeyPair::TKeyPair(std::unique_ptr<TPublicKey> publicKey, std::unique_ptr<TPrivateKey> privateKey)
    : TKey(publicKey ? publicKey->GetAlgorithm() : std::string(), nullptr, 0, 0),
      public_(std::move(publicKey)),
      private_(std::move(privateKey)) {}

std::unique_ptr<TKeyPairGenerator> TKeyPairGenerator::GetInstance(const std::string& algorithm) {
  const auto* factory = FindIn(gGenerators, algorithm);
  return factory ? (*factory)() : nullptr;
}

// ---------------------------------------------------------------------------------------
// Padding

void TPaddingScheme::SetBlockSize(std::int32_t n) {
  if (!IsValidBlockSize(n)) Fail(cipherName_ + ": " + std::to_string(n) + " is not a valid block size");
  blockSize_ = n;
}

std::int32_t TPaddingScheme::Pad(std::uint8_t* buffer, std::int32_t offset, std::int32_t length) {
  if (offset < 0 || length < 0 || blockSize_ < 1) Fail("Invalid offset or length");
  const std::int32_t partial = length % blockSize_;
  return EnginePad(buffer, offset + length - partial, partial);
}

std::int32_t TPKCS7::EnginePad(std::uint8_t* buffer, std::int32_t offset, std::int32_t length) {
  const std::int32_t k = blockSize_ - length % blockSize_;
  std::memset(buffer + offset + length, k, static_cast<std::size_t>(k));
  return k;
}

std::int32_t TPKCS7::EngineUnpad(const std::uint8_t* buffer, std::int32_t offset, std::int32_t length) {
  if (length == 0) return 0;
  const std::int32_t v = buffer[offset + length - 1];
  // Only the count byte is looked at; stored data depends on the other pad bytes being
  // ignored, and a count of 0 takes nothing off.
  if (v > blockSize_) Fail(cipherName_ + ": Invalid number of padding bytes");
  return offset + length - v;
}

// ---------------------------------------------------------------------------------------
// Cipher

TCipher::TCipher(bool unbuffered) : unbuffered_(unbuffered) {}

TCipher::~TCipher() = default;

std::unique_ptr<TCipher> TCipher::GetInstance(const std::string& transformation, const std::string& provider) {
  const std::string algorithm = FieldOf(transformation, '/', 1);
  const std::string mode = FieldOf(transformation, '/', 2);
  const std::string padding = FieldOf(transformation, '/', 3);

  const TPaddingFactory* paddingFactory = nullptr;
  if (!padding.empty()) {
    paddingFactory = FindIn(gPaddings, padding);
    if (paddingFactory == nullptr) Fail(padding + " not implement");
  }
  const TCipherFactory* modeFactory = nullptr;
  if (!mode.empty() && mode != "ECB") {
    modeFactory = FindIn(gCiphers, provider + mode);
    if (modeFactory == nullptr) Fail(mode + " not implement");
  }
  const TCipherFactory* algorithmFactory = FindIn(gCiphers, provider + algorithm);
  if (algorithmFactory == nullptr) return nullptr;

  std::unique_ptr<TCipher> result;
  if (modeFactory != nullptr) {
    auto modeObject = (*modeFactory)(false);
    auto* asMode = dynamic_cast<TCipherMode*>(modeObject.get());
    if (asMode == nullptr) Fail(mode + " not implement");
    asMode->SetCipher((*algorithmFactory)(true));
    result = std::move(modeObject);
  } else {
    result = (*algorithmFactory)(false);
  }
  if (paddingFactory != nullptr) result->SetPaddingScheme((*paddingFactory)(algorithm));
  return result;
}

void TCipher::SetPaddingScheme(std::shared_ptr<TPaddingScheme> padding) {
  if (state_ != TCipherState::Uninitialized) Fail("Cipher is already initialized");
  padding_ = std::move(padding);
}

void TCipher::InitEncrypt(const TKey* key) { InitCipher(key, TCipherState::Encrypt); }

void TCipher::InitDecrypt(const TKey* key) { InitCipher(key, TCipherState::Decrypt); }

void TCipher::InitCipher(const TKey* key, TCipherState state) {
  if (key == nullptr) Fail("key is null");
  blockBuffer_.clear();
  blockBuffer_.shrink_to_fit();
  bufferedCount_ = 0;
  const bool encrypt = state == TCipherState::Encrypt;
  if (encrypt)
    EngineInitEncrypt(*key);
  else
    EngineInitDecrypt(*key);
  state_ = state;
  const std::int32_t plain = EnginePlaintextBlockSize();
  const std::int32_t cipher = EngineCiphertextBlockSize();
  inputBlockSize_ = encrypt ? plain : cipher;
  outputBlockSize_ = encrypt ? cipher : plain;
  if (inputBlockSize_ < 1 || outputBlockSize_ < 1) {
    state_ = TCipherState::Uninitialized;
    Fail("input or output block size < 1");
  }
  // A block buffer even for one-byte blocks, so that padding always has a block to fill.
  if (!unbuffered_) blockBuffer_.assign(static_cast<std::size_t>(inputBlockSize_), 0);
  if (padding_) padding_->SetBlockSize(encrypt ? inputBlockSize_ : outputBlockSize_);
}

std::int64_t TCipher::EngineOutputSize(std::int64_t n) {
  // Whole blocks, the quotient rounded to nearest with halves to even.
  std::int64_t blocks = n / inputBlockSize_;
  const std::int64_t twiceRest = 2 * (n % inputBlockSize_);
  if (twiceRest > inputBlockSize_ || (twiceRest == inputBlockSize_ && (blocks & 1) != 0)) ++blocks;
  return blocks * outputBlockSize_;
}

std::int32_t TCipher::GetOutputSize(std::int32_t inLen, bool final) {
  if (inLen < 0) Fail("inLen<0");
  if (state_ == TCipherState::Uninitialized) Fail("cipher uninitialized");
  std::int64_t size;
  if (unbuffered_) {
    size = EngineOutputSize(inLen);
  } else {
    const std::int64_t total = static_cast<std::int64_t>(inLen) + bufferedCount_;
    const std::int64_t rest = total % inputBlockSize_;
    std::int64_t considered = total - rest;
    if ((final && state_ == TCipherState::Encrypt && padding_) || rest > 0) considered += inputBlockSize_;
    size = EngineOutputSize(considered);
  }
  if (size > std::numeric_limits<std::int32_t>::max()) throw std::overflow_error("output larger than 2 GiB");
  return static_cast<std::int32_t>(size);
}

std::int32_t TCipher::UpdateBlocks(const std::uint8_t* in, std::int32_t inLen, std::uint8_t* out) {
  const std::int32_t block = inputBlockSize_;
  if (bufferedCount_ > 0 && bufferedCount_ + inLen < block) {
    std::memcpy(blockBuffer_.data() + bufferedCount_, in, static_cast<std::size_t>(inLen));
    bufferedCount_ += inLen;
    return 0;
  }
  std::int32_t written = 0;
  if (bufferedCount_ > 0) {
    const std::int32_t need = block - bufferedCount_;
    std::memcpy(blockBuffer_.data() + bufferedCount_, in, static_cast<std::size_t>(need));
    bufferedCount_ = 0;
    written += EngineUpdate(blockBuffer_.data(), 0, block, out, 0);
    in += need;
    inLen -= need;
  }
  const std::int32_t rest = inLen % block;
  const std::int32_t whole = inLen - rest;
  // All whole blocks in one engine call: the engines take any number of whole blocks,
  // which lets a mode run its algorithm over many blocks at once.
  if (whole > 0) written += EngineUpdate(in, 0, whole, out, written);
  if (rest > 0) std::memcpy(blockBuffer_.data(), in + whole, static_cast<std::size_t>(rest));
  bufferedCount_ = rest;
  return written;
}

std::int32_t TCipher::RunEngine(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                                std::int32_t outOffset, bool final) {
  if (state_ == TCipherState::Uninitialized) Fail("cipher uninitialized");
  if (inLen < 0) Fail("inLen<0");
  if (inOffset < 0 || outOffset < 0) Fail("inOffset < 0  || outOffset < 0 ");
  if (out == nullptr) Fail("outData=null");
  if (in == nullptr && inLen > 0) Fail("inData=null");

  const std::uint8_t* src = inLen > 0 ? in + inOffset : nullptr;
  std::uint8_t* dst = out + outOffset;
  // Input and output that share bytes at different places would be overwritten before
  // they are read; such input is taken from a copy.
  // The same place is safe only while input and output blocks line up, i.e. with nothing
  // buffered from an earlier call.
  TBytes copy;
  const bool clash = src == dst ? bufferedCount_ > 0 : PartlyOverlap(src, dst, std::max(inLen, GetOutputSize(inLen, final)));
  if (src != nullptr && clash) {
    copy.assign(src, src + inLen);
    src = copy.data();
  }

  if (unbuffered_) {
    std::int32_t written = inLen > 0 ? EngineUpdate(src, 0, inLen, dst, 0) : 0;
    if (final) written += EngineFinal(dst, written);
    return written;
  }

  const bool encrypting = state_ == TCipherState::Encrypt;
  if (!final || (!encrypting && !padding_)) return UpdateBlocks(src, inLen, dst);

  if (encrypting) {
    std::int32_t written = UpdateBlocks(src, inLen, dst);
    if (!padding_) {
      if (bufferedCount_ > 0) {
        bufferedCount_ = 0;
        Fail(GetAlgorithm() + ": Non-padding cipher in ENCRYPT state with an incomplete final block");
      }
      return written;
    }
    padding_->Pad(blockBuffer_.data(), 0, bufferedCount_);
    bufferedCount_ = 0;
    written += EngineUpdate(blockBuffer_.data(), 0, inputBlockSize_, dst, written);
    return written;
  }

  // Decrypting with padding: the last block is decrypted aside and unpadded.
  if (inLen == 0) return 0;
  std::int32_t written = UpdateBlocks(src, inLen - 1, dst);
  if (bufferedCount_ != inputBlockSize_ - 1) {
    bufferedCount_ = 0;
    Fail(GetAlgorithm() + ": Cipher in DECRYPT state with an incomplete final block");
  }
  blockBuffer_[static_cast<std::size_t>(inputBlockSize_ - 1)] = src[inLen - 1];
  bufferedCount_ = 0;
  TBytes last(static_cast<std::size_t>(outputBlockSize_));
  EngineUpdate(blockBuffer_.data(), 0, inputBlockSize_, last.data(), 0);
  const std::int32_t keep = padding_->Unpad(last.data(), 0, outputBlockSize_);
  std::memcpy(dst + written, last.data(), static_cast<std::size_t>(keep));
  WipeBytes(last.data(), last.size());
  return written + keep;
}

TBytes TCipher::RunToBuffer(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, bool final) {
  const std::int32_t size = GetOutputSize(inLen, final);
  TBytes out(static_cast<std::size_t>(size));
  // A size of 0 gives no buffer at all, which the engine refuses.
  const std::int32_t produced = RunEngine(in, inOffset, inLen, size > 0 ? out.data() : nullptr, 0, final);
  out.resize(static_cast<std::size_t>(produced));
  return out;
}

TBytes TCipher::DoFinal(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen) {
  TBytes out = RunToBuffer(in, inOffset, inLen, true);
  lastOutputLength_ = static_cast<std::int32_t>(out.size());
  return out;
}

TBytes TCipher::Update(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen) {
  return RunToBuffer(in, inOffset, inLen, false);
}

std::int32_t TCipher::Update(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                             std::int32_t outOffset) {
  return RunEngine(in, inOffset, inLen, out, outOffset, false);
}

// ---------------------------------------------------------------------------------------
// Modes

TCipherMode::~TCipherMode() {
  // The wrapped cipher goes first, dropping its reference to the shared padding.
  if (cipher_) {
    cipher_->state_ = TCipherState::Uninitialized;
    cipher_->padding_.reset();
    cipher_.reset();
  }
}

void TCipherMode::SetCipher(std::unique_ptr<TCipher> cipher) {
  if (!cipher) Fail("cipher is null");
  cipher_ = std::move(cipher);
}

void TCipherMode::SetPaddingScheme(std::shared_ptr<TPaddingScheme> padding) {
  TCipher::SetPaddingScheme(padding);
  if (cipher_) cipher_->SetPaddingScheme(std::move(padding));
}

void TCipherMode::InitEncrypt(const TKey* key) {
  TCipher::InitEncrypt(key);
  if (cipher_) cipher_->state_ = TCipherState::Encrypt;
}

void TCipherMode::InitDecrypt(const TKey* key) {
  TCipher::InitDecrypt(key);
  if (cipher_) cipher_->state_ = TCipherState::Decrypt;
}

std::int32_t TFeedbackMode::BlockSizeOf(TCipher& cipher) {
  const std::int32_t plain = cipher.PlaintextBlockSize();
  if (plain != cipher.CiphertextBlockSize()) Fail("blockSize called when plaintext and ciphertext block sizes differ");
  return plain;
}

void TFeedbackMode::SetCipher(std::unique_ptr<TCipher> cipher) {
  if (!cipher) Fail("cipher is null");
  const std::int32_t size = BlockSizeOf(*cipher);
  TCipherMode::SetCipher(std::move(cipher));
  blockSize_ = size;
  iv_.clear();
  register_.assign(static_cast<std::size_t>(std::max(size, 0)), 0);
  position_ = 0;
}

void TCBCMode::SetCipher(std::unique_ptr<TCipher> cipher) {
  TFeedbackMode::SetCipher(std::move(cipher));
  scratch_.assign(static_cast<std::size_t>(std::max(blockSize_, 0)), 0);
}

std::int32_t TCBCMode::EngineBlockSize() { return cipher_ ? BlockSizeOf(*cipher_) : 0; }

void TCBCMode::LoadRegister() {
  if (iv_.size() == register_.size())
    std::copy(iv_.begin(), iv_.end(), register_.begin());
  else
    std::fill(register_.begin(), register_.end(), 0);
}

void TCBCMode::EngineInitEncrypt(const TKey& key) {
  if (cipher_) WrappedInitEncrypt(*cipher_, key);
  LoadRegister();
}

void TCBCMode::EngineInitDecrypt(const TKey& key) {
  if (cipher_) WrappedInitDecrypt(*cipher_, key);
  LoadRegister();
}

std::int32_t TCBCMode::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen,
                                    std::uint8_t* out, std::int32_t outOffset) {
  if (register_.empty() || !cipher_) Fail("CBC: IV is not set");
  if (State() == TCipherState::Uninitialized) Fail("CBC: Cipher not initialized");
  const std::size_t block = static_cast<std::size_t>(blockSize_);
  const std::size_t length = static_cast<std::size_t>(inLen) / block * block;
  const std::uint8_t* src = in + inOffset;
  std::uint8_t* dst = out + outOffset;
  std::uint8_t* chain = register_.data();

  if (State() == TCipherState::Encrypt) {
    // C = E(register ^ P), built in the output block so no block is copied twice.
    const std::uint8_t* previous = chain;
    for (std::size_t at = 0; at < length; at += block) {
      XorBytes(dst + at, previous, src + at, block);
      WrappedUpdate(*cipher_, dst + at, 0, blockSize_, dst + at, 0);
      previous = dst + at;
    }
    if (length > 0) std::memcpy(chain, dst + length - block, block);
    return static_cast<std::int32_t>(length);
  }

  if (length == 0) return 0;
  if (src != dst) {
    // Separate buffers: one pass of the block cipher over every block, then the chaining.
    WrappedUpdate(*cipher_, src, 0, static_cast<std::int32_t>(length), dst, 0);
    XorBytes(dst, dst, chain, block);
    for (std::size_t at = block; at < length; at += block) XorBytes(dst + at, dst + at, src + at - block, block);
    std::memcpy(chain, src + length - block, block);
    return static_cast<std::int32_t>(length);
  }
  // In place: each ciphertext block is kept before its plaintext overwrites it.
  for (std::size_t at = 0; at < length; at += block) {
    WrappedUpdate(*cipher_, src + at, 0, blockSize_, scratch_.data(), 0);
    XorBytes(scratch_.data(), scratch_.data(), chain, block);
    std::memcpy(chain, src + at, block);
    std::memcpy(dst + at, scratch_.data(), block);
  }
  return static_cast<std::int32_t>(length);
}

// ---------------------------------------------------------------------------------------
// Message digests

std::int32_t TMessageDigestSpi::EngineDigest(std::uint8_t* buf, std::int32_t offset, std::int32_t length) {
  if (buf == nullptr || offset < 0 || length < EngineGetDigestLength()) Fail("insufficient space for buf");
  TBytes digest = EngineDigest();
  std::memcpy(buf + offset, digest.data(), digest.size());
  return static_cast<std::int32_t>(digest.size());
}

std::unique_ptr<TMessageDigest> TMessageDigest::GetInstance(const std::string& name, const std::string& provider) {
  const auto* factory = FindIn(gDigests, provider + name);
  return factory ? (*factory)() : nullptr;
}

void TMessageDigest::Update(const std::uint8_t* in, std::int32_t offset, std::int32_t length) {
  if (in == nullptr) Fail("No input buffer given");
  if (offset < 0 || length < 0) Fail("Invalid offset or length");
  EngineUpdate(in, offset, length);
  state_ = 1;
}

TBytes TMessageDigest::Digest() {
  TBytes digest = EngineDigest();
  state_ = 0;
  return digest;
}

std::int32_t TMessageDigest::Digest(std::uint8_t* buf, std::int32_t offset, std::int32_t length) {
  const std::int32_t written = EngineDigest(buf, offset, length);
  state_ = 0;
  return written;
}

void TMessageDigest::Reset() {
  EngineReset();
  state_ = 0;
}

TBlockMessageDigest::TBlockMessageDigest(std::string algorithm, std::int32_t blockSize)
    : TMessageDigest(std::move(algorithm)), blockSize_(blockSize), buffer_(static_cast<std::size_t>(blockSize)) {}

void TBlockMessageDigest::EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) {
  // The bit count must fit the 32 bits the length field of the final block holds.
  constexpr std::int64_t kMaxInput = 536870911;
  if (total_ + length > kMaxInput) Fail(GetAlgorithm() + ": Maximum input length exceeded");
  total_ += length;
  const std::uint8_t* src = in + offset;
  std::size_t left = static_cast<std::size_t>(length);
  const std::size_t block = static_cast<std::size_t>(blockSize_);
  if (buffered_ > 0) {
    const std::size_t take = std::min(left, block - static_cast<std::size_t>(buffered_));
    std::memcpy(buffer_.data() + buffered_, src, take);
    buffered_ += static_cast<std::int32_t>(take);
    src += take;
    left -= take;
    if (static_cast<std::size_t>(buffered_) < block) return;
    EngineTransform(buffer_.data());
    buffered_ = 0;
  }
  for (; left >= block; left -= block, src += block) EngineTransform(src);
  std::memcpy(buffer_.data(), src, left);
  buffered_ = static_cast<std::int32_t>(left);
}

void TBlockMessageDigest::EngineReset() {
  WipeBytes(buffer_.data(), buffer_.size());
  buffered_ = 0;
  total_ = 0;
  EngineResetState();
}

// ---------------------------------------------------------------------------------------
// Signatures

std::unique_ptr<TSignature> TSignature::GetInstance(const std::string& algorithm, const std::string& provider) {
  if (algorithm.empty()) Fail("missing algorithm");
  if (provider.empty()) Fail("missing provider");
  const std::string name = algorithm == "DSA" ? std::string("SHA/DSA") : algorithm;
  const auto* factory = FindIn(gSignatures, provider + name);
  return factory ? (*factory)() : nullptr;
}

void TSignature::InitSign(const TPrivateKey* key) {
  EngineInitSign(key);
  state_ = 1;
}

void TSignature::InitVerify(const TPublicKey* key) {
  EngineInitVerify(key);
  state_ = 2;
}

void TSignature::Update(const std::uint8_t* in, std::int32_t offset, std::int32_t length) {
  if (state_ == 0) Fail("not initialized for signature or verification");
  EngineUpdate(in, offset, length);
}

TBytes TSignature::Sign() {
  if (state_ != 1) Fail("object not initialized for signing");
  return EngineSign();
}

bool TSignature::Verify(const std::uint8_t* signature, std::int32_t offset, std::int32_t length) {
  if (state_ != 2) Fail("object not initialized for verification");
  return EngineVerify(signature, offset, length);
}

// ---------------------------------------------------------------------------------------
// Registries and start-up

void RegisterCipher(const std::string& name, TCipherFactory factory) {
  AddTo(gCiphers, std::string(QuelmarinProvider) + name, std::move(factory));
}

void RegisterPaddingScheme(const std::string& name, TPaddingFactory factory) {
  AddTo(gPaddings, name, std::move(factory));
}

void RegisterMessageDigest(const std::string& name, TDigestFactory factory) {
  AddTo(gDigests, std::string(QuelmarinProvider) + name, std::move(factory));
}

void RegisterKeyPairGenerator(const std::string& algorithm, TKeyPairGeneratorFactory factory) {
  AddTo(gGenerators, algorithm, std::move(factory));
}

void RegisterSignature(const std::string& name, TSignatureFactory factory) {
  AddTo(gSignatures, std::string(QuelmarinProvider) + name, std::move(factory));
}

void StartCipherFramework() {
  // The crypto library must be initialised once before its first use; a host that
  // already did so keeps its own settings.
  if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  }
  RegisterCipherClass<TDes>();
  RegisterCipherClass<TDes_EDE3>();
  RegisterCipherClass<TCBCMode>();
  RegisterCipherClass<TRC4>();
  RegisterPaddingScheme(TPKCS7::ClassAlgorithm(),
                        [](const std::string& cipherName) { return std::make_unique<TPKCS7>(cipherName); });
  RegisterMessageDigest(TMD5::ClassAlgorithm(), [] { return std::make_unique<TMD5>(); });
}

void StopCipherFramework() {
  gCiphers.reset();
  gPaddings.reset();
  gDigests.reset();
  gGenerators.reset();
  gSignatures.reset();
}

}  // namespace mivex
