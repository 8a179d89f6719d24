#pragma once
// Quelmarin: the object framework under every cipher, mode of operation, padding scheme,
// key, message digest and signature of the library.
//
// Every algorithm is a class entered under a name in one of five registries; callers get
// working objects from the factories (TCipher::GetInstance, TMessageDigest::GetInstance,
// TSignature::GetInstance, TKeyPairGenerator::GetInstance). The framework knows no
// algorithm itself: algorithm classes derive from TCipher (or TMessageDigestSpi,
// TSignatureSpi, ...) and override the engine operations.
//
// Failures are thrown as std::runtime_error carrying the message texts callers and tests
// compare against; nothing returns error codes.
//
// Buffers: "newly allocated buffers owned by the caller" are std::vector<std::uint8_t>.
// The (pointer, offset, length) argument triples mirror the engine interface: the caller
// guarantees that pointer + offset .. + length lies inside its buffer, and that an output
// buffer holds GetOutputSize() bytes from its offset on.
//
// Registries are filled by explicit start-up functions (StartCipherFramework here, one
// per algorithm unit elsewhere) and read-only afterwards; StopCipherFramework frees them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mivex {

// The one provider name every class is registered under.
inline constexpr char QuelmarinProvider[] = "Quelmarin";

using TBytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------------------
// Keys

class TKey {
 public:
  // Copies `length` bytes starting at data + offset (none when length is 0).
  TKey(std::string algorithm, const std::uint8_t* data, std::int32_t offset, std::int32_t length);
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  virtual ~TKey();  // wipes the key bytes

  virtual std::string GetAlgorithm() const { return algorithm_; }
  // The encoding format name; empty for every key of the framework itself.
  virtual std::string Format() const { return std::string(); }
  // A copy of the key bytes; empty ("absent") for a key without bytes.
  virtual TBytes GetEncoded() const;
  std::int32_t Length() const { return static_cast<std::int32_t>(bytes_.size()); }

 private:
  TBytes bytes_;
  std::string algorithm_;
};

class TSecretKey : public TKey {
 public:
  using TKey::TKey;
};

class TRawSecretKey : public TSecretKey {
 public:
  using TSecretKey::TSecretKey;
  TRawSecretKey(std::string algorithm, const TBytes& bytes)
      : TSecretKey(std::move(algorithm), bytes.data(), 0, static_cast<std::int32_t>(bytes.size())) {}
};

// Asymmetric keys carry their numbers in subclasses; both sides can be written as text.
class TPrivateKey : public TKey {
 public:
  using TKey::TKey;
  virtual std::string ToText() const = 0;
};

class TPublicKey : public TKey {
 public:
  using TKey::TKey;
  virtual std::string ToText() const = 0;
};

// A matched public and private key; owns and frees both.
class TKeyPair : public TKey {
 public:
  TKeyPair(std::unique_ptr<TPublicKey> publicKey, std::unique_ptr<TPrivateKey> privateKey);
  TPublicKey* PublicKey() const { return public_.get(); }
  TPrivateKey* PrivateKey() const { return private_.get(); }

 private:
  std::unique_ptr<TPublicKey> public_;
  std::unique_ptr<TPrivateKey> private_;
};

class TSecureRandom {
 public:
  virtual ~TSecureRandom() = default;
};

class TKeyPairGeneratorSpi {
 public:
  virtual ~TKeyPairGeneratorSpi() = default;
};

class TKeyPairGenerator : public TKeyPairGeneratorSpi {
 public:
  // A new generator registered under `algorithm`; nullptr when none is.
  static std::unique_ptr<TKeyPairGenerator> GetInstance(const std::string& algorithm);
};

// ---------------------------------------------------------------------------------------
// Padding schemes

class TPaddingScheme {
 public:
  explicit TPaddingScheme(std::string cipherName) : cipherName_(std::move(cipherName)) {}
  virtual ~TPaddingScheme() = default;

  virtual bool IsValidBlockSize(std::int32_t n) const { return true; }
  // Fails with "<cipher>: <n> is not a valid block size".
  virtual void SetBlockSize(std::int32_t n);
  // Pads the data at buffer[offset, offset + length) up to a whole block by writing after
  // it; returns the number of bytes added. The buffer must hold the whole block.
  virtual std::int32_t EnginePad(std::uint8_t* buffer, std::int32_t offset, std::int32_t length) = 0;
  // Returns where the data ends once the padding of buffer[offset, offset + length) is
  // taken off (offset + remaining length).
  virtual std::int32_t EngineUnpad(const std::uint8_t* buffer, std::int32_t offset, std::int32_t length) = 0;
  virtual std::string GetAlgorithm() const = 0;

