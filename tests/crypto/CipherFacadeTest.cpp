// The basic cipher facade: byte buffers and key interleaving, the copying ciphers, the
// DES and RSA containers with their result codes, the class list and TBioException.
#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <string>

#include "crypto/BioException.h"
#include "crypto/Cipher.h"
#include "crypto/HashKey.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"
#include "crypto/StdClass.h"

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

TBytes Sequence(std::size_t n, std::uint8_t first = 0) {
  TBytes b(n);
  std::iota(b.begin(), b.end(), first);
  return b;
}

std::int32_t Len(const TBytes& b) { return static_cast<std::int32_t>(b.size()); }

TBytes Contents(const TByteBuffer& buffer) { return TBytes(buffer.Data(), buffer.Data() + buffer.Length()); }

const std::string kLength = ByteBufferLengthMessage;
const std::string kPosition = ByteBufferPositionMessage;

TEST(ByteBuffer, GrowthInStepsOf1024) {
  TByteBuffer buffer;
  EXPECT_EQ(buffer.Capacity(), 0);
  const TBytes some = Sequence(1000);
  buffer.Append(some.data(), 1000);
  EXPECT_EQ(buffer.Capacity(), 1024);
  buffer.Append(some.data(), 24);  // a need of exactly 1024 with 1024 allocated: no growth
  EXPECT_EQ(buffer.Capacity(), 1024);
  buffer.Append(some.data(), 1);
  EXPECT_EQ(buffer.Capacity(), 2048);
  buffer.Clear();
  EXPECT_EQ(buffer.Length(), 0);
  EXPECT_EQ(buffer.Capacity(), 0);
  const TBytes kilo = Sequence(1024);
  TByteBuffer exact(kilo.data(), 1024);
  EXPECT_EQ(exact.Capacity(), 2048) << "a need of exactly 1024 bytes gets 2048";
  EXPECT_EQ(Contents(exact), kilo);
}

TEST(ByteBuffer, InsertDeleteExtractChecks) {
  const TBytes abc = {'a', 'b', 'c'}, xy = {'x', 'y'};
  TByteBuffer buffer(abc.data(), 3);
  buffer.Insert(xy.data(), 3, 2);  // at the length: appends
  EXPECT_EQ(Contents(buffer), (TBytes{'a', 'b', 'c', 'x', 'y'}));
  buffer.Insert(xy.data(), 0, 1);
  EXPECT_EQ(Contents(buffer), (TBytes{'x', 'a', 'b', 'c', 'x', 'y'}));
  EXPECT_EQ(FailureOf([&] { buffer.Insert(xy.data(), 7, 1); }), kPosition) << "length + 1";
  EXPECT_EQ(FailureOf([&] { buffer.Insert(xy.data(), -1, 1); }), kPosition);
  EXPECT_EQ(FailureOf([&] { buffer.Insert(xy.data(), 0, 0); }), kLength);
  EXPECT_EQ(FailureOf([&] { buffer.Append(xy.data(), -2); }), kLength);
  EXPECT_EQ(buffer.Length(), 6);

  buffer.Delete(1, 3);
  EXPECT_EQ(Contents(buffer), (TBytes{'x', 'x', 'y'}));
  EXPECT_EQ(FailureOf([&] { buffer.Delete(0, 0); }), kLength);
  EXPECT_EQ(FailureOf([&] { buffer.Delete(4, 1); }), kPosition);
  EXPECT_EQ(FailureOf([&] { buffer.Delete(2, 2); }), kPosition) << "position + n beyond the end";

  EXPECT_EQ(buffer.Extract(1, 2), (TBytes{'x', 'y'}));
  EXPECT_EQ(Contents(buffer), (TBytes{'x'}));
  EXPECT_EQ(FailureOf([&] { buffer.Extract(2, 1); }), kPosition);
  EXPECT_EQ(FailureOf([&] { buffer.Extract(0, 0); }), kLength);
  EXPECT_EQ(FailureOf([&] { buffer.Extract(0, 2); }), kPosition);
  EXPECT_EQ(*buffer.At(0), 'x');
  EXPECT_EQ(buffer.At(1), buffer.Data() + 1) << "the end position is valid";
  EXPECT_EQ(FailureOf([&] { buffer.At(2); }), kPosition);
  EXPECT_EQ(FailureOf([&] { TByteBuffer(abc.data(), 0); }), kLength);
}

