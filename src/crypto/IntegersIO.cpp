// Text conversion and the binary stream and file forms of TInteger.
#include <algorithm>
#include <fstream>
#include <istream>
#include <ostream>

#include "crypto/Integers.h"
#include "crypto/IntegersInternal.h"
#include "crypto/IntegersKernel.h"

namespace mivex {

using hit::Digit;

namespace {

constexpr Digit kTenPow9 = 1000000000;
constexpr const char* kBaseCondition = "Base should be in [2,8,10,16]";

// Bits per character for the power-of-two bases, 0 for base 10, -1 for anything else.
int BitsPerChar(int base) {
  switch (base) {
    case 2: return 1;
    case 8: return 3;
    case 16: return 4;
    case 10: return 0;
    default: return -1;
  }
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Bits [pos, pos + width) of the magnitude, width <= 8.
unsigned BitGroup(const TInteger& a, std::int64_t pos, int width) {
  unsigned v = 0;
  for (int k = width - 1; k >= 0; --k) {
    const std::int64_t bit = pos + k;
    const std::int64_t d = bit / 32;
    v = (v << 1) | (d < a.Size() ? ((a.Digits()[d] >> (bit % 32)) & 1u) : 0u);
  }
  return v;
}

void WriteInt32(std::ostream& stream, std::int32_t value) {
  const std::uint32_t u = static_cast<std::uint32_t>(value);
  const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                         static_cast<char>(u >> 24)};
  stream.write(bytes, 4);
}

bool ReadDigit(std::istream& stream, Digit& value) {
  unsigned char bytes[4];
  if (!stream.read(reinterpret_cast<char*>(bytes), 4)) return false;
  value = Digit{bytes[0]} | (Digit{bytes[1]} << 8) | (Digit{bytes[2]} << 16) | (Digit{bytes[3]} << 24);
  return true;
}

}  // namespace

std::string IStr(const TInteger& A, int Base, bool UpperCase, TPlusSign PlusSign) {
  const int bitsPerChar = BitsPerChar(Base);
  if (bitsPerChar < 0) throw EHITInvalidArg("IStr", kBaseCondition);
  hit::CheckTick();
  const char* alphabet = UpperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string digits;  // least significant first
  if (A.IsZero()) {
    digits.push_back('0');
  } else if (bitsPerChar > 0) {
    const std::int64_t bits = A.BitSize();
    for (std::int64_t pos = 0; pos < bits; pos += bitsPerChar) digits += alphabet[BitGroup(A, pos, bitsPerChar)];
  } else {
    std::vector<Digit> work(A.Digits(), A.Digits() + A.Size());
    std::int32_t n = A.Size();
    while (n > 0) {
      Digit chunk = hit::DivRem1(work.data(), work.data(), n, kTenPow9);
      n = hit::NormalizedSize(work.data(), n);
      for (int k = 0; k < 9 && (n > 0 || chunk != 0); ++k) {
        digits += alphabet[chunk % 10];
        chunk /= 10;
      }
    }
  }
  if (A.Negative())
    digits += '-';
  else if (PlusSign == TPlusSign::psPlus)
    digits += '+';
  else if (PlusSign == TPlusSign::psBlank)
    digits += ' ';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

void IVal(TInteger& A, std::string_view S, int Base) {
  const int bitsPerChar = BitsPerChar(Base);
  if (bitsPerChar < 0) throw EHITInvalidArg("IVal", kBaseCondition);
  hit::CheckTick();
  bool negative = false;
  if (!S.empty() && (S[0] == '-' || S[0] == '+' || S[0] == ' ')) {
    negative = S[0] == '-';
    S.remove_prefix(1);
  }
  if (S.empty()) throw EHITInvalidArg("IVal", "S holds no digits");
  for (char c : S)
    if (DigitValue(c) >= Base) throw EHITInvalidArg("IVal", "S holds a character that is no digit of Base");
  TInteger t;
  if (bitsPerChar > 0) {
    const std::int64_t bits = static_cast<std::int64_t>(S.size()) * bitsPerChar;
    const std::int64_t n = (bits + 31) / 32;
    Digit* d = TIntegerAccess::Prepare(t, n, "IVal");
    std::fill(d, d + n, Digit{0});
    std::int64_t pos = 0;
    for (size_t i = S.size(); i-- > 0; pos += bitsPerChar) {
      const Digit v = static_cast<Digit>(DigitValue(S[i]));
      for (int k = 0; k < bitsPerChar; ++k)
        if ((v >> k) & 1) d[(pos + k) / 32] |= Digit{1} << ((pos + k) % 32);
    }
  } else {
    // Each 9-digit chunk: value := value * 10^k + chunk.
    const std::int64_t n = static_cast<std::int64_t>(S.size()) / 9 + 2;
    Digit* d = TIntegerAccess::Prepare(t, n, "IVal");
    std::fill(d, d + n, Digit{0});
    std::int32_t used = 0;
    for (size_t i = 0; i < S.size();) {
      Digit chunk = 0, scale = 1;
      for (int k = 0; k < 9 && i < S.size(); ++k, ++i) {
        chunk = chunk * 10 + static_cast<Digit>(DigitValue(S[i]));
        scale *= 10;
      }
      Digit carry = hit::Mul1(d, d, used, scale);
      if (carry != 0) d[used++] = carry;
      carry = hit::Add1(d, d, used, chunk);
      if (carry != 0) d[used++] = carry;
    }
  }
  TIntegerAccess::Finish(t, negative, "IVal");
  A = std::move(t);
}

void TInteger::SaveToStream(std::ostream& stream) const {
  WriteInt32(stream, FNegative ? -FSize : FSize);
  for (std::int32_t i = 0; i < FSize; ++i) WriteInt32(stream, static_cast<std::int32_t>(FDigits[i]));
  if (!stream) throw EHITStreamError("TInteger.SaveToStream");
}

void TInteger::LoadFromStream(std::istream& stream) {
  const char* op = "TInteger.LoadFromStream";
  Digit header = 0;
  if (!ReadDigit(stream, header)) throw EHITStreamError(op);
  const std::int32_t signedCount = static_cast<std::int32_t>(header);
  if (signedCount < -MaxLongSize || signedCount > MaxLongSize) throw EHITStreamError(op);
  const std::int32_t count = signedCount < 0 ? -signedCount : signedCount;
  // Grows as digits arrive, so a damaged count cannot claim memory the stream does not hold.
  std::vector<Digit> digits;
  for (std::int32_t i = 0; i < count; ++i) {
    Digit d = 0;
    if (!ReadDigit(stream, d)) throw EHITStreamError(op);
    digits.push_back(d);
  }
  if (count > 0 && digits.back() == 0) throw EHITStreamError(op);
  SetDigits(digits.data(), count, signedCount < 0);
}

void TInteger::SaveToFile(const std::string& fileName) const {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (!file) throw EHITFileError("TInteger.SaveToFile", fileName);
  SaveToStream(file);
  file.close();
  if (!file) throw EHITFileError("TInteger.SaveToFile", fileName);
}

void TInteger::LoadFromFile(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw EHITFileError("TInteger.LoadFromFile", fileName);
  TInteger t;
  try {
    t.LoadFromStream(file);
  } catch (const EHITStreamError&) {
    throw EHITFileError("TInteger.LoadFromFile", fileName);
  }
  // The file holds exactly one number.
  if (file.peek() != std::char_traits<char>::eof()) throw EHITFileError("TInteger.LoadFromFile", fileName);
  *this = std::move(t);
}

}  // namespace mivex