  // Checks offset and length ("Invalid offset or length"), then pads the last partial
  // block of buffer[offset, offset + length).
  std::int32_t Pad(std::uint8_t* buffer, std::int32_t offset, std::int32_t length);
  std::int32_t Unpad(const std::uint8_t* buffer, std::int32_t offset, std::int32_t length) {
    return EngineUnpad(buffer, offset, length);
  }

  const std::string& CipherName() const { return cipherName_; }
  std::int32_t BlockSize() const { return blockSize_; }

 protected:
  std::string cipherName_;
  std::int32_t blockSize_ = 0;
};

// PKCS#7: k bytes of value k, block sizes 1..255; unpadding looks at the last byte only.
class TPKCS7 : public TPaddingScheme {
 public:
  using TPaddingScheme::TPaddingScheme;
  static std::string ClassAlgorithm() { return "PKCS#7"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }
  bool IsValidBlockSize(std::int32_t n) const override { return n >= 1 && n <= 255; }
  std::int32_t EnginePad(std::uint8_t* buffer, std::int32_t offset, std::int32_t length) override;
  std::int32_t EngineUnpad(const std::uint8_t* buffer, std::int32_t offset, std::int32_t length) override;
};

// ---------------------------------------------------------------------------------------
// Ciphers

enum class TCipherState : std::uint8_t { Uninitialized = 0, Encrypt = 1, Decrypt = 2 };

class TCipher {
 public:
  // An unbuffered cipher keeps no partial block: every piece goes straight to the engine
  // (block ciphers wrapped by a mode, stream ciphers).
  explicit TCipher(bool unbuffered);
  TCipher(const TCipher&) = delete;
  TCipher& operator=(const TCipher&) = delete;
  virtual ~TCipher();

  // "ALG[/MODE[/PADDING]]" from `provider`. An unregistered algorithm gives nullptr; an
  // unregistered mode or padding fails with "<name> not implement". "ECB" (exact case)
  // or an empty mode means no mode wrapper.
  static std::unique_ptr<TCipher> GetInstance(const std::string& transformation, const std::string& provider);

  // Keys the cipher (from any state; buffered bytes are dropped). Fails with "key is null".
  virtual void InitEncrypt(const TKey* key);
  virtual void InitDecrypt(const TKey* key);

  // Whole-buffer operations: a new buffer of exactly the produced length.
  TBytes DoFinal(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen);
  TBytes Update(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen);
  // Update into the caller's buffer; returns the bytes written.
  std::int32_t Update(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                      std::int32_t outOffset);
  // Bytes a call with inLen more input bytes can produce.
  std::int32_t GetOutputSize(std::int32_t inLen, bool final);

  // Attaching is possible only before keying ("Cipher is already initialized").
  virtual void SetPaddingScheme(std::shared_ptr<TPaddingScheme> padding);
  TPaddingScheme* PaddingScheme() const { return padding_.get(); }

  // The registered name of the object's class.
  virtual std::string GetAlgorithm() const = 0;

  TCipherState State() const { return state_; }
  bool Unbuffered() const { return unbuffered_; }
  std::int32_t InputBlockSize() const { return inputBlockSize_; }
  std::int32_t OutputBlockSize() const { return outputBlockSize_; }
  std::int32_t BufferedCount() const { return bufferedCount_; }
  // Length of the buffer the last DoFinal returned.
  std::int32_t LastOutputLength() const { return lastOutputLength_; }

  std::int32_t PlaintextBlockSize() { return EnginePlaintextBlockSize(); }
  std::int32_t CiphertextBlockSize() { return EngineCiphertextBlockSize(); }

 protected:
  // Engine operations an algorithm overrides.
  virtual void EngineInitEncrypt(const TKey& key) = 0;
  virtual void EngineInitDecrypt(const TKey& key) = 0;
  // Transforms input blocks. The framework passes one or more whole input blocks per
  // call (never a partial block) and an output with room for as many output blocks;
  // returns the bytes written.
  virtual std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen,
                                    std::uint8_t* out, std::int32_t outOffset) = 0;
  // Final bytes of an unbuffered cipher.
  virtual std::int32_t EngineFinal(std::uint8_t* out, std::int32_t outOffset) { return 0; }
  virtual std::int32_t EnginePlaintextBlockSize() { return EngineBlockSize(); }
  virtual std::int32_t EngineBlockSize() { return 0; }
  virtual std::int32_t EngineCiphertextBlockSize() { return EngineBlockSize(); }
  // (n / input block size, rounded half to even) × output block size.
  virtual std::int64_t EngineOutputSize(std::int64_t n);

  friend class TCipherMode;

 private:
  void InitCipher(const TKey* key, TCipherState state);
  std::int32_t RunEngine(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                         std::int32_t outOffset, bool final);
  std::int32_t UpdateBlocks(const std::uint8_t* in, std::int32_t inLen, std::uint8_t* out);
  TBytes RunToBuffer(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, bool final);

  std::int32_t inputBlockSize_ = 0;
  std::int32_t outputBlockSize_ = 0;
  TBytes blockBuffer_;
  std::int32_t bufferedCount_ = 0;
  std::shared_ptr<TPaddingScheme> padding_;
  bool unbuffered_;
  TCipherState state_ = TCipherState::Uninitialized;
  std::int32_t lastOutputLength_ = 0;
};

