#include "crypto/Des.h"

#include <stdexcept>
#include <string_view>

#include "crypto/CryptoBytes.h"

namespace mivex {

namespace {

// The FIPS 46-3 tables in text form. A bit position p (1 = most significant bit) is one
// character, kDigits[p - 1]; the S-boxes are hex digits, each box its four rows of sixteen
// entries in a row; the key-schedule rotations are decimal digits.
constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kInitialText = "5xphZRJB7zrjbTLD91tldVNF/3vnfXPH4wogYQIA6yqiaSKC80skcUME+2umeWOG";
constexpr std::string_view kFinalText = "nHvP3X/fmGuO2W+elFtN1V9dkEsM0U8cjDrLzT7biCqKyS6ahBpJxR5ZgAoIwQ4Y";
constexpr std::string_view kExpansionText = "fABCDEDEFGHIHIJKLMLMNOPQPQRSTUTUVWXYXYZabcbcdefA";
constexpr std::string_view kPermutationText = "PGTUcLbQAOWZEReJBHXNfaCISMdFVKDY";
constexpr std::string_view kChoice1Text = "4wogYQIA5xphZRJB6yqiaSKC7zrj+2umeWOG91tldVNF80skcUMEbTLD";
constexpr std::string_view kChoice2Text = "NQKXAECbOFUJWSLDZHPGaTMBozeku2dnysgvrwm3h0tpxjcf";
constexpr std::string_view kShiftText = "1122222212222221";
constexpr std::string_view kSBoxText[8] = {
    "E4D12FB83A6C59070F74E2D1A6CB953841E8D62BFC973A50FC8249175B3EA06D",
    "F18E6B34972DC05A3D47F28EC01A69B50E7BA4D158C6932FD8A13F42B67C05E9",
    "A09E63F51DC7B428D709346A285ECBF1D6498F30B12C5AE71AD069874FE3B52C",
    "7DE3069A1285BC4FD8B56F03472C1AE9A690CB7DF13E52843F06A1D8945BC72E",
    "2C417AB6853FD0E9EB2C47D150FA3986421BAD78F9C5630EB8C71E2D6F09A453",
    "C1AF92680D34E75BAF427C9561DE0B389EF528C3704A1DB6432C95FABE17608D",
    "4B2EF08D3C975A61D0B7491AE35C2F8614BDC37EAF6805926BD814A7950FE23C",
    "D2846FB1A93E50C71FD8A374C56B0E927B419CE206ADF35821E74A8DFC90356B",
};

template <std::size_t N>
void DecodePositions(std::string_view text, std::array<std::uint8_t, N>& table) {
  for (std::size_t i = 0; i < N; ++i) table[i] = static_cast<std::uint8_t>(kDigits.find(text[i]) + 1);
}

int HexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// Picks the bits of `in` (inBits wide) listed in `table` (1 = most significant), in order.
template <std::size_t N>
std::uint64_t Permute(std::uint64_t in, int inBits, const std::array<std::uint8_t, N>& table) {
  std::uint64_t out = 0;
  for (std::uint8_t position : table) out = (out << 1) | ((in >> (inBits - position)) & 1);
  return out;
}

std::uint64_t LoadBig(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

void StoreBig(std::uint64_t v, std::uint8_t* p) {
  for (int i = 7; i >= 0; --i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

std::uint32_t Rotate28(std::uint32_t v, int n) { return ((v << n) | (v >> (28 - n))) & 0x0FFFFFFF; }

}  // namespace

TDes::TDes(bool unbuffered) : TCipher(unbuffered) {
  DecodePositions(kInitialText, initial_);
  DecodePositions(kFinalText, final_);
  DecodePositions(kExpansionText, expansion_);
  DecodePositions(kChoice1Text, choice1_);
  DecodePositions(kChoice2Text, choice2_);
  for (std::size_t i = 0; i < shifts_.size(); ++i) shifts_[i] = static_cast<std::uint8_t>(kShiftText[i] - '0');
  std::array<std::uint8_t, 32> permutation{};
  DecodePositions(kPermutationText, permutation);
  // Six input bits b1..b6: row b1b6, column b2..b5. The 4-bit result lands in its place
  // of the 32-bit S output, which then goes through P.
  for (int box = 0; box < 8; ++box) {
    for (int six = 0; six < 64; ++six) {
      const int row = ((six >> 4) & 2) | (six & 1);
      const int column = (six >> 1) & 15;
      const std::uint64_t value = static_cast<std::uint64_t>(HexValue(kSBoxText[box][row * 16 + column]));
      spBox_[box][six] = static_cast<std::uint32_t>(Permute(value << (28 - 4 * box), 32, permutation));
    }
  }
}

TDes::~TDes() { WipeBytes(subkeys_.data(), sizeof(subkeys_)); }

void TDes::SetKey(const std::uint8_t* key) {
  const std::uint64_t chosen = Permute(LoadBig(key), 64, choice1_);
  std::uint32_t c = static_cast<std::uint32_t>(chosen >> 28);
  std::uint32_t d = static_cast<std::uint32_t>(chosen & 0x0FFFFFFF);
  for (int round = 0; round < 16; ++round) {
    c = Rotate28(c, shifts_[round]);
    d = Rotate28(d, shifts_[round]);
    subkeys_[round] = Permute((static_cast<std::uint64_t>(c) << 28) | d, 56, choice2_);
  }
  keyed_ = true;
}

void TDes::Crypt(const std::uint8_t* in, std::uint8_t* out, bool decrypt) const {
  const std::uint64_t permuted = Permute(LoadBig(in), 64, initial_);
  std::uint32_t left = static_cast<std::uint32_t>(permuted >> 32);
  std::uint32_t right = static_cast<std::uint32_t>(permuted);
  for (int round = 0; round < 16; ++round) {
    const std::uint64_t mixed = Permute(right, 32, expansion_) ^ subkeys_[decrypt ? 15 - round : round];
    std::uint32_t f = 0;
    for (int box = 0; box < 8; ++box) f |= spBox_[box][(mixed >> (42 - 6 * box)) & 63];
    const std::uint32_t next = left ^ f;
    left = right;
    right = next;
  }
  // The halves leave the last round exchanged.
  StoreBig(Permute((static_cast<std::uint64_t>(right) << 32) | left, 64, final_), out);
}

void TDes::TakeKey(const TKey& key) {
  TBytes bytes = key.GetEncoded();
  const bool enough = bytes.size() >= 8;
  if (enough) SetKey(bytes.data());
  WipeBytes(bytes.data(), bytes.size());
  if (!enough) throw std::runtime_error("DES: Invalid key length");
}

void TDes::EngineInitEncrypt(const TKey& key) { TakeKey(key); }

void TDes::EngineInitDecrypt(const TKey& key) { TakeKey(key); }

std::int32_t TDes::EngineUpdate(const std::uint8_t* in, std::int32_t inOffset, std::int32_t inLen, std::uint8_t* out,
                                std::int32_t outOffset) {
  if (inLen < 0) throw std::runtime_error("inLen < 0");
  if (!keyed_) throw std::runtime_error("DES: Cipher not initialized");
  const bool decrypt = State() != TCipherState::Encrypt;
  const std::int32_t length = inLen / 8 * 8;
  for (std::int32_t at = 0; at < length; at += 8) Crypt(in + inOffset + at, out + outOffset + at, decrypt);
  return length;
}

}  // namespace mivex
