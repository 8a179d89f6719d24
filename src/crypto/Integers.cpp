#include "crypto/Integers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "crypto/IntegersInternal.h"
#include "crypto/IntegersKernel.h"
#include "crypto/IntegersParams.h"

namespace mivex {

using hit::Digit;
using hit::Wide;

// ---- errors ----------------------------------------------------------------------------
EHITAbort::EHITAbort() : EHIT("HIT - Operation aborted") {}
EHITDivByZero::EHITDivByZero(const std::string& op) : EHIT(op + "\r\nDivision by 0") {}
EHITDuplicatePtr::EHITDuplicatePtr(const std::string& op, const std::string& args)
    : EHIT(op + "\r\n" + args + " must point to distinct objects") {}
EHITFileError::EHITFileError(const std::string& op, const std::string& fileName)
    : EHIT(op + "\r\nInvalid \"" + fileName + "\" file") {}
EHITIndexError::EHITIndexError(const std::string& op) : EHIT(op + "\r\nInvalid index") {}
EHITInvalidArg::EHITInvalidArg(const std::string& op, const std::string& condition)
    : EHIT(op + "\r\nInvalid parameter\r\n" + condition) {}
EHITOverflow::EHITOverflow(const std::string& op) : EHIT(op + "\r\nOverflow") {}
EHITSizeError::EHITSizeError(const std::string& op) : EHIT(op + "\r\nInvalid size specification") {}
EHITStreamError::EHITStreamError(const std::string& op) : EHIT(op + "\r\nInvalid stream") {}

namespace {

constexpr std::int64_t kMaxBits = std::int64_t{MaxLongSize} * 32;

std::int32_t RoundCapacity(std::int64_t digits) { return static_cast<std::int32_t>((digits + 7) & ~std::int64_t{7}); }

// The non-secret generator: splitmix64 over an atomic counter, so concurrent callers
// never share a state word.
std::atomic<std::uint64_t> gRandomState{0};

std::uint64_t NextRandom() {
  std::uint64_t z = gRandomState.fetch_add(0x9E3779B97F4A7C15ull, std::memory_order_relaxed) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// |a| + |b| into r (r may be a or b).
void AddMagnitudes(TInteger& r, const TInteger& a, const TInteger& b, bool negative, const char* op) {
  const TInteger* big = &a;
  const TInteger* small = &b;
  if (big->Size() < small->Size()) std::swap(big, small);
  const std::int32_t nb = big->Size(), ns = small->Size();
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, std::int64_t{nb} + 1, op);
  Digit carry = hit::AddN(d, big->Digits(), small->Digits(), ns);
  d[nb] = hit::Add1(d + ns, big->Digits() + ns, nb - ns, carry);
  TIntegerAccess::Finish(t, negative, op);
  r = std::move(t);
}

// |a| - |b| with |a| >= |b| into r (r may be a or b).
void SubMagnitudes(TInteger& r, const TInteger& a, const TInteger& b, bool negative, const char* op) {
  const std::int32_t na = a.Size(), nb = b.Size();
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, na, op);
  Digit borrow = hit::SubN(d, a.Digits(), b.Digits(), nb);
  hit::Sub1(d + nb, a.Digits() + nb, na - nb, borrow);
  TIntegerAccess::Finish(t, negative, op);
  r = std::move(t);
}

// A := A + (negateB ? -B : B).
void AddSigned(TInteger& A, const TInteger& B, bool negateB, const char* op) {
  if (B.IsZero()) return;
  const bool negB = B.Negative() != negateB;
  if (A.IsZero()) {
    A = B;
    if (A.Negative() != negB) A.Negate();
    return;
  }
  if (A.Negative() == negB) {
    AddMagnitudes(A, A, B, negB, op);
  } else if (ICompareAbs(A, B) >= 0) {
    SubMagnitudes(A, A, B, A.Negative(), op);
  } else {
    SubMagnitudes(A, B, A, negB, op);
  }
}

}  // namespace