// A mode of operation: a cipher that owns and drives a wrapped cipher.
class TCipherMode : public TCipher {
 public:
  using TCipher::TCipher;
  ~TCipherMode() override;

  // Fails with "cipher is null".
  virtual void SetCipher(std::unique_ptr<TCipher> cipher);
  TCipher* Cipher() const { return cipher_.get(); }

  // Both the mode and its wrapped cipher refer to the one padding object.
  void SetPaddingScheme(std::shared_ptr<TPaddingScheme> padding) override;
  // Keys the mode; the wrapped cipher only takes over the direction.
  void InitEncrypt(const TKey* key) override;
  void InitDecrypt(const TKey* key) override;

 protected:
  // The wrapped cipher's engine, for the modes.
  static std::int32_t WrappedUpdate(TCipher& cipher, const std::uint8_t* in, std::int32_t inOffset,
                                    std::int32_t inLen, std::uint8_t* out, std::int32_t outOffset) {
    return cipher.EngineUpdate(in, inOffset, inLen, out, outOffset);
  }
  static void WrappedInitEncrypt(TCipher& cipher, const TKey& key) { cipher.EngineInitEncrypt(key); }
  static void WrappedInitDecrypt(TCipher& cipher, const TKey& key) { cipher.EngineInitDecrypt(key); }

  std::unique_ptr<TCipher> cipher_;
};

// A mode with a feedback register of one block.
class TFeedbackMode : public TCipherMode {
 public:
  using TCipherMode::TCipherMode;
  void SetCipher(std::unique_ptr<TCipher> cipher) override;
  std::int32_t FeedbackBlockSize() const { return blockSize_; }

 protected:
  // The wrapped cipher's plaintext block size; fails with "blockSize called when
  // plaintext and ciphertext block sizes differ".
  static std::int32_t BlockSizeOf(TCipher& cipher);

  TBytes register_;
  TBytes iv_;  // empty: the register starts from zero bytes
  std::int32_t position_ = 0;
  std::int32_t blockSize_ = 0;
};

// Cipher block chaining.
class TCBCMode : public TFeedbackMode {
 public:
  using TFeedbackMode::TFeedbackMode;
  static std::string ClassAlgorithm() { return "CBC"; }
  std::string GetAlgorithm() const override { return ClassAlgorithm(); }
  void SetCipher(std::unique_ptr<TCipher> cipher) override;

 protected:
  void EngineInitEncrypt(const TKey& key) override;
  void EngineInitDecrypt(const TKey& key) override;
  std::int32_t EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                            std::int32_t outOffset) override;
  std::int32_t EngineBlockSize() override;

 private:
  void LoadRegister();
  TBytes scratch_;
};

// ---------------------------------------------------------------------------------------
// Message digests

class TMessageDigestSpi {
 public:
  virtual ~TMessageDigestSpi() = default;

 protected:
  virtual std::int32_t EngineGetDigestLength() = 0;
  virtual void EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) = 0;
  // The digest of everything fed since the last reset; resets the engine.
  virtual TBytes EngineDigest() = 0;
  // Writes the digest to buf[offset, offset + length); fails with "insufficient space for
  // buf" when the digest does not fit. Returns the digest length.
  virtual std::int32_t EngineDigest(std::uint8_t* buf, std::int32_t offset, std::int32_t length);
  virtual void EngineReset() = 0;
};

class TMessageDigest : public TMessageDigestSpi {
 public:
  explicit TMessageDigest(std::string algorithm) : algorithm_(std::move(algorithm)) {}

  // A new digest registered under provider + name; nullptr when none is.
  static std::unique_ptr<TMessageDigest> GetInstance(const std::string& name, const std::string& provider);

  const std::string& GetAlgorithm() const { return algorithm_; }
  std::int32_t GetDigestLength() { return EngineGetDigestLength(); }
  // Fails with "No input buffer given" for an absent buffer.
  void Update(const std::uint8_t* in, std::int32_t offset, std::int32_t length);
  void Update(std::uint8_t b) { Update(&b, 0, 1); }
  TBytes Digest();
  std::int32_t Digest(std::uint8_t* buf, std::int32_t offset, std::int32_t length);
  // Feeds `input`, then finishes.
  TBytes Digest(const TBytes& input) {
    if (!input.empty()) Update(input.data(), 0, static_cast<std::int32_t>(input.size()));
    return Digest();
  }
  void Reset();
  // 0 idle, 1 fed.
  std::uint8_t State() const { return state_; }

