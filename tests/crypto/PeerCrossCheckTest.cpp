// EnCryptData, DeCryptData and EncryptSha256 against independent peers: the openssl and
// sha256sum command-line tools, over a few hundred random key texts and lengths.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "CryptoTestSupport.h"
#include "crypto/CryptAPI.h"

namespace mivex::test {
namespace {

std::string RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) output.append(chunk, n);
  pclose(pipe);
  return output;
}

class PeerCrossCheck : public CryptoTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mivex-crypto-peer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    input_ = dir_ + "/input";
    ASSERT_NE(RunTool("openssl version"), "") << "openssl is needed for this test";
  }
  void TearDown() override {
    std::remove(input_.c_str());
    rmdir(dir_.c_str());
  }
  void WriteInput(const TBytes& data) {
    std::ofstream out(input_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }

  std::string dir_;
  std::string input_;
  std::vector<TBytes> messages_;
};

TEST_F(PeerCrossCheck, AesCbcMatchesOpensslAndDecryptsBack) {
  std::mt19937 random(20240611);
  std::vector<std::size_t> lengths = {0, 1, 15, 16, 17, 31, 32, 4095, 4096};
  while (lengths.size() < 300) lengths.push_back(random() % 4097);
  for (std::size_t length : lengths) {
    // Key texts: 32 bytes 1..255 (a NUL would end them), sometimes with a tail.
    std::string key(32 + random() % 3 * 8, ' ');
    for (char& c : key) c = static_cast<char>(1 + random() % 255);
    TBytes data(length);
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random());
    SCOPED_TRACE("length " + std::to_string(length) + " key " + ToHex(Bytes(key)));

    std::vector<char> hex(32 * (length / 16 + 1) + 1);
    std::int32_t hexLen = -1;
    ASSERT_EQ(EnCryptData(key.c_str(), data.data(), Len(data), hex.data(), &hexLen), 0);
    ASSERT_EQ(hexLen, static_cast<std::int32_t>(32 * (length / 16 + 1)));

    WriteInput(data);
    const std::string expected =
        RunTool("openssl enc -aes-256-cbc -K " + ToHex(TBytes(key.begin(), key.begin() + 32)) +
                " -iv 00000000000000000000000000000000 -in " + input_ + " | od -An -v -tx1 | tr -d ' \\n'");
    std::string upper = expected;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(std::string(hex.data()), upper);

    TBytes plain(length + 16);
    std::int32_t plainLen = -1;
    ASSERT_EQ(DeCryptData(key.c_str(), hex.data(), static_cast<std::uint32_t>(hexLen), plain.data(), &plainLen), 0);
    ASSERT_EQ(plainLen, Len(data));
    ASSERT_TRUE(std::equal(data.begin(), data.end(), plain.begin()));
  }
}

TEST_F(PeerCrossCheck, Sha256MatchesSha256sum) {
  std::mt19937 random(99);
  std::vector<std::size_t> lengths = {0, 1, 55, 56, 63, 64, 65, 4096};
  while (lengths.size() < 200) lengths.push_back(random() % 4097);
  // One sha256sum run over one file per message; its lines come in argument order.
  std::vector<std::string> expected;
  std::string files;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    TBytes data(lengths[i]);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    messages_.push_back(data);
    const std::string path = dir_ + "/m" + std::to_string(i);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
    files += " " + path;
  }
  const std::string sums = RunTool("sha256sum" + files);
  std::size_t at = 0;
  for (std::size_t i = 0; i < messages_.size(); ++i, at = sums.find('\n', at) + 1) {
    std::string digest = sums.substr(at, 64);
    for (char& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    char out[65];
    ASSERT_TRUE(EncryptSha256(messages_[i].data(), Len(messages_[i]), out));
    ASSERT_EQ(std::string(out), digest) << "length " << lengths[i];
    std::remove((dir_ + "/m" + std::to_string(i)).c_str());
  }
}

}  // namespace
}  // namespace mivex::test
