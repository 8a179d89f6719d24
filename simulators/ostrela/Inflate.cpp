#include "Inflate.h"

#include <algorithm>
#include <array>

namespace mivex::ostrela {
namespace {

constexpr int kMaxBits = 15;
constexpr int kMaxLengthCodes = 286;
constexpr int kMaxDistanceCodes = 30;
constexpr int kFixedLengthCodes = 288;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                                         33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                                         1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the code lengths of its code-length code.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                           11, 4, 12, 3, 13, 2, 14, 1, 15};

// Reads the stream's bits, least significant first.
class TBitReader {
 public:
  TBitReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  // The next `n` (0..16) bits; false at the end of the data.
  bool Take(int n, std::uint32_t& value) {
    while (FCount < n) {
      if (FPos >= FSize) return false;
      FBits |= std::uint32_t{FData[FPos++]} << FCount;
      FCount += 8;
    }
    value = FBits & ((std::uint32_t{1} << n) - 1);
    FBits >>= n;
    FCount -= n;
    return true;
  }
  // Drops the bits left of the current byte, for stored blocks.
  void AlignToByte() {
    FBits = 0;
    FCount = 0;
  }
  bool TakeBytes(std::size_t n, const std::uint8_t*& bytes) {
    if (FSize - FPos < n) return false;
    bytes = FData + FPos;
    FPos += n;
    return true;
  }
  std::size_t Position() const { return FPos; }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
  std::uint32_t FBits = 0;
  int FCount = 0;
};

// A canonical Huffman code: how many codes each length has and the symbols in code order.
struct THuffman {
  std::array<std::uint16_t, kMaxBits + 1> Counts{};
  std::array<std::uint16_t, kFixedLengthCodes> Symbols{};
};

// False when the lengths describe more codes than fit (an incomplete code is allowed:
// a stream that reaches a missing code fails when decoding).
bool BuildHuffman(THuffman& code, const std::uint8_t* lengths, int n) {
  code.Counts.fill(0);
  for (int s = 0; s < n; ++s) ++code.Counts[lengths[s]];
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = left * 2 - code.Counts[static_cast<std::size_t>(len)];
    if (left < 0) return false;
  }
  std::array<std::uint16_t, kMaxBits + 2> offsets{};
  for (int len = 1; len <= kMaxBits; ++len)
    offsets[static_cast<std::size_t>(len) + 1] = static_cast<std::uint16_t>(offsets[static_cast<std::size_t>(len)] +
                                                                            code.Counts[static_cast<std::size_t>(len)]);
  for (int s = 0; s < n; ++s)
    if (lengths[s] != 0) code.Symbols[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);
  return true;
}

// The next symbol, or -1 when the data ends or holds no valid code.
int DecodeSymbol(TBitReader& bits, const THuffman& code) {
  int value = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    std::uint32_t bit = 0;
    if (!bits.Take(1, bit)) return -1;
    value |= static_cast<int>(bit);
    const int count = code.Counts[static_cast<std::size_t>(len)];
    if (value - first < count) return code.Symbols[static_cast<std::size_t>(index + value - first)];
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return -1;
}

class TInflater {
 public:
  TInflater(const std::uint8_t* data, std::size_t size, std::size_t maxOut, std::vector<std::uint8_t>& out)
      : FBits(data, size), FMaxOut(maxOut), FOut(out) {}

  bool Run(std::string& error) {
    for (;;) {
      std::uint32_t last = 0, type = 0;
      if (!FBits.Take(1, last) || !FBits.Take(2, type)) return Fail(error, "the compressed data ends early");
      bool ok = false;
      if (type == 0) ok = Stored(error);
      else if (type == 1) ok = Fixed(error);
      else if (type == 2) ok = Dynamic(error);
      else return Fail(error, "the compressed data has a block of unknown type");
      if (!ok) return false;
      if (last != 0) return true;
    }
  }
  std::size_t Consumed() const { return FBits.Position(); }

 private:
  static bool Fail(std::string& error, const char* what) {
    error = what;
    return false;
  }

  bool Stored(std::string& error) {
    FBits.AlignToByte();
    const std::uint8_t* header = nullptr;
    if (!FBits.TakeBytes(4, header)) return Fail(error, "the compressed data ends early");
    const unsigned length = header[0] | (header[1] << 8);
    const unsigned complement = header[2] | (header[3] << 8);
    if ((length ^ 0xFFFFu) != complement) return Fail(error, "the compressed data has a damaged stored block");
    const std::uint8_t* bytes = nullptr;
    if (!FBits.TakeBytes(length, bytes)) return Fail(error, "the compressed data ends early");
    if (FOut.size() + length > FMaxOut) return Fail(error, "the image data is larger than its size says");
    FOut.insert(FOut.end(), bytes, bytes + length);
    return true;
  }

  bool Fixed(std::string& error) {
    std::array<std::uint8_t, kFixedLengthCodes + kMaxDistanceCodes> lengths{};
    for (int s = 0; s < kFixedLengthCodes; ++s) lengths[static_cast<std::size_t>(s)] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (int s = 0; s < kMaxDistanceCodes; ++s) lengths[static_cast<std::size_t>(kFixedLengthCodes + s)] = 5;
    THuffman literals, distances;
    BuildHuffman(literals, lengths.data(), kFixedLengthCodes);
    BuildHuffman(distances, lengths.data() + kFixedLengthCodes, kMaxDistanceCodes);
    return Codes(literals, distances, error);
  }