 private:
  std::string algorithm_;
  std::uint8_t state_ = 0;
};

// A digest over fixed-size blocks: buffers partial blocks and counts the input, which is
// limited to 536870911 bytes ("<name>: Maximum input length exceeded").
class TBlockMessageDigest : public TMessageDigest {
 public:
  TBlockMessageDigest(std::string algorithm, std::int32_t blockSize);

 protected:
  void EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) override;
  void EngineReset() override;
  // Compresses one whole block into the chaining state.
  virtual void EngineTransform(const std::uint8_t* block) = 0;
  virtual void EngineResetState() = 0;

  std::int32_t DigestBlockSize() const { return blockSize_; }
  std::uint8_t* Buffer() { return buffer_.data(); }
  std::int32_t BufferedBytes() const { return buffered_; }
  std::int64_t TotalBytes() const { return total_; }

 private:
  std::int32_t blockSize_;
  TBytes buffer_;
  std::int32_t buffered_ = 0;
  std::int64_t total_ = 0;
};

// ---------------------------------------------------------------------------------------
// Signatures

class TSignatureSpi {
 public:
  virtual ~TSignatureSpi() = default;

 protected:
  virtual void EngineInitSign(const TPrivateKey* key) = 0;
  virtual void EngineInitVerify(const TPublicKey* key) = 0;
  virtual void EngineUpdate(const std::uint8_t* in, std::int32_t offset, std::int32_t length) = 0;
  virtual TBytes EngineSign() = 0;
  virtual bool EngineVerify(const std::uint8_t* signature, std::int32_t offset, std::int32_t length) = 0;
};

class TSignature : public TSignatureSpi {
 public:
  explicit TSignature(std::string algorithm) : algorithm_(std::move(algorithm)) {}

  // A new signature registered under provider + algorithm ("DSA" stands for "SHA/DSA");
  // nullptr when none is. Fails with "missing algorithm" / "missing provider".
  static std::unique_ptr<TSignature> GetInstance(const std::string& algorithm, const std::string& provider);

  const std::string& GetAlgorithm() const { return algorithm_; }
  void InitSign(const TPrivateKey* key);
  void InitVerify(const TPublicKey* key);
  // Fails with "not initialized for signature or verification" in state 0.
  void Update(const std::uint8_t* in, std::int32_t offset, std::int32_t length);
  void Update(std::uint8_t b) { Update(&b, 0, 1); }
  // Fails with "object not initialized for signing" unless initialized for signing.
  TBytes Sign();
  // Fails with "object not initialized for verification" unless initialized for it.
  bool Verify(const std::uint8_t* signature, std::int32_t offset, std::int32_t length);
  bool Verify(const TBytes& signature) {
    return Verify(signature.data(), 0, static_cast<std::int32_t>(signature.size()));
  }
  // 0 new, 1 signing, 2 verifying.
  std::uint8_t State() const { return state_; }

 private:
  std::string algorithm_;
  std::uint8_t state_ = 0;
};

// ---------------------------------------------------------------------------------------
// Registries. Names compare without regard to letter case; a name already present is not
// entered again. Ciphers, digests and signatures are entered under QuelmarinProvider +
// name, paddings and key-pair generators under the name alone.

using TCipherFactory = std::function<std::unique_ptr<TCipher>(bool unbuffered)>;
using TPaddingFactory = std::function<std::unique_ptr<TPaddingScheme>(const std::string& cipherName)>;
using TDigestFactory = std::function<std::unique_ptr<TMessageDigest>()>;
using TKeyPairGeneratorFactory = std::function<std::unique_ptr<TKeyPairGenerator>()>;
using TSignatureFactory = std::function<std::unique_ptr<TSignature>()>;

void RegisterCipher(const std::string& name, TCipherFactory factory);
void RegisterPaddingScheme(const std::string& name, TPaddingFactory factory);
void RegisterMessageDigest(const std::string& name, TDigestFactory factory);
void RegisterKeyPairGenerator(const std::string& algorithm, TKeyPairGeneratorFactory factory);
void RegisterSignature(const std::string& name, TSignatureFactory factory);

// Convenience for a cipher class T with T::ClassAlgorithm() and T(bool unbuffered).
template <typename T>
void RegisterCipherClass() {
  RegisterCipher(T::ClassAlgorithm(), [](bool unbuffered) { return std::make_unique<T>(unbuffered); });
}

// Start-up of the framework's own unit: initialises the crypto library and enters DES,
// DES-EDE3, CBC, RC4, PKCS#7 and MD5. Call once at library load, before any other unit's
// registrations are used; calling it again is harmless.
void StartCipherFramework();
// Frees all five registries (including what other units entered). Call at unload.
void StopCipherFramework();

}  // namespace mivex
