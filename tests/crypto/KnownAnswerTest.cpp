// Known-answer vectors from the standards, read from tests/data/crypto/*.kat: every
// cipher vector is checked in both directions and fed in ragged pieces; `error` vectors
// must fail with exactly that message; digest vectors run through the MD5 object or
// the SHA-256 export.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "CryptoTestSupport.h"
#include "base/TextUtil.h"
#include "crypto/CryptAPI.h"

namespace mivex::test {
namespace {

using TVector = std::map<std::string, std::string>;

struct TVectorFile {
  std::string path;
  std::vector<TVector> vectors;
};

std::string Trim(const std::string& s) { return TrimBlanks(s); }

// "field = value" lines; a line "name = ..." starts the next vector; '#' comments.
TVectorFile ReadVectors(const std::filesystem::path& path) {
  TVectorFile file{path.string(), {}};
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) throw std::runtime_error(path.string() + ": bad line: " + line);
    const std::string field = Trim(line.substr(0, eq));
    std::string value = line.substr(eq + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    if (field == "name") file.vectors.emplace_back();
    if (file.vectors.empty()) throw std::runtime_error(path.string() + ": field before the first name");
    file.vectors.back()[field] = value;
  }
  return file;
}

std::vector<TVectorFile> AllVectorFiles() {
  std::vector<TVectorFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(MIVEX_TEST_DATA_DIR "/crypto"))
    if (entry.path().extension() == ".kat") files.push_back(ReadVectors(entry.path()));
  return files;
}

std::string Field(const TVector& v, const std::string& name) {
  auto it = v.find(name);
  return it == v.end() ? std::string() : it->second;
}

class KnownAnswer : public CryptoTest {};

// The framework's CBC chains from zero bytes; a standard IV is folded into the first
// plaintext block instead (C1 = E(P1 ^ IV)), and out of the first decrypted block.
void FoldIv(TBytes& data, const TBytes& iv) {
  for (std::size_t i = 0; i < iv.size() && i < data.size(); ++i) data[i] ^= iv[i];
}

std::unique_ptr<TCipher> Cipher(const TVector& v) {
  auto cipher = TCipher::GetInstance(Field(v, "transformation"), QuelmarinProvider);
  if (!cipher) throw std::runtime_error("no cipher for " + Field(v, "transformation"));
  return cipher;
}

// Feeds `data` in pieces of 1, 2, 3, ... bytes through Update and the last piece through
// DoFinal (a DoFinal with nothing to produce fails by design).
TBytes Ragged(TCipher& cipher, const TBytes& data) {
  TBytes out;
  std::size_t at = 0;
  for (std::size_t piece = 1;; ++piece) {
    const std::size_t n = std::min(piece, data.size() - at);
    if (at + n == data.size())
      return Concat(out, cipher.DoFinal(data.data(), static_cast<std::int32_t>(at), static_cast<std::int32_t>(n)));
    out = Concat(out, cipher.Update(data.data(), static_cast<std::int32_t>(at), static_cast<std::int32_t>(n)));
    at += n;
  }
}

void CheckCipher(const TVector& v) {
  SCOPED_TRACE(Field(v, "name"));
  const std::string algorithm = FieldOf(Field(v, "transformation"), '/', 1);
  TRawSecretKey key(algorithm, Hex(Field(v, "key")));
  const TBytes ciphertext = Hex(Field(v, "ciphertext"));

  if (v.count("error")) {
    auto cipher = Cipher(v);
    EXPECT_EQ(FailureOf([&] {
                cipher->InitDecrypt(&key);
                cipher->DoFinal(ciphertext.data(), 0, Len(ciphertext));
              }),
              Field(v, "error"));
    return;
  }

  const TBytes iv = Hex(Field(v, "iv"));
  const std::size_t offset = v.count("offset") ? std::stoul(Field(v, "offset")) : 0;
  // Stream vectors give the key stream: the encryption of zero bytes from `offset` on.
  TBytes plaintext = v.count("plaintext") ? Hex(Field(v, "plaintext")) : TBytes(ciphertext.size());
  plaintext.insert(plaintext.begin(), offset, 0);
  TBytes input = plaintext;
  FoldIv(input, iv);

  auto cipher = Cipher(v);
  cipher->InitEncrypt(&key);
  const TBytes encrypted = cipher->DoFinal(input.data(), 0, Len(input));
  ASSERT_EQ(encrypted.size(), plaintext.size());
  EXPECT_EQ(ToHex(TBytes(encrypted.begin() + static_cast<std::ptrdiff_t>(offset), encrypted.end())), ToHex(ciphertext));

  cipher->InitEncrypt(&key);
  EXPECT_EQ(ToHex(Ragged(*cipher, input)), ToHex(encrypted)) << "fed in pieces";

  cipher->InitDecrypt(&key);
  TBytes decrypted = cipher->DoFinal(encrypted.data(), 0, Len(encrypted));
  FoldIv(decrypted, iv);
  EXPECT_EQ(ToHex(decrypted), ToHex(plaintext));

  cipher->InitDecrypt(&key);
  TBytes raggedPlain = Ragged(*cipher, encrypted);
  FoldIv(raggedPlain, iv);
  EXPECT_EQ(ToHex(raggedPlain), ToHex(plaintext)) << "decrypted in pieces";
}

TBytes Repeated(const TVector& v) {
  const std::string message = Field(v, "message");
  const std::size_t repeat = v.count("repeat") ? std::stoul(Field(v, "repeat")) : 1;
  TBytes data;
  for (std::size_t i = 0; i < repeat; ++i) data.insert(data.end(), message.begin(), message.end());
  return data;
}

void CheckDigest(const TVector& v) {
  SCOPED_TRACE(Field(v, "name"));
  const TBytes data = Repeated(v);
  const std::string expected = Field(v, "digest");
  if (Field(v, "algorithm") == "SHA-256") {
    char out[66];
    std::memset(out, 'x', sizeof(out));
    ASSERT_TRUE(EncryptSha256(data.data(), Len(data), out));
    EXPECT_EQ(std::string(out), ToHex(Hex(expected), true));
    EXPECT_EQ(out[65], 'x') << "nothing is written behind the NUL";
    return;
  }
  auto digest = TMessageDigest::GetInstance(Field(v, "algorithm"), QuelmarinProvider);
  ASSERT_TRUE(digest);
  EXPECT_EQ(ToHex(digest->Digest(data)), expected);
  // The same again, fed one message at a time, after the digest has reset itself.
  const std::string message = Field(v, "message");
  for (std::size_t fed = 0; fed < data.size(); fed += message.size())
    digest->Update(reinterpret_cast<const std::uint8_t*>(message.data()), 0, static_cast<std::int32_t>(message.size()));
  EXPECT_EQ(ToHex(digest->Digest()), expected);
}

TEST_F(KnownAnswer, EveryVectorOfEveryFile) {
  const auto files = AllVectorFiles();
  ASSERT_GE(files.size(), 4u) << "vector files missing from " MIVEX_TEST_DATA_DIR "/crypto";
  int checked = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.path);
    for (const auto& vector : file.vectors) {
      if (vector.count("transformation"))
        CheckCipher(vector);
      else
        CheckDigest(vector);
      ++checked;
    }
  }
  EXPECT_GE(checked, 30);
}

}  // namespace
}  // namespace mivex::test
