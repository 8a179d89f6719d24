#pragma once
// Arbitrary-precision signed integers (unit Integers): the TInteger value, its error
// classes, the arithmetic operations, text conversion, the random generator and the
// ticker that paces the progress callback of long operations.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/Component.h"

namespace mivex {

// Largest digit count of a TInteger (32-bit digits: 1.5 Gbit).
inline constexpr std::int32_t MaxLongSize = 50331648;

// ---- errors ----------------------------------------------------------------------------
// Each message starts with the failing operation's name ("IPowMod", "TInteger.Bit" ...).
class EHIT : public std::runtime_error {
 public:
  explicit EHIT(const std::string& message) : std::runtime_error(message) {}
};
class EHITAbort : public EHIT {
 public:
  EHITAbort();
};
class EHITDivByZero : public EHIT {
 public:
  explicit EHITDivByZero(const std::string& op);
};
class EHITDuplicatePtr : public EHIT {
 public:
  // `args` lists the arguments that must be distinct objects, e.g. "A,B".
  EHITDuplicatePtr(const std::string& op, const std::string& args);
};
class EHITFileError : public EHIT {
 public:
  EHITFileError(const std::string& op, const std::string& fileName);
};
class EHITIndexError : public EHIT {
 public:
  explicit EHITIndexError(const std::string& op);
};
class EHITInvalidArg : public EHIT {
 public:
  // `condition` names the violated condition, e.g. "B < 2".
  EHITInvalidArg(const std::string& op, const std::string& condition);
};
class EHITOverflow : public EHIT {
 public:
  explicit EHITOverflow(const std::string& op);
};
class EHITSizeError : public EHIT {
 public:
  explicit EHITSizeError(const std::string& op);
};
class EHITStreamError : public EHIT {
 public:
  explicit EHITStreamError(const std::string& op);
};

// ---- the value -------------------------------------------------------------------------
class THITObject : public TObject {};

class TInteger : public THITObject {
 public:
  using Digit = std::uint32_t;
  static constexpr std::int32_t MaxBitSize = 1610612735;  // highest bit position
  static constexpr std::int32_t MaxByteSize = 201326592;  // byte counts stay below this

  TInteger() noexcept = default;
  explicit TInteger(std::int64_t value);
  TInteger(const TInteger& other);
  TInteger(TInteger&& other) noexcept;
  TInteger& operator=(const TInteger& other);
  TInteger& operator=(TInteger&& other) noexcept;
  ~TInteger() override;

  // Digits in use (no leading zero digit; 0 for zero), allocated digits (a multiple of 8).
  std::int32_t Size() const { return FSize; }
  std::int32_t Capacity() const { return FCapacity; }
  const Digit* Digits() const { return FDigits.get(); }
  bool Negative() const { return FNegative; }
  bool IsZero() const { return FSize == 0; }
  bool IsOdd() const { return FSize > 0 && (FDigits[0] & 1) != 0; }
  int Sign() const { return FSize == 0 ? 0 : (FNegative ? -1 : 1); }
  // Bits and bytes of the magnitude (0 for zero).
  std::int32_t BitSize() const;
  std::int32_t ByteSize() const { return (BitSize() + 7) / 8; }

  void Clear();  // zero, keeping the allocation
  void SetInt(std::int64_t value);
  // Low 64 bits of the magnitude, with the sign applied (two's complement wrap).
  std::int64_t AsInt64() const;
  void Negate();
  void Abs() { FNegative = false; }

  // Bit and byte access on the magnitude; bit/byte 0 is the least significant. Setting a
  // bit or byte beyond the current size extends the number.
  bool Bit(std::int32_t index) const;
  void SetBit(std::int32_t index, bool value);
  std::uint8_t Byte(std::int32_t index) const;
  void SetByte(std::int32_t index, std::uint8_t value);

  // Replaces the value by `count` digits, least significant first.
  void SetDigits(const Digit* digits, std::int32_t count, bool negative = false);
  // Replaces the value by a non-negative big-endian magnitude of `byteCount` bytes.
  void SetBytes(const std::uint8_t* data, std::int32_t byteCount);
  // The magnitude big-endian, without leading zero bytes (empty for zero).
  std::vector<std::uint8_t> GetBytes() const;
  // The magnitude big-endian, left-filled with zeros to exactly `byteCount` bytes; false
  // (and `out` untouched) when it does not fit.
  bool GetBytes(std::uint8_t* out, std::int32_t byteCount) const;

