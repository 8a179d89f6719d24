// The data-encryption exports as a host reaches them: Mivex.dll loaded by name, the
// three functions looked up by name and called with the platform's calling convention.
// Results are compared with the same functions linked statically into this program, and
// the exports' throughput inside the DLL is printed (no timing is asserted).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "CryptoTestSupport.h"
#include "crypto/CryptAPI.h"

namespace mivex::test {
namespace {

using EnCryptFn = std::int32_t(__stdcall*)(const char*, const std::uint8_t*, std::int32_t, char*, std::int32_t*);
using DeCryptFn = std::int32_t(__stdcall*)(const char*, const char*, std::uint32_t, std::uint8_t*, std::int32_t*);
using Sha256Fn = bool(__stdcall*)(const std::uint8_t*, std::int32_t, char*);

template <typename F>
F Export(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(lib, name)));
}

const std::string kKeyText = "An ordinary key text of 32 bytes and a few more";

class DllExports : public CryptoTest {
 protected:
  void SetUp() override {
    lib_ = ::LoadLibraryA("Mivex.dll");
    ASSERT_NE(lib_, nullptr) << "Mivex.dll next to the test program";
    encrypt_ = Export<EnCryptFn>(lib_, "EnCryptData");
    decrypt_ = Export<DeCryptFn>(lib_, "DeCryptData");
    sha256_ = Export<Sha256Fn>(lib_, "EncryptSha256");
    ASSERT_NE(encrypt_, nullptr);
    ASSERT_NE(decrypt_, nullptr);
    ASSERT_NE(sha256_, nullptr);
  }
  void TearDown() override {
    if (lib_) ::FreeLibrary(lib_);
  }

  HMODULE lib_ = nullptr;
  EnCryptFn encrypt_ = nullptr;
  DeCryptFn decrypt_ = nullptr;
  Sha256Fn sha256_ = nullptr;
};

TEST_F(DllExports, AgreeWithTheLibraryCode) {
  std::mt19937 random(5);
  for (int n : {0, 1, 15, 16, 17, 255, 4096, 10000}) {
    SCOPED_TRACE(n);
    TBytes data(static_cast<std::size_t>(n));
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % 5 == 0 ? 0 : random());
    std::vector<char> viaDll(32 * (n / 16 + 1) + 1), direct(viaDll.size());
    std::int32_t dllLen = -1, directLen = -1;
    ASSERT_EQ(encrypt_(kKeyText.c_str(), data.data(), n, viaDll.data(), &dllLen), 0);
    ASSERT_EQ(EnCryptData(kKeyText.c_str(), data.data(), n, direct.data(), &directLen), 0);
    EXPECT_EQ(dllLen, directLen);
    EXPECT_EQ(std::string(viaDll.data()), std::string(direct.data()));

    TBytes plain(static_cast<std::size_t>(n) + 16, 0xCC);
    std::int32_t plainLen = -1;
    ASSERT_EQ(decrypt_(kKeyText.c_str(), viaDll.data(), static_cast<std::uint32_t>(dllLen), plain.data(), &plainLen), 0);
    ASSERT_EQ(plainLen, n);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), plain.begin()));
    EXPECT_EQ(plain[static_cast<std::size_t>(n)], 0xCC);

    char digest[66];
    std::memset(digest, 'x', sizeof(digest));
    char directDigest[65];
    ASSERT_TRUE(sha256_(data.data(), n, digest));
    ASSERT_TRUE(EncryptSha256(data.data(), n, directDigest));
    EXPECT_EQ(std::string(digest), std::string(directDigest));
    EXPECT_EQ(digest[65], 'x');
  }
}