  bool Dynamic(std::string& error) {
    std::uint32_t nlen = 0, ndist = 0, ncode = 0;
    if (!FBits.Take(5, nlen) || !FBits.Take(5, ndist) || !FBits.Take(4, ncode))
      return Fail(error, "the compressed data ends early");
    nlen += 257;
    ndist += 1;
    ncode += 4;
    if (nlen > kMaxLengthCodes || ndist > kMaxDistanceCodes)
      return Fail(error, "the compressed data has a damaged code table");
    std::array<std::uint8_t, kMaxLengthCodes + kMaxDistanceCodes> lengths{};
    for (std::uint32_t k = 0; k < ncode; ++k) {
      std::uint32_t len = 0;
      if (!FBits.Take(3, len)) return Fail(error, "the compressed data ends early");
      lengths[kCodeLengthOrder[k]] = static_cast<std::uint8_t>(len);
    }
    THuffman lengthCode;
    if (!BuildHuffman(lengthCode, lengths.data(), 19)) return Fail(error, "the compressed data has a damaged code table");
    std::uint32_t filled = 0;
    while (filled < nlen + ndist) {
      const int symbol = DecodeSymbol(FBits, lengthCode);
      if (symbol < 0) return Fail(error, "the compressed data has a damaged code table");
      if (symbol < 16) {
        lengths[filled++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      std::uint8_t repeated = 0;
      std::uint32_t times = 0;
      bool ok = true;
      if (symbol == 16) {
        if (filled == 0) return Fail(error, "the compressed data has a damaged code table");
        repeated = lengths[filled - 1];
        ok = FBits.Take(2, times);
        times += 3;
      } else if (symbol == 17) {
        ok = FBits.Take(3, times);
        times += 3;
      } else {
        ok = FBits.Take(7, times);
        times += 11;
      }
      if (!ok) return Fail(error, "the compressed data ends early");
      if (filled + times > nlen + ndist) return Fail(error, "the compressed data has a damaged code table");
      while (times-- > 0) lengths[filled++] = repeated;
    }
    if (lengths[256] == 0) return Fail(error, "the compressed data has no end-of-block code");
    THuffman literals, distances;
    if (!BuildHuffman(literals, lengths.data(), static_cast<int>(nlen)) ||
        !BuildHuffman(distances, lengths.data() + nlen, static_cast<int>(ndist)))
      return Fail(error, "the compressed data has a damaged code table");
    return Codes(literals, distances, error);
  }

  // Literals and back references up to the end of the block.
  bool Codes(const THuffman& literals, const THuffman& distances, std::string& error) {
    for (;;) {
      int symbol = DecodeSymbol(FBits, literals);
      if (symbol < 0) return Fail(error, "the compressed data is damaged");
      if (symbol < 256) {
        if (FOut.size() >= FMaxOut) return Fail(error, "the image data is larger than its size says");
        FOut.push_back(static_cast<std::uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) return true;
      symbol -= 257;
      if (symbol >= static_cast<int>(kLengthBase.size())) return Fail(error, "the compressed data is damaged");
      std::uint32_t extra = 0;
      if (!FBits.Take(kLengthExtra[static_cast<std::size_t>(symbol)], extra))
        return Fail(error, "the compressed data ends early");
      const std::size_t length = kLengthBase[static_cast<std::size_t>(symbol)] + extra;
      const int d = DecodeSymbol(FBits, distances);
      if (d < 0 || d >= kMaxDistanceCodes) return Fail(error, "the compressed data is damaged");
      if (!FBits.Take(kDistanceExtra[static_cast<std::size_t>(d)], extra))
        return Fail(error, "the compressed data ends early");
      const std::size_t distance = kDistanceBase[static_cast<std::size_t>(d)] + extra;
      if (distance > FOut.size()) return Fail(error, "the compressed data refers before its start");
      if (FOut.size() + length > FMaxOut) return Fail(error, "the image data is larger than its size says");
      // Byte by byte: a reference may overlap the bytes it produces.
      for (std::size_t k = 0; k < length; ++k) FOut.push_back(FOut[FOut.size() - distance]);
    }
  }

  TBitReader FBits;
  std::size_t FMaxOut;
  std::vector<std::uint8_t>& FOut;
};

std::uint32_t Adler32(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : bytes) {
    a = (a + v) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

}  // namespace

bool InflateZlib(const std::uint8_t* data, std::size_t size, std::size_t maxOut, std::vector<std::uint8_t>& out,
                 std::string& error) {
  out.clear();
  if (size < 6) {
    error = "the compressed data ends early";
    return false;
  }
  const unsigned cmf = data[0], flags = data[1];
  if ((cmf & 0x0Fu) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flags) % 31 != 0) {
    error = "the compressed data has an unknown header";
    return false;
  }
  if ((flags & 0x20u) != 0) {
    error = "the compressed data needs a preset dictionary";
    return false;
  }
  out.reserve(std::min<std::size_t>(maxOut, std::size_t{1} << 26));
  TInflater inflater(data + 2, size - 2, maxOut, out);
  if (!inflater.Run(error)) return false;
  const std::size_t end = 2 + inflater.Consumed();
  if (size - end < 4) {
    error = "the compressed data ends before its check sum";
    return false;
  }
  const std::uint32_t expected = (std::uint32_t{data[end]} << 24) | (std::uint32_t{data[end + 1]} << 16) |
                                 (std::uint32_t{data[end + 2]} << 8) | data[end + 3];
  if (Adler32(out) != expected) {
    error = "the compressed data fails its check sum";
    return false;
  }
  return true;
}

}  // namespace mivex::ostrela
