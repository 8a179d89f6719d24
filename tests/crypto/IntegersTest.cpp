// TInteger rules that need no peer: layout and limits, the exact error texts, text and
// byte forms, stream and file loading, the random generator, and the ticker-driven
// progress callback with abort.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <thread>

#include "crypto/Integers.h"
#include "crypto/Integers_Primes.h"

namespace mivex::test {
namespace {

template <typename F>
std::string FailureText(F&& action) {
  try {
    action();
  } catch (const EHIT& e) {
    return e.what();
  }
  return "(no EHIT)";
}

TInteger Hex(const char* text) {
  TInteger x;
  IVal(x, text, 16);
  return x;
}

TEST(Integers, LayoutAndLimits) {
  EXPECT_EQ(MaxLongSize, 50331648);
  EXPECT_EQ(TInteger::MaxBitSize, 1610612735);
  EXPECT_EQ(TInteger::MaxByteSize, 201326592);

  TInteger zero;
  EXPECT_EQ(zero.Size(), 0);
  EXPECT_FALSE(zero.Negative());
  TInteger x(-1);
  IAdd(x, TInteger(1));
  EXPECT_TRUE(x.IsZero());
  EXPECT_FALSE(x.Negative()) << "zero is never negative";
  x.Negate();
  EXPECT_FALSE(x.Negative());

  const TInteger::Digit digits[] = {5, 0, 7, 0, 0};
  x.SetDigits(digits, 5, true);
  EXPECT_EQ(x.Size(), 3) << "no leading zero digits";
  EXPECT_EQ(x.Capacity() % 8, 0);
  EXPECT_TRUE(x.Negative());
  for (std::int32_t bits : {1, 255, 256, 257, 1000}) {
    IShl(x, bits);
    EXPECT_EQ(x.Capacity() % 8, 0);
    EXPECT_GE(x.Capacity(), x.Size());
  }
  EXPECT_EQ(TInteger(std::numeric_limits<std::int64_t>::min()).AsInt64(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(IStr(TInteger(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
}

TEST(Integers, InvalidArgumentTexts) {
  TInteger a(5), b(1), e(3);
  EXPECT_EQ(FailureText([&] { IInvMod(a, b); }), "IInvMod\r\nInvalid parameter\r\nB < 2");
  EXPECT_EQ(FailureText([&] { IInvMod(a, TInteger(-7)); }), "IInvMod\r\nInvalid parameter\r\nB < 2");
  EXPECT_EQ(FailureText([&] { IPowMod(a, e, TInteger(0)); }), "IPowMod\r\nInvalid parameter\r\nB < 1");
  EXPECT_EQ(FailureText([&] { IPowMod(a, TInteger(-1), TInteger(7)); }), "IPowMod\r\nInvalid parameter\r\nE < 0");
  EXPECT_EQ(FailureText([&] { IPow(a, -1); }), "IPow\r\nInvalid parameter\r\nE < 0");
  EXPECT_EQ(FailureText([&] { IStr(a, 3); }), "IStr\r\nInvalid parameter\r\nBase should be in [2,8,10,16]");
  EXPECT_EQ(FailureText([&] { IVal(a, "1", 36); }), "IVal\r\nInvalid parameter\r\nBase should be in [2,8,10,16]");
  for (std::int32_t shift : {-1, TInteger::MaxBitSize + 1}) {
    EXPECT_EQ(FailureText([&] { IShl(a, shift); }),
              "IShl\r\nInvalid parameter\r\n(Shift < 0) or (Shift > TInteger.MaxBitSize)");
    EXPECT_EQ(FailureText([&] { IShr(a, shift); }),
              "IShr\r\nInvalid parameter\r\n(Shift < 0) or (Shift > TInteger.MaxBitSize)");
    EXPECT_EQ(FailureText([&] { IRnd(a, shift); }),
              "IRnd\r\nInvalid parameter\r\n(BitCount < 0) or (BitCount > TInteger.MaxBitSize)");
  }
  const std::uint8_t byte = 1;
  for (std::int32_t count : {-1, TInteger::MaxByteSize})
    EXPECT_EQ(FailureText([&] { a.SetBytes(&byte, count); }),
              "TInteger.SetBytes\r\nInvalid parameter\r\n(ByteCount < 0) or (ByteCount >= TInteger.MaxByteSize)");
  EXPECT_EQ(FailureText([] { IKaratsubaThresholds(7, 48); }),
            "IKaratsubaThresholds\r\nInvalid parameter\r\n(S < 8) or (S > MaxLongSize)");
  EXPECT_EQ(FailureText([] { IKaratsubaThresholds(MaxLongSize + 1, 48); }),
            "IKaratsubaThresholds\r\nInvalid parameter\r\n(S < 8) or (S > MaxLongSize)");
  EXPECT_EQ(FailureText([] { IKaratsubaThresholds(64, 7); }),
            "IKaratsubaThresholds\r\nInvalid parameter\r\n(M < 8) or (M > MaxLongSize)");
  IKaratsubaThresholds(8, MaxLongSize);  // both ends of the range are accepted
  IKaratsubaThresholds(64, 48);

  // The prime search.
  TInteger p(70000);
  const std::int32_t good[] = {2, 3, 5};
  const std::int32_t notRising[] = {2, 5, 5};
  const std::int32_t tooSmall[] = {1, 3};
  EXPECT_EQ(FailureText([&] { IMakePrime(p, std::span<const std::int32_t>()); }),
            "IMakePrime\r\nInvalid parameter\r\nLength(Bases) = 0");
  EXPECT_EQ(FailureText([&] { IMakePrime(p, tooSmall); }), "IMakePrime\r\nInvalid parameter\r\nBases[0] < 2");
  EXPECT_EQ(FailureText([&] { IMakePrime(p, notRising); }),
            "IMakePrime\r\nInvalid parameter\r\nBases[i] >= Bases[i+1]");
  for (std::int64_t start : {-70000LL, 32767LL}) {
    TInteger q(start);
    EXPECT_EQ(FailureText([&] { IMakePrime(q, good); }),
              "IMakePrime\r\nInvalid parameter\r\n(P < 0) or (P.BitSize < 16)");
  }
  EXPECT_EQ(FailureText([&] { IMakePrime(p, good, TInteger(4), TInteger(6)); }),
            "IMakePrime\r\nInvalid parameter\r\nNo prime can be congruent to Residue mod Modulus");
  EXPECT_EQ(FailureText([&] { IMakePrime(p, good, TInteger(1), TInteger(0)); }),
            "IMakePrime\r\nInvalid parameter\r\nModulus < 1");
  TInteger smallest(32768);
  IMakePrime(smallest, good);
  EXPECT_EQ(smallest.AsInt64(), 32771) << "16-bit start values are accepted";
}

TEST(Integers, OtherErrorTexts) {
  TInteger a(10), b(0), c(3);
  EXPECT_EQ(FailureText([&] { IDiv(a, b); }), "IDiv\r\nDivision by 0");
  EXPECT_EQ(FailureText([&] { IMod(a, b); }), "IMod\r\nDivision by 0");
  EXPECT_EQ(FailureText([&] { IModDiv(a, b); }), "IModDiv\r\nDivision by 0");
  EXPECT_EQ(FailureText([&] { IRemDiv(a, b); }), "IRemDiv\r\nDivision by 0");
  EXPECT_EQ(FailureText([&] { IModDiv(a, a); }), "IModDiv\r\nA,B must point to distinct objects");
  EXPECT_EQ(FailureText([&] { IRemDiv(a, a); }), "IRemDiv\r\nA,B must point to distinct objects");
  EXPECT_EQ(FailureText([&] { IInvMod(a, a); }), "IInvMod\r\nA,B must point to distinct objects");
  EXPECT_EQ(FailureText([&] { IPowMod(a, a, c); }), "IPowMod\r\nA,E,B must point to distinct objects");
  EXPECT_EQ(FailureText([&] { IPowMod(a, c, c); }), "IPowMod\r\nA,E,B must point to distinct objects");
  EXPECT_EQ(a.AsInt64(), 10) << "a failed call leaves its arguments alone";

  EXPECT_EQ(FailureText([&] { a.Bit(-1); }), "TInteger.Bit\r\nInvalid index");
  EXPECT_EQ(FailureText([&] { a.SetBit(TInteger::MaxBitSize + 1, true); }), "TInteger.Bit\r\nInvalid index");
  EXPECT_EQ(FailureText([&] { a.Byte(TInteger::MaxByteSize); }), "TInteger.Byte\r\nInvalid index");
  EXPECT_EQ(FailureText([&] { a.SetByte(-1, 1); }), "TInteger.Byte\r\nInvalid index");
  EXPECT_FALSE(a.Bit(TInteger::MaxBitSize)) << "the last position is valid";

  EXPECT_EQ(FailureText([&] { a.SetDigits(nullptr, -1); }), "TInteger.SetDigits\r\nInvalid size specification");
  EXPECT_EQ(FailureText([&] { a.SetDigits(nullptr, MaxLongSize + 1); }),
            "TInteger.SetDigits\r\nInvalid size specification");

  TInteger two(2), four(4);
  EXPECT_EQ(FailureText([&] { IShl(two, TInteger::MaxBitSize); }), "IShl\r\nOverflow");
  EXPECT_EQ(FailureText([&] { IPow(four, TInteger::MaxBitSize); }), "IPow\r\nOverflow");
  EXPECT_EQ(two.AsInt64(), 2);
  EXPECT_EQ(four.AsInt64(), 4);
  EXPECT_STREQ(EHITAbort().what(), "HIT - Operation aborted");
}

TEST(Integers, BitsBytesAndSigns) {
  TInteger x;
  x.SetBit(100, true);
  EXPECT_EQ(x.BitSize(), 101);
  EXPECT_EQ(IStr(x, 16), "10000000000000000000000000");
  x.SetBit(100, false);
  EXPECT_TRUE(x.IsZero());
  EXPECT_EQ(x.Size(), 0) << "clearing the top bit shrinks the number";
  x.SetByte(5, 0xAB);
  x.SetByte(0, 0x01);
  EXPECT_EQ(IStr(x, 16, true), "AB0000000001");
  EXPECT_EQ(x.Byte(5), 0xAB);
  EXPECT_EQ(x.Byte(6), 0);
  std::uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_TRUE(x.GetBytes(out, 8));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 0xAB);
  EXPECT_EQ(out[7], 0x01);
  EXPECT_FALSE(x.GetBytes(out, 5)) << "six bytes do not fit in five";

  // Shifts keep the sign and round towards zero; bits are those of the magnitude.
  TInteger n(-5);
  IShr(n, 1);
  EXPECT_EQ(n.AsInt64(), -2);
  IShr(n, 2);
  EXPECT_TRUE(n.IsZero());
  EXPECT_FALSE(n.Negative());
  n.SetInt(-6);
  EXPECT_TRUE(n.Bit(1));
  EXPECT_FALSE(n.Bit(0));
}

TEST(Integers, TextForms) {
  EXPECT_EQ(IStr(TInteger(0)), "0");
  EXPECT_EQ(IStr(TInteger(0), 10, false, TPlusSign::psPlus), "+0");
  EXPECT_EQ(IStr(TInteger(255), 16, false, TPlusSign::psBlank), " ff");
  EXPECT_EQ(IStr(TInteger(255), 16, true, TPlusSign::psPlus), "+FF");
  EXPECT_EQ(IStr(TInteger(-255), 8, false, TPlusSign::psPlus), "-377");
  EXPECT_EQ(IStr(TInteger(5), 2), "101");
  EXPECT_EQ(IStr(Hex("1000000000000000000000000")), "79228162514264337593543950336");
  EXPECT_EQ(IStr(TInteger(1000000000)), "1000000000") << "a whole 10^9 chunk";

  TInteger x;
  IVal(x, " 42");
  EXPECT_EQ(x.AsInt64(), 42);
  IVal(x, "+0042");
  EXPECT_EQ(x.AsInt64(), 42);
  IVal(x, "-0");
  EXPECT_TRUE(x.IsZero());
  EXPECT_FALSE(x.Negative());
  IVal(x, "-aBcD", 16);
  EXPECT_EQ(x.AsInt64(), -0xabcd);
  IVal(x, "777", 8);
  EXPECT_EQ(x.AsInt64(), 511);
  IVal(x, "123456789012345678901234567890");
  EXPECT_EQ(IStr(x), "123456789012345678901234567890");
  x.SetInt(7);
  for (const char* bad : {"", "-", "12a", " -1", "1 "})
    EXPECT_EQ(FailureText([&] { IVal(x, bad); }).rfind("IVal\r\nInvalid parameter\r\n", 0), 0u) << bad;
  EXPECT_NE(FailureText([&] { IVal(x, "2", 2); }), "(no EHIT)");
  EXPECT_EQ(x.AsInt64(), 7) << "a failed parse leaves the number alone";
}

TEST(Integers, StreamsAndFiles) {
  for (const char* text : {"0", "-1", "123456789abcdef0123456789abcdef", "-ffffffffffffffffffffffff"}) {
    const TInteger x = Hex(text);
    std::stringstream stream;
    x.SaveToStream(stream);
    EXPECT_EQ(stream.str().size(), 4u + 4u * static_cast<size_t>(x.Size()));
    TInteger y(99);
    y.LoadFromStream(stream);
    EXPECT_EQ(ICompare(x, y), 0) << text;
  }
  // Damaged streams: truncated header, truncated digits, a count beyond the limit, a
  // leading zero digit. Nothing is read past what the stream holds.
  const std::string bad[] = {std::string("\x01\x00", 2), std::string("\x02\x00\x00\x00\x01\x00\x00\x00", 8),
                             std::string("\x01\x00\x00\x7f", 4),
                             std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8)};
  for (const std::string& data : bad) {
    std::stringstream stream(data);
    TInteger y(99);
    EXPECT_EQ(FailureText([&] { y.LoadFromStream(stream); }), "TInteger.LoadFromStream\r\nInvalid stream");
    EXPECT_EQ(y.AsInt64(), 99);
  }

  const std::string path = ::testing::TempDir() + "integers_test.bin";
  const TInteger x = Hex("-123456789abcdef0123456789");
  x.SaveToFile(path);
  TInteger y;
  y.LoadFromFile(path);
  EXPECT_EQ(ICompare(x, y), 0);
  {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    std::fputc(0, f);
    std::fclose(f);
  }
  EXPECT_EQ(FailureText([&] { y.LoadFromFile(path); }),
            "TInteger.LoadFromFile\r\nInvalid \"" + path + "\" file") << "trailing bytes";
  std::remove(path.c_str());
  EXPECT_EQ(FailureText([&] { y.LoadFromFile(path); }), "TInteger.LoadFromFile\r\nInvalid \"" + path + "\" file");
}

TEST(Integers, SeededRandomNumbers) {
  TInteger a, b;
  HITSeed(42);
  IRnd(a, 1000);
  HITSeed(42);
  IRnd(b, 1000);
  EXPECT_EQ(ICompare(a, b), 0) << "the same seed gives the same numbers";
  for (std::int32_t bits : {0, 1, 31, 32, 33, 1000}) {
    bool topSeen = false;
    for (int i = 0; i < 40; ++i) {
      IRnd(a, bits);
      EXPECT_LE(a.BitSize(), bits);
      topSeen = topSeen || (bits > 0 && a.BitSize() == bits);
    }
    if (bits > 0) {
      EXPECT_TRUE(topSeen) << "the whole range is drawn from, bits " << bits;
    }
  }
}

// ---- progress and abort ----------------------------------------------------------------

struct ProgressProbe {
  std::atomic<int> calls{0};
  bool abortOnCall = false;
  bool nestedWork = false;
};

void OnProgress(void* context) {
  auto* probe = static_cast<ProgressProbe*>(context);
  ++probe->calls;
  if (probe->nestedWork) {
    // Long operations inside the callback do not call it again.
    TInteger x(3);
    for (int i = 0; i < 50; ++i) IMul(x, TInteger(3));
  }
  if (probe->abortOnCall) HITAbort();
}

// Repeats a long operation until `until` returns true or `seconds` pass.
template <typename Pred>
void Work(double seconds, Pred until) {
  TInteger m;
  IVal(m, "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff61", 16);
  const TInteger e = m;
  const auto start = std::chrono::steady_clock::now();
  while (!until() && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
    TInteger x(7);
    IPowMod(x, e, m);
  }
}

class IntegersTicker : public ::testing::Test {
 protected:
  void SetUp() override {
    StartIntegers();
    SetHITProgress(&OnProgress, &probe_);
  }
  void TearDown() override {
    SetHITProgress(nullptr, nullptr);
    StopIntegers();
  }
  ProgressProbe probe_;
};

TEST_F(IntegersTicker, CallsProgressOnTheStartingThreadOnly) {
  std::thread other([] { Work(0.5, [] { return false; }); });
  other.join();
  EXPECT_EQ(probe_.calls.load(), 0) << "another thread never calls back";
  Work(5.0, [&] { return probe_.calls.load() >= 2; });
  EXPECT_GE(probe_.calls.load(), 2);
}

TEST_F(IntegersTicker, AbortRaisesInTheRunningOperation) {
  probe_.abortOnCall = true;
  bool aborted = false;
  try {
    Work(5.0, [] { return false; });
  } catch (const EHITAbort& e) {
    aborted = true;
    EXPECT_STREQ(e.what(), "HIT - Operation aborted");
  }
  EXPECT_TRUE(aborted);
  // The request is used up: work goes on afterwards.
  probe_.abortOnCall = false;
  const int before = probe_.calls.load();
  Work(5.0, [&] { return probe_.calls.load() > before; });
  EXPECT_GT(probe_.calls.load(), before);
}

TEST_F(IntegersTicker, CallbackIsNotReentered) {
  probe_.nestedWork = true;
  Work(5.0, [&] { return probe_.calls.load() >= 2; });
  EXPECT_GE(probe_.calls.load(), 2);
}

TEST_F(IntegersTicker, StopEndsTheTicks) {
  StopIntegers();
  Work(0.5, [] { return false; });
  EXPECT_EQ(probe_.calls.load(), 0);
  StartIntegers();  // for TearDown's stop; a restart works as well
  Work(5.0, [&] { return probe_.calls.load() >= 1; });
  EXPECT_GE(probe_.calls.load(), 1);
}

}  // namespace
}  // namespace mivex::test