// ---- raw access ------------------------------------------------------------------------
Digit* TIntegerAccess::Prepare(TInteger& x, std::int64_t n, const char* op) {
  if (n > std::int64_t{MaxLongSize} + 1) throw EHITOverflow(op);
  if (n > x.FCapacity) {
    const std::int32_t cap = RoundCapacity(n);
    x.FDigits.reset(new Digit[static_cast<size_t>(cap)]);
    x.FCapacity = cap;
  }
  x.FSize = static_cast<std::int32_t>(n);
  x.FNegative = false;
  return x.FDigits.get();
}

void TIntegerAccess::Finish(TInteger& x, bool negative, const char* op) {
  x.FNegative = negative;
  x.Normalize();
  if (x.FSize > MaxLongSize) {
    x.Clear();
    throw EHITOverflow(op);
  }
}

// ---- TInteger --------------------------------------------------------------------------
TInteger::TInteger(std::int64_t value) { SetInt(value); }

TInteger::TInteger(const TInteger& other) { *this = other; }

TInteger::TInteger(TInteger&& other) noexcept
    : FDigits(std::move(other.FDigits)), FCapacity(other.FCapacity), FSize(other.FSize), FNegative(other.FNegative) {
  other.FCapacity = other.FSize = 0;
  other.FNegative = false;
}

TInteger& TInteger::operator=(const TInteger& other) {
  if (this == &other) return *this;
  if (other.FSize > FCapacity) {
    FDigits.reset(new Digit[static_cast<size_t>(RoundCapacity(other.FSize))]);
    FCapacity = RoundCapacity(other.FSize);
  }
  std::copy(other.FDigits.get(), other.FDigits.get() + other.FSize, FDigits.get());
  FSize = other.FSize;
  FNegative = other.FNegative;
  return *this;
}

TInteger& TInteger::operator=(TInteger&& other) noexcept {
  if (this == &other) return *this;
  FDigits = std::move(other.FDigits);
  FCapacity = other.FCapacity;
  FSize = other.FSize;
  FNegative = other.FNegative;
  other.FCapacity = other.FSize = 0;
  other.FNegative = false;
  return *this;
}

TInteger::~TInteger() = default;

void TInteger::SetMem(std::int32_t digits) {
  if (digits < 0 || digits > MaxLongSize) throw EHITSizeError("TInteger.SetMem (private)");
  if (digits <= FCapacity) return;
  const std::int32_t cap = RoundCapacity(digits);
  std::unique_ptr<Digit[]> block(new Digit[static_cast<size_t>(cap)]());
  if (FSize > 0) std::copy(FDigits.get(), FDigits.get() + FSize, block.get());
  FDigits = std::move(block);
  FCapacity = cap;
}

void TInteger::Normalize() {
  FSize = hit::NormalizedSize(FDigits.get(), FSize);
  if (FSize == 0) FNegative = false;
}

std::int32_t TInteger::BitSize() const {
  if (FSize == 0) return 0;
  return (FSize - 1) * 32 + (32 - __builtin_clz(FDigits[FSize - 1]));
}

void TInteger::Clear() {
  FSize = 0;
  FNegative = false;
}

void TInteger::SetInt(std::int64_t value) {
  const bool negative = value < 0;
  // Magnitude without overflow for the most negative value.
  std::uint64_t mag = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  SetMem(2);
  FDigits[0] = static_cast<Digit>(mag);
  FDigits[1] = static_cast<Digit>(mag >> 32);
  FSize = 2;
  FNegative = negative;
  Normalize();
}

std::int64_t TInteger::AsInt64() const {
  std::uint64_t mag = 0;
  if (FSize > 0) mag = FDigits[0];
  if (FSize > 1) mag |= std::uint64_t{FDigits[1]} << 32;
  if (FNegative) mag = std::uint64_t{0} - mag;
  return static_cast<std::int64_t>(mag);
}

void TInteger::Negate() {
  if (FSize != 0) FNegative = !FNegative;
}

bool TInteger::Bit(std::int32_t index) const {
  if (index < 0 || index > MaxBitSize) throw EHITIndexError("TInteger.Bit");
  const std::int32_t d = index / 32;
  return d < FSize && ((FDigits[d] >> (index % 32)) & 1) != 0;
}