  // Binary form: int32 little-endian signed digit count (negative for a negative value),
  // then the digits little-endian, least significant first.
  void SaveToStream(std::ostream& stream) const;
  void LoadFromStream(std::istream& stream);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromFile(const std::string& fileName);

 private:
  friend struct TIntegerAccess;
  // Makes room for `digits` digits, keeping the value.
  void SetMem(std::int32_t digits);
  void Normalize();

  std::unique_ptr<Digit[]> FDigits;
  std::int32_t FCapacity = 0;
  std::int32_t FSize = 0;
  bool FNegative = false;
};

// ---- operations ------------------------------------------------------------------------
// Unless said otherwise the first argument receives the result and may be the same object
// as any other argument.
int ICompare(const TInteger& A, const TInteger& B);     // -1, 0, 1
int ICompareAbs(const TInteger& A, const TInteger& B);  // on magnitudes
void IAdd(TInteger& A, const TInteger& B);              // A := A + B
void ISub(TInteger& A, const TInteger& B);              // A := A - B
void IMul(TInteger& A, const TInteger& B);              // A := A * B
void ISqr(TInteger& A);                                 // A := A * A
// Truncating division: quotient rounded towards zero, remainder with the sign of A.
void IDiv(TInteger& A, const TInteger& B);  // A := A div B
void IRem(TInteger& A, const TInteger& B);  // A := A rem B
// Non-negative modulus: A := A mod |B|, in [0, |B|).
void IMod(TInteger& A, const TInteger& B);
// Division with modulus: on return A holds A mod |B| (in [0, |B|)) and B the matching
// quotient q, so that A_old = q * B_old + A. A and B must be distinct objects.
void IModDiv(TInteger& A, TInteger& B);
// Division with remainder: on return A holds A rem B and B the truncated quotient.
// A and B must be distinct objects.
void IRemDiv(TInteger& A, TInteger& B);
// Modular inverse: A := A^-1 mod B in [0, B) with B >= 2; false (A unchanged) when
// gcd(A, B) != 1. A and B must be distinct objects.
bool IInvMod(TInteger& A, const TInteger& B);
void IGcd(TInteger& A, const TInteger& B);  // A := gcd(|A|, |B|)
void IPow(TInteger& A, std::int32_t E);     // A := A^E, E >= 0
// A := A^E mod B in [0, B) with B >= 1 and E >= 0. A, E and B must be distinct objects.
void IPowMod(TInteger& A, const TInteger& E, const TInteger& B);
// Shifts of the magnitude; the sign is kept (IShr rounds towards zero).
void IShl(TInteger& A, std::int32_t Shift);
void IShr(TInteger& A, std::int32_t Shift);

// Text in base 2, 8, 10 or 16 with the digits "0123456789abcdef" (or upper case).
// Negative values start with "-"; non-negative ones with "+", " " or nothing.
enum class TPlusSign : std::uint8_t { psNone, psPlus, psBlank };
std::string IStr(const TInteger& A, int Base = 10, bool UpperCase = false,
                 TPlusSign PlusSign = TPlusSign::psNone);
// Parses an optional sign ("-", "+" or " ") and at least one digit of the base; letters
// may be of either case.
void IVal(TInteger& A, std::string_view S, int Base = 10);

// Non-secret random numbers: A := a value in [0, 2^BitCount) from the generator that
// HITSeed seeds. Nothing secret may be drawn from it.
void IRnd(TInteger& A, std::int32_t BitCount);
void HITSeed(std::uint64_t seed);

// Karatsuba switch-over points (digits) for squaring (S) and general products (M).
void IKaratsubaThresholds(std::int32_t S, std::int32_t M);

// ---- progress and abort ----------------------------------------------------------------
// Long operations called on the thread that ran StartIntegers look at the ticker's flag on
// entry; when it is set they clear it, call the progress callback (if any) and raise
// EHITAbort when HITAbort was called since the last check.
using THITProgressEvent = void (*)(void* context);
void SetHITProgress(THITProgressEvent callback, void* context);
void HITAbort();

// Unit start-up and shutdown: Karatsuba thresholds, the seed (from the system time) and
// the ticker. The thread that calls StartIntegers is the one whose long operations call
// the progress callback. StopIntegers never waits for another thread on Windows (see
// IntegersTicker.h); call it when no integer operation is running.
void StartIntegers();
void StopIntegers();

}  // namespace mivex
