#include "crypto/Md5.h"

#include <cstring>

#include "crypto/CryptoBytes.h"

namespace mivex {

namespace {

// T[i] = floor(2^32 × |sin(i + 1)|), RFC 1321 section 3.4.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee,
    0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be,
    0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa,
    0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c,
    0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05,
    0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039,
    0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1,
    0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr int kRotation[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

std::uint32_t RotateLeft(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

std::uint32_t LoadLittle(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLittle(std::uint32_t v, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

}  // namespace

TMD5::TMD5() : TBlockMessageDigest(ClassAlgorithm(), 64) { EngineResetState(); }

TMD5::~TMD5() { WipeBytes(state_.data(), sizeof(state_)); }

void TMD5::EngineResetState() { state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}; }

void TMD5::EngineTransform(const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittle(block + 4 * i);
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    const int round = i / 16;
    std::uint32_t f;
    int k;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
    }
    const std::uint32_t next = b + RotateLeft(a + f + kSine[i] + x[k], kRotation[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  WipeBytes(x, sizeof(x));
}

TBytes TMD5::EngineDigest() {
  // 0x80, zeros up to 56 bytes into a block, then the bit count little-endian.
  const std::uint64_t bits = static_cast<std::uint64_t>(TotalBytes()) * 8;
  std::uint8_t* buffer = Buffer();
  std::int32_t used = BufferedBytes();
  buffer[used++] = 0x80;
  if (used > 56) {
    std::memset(buffer + used, 0, static_cast<std::size_t>(64 - used));
    EngineTransform(buffer);
    used = 0;
  }
  std::memset(buffer + used, 0, static_cast<std::size_t>(56 - used));
  for (int i = 0; i < 8; ++i) buffer[56 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  EngineTransform(buffer);
  TBytes digest(16);
  for (int i = 0; i < 4; ++i) StoreLittle(state_[static_cast<std::size_t>(i)], digest.data() + 4 * i);
  EngineReset();
  return digest;
}

}  // namespace mivex