void TInteger::SetBit(std::int32_t index, bool value) {
  if (index < 0 || index > MaxBitSize) throw EHITIndexError("TInteger.Bit");
  const std::int32_t d = index / 32;
  if (d >= FSize) {
    if (!value) return;
    SetMem(d + 1);
    std::fill(FDigits.get() + FSize, FDigits.get() + d + 1, Digit{0});
    FSize = d + 1;
  }
  const Digit mask = Digit{1} << (index % 32);
  FDigits[d] = value ? (FDigits[d] | mask) : (FDigits[d] & ~mask);
  Normalize();
}

std::uint8_t TInteger::Byte(std::int32_t index) const {
  if (index < 0 || index >= MaxByteSize) throw EHITIndexError("TInteger.Byte");
  const std::int32_t d = index / 4;
  return d < FSize ? static_cast<std::uint8_t>(FDigits[d] >> (8 * (index % 4))) : 0;
}

void TInteger::SetByte(std::int32_t index, std::uint8_t value) {
  if (index < 0 || index >= MaxByteSize) throw EHITIndexError("TInteger.Byte");
  const std::int32_t d = index / 4;
  if (d >= FSize) {
    if (value == 0) return;
    SetMem(d + 1);
    std::fill(FDigits.get() + FSize, FDigits.get() + d + 1, Digit{0});
    FSize = d + 1;
  }
  const unsigned shift = 8 * static_cast<unsigned>(index % 4);
  FDigits[d] = (FDigits[d] & ~(Digit{0xFF} << shift)) | (Digit{value} << shift);
  Normalize();
}

void TInteger::SetDigits(const Digit* digits, std::int32_t count, bool negative) {
  if (count < 0 || count > MaxLongSize) throw EHITSizeError("TInteger.SetDigits");
  // The source may be this number's own block.
  std::unique_ptr<Digit[]> block(new Digit[static_cast<size_t>(RoundCapacity(std::max(count, 1)))]);
  std::copy(digits, digits + count, block.get());
  FDigits = std::move(block);
  FCapacity = RoundCapacity(std::max(count, 1));
  FSize = count;
  FNegative = negative;
  Normalize();
}

void TInteger::SetBytes(const std::uint8_t* data, std::int32_t byteCount) {
  if (byteCount < 0 || byteCount >= MaxByteSize)
    throw EHITInvalidArg("TInteger.SetBytes", "(ByteCount < 0) or (ByteCount >= TInteger.MaxByteSize)");
  const std::int32_t digits = (byteCount + 3) / 4;
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, digits, "TInteger.SetBytes");
  std::fill(d, d + digits, Digit{0});
  for (std::int32_t i = 0; i < byteCount; ++i) {
    const std::int32_t pos = byteCount - 1 - i;  // byte position from the least significant end
    d[pos / 4] |= Digit{data[i]} << (8 * (pos % 4));
  }
  TIntegerAccess::Finish(t, false, "TInteger.SetBytes");
  *this = std::move(t);
}

std::vector<std::uint8_t> TInteger::GetBytes() const {
  std::vector<std::uint8_t> out(static_cast<size_t>(ByteSize()));
  GetBytes(out.data(), static_cast<std::int32_t>(out.size()));
  return out;
}

bool TInteger::GetBytes(std::uint8_t* out, std::int32_t byteCount) const {
  if (byteCount < ByteSize()) return false;
  for (std::int32_t i = 0; i < byteCount; ++i) {
    const std::int32_t pos = byteCount - 1 - i;
    const std::int32_t d = pos / 4;
    out[i] = d < FSize ? static_cast<std::uint8_t>(FDigits[d] >> (8 * (pos % 4))) : 0;
  }
  return true;
}

// ---- comparison, addition, multiplication, shifts --------------------------------------
int ICompareAbs(const TInteger& A, const TInteger& B) {
  if (A.Size() != B.Size()) return A.Size() < B.Size() ? -1 : 1;
  return hit::CompareN(A.Digits(), B.Digits(), A.Size());
}