TEST_F(DllExports, KnownValues) {
  char hex[33];
  std::int32_t len = 0;
  ASSERT_EQ(encrypt_("0123456789ABCDEF0123456789ABCDEF", nullptr, 0, hex, &len), 0);
  EXPECT_EQ(len, 32);
  EXPECT_EQ(std::string(hex), "9BF7330543BC847F4663B2330D47BBC7");
  char digest[65];
  EXPECT_TRUE(sha256_(reinterpret_cast<const std::uint8_t*>("abc"), 3, digest));
  EXPECT_EQ(std::string(digest), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
}

TEST_F(DllExports, FailuresLeaveTheCallersBuffersAlone) {
  const TBytes data = Bytes("some data");
  std::vector<char> hex(40, '\x5A');
  std::int32_t len = -7;
  EXPECT_EQ(encrypt_(kKeyText.c_str(), data.data(), -1, hex.data(), &len), 2);
  EXPECT_EQ(encrypt_("only a short key", data.data(), 9, hex.data(), &len), 2);
  EXPECT_EQ(len, -7);
  for (char c : hex) EXPECT_EQ(c, '\x5A');

  ASSERT_EQ(encrypt_(kKeyText.c_str(), data.data(), 9, hex.data(), &len), 0);
  const std::string good(hex.data());
  std::string lower = good;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::vector<std::uint8_t> out(64, 0xA5);
  std::int32_t outLen = -7;
  EXPECT_EQ(decrypt_(kKeyText.c_str(), good.c_str(), 0, out.data(), &outLen), 1);
  EXPECT_EQ(decrypt_(kKeyText.c_str(), good.c_str(), 31, out.data(), &outLen), 1) << "15 bytes";
  EXPECT_EQ(decrypt_(kKeyText.c_str(), good.c_str(), 48, out.data(), &outLen), 1) << "HexLen beyond the text";
  EXPECT_EQ(decrypt_(kKeyText.c_str(), (good.substr(0, 5) + "x" + good.substr(6)).c_str(), 32, out.data(), &outLen), 1);
  EXPECT_EQ(decrypt_("only a short key", good.c_str(), 32, out.data(), &outLen), 1);
  EXPECT_EQ(outLen, -7);
  for (std::uint8_t c : out) EXPECT_EQ(c, 0xA5);

  ASSERT_EQ(decrypt_(kKeyText.c_str(), lower.c_str(), 32, out.data(), &outLen), 0);
  EXPECT_EQ(outLen, 9);
  EXPECT_EQ(TBytes(out.begin(), out.begin() + 9), data);
}

// Throughput of the exports inside the DLL, next to the same code linked into this test.
TEST_F(DllExports, Throughput) {
  using Clock = std::chrono::steady_clock;
  auto measure = [](auto&& call, std::size_t bytes) {
    int rounds = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    do {
      call();
      ++rounds;
      elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(300) || rounds < 3);
    return static_cast<double>(bytes) * rounds / std::chrono::duration<double>(elapsed).count() / 1e6;
  };
  for (std::size_t size : {std::size_t{64}, std::size_t{4096}, std::size_t{1} << 20}) {
    TBytes data(size, 0x42);
    const auto n = static_cast<std::int32_t>(size);
    std::vector<char> hex(2 * size + 64);
    std::vector<std::uint8_t> plain(size + 16);
    std::int32_t hexLen = 0, plainLen = 0;
    char digest[65];
    ASSERT_EQ(encrypt_(kKeyText.c_str(), data.data(), n, hex.data(), &hexLen), 0);
    const auto hexCount = static_cast<std::uint32_t>(hexLen);
    const double enc = measure([&] { encrypt_(kKeyText.c_str(), data.data(), n, hex.data(), &hexLen); }, size);
    const double dec = measure([&] { decrypt_(kKeyText.c_str(), hex.data(), hexCount, plain.data(), &plainLen); }, size);
    const double sha = measure([&] { sha256_(data.data(), n, digest); }, size);
    const double encDirect = measure([&] { EnCryptData(kKeyText.c_str(), data.data(), n, hex.data(), &hexLen); }, size);
    const double decDirect =
        measure([&] { DeCryptData(kKeyText.c_str(), hex.data(), hexCount, plain.data(), &plainLen); }, size);
    const double shaDirect = measure([&] { EncryptSha256(data.data(), n, digest); }, size);
    std::printf("Mivex.dll %8zu B: EnCryptData %8.1f MB/s  DeCryptData %8.1f MB/s  EncryptSha256 %8.1f MB/s"
                "  (linked in: %.1f / %.1f / %.1f)\n",
                size, enc, dec, sha, encDirect, decDirect, shaDirect);
    EXPECT_EQ(plainLen, n);
  }
}

}  // namespace
}  // namespace mivex::test