TEST(HashKey, InterleaveLayouts) {
  const TBytes inserted = Sequence(16, 200);
  THashKey big;
  const TBytes body32 = Sequence(32);
  big.Append(body32.data(), 32);
  big.Interleave(inserted.data(), 16, 16);
  TBytes expect(body32.begin(), body32.begin() + 16);
  expect.push_back(inserted[0]);
  expect.insert(expect.end(), body32.begin() + 16, body32.end());
  expect.insert(expect.end(), inserted.begin() + 1, inserted.end());
  EXPECT_EQ(Contents(big), expect);
  EXPECT_EQ(big.Length(), 48);
  EXPECT_EQ(big.Capacity(), 48);
  EXPECT_EQ(big.Deinterleave(16, 16), inserted);
  EXPECT_EQ(Contents(big), body32);

  THashKey small;
  const TBytes body8 = Sequence(8);
  small.Append(body8.data(), 8);
  small.Interleave(inserted.data(), 16, 16);
  EXPECT_EQ(Contents(small), ([&] {
              TBytes e = body8;
              e.insert(e.end(), inserted.begin(), inserted.end());
              return e;
            }()));
  EXPECT_EQ(small.Deinterleave(16, 16), inserted);
  EXPECT_EQ(Contents(small), body8);

  THashKey sixteen;
  const TBytes body16 = Sequence(16);
  sixteen.Append(body16.data(), 16);
  EXPECT_EQ(FailureOf([&] { sixteen.Deinterleave(16, 16); }), kLength);
  EXPECT_EQ(FailureOf([&] { sixteen.Interleave(inserted.data(), 16, 0); }), kLength);
  EXPECT_EQ(FailureOf([&] { sixteen.Deinterleave(4, 0); }), kLength);
}

TEST(HashKey, DeinterleaveUndoesInterleave) {
  for (std::int32_t length : {1, 5, 15, 16, 17, 31, 32, 33, 100, 256, 257, 300}) {
    for (std::int32_t count : {0, 1, 8, 16, 20}) {
      for (std::int32_t step : {1, 3, 16}) {
        const TBytes body = Sequence(static_cast<std::size_t>(length)), key = Sequence(static_cast<std::size_t>(count), 100);
        THashKey buffer;
        buffer.Append(body.data(), length);
        buffer.Interleave(key.data(), count, step);
        ASSERT_EQ(buffer.Length(), length + count);
        EXPECT_EQ(buffer.Deinterleave(count, step), key) << length << "/" << count << "/" << step;
        EXPECT_EQ(Contents(buffer), body);
      }
    }
  }
}

class FacadeTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    StartCipherFramework();
    StartRSA();
    StartCipherFacade();
  }
  static void TearDownTestSuite() {
    StopCipherFacade();
    StopCipherFramework();
  }
};

TEST_F(FacadeTest, CopyingCiphers) {
  const TBytes data = {1, 2, 3, 4, 5};
  for (const char* name : {"TBasicCipher", "TCryptoLibDES", "TCryptoApiDES"}) {
    auto cipher = CreateBasicCipher(name);
    ASSERT_TRUE(cipher) << name;
    EXPECT_EQ(cipher->InterleaveStep(), 0);
    TBytes out;
    EXPECT_EQ(cipher->Encrypt(data.data(), 5, out), 0);
    EXPECT_EQ(out, data);
    EXPECT_EQ(cipher->Decrypt(data.data(), 5, out), 0);
    EXPECT_EQ(out, data);
  }
}

TEST_F(FacadeTest, ClassList) {
  auto des = CreateBasicCipher("tquelmarindes");
  ASSERT_TRUE(des);
  EXPECT_EQ(des->InterleaveStep(), 16);
  EXPECT_TRUE(dynamic_cast<TQuelmarinRSA*>(CreateBasicCipher("TQuelmarinRSA").get()));
  EXPECT_FALSE(CreateBasicCipher("TCipher"));
  StopCipherFacade();
  EXPECT_FALSE(CreateBasicCipher("TBasicCipher"));
  StartCipherFacade();
  EXPECT_TRUE(CreateBasicCipher("TBasicCipher"));
}

TEST_F(FacadeTest, DESContainer) {
  TQuelmarinDES des;
  for (std::int32_t length : {0, 1, 7, 8, 20, 100, 1000}) {
    const TBytes data = Sequence(static_cast<std::size_t>(length), 3);
    TBytes container, back;
    EXPECT_EQ(des.Encrypt(data.data(), length, container), 0);
    EXPECT_EQ(container.size(), static_cast<std::size_t>(8 * (length / 8 + 1) + 16)) << length;
    EXPECT_EQ(des.Decrypt(container.data(), Len(container), back), 0);
    EXPECT_EQ(back, data) << length;
  }
  TBytes out;
  des.Encrypt(nullptr, 0, out);
  EXPECT_EQ(out.size(), 24u);
  const TBytes twenty = Sequence(20);
  des.Encrypt(twenty.data(), 20, out);
  EXPECT_EQ(out.size(), 40u);

  // The woven wrapped key is the session key under the master key "vostmelk".
  THashKey woven(out.data(), Len(out));
  const TBytes wrapped = woven.Deinterleave(16, 16);
  auto cipher = TCipher::GetInstance("DES/CBC/PKCS#7", QuelmarinProvider);
  const TBytes master = {'v', 'o', 's', 't', 'm', 'e', 'l', 'k'};
  const TRawSecretKey masterKey("DES", master);
  cipher->InitDecrypt(&masterKey);
  const TBytes session = cipher->DoFinal(wrapped.data(), 0, 16);
  ASSERT_EQ(session.size(), 8u);
  const TRawSecretKey sessionKey("DES", session);
  cipher->InitDecrypt(&sessionKey);
  EXPECT_EQ(cipher->DoFinal(woven.Data(), 0, woven.Length()), twenty);

  // Session keys are fresh at each call.
  TBytes again;
  des.Encrypt(twenty.data(), 20, again);
  EXPECT_NE(again, out);
}