int ICompare(const TInteger& A, const TInteger& B) {
  if (A.Negative() != B.Negative()) return A.Negative() ? -1 : 1;
  const int c = ICompareAbs(A, B);
  return A.Negative() ? -c : c;
}

void IAdd(TInteger& A, const TInteger& B) { AddSigned(A, B, false, "IAdd"); }

void ISub(TInteger& A, const TInteger& B) {
  if (&A == &B) {
    A.Clear();
    return;
  }
  AddSigned(A, B, true, "ISub");
}

void IMul(TInteger& A, const TInteger& B) {
  if (&A == &B) {
    ISqr(A);
    return;
  }
  hit::CheckTick();
  if (A.IsZero() || B.IsZero()) {
    A.Clear();
    return;
  }
  if (std::int64_t{A.BitSize()} + B.BitSize() - 1 > kMaxBits) throw EHITOverflow("IMul");
  const TInteger* big = &A;
  const TInteger* small = &B;
  if (big->Size() < small->Size()) std::swap(big, small);
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, std::int64_t{big->Size()} + small->Size(), "IMul");
  hit::Mul(d, big->Digits(), big->Size(), small->Digits(), small->Size());
  TIntegerAccess::Finish(t, A.Negative() != B.Negative(), "IMul");
  A = std::move(t);
}

void ISqr(TInteger& A) {
  hit::CheckTick();
  if (A.IsZero()) return;
  if (2 * std::int64_t{A.BitSize()} - 1 > kMaxBits) throw EHITOverflow("ISqr");
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, 2 * std::int64_t{A.Size()}, "ISqr");
  hit::Sqr(d, A.Digits(), A.Size());
  TIntegerAccess::Finish(t, false, "ISqr");
  A = std::move(t);
}

void IPow(TInteger& A, std::int32_t E) {
  hit::CheckTick();
  if (E < 0) throw EHITInvalidArg("IPow", "E < 0");
  if (E == 0) {
    A.SetInt(1);
    return;
  }
  if (A.IsZero() || E == 1) return;
  const std::int32_t bits = A.BitSize();
  if (bits > 1 && std::int64_t{bits - 1} * E + 1 > kMaxBits) throw EHITOverflow("IPow");
  const bool negative = A.Negative() && (E & 1) != 0;
  TInteger base = A;
  base.Abs();
  TInteger result = base;
  for (int i = 30 - __builtin_clz(static_cast<unsigned>(E)); i >= 0; --i) {
    ISqr(result);
    if ((E >> i) & 1) IMul(result, base);
  }
  if (negative) result.Negate();
  A = std::move(result);
}

void IShl(TInteger& A, std::int32_t Shift) {
  if (Shift < 0 || Shift > TInteger::MaxBitSize)
    throw EHITInvalidArg("IShl", "(Shift < 0) or (Shift > TInteger.MaxBitSize)");
  if (A.IsZero() || Shift == 0) return;
  if (std::int64_t{A.BitSize()} + Shift > kMaxBits) throw EHITOverflow("IShl");
  const std::int32_t whole = Shift / 32;
  const unsigned bits = static_cast<unsigned>(Shift % 32);
  const std::int32_t n = A.Size();
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, std::int64_t{n} + whole + 1, "IShl");
  std::fill(d, d + whole, Digit{0});
  if (bits == 0) {
    std::copy(A.Digits(), A.Digits() + n, d + whole);
    d[n + whole] = 0;
  } else {
    d[n + whole] = hit::ShlN(d + whole, A.Digits(), n, bits);
  }
  TIntegerAccess::Finish(t, A.Negative(), "IShl");
  A = std::move(t);
}