TEST_F(FacadeTest, DESContainerFailuresAreExceptions) {
  TQuelmarinDES des;
  TBytes out;
  const TBytes sixteen = Sequence(16);
  EXPECT_EQ(FailureOf([&] { des.Decrypt(sixteen.data(), 16, out); }), kLength);
  EXPECT_EQ(FailureOf([&] { des.Decrypt(sixteen.data(), 0, out); }), kLength);
  // A wrapped key whose padding byte is 17 under the master key.
  auto raw = TCipher::GetInstance("DES/CBC", QuelmarinProvider);
  const TRawSecretKey masterKey("DES", TBytes{'v', 'o', 's', 't', 'm', 'e', 'l', 'k'});
  raw->InitEncrypt(&masterKey);
  TBytes badKey = Sequence(16);
  badKey[15] = 17;
  const TBytes wrapped = raw->DoFinal(badKey.data(), 0, 16);
  THashKey container(Sequence(8).data(), 8);
  container.Interleave(wrapped.data(), 16, 16);
  EXPECT_EQ(FailureOf([&] { des.Decrypt(container.Data(), container.Length(), out); }),
            "DES: Invalid number of padding bytes");
}

TEST_F(FacadeTest, RSAContainer) {
  TQuelmarinRSA rsa;
  for (std::int32_t length : {0, 1, 24, 1000}) {
    const TBytes data = Sequence(static_cast<std::size_t>(length), 9);
    TBytes container, back;
    ASSERT_EQ(rsa.Encrypt(data.data(), length, container), 0);
    // 2 + 128 signature, 2 + 128 wrapped key, 4 + body.
    ASSERT_EQ(container.size(), static_cast<std::size_t>(2 + 128 + 2 + 128 + 4 + 8 * (length / 8 + 1)));
    EXPECT_EQ(container[0], 0);
    EXPECT_EQ(container[1], 128);
    EXPECT_EQ(container[130], 0);
    EXPECT_EQ(container[131], 128);
    EXPECT_EQ(rsa.Decrypt(container.data(), Len(container), back), 0);
    EXPECT_EQ(back, data);
  }
}

TEST_F(FacadeTest, RSAContainerDamage) {
  TQuelmarinRSA rsa;
  const TBytes data = Sequence(50, 1);
  TBytes container;
  ASSERT_EQ(rsa.Encrypt(data.data(), 50, container), 0);

  TBytes altered = container, out;
  altered[40] ^= 0x10;  // inside the signature
  EXPECT_EQ(rsa.Decrypt(altered.data(), Len(altered), out), 3);
  EXPECT_EQ(out, data) << "the plaintext is handed out despite the mismatch";

  // A damaged wrapped key gives a wrong session key: the unpadding or the signature check
  // fails, whichever comes first for this container's random session key.
  altered = container;
  altered[200] ^= 0x01;
  EXPECT_NE(rsa.Decrypt(altered.data(), Len(altered), out), 0);

  // Length fields that claim more than the container holds, and cut containers.
  for (std::size_t field : {std::size_t{0}, std::size_t{130}, std::size_t{260}}) {
    altered = container;
    altered[field] = 0x7F;
    EXPECT_EQ(rsa.Decrypt(altered.data(), Len(altered), out), 2) << "field at " << field;
  }
  for (std::size_t cut : {0u, 1u, 2u, 100u, 131u, 262u, 263u, 265u, 300u}) {
    TBytes shorter(container.begin(), container.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(rsa.Decrypt(shorter.data(), Len(shorter), out), 2) << "cut at " << cut;
  }
  EXPECT_EQ(rsa.Decrypt(nullptr, 0, out), 2);
}

TEST(BioException, CarriesACode) {
  try {
    throw TBioException("device", 306);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "device");
    EXPECT_EQ(dynamic_cast<const TBioException&>(e).ErrorCode, 306);
  }
}

}  // namespace
}  // namespace mivex::test