void IShr(TInteger& A, std::int32_t Shift) {
  if (Shift < 0 || Shift > TInteger::MaxBitSize)
    throw EHITInvalidArg("IShr", "(Shift < 0) or (Shift > TInteger.MaxBitSize)");
  if (A.IsZero() || Shift == 0) return;
  const std::int32_t whole = Shift / 32;
  const unsigned bits = static_cast<unsigned>(Shift % 32);
  const std::int32_t n = A.Size() - whole;
  if (n <= 0) {
    A.Clear();
    return;
  }
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, n, "IShr");
  if (bits == 0)
    std::copy(A.Digits() + whole, A.Digits() + A.Size(), d);
  else
    hit::ShrN(d, A.Digits() + whole, n, bits);
  TIntegerAccess::Finish(t, A.Negative(), "IShr");
  A = std::move(t);
}

// ---- random numbers, thresholds --------------------------------------------------------
void HITSeed(std::uint64_t seed) { gRandomState.store(seed, std::memory_order_relaxed); }

void IRnd(TInteger& A, std::int32_t BitCount) {
  if (BitCount < 0 || BitCount > TInteger::MaxBitSize)
    throw EHITInvalidArg("IRnd", "(BitCount < 0) or (BitCount > TInteger.MaxBitSize)");
  const std::int32_t n = static_cast<std::int32_t>((std::int64_t{BitCount} + 31) / 32);
  TInteger t;
  Digit* d = TIntegerAccess::Prepare(t, n, "IRnd");
  for (std::int32_t i = 0; i < n; i += 2) {
    const std::uint64_t r = NextRandom();
    d[i] = static_cast<Digit>(r);
    if (i + 1 < n) d[i + 1] = static_cast<Digit>(r >> 32);
  }
  if (BitCount % 32 != 0) d[n - 1] &= (Digit{1} << (BitCount % 32)) - 1;
  TIntegerAccess::Finish(t, false, "IRnd");
  A = std::move(t);
}

void IKaratsubaThresholds(std::int32_t S, std::int32_t M) {
  if (S < hitparams::KaratsubaThresholdMin || S > MaxLongSize)
    throw EHITInvalidArg("IKaratsubaThresholds", "(S < 8) or (S > MaxLongSize)");
  if (M < hitparams::KaratsubaThresholdMin || M > MaxLongSize)
    throw EHITInvalidArg("IKaratsubaThresholds", "(M < 8) or (M > MaxLongSize)");
  hit::SetKaratsubaThresholds(S, M);
}

// ---- progress, start and stop ----------------------------------------------------------
namespace {
std::atomic<THITProgressEvent> gProgress{nullptr};
std::atomic<void*> gProgressContext{nullptr};
std::atomic<bool> gAbortRequested{false};
// The thread that ran StartIntegers last: it alone looks at the tick flag.
std::atomic<std::uint32_t> gStartGeneration{0};
thread_local std::uint32_t tStartGeneration = 0;
thread_local bool tInCheck = false;

class TCheckGuard {
 public:
  TCheckGuard() { tInCheck = true; }
  ~TCheckGuard() { tInCheck = false; }
  TCheckGuard(const TCheckGuard&) = delete;
  TCheckGuard& operator=(const TCheckGuard&) = delete;
};
}  // namespace

void hit::CheckTick() {
  const std::uint32_t generation = gStartGeneration.load(std::memory_order_relaxed);
  if (generation == 0 || tStartGeneration != generation || tInCheck) return;
  if (!TakeTick()) return;
  {
    TCheckGuard guard;
    if (THITProgressEvent callback = gProgress.load()) callback(gProgressContext.load());
  }
  if (gAbortRequested.exchange(false)) throw EHITAbort();
}

void SetHITProgress(THITProgressEvent callback, void* context) {
  gProgressContext.store(context);
  gProgress.store(callback);
}

void HITAbort() { gAbortRequested.store(true); }

void StartIntegers() {
  hit::SetKaratsubaThresholds(hitparams::KaratsubaSqrThreshold, hitparams::KaratsubaMulThreshold);
  HITSeed(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  gAbortRequested.store(false);
  tStartGeneration = gStartGeneration.fetch_add(1) + 1;
  hit::StartTicker();
}

void StopIntegers() {
  hit::StopTicker();
  gStartGeneration.fetch_add(1);  // no thread is the checking thread any more
}

}  // namespace mivex
