// TInteger arithmetic against GMP: random operands up to 8192 bits, both signs, the sizes
// around the Karatsuba switch-over points, and both the portable and the vector kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "crypto/Integers.h"
#include "crypto/IntegersKernel.h"
#include "crypto/Integers_Primes.h"
#include "GmpPeer.h"

namespace mivex::test {
namespace {

// Bit sizes: word edges, and 47..49 and 63..65 digits around M = 48 and S = 64.
const std::vector<unsigned long> kSizes = {1,    2,    31,   32,   33,   64,   65,   97,   255,  512,  1024,
                                           1504, 1536, 1537, 1568, 2016, 2048, 2049, 2080, 3109, 4096, 5000, 8192};

// Runs every test body once with each kernel family the machine offers.
class IntegersPeer : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam() && !hit::VectorKernelsDetected()) GTEST_SKIP() << "no vector kernels on this machine";
    saved_ = hit::UsePortableKernels(GetParam());
  }
  void TearDown() override { hit::UsePortableKernels(saved_); }

  OperandSource source_{20240611};

 private:
  bool saved_ = false;
};

#define EXPECT_SAME(ours, peer, what) \
  EXPECT_EQ(mpz_cmp(ToMpz(ours).get(), (peer).get()), 0) << (what) << ": " << Show(ours) << " vs " << (peer).Hex()

TEST_P(IntegersPeer, AdditionSubtractionAndProducts) {
  for (unsigned long sa : kSizes) {
    for (unsigned long sb : kSizes) {
      for (int variant = 0; variant < 4; ++variant) {
        Mpz a = source_.Make(sa, variant & 1, variant & 2);
        Mpz b = source_.Make(sb, variant & 2, variant & 1);
        const TInteger A = FromMpz(a), B = FromMpz(b);
        Mpz expect;
        TInteger x = A;
        IAdd(x, B);
        mpz_add(expect.get(), a.get(), b.get());
        EXPECT_SAME(x, expect, "add");
        x = A;
        ISub(x, B);
        mpz_sub(expect.get(), a.get(), b.get());
        EXPECT_SAME(x, expect, "sub");
        x = A;
        IMul(x, B);
        mpz_mul(expect.get(), a.get(), b.get());
        EXPECT_SAME(x, expect, "mul");
      }
    }
    Mpz a = source_.Make(sa, true, true), expect;
    TInteger x = FromMpz(a);
    ISqr(x);
    mpz_mul(expect.get(), a.get(), a.get());
    EXPECT_SAME(x, expect, "sqr");
    // The same object on both sides.
    x = FromMpz(a);
    IMul(x, x);
    EXPECT_SAME(x, expect, "mul self");
    x = FromMpz(a);
    IAdd(x, x);
    mpz_add(expect.get(), a.get(), a.get());
    EXPECT_SAME(x, expect, "add self");
    ISub(x, x);
    EXPECT_TRUE(x.IsZero());
    EXPECT_FALSE(x.Negative());
  }
}

TEST_P(IntegersPeer, KaratsubaAtEveryThresholdSetting) {
  // Forced deep recursion, the defaults, and schoolbook only must all agree with GMP.
  const std::pair<std::int32_t, std::int32_t> settings[] = {{8, 8}, {9, 13}, {64, 48}, {100000, 100000}};
  for (auto [s, m] : settings) {
    IKaratsubaThresholds(s, m);
    for (int trial = 0; trial < 60; ++trial) {
      const unsigned long da = 1 + source_.Below(300), db = 1 + source_.Below(300);
      Mpz a = source_.Make(32 * da - source_.Below(32), trial & 1, trial & 2);
      Mpz b = source_.Make(32 * db - source_.Below(32), trial & 2, false);
      TInteger x = FromMpz(a);
      IMul(x, FromMpz(b));
      Mpz expect;
      mpz_mul(expect.get(), a.get(), b.get());
      EXPECT_SAME(x, expect, "mul S=" + std::to_string(s) + " M=" + std::to_string(m));
      x = FromMpz(a);
      ISqr(x);
      mpz_mul(expect.get(), a.get(), a.get());
      EXPECT_SAME(x, expect, "sqr S=" + std::to_string(s));
    }
  }
  IKaratsubaThresholds(64, 48);
}

TEST_P(IntegersPeer, DivisionRemainderAndModulus) {
  for (unsigned long sa : kSizes) {
    for (unsigned long sb : kSizes) {
      for (int variant = 0; variant < 4; ++variant) {
        Mpz a = source_.Make(sa, variant & 1, variant & 2);
        Mpz b = source_.Make(sb, variant & 1, variant & 1);
        const TInteger A = FromMpz(a), B = FromMpz(b);
        Mpz q, r, absB, m;
        mpz_tdiv_qr(q.get(), r.get(), a.get(), b.get());
        TInteger x = A;
        IDiv(x, B);
        EXPECT_SAME(x, q, "div");
        x = A;
        IRem(x, B);
        EXPECT_SAME(x, r, "rem");
        TInteger rem = A, quot = B;
        IRemDiv(rem, quot);
        EXPECT_SAME(rem, r, "remdiv remainder");
        EXPECT_SAME(quot, q, "remdiv quotient");

        mpz_mod(m.get(), a.get(), b.get());  // in [0, |b|)
        x = A;
        IMod(x, B);
        EXPECT_SAME(x, m, "mod");
        Mpz eq;
        mpz_sub(eq.get(), a.get(), m.get());
        mpz_divexact(eq.get(), eq.get(), b.get());
        TInteger mod = A, mq = B;
        IModDiv(mod, mq);
        EXPECT_SAME(mod, m, "moddiv modulus");
        EXPECT_SAME(mq, eq, "moddiv quotient");
      }
    }
  }
}

TEST_P(IntegersPeer, GcdAndInverse) {
  for (int trial = 0; trial < 200; ++trial) {
    const unsigned long sa = kSizes[source_.Below(kSizes.size())], sb = 2 + source_.Below(2048);
    Mpz a = source_.Make(sa, trial & 1, trial & 2), b = source_.Make(sb, trial & 4, false);
    if (trial % 3 == 0) mpz_mul_ui(a.get(), a.get(), 6), mpz_mul_ui(b.get(), b.get(), 4);  // common factors
    Mpz g, inv;
    mpz_gcd(g.get(), a.get(), b.get());
    TInteger x = FromMpz(a);
    IGcd(x, FromMpz(b));
    EXPECT_SAME(x, g, "gcd");
    const bool exists = mpz_invert(inv.get(), a.get(), b.get()) != 0;
    x = FromMpz(a);
    const TInteger before = x;
    ASSERT_EQ(IInvMod(x, FromMpz(b)), exists) << Show(before) << " mod " << b.Hex();
    if (exists)
      EXPECT_SAME(x, inv, "invmod");
    else
      EXPECT_EQ(ICompare(x, before), 0) << "unchanged without an inverse";
  }
}

TEST_P(IntegersPeer, ModularPowers) {
  struct Case {
    unsigned long modBits, expBits;
    bool odd;
  };
  const Case cases[] = {{2, 5, false},      {3, 64, true},     {32, 32, true},     {33, 100, false},
                        {64, 64, true},     {512, 512, true},  {1024, 1024, true}, {1024, 1024, false},
                        {1535, 700, true},  {1568, 1568, true}, {2048, 2048, true}, {2048, 300, false},
                        {2080, 2080, true}, {4096, 1024, true}, {8192, 256, true}};
  for (const Case& c : cases) {
    for (int variant = 0; variant < 3; ++variant) {
      Mpz m = source_.Make(c.modBits, variant == 1, false);
      if (c.odd)
        mpz_setbit(m.get(), 0);
      else
        mpz_clrbit(m.get(), 0);
      Mpz base = source_.Make(c.modBits + 40 * variant, variant == 2, variant == 1);
      Mpz e = source_.Make(c.expBits, variant == 0, false);
      Mpz expect;
      mpz_powm(expect.get(), base.get(), e.get(), m.get());
      TInteger x = FromMpz(base);
      IPowMod(x, FromMpz(e), FromMpz(m));
      EXPECT_SAME(x, expect, "powmod " + std::to_string(c.modBits) + " bits");
    }
  }
  // Exponent 0 gives 1, modulus 1 gives 0.
  TInteger x(12345);
  IPowMod(x, TInteger(0), TInteger(7));
  EXPECT_EQ(x.AsInt64(), 1);
  x.SetInt(12345);
  IPowMod(x, TInteger(3), TInteger(1));
  EXPECT_TRUE(x.IsZero());
}

INSTANTIATE_TEST_SUITE_P(Kernels, IntegersPeer, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Portable" : "Vector"; });

class IntegersPeerPlain : public ::testing::Test {
 protected:
  OperandSource source_{77};
};

TEST_F(IntegersPeerPlain, ShiftsAndPowers) {
  for (unsigned long bits : kSizes) {
    for (std::int32_t shift : {0, 1, 31, 32, 33, 100, 1000, 9000}) {
      Mpz a = source_.Make(bits, shift & 1, shift & 2), expect;
      TInteger x = FromMpz(a);
      IShl(x, shift);
      mpz_mul_2exp(expect.get(), a.get(), static_cast<mp_bitcnt_t>(shift));
      EXPECT_SAME(x, expect, "shl " + std::to_string(shift));
      x = FromMpz(a);
      IShr(x, shift);
      mpz_tdiv_q_2exp(expect.get(), a.get(), static_cast<mp_bitcnt_t>(shift));
      EXPECT_SAME(x, expect, "shr " + std::to_string(shift));
    }
  }
  for (long base : {-7L, -2L, 0L, 1L, 2L, 3L, 65537L, 4294967295L}) {
    for (std::int32_t e : {0, 1, 2, 3, 17, 64, 100}) {
      TInteger x(base);
      IPow(x, e);
      Mpz expect(base);
      mpz_pow_ui(expect.get(), expect.get(), static_cast<unsigned long>(e));
      EXPECT_SAME(x, expect, std::to_string(base) + "^" + std::to_string(e));
    }
  }
}

TEST_F(IntegersPeerPlain, TextInEveryBase) {
  for (unsigned long bits : kSizes) {
    for (int sign = 0; sign < 2; ++sign) {
      Mpz a = source_.Make(bits, bits & 1, sign == 1);
      const TInteger x = FromMpz(a);
      for (int base : {2, 8, 10, 16}) {
        std::vector<char> buffer(mpz_sizeinbase(a.get(), base) + 2);
        const std::string peer = mpz_get_str(buffer.data(), base, a.get());
        EXPECT_EQ(IStr(x, base), peer) << "base " << base;
        std::string upper = peer;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
        EXPECT_EQ(IStr(x, base, true), upper);
        TInteger back;
        IVal(back, upper, base);
        EXPECT_EQ(ICompare(back, x), 0) << "parse base " << base << ": " << upper;
      }
    }
  }
}

TEST_F(IntegersPeerPlain, BytesAndBits) {
  for (unsigned long bits : kSizes) {
    Mpz a = source_.Make(bits, true, false);
    const TInteger x = FromMpz(a);
    std::vector<std::uint8_t> peer((bits + 7) / 8);
    size_t count = 0;
    mpz_export(peer.data(), &count, 1, 1, 0, 0, a.get());
    peer.resize(count);
    EXPECT_EQ(x.GetBytes(), peer);
    TInteger y;
    y.SetBytes(peer.data(), static_cast<std::int32_t>(peer.size()));
    EXPECT_EQ(ICompare(x, y), 0);
    EXPECT_EQ(static_cast<unsigned long>(x.BitSize()), mpz_sizeinbase(a.get(), 2));
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(bits) + 40; i += 7)
      EXPECT_EQ(x.Bit(i), mpz_tstbit(a.get(), static_cast<mp_bitcnt_t>(i)) != 0) << "bit " << i;
  }
}

TEST_F(IntegersPeerPlain, ProbablePrimesAgreeWithGmp) {
  const std::int32_t bases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29};
  for (unsigned long bits : {16ul, 17ul, 40ul, 64ul, 100ul, 256ul, 512ul, 768ul}) {
    for (int trial = 0; trial < 4; ++trial) {
      Mpz start = source_.Make(bits, trial & 1, false), expect, before;
      mpz_sub_ui(before.get(), start.get(), 1);
      mpz_nextprime(expect.get(), before.get());  // least prime >= start
      TInteger p = FromMpz(start);
      IMakePrime(p, bases);
      EXPECT_SAME(p, expect, "next prime from " + start.Hex());
    }
  }
  // A residue class: primes = 3 mod 4 and = 7 mod 10 above a start.
  for (auto [residue, modulus] : {std::pair{3L, 4L}, std::pair{7L, 10L}, std::pair{1L, 1L}}) {
    Mpz start = source_.Make(300, false, false), c;
    TInteger p = FromMpz(start);
    IMakePrime(p, bases, TInteger(residue), TInteger(modulus));
    // Brute force with GMP: the first member of the class at or above start that is prime.
    mpz_set(c.get(), start.get());
    while (mpz_fdiv_ui(c.get(), static_cast<unsigned long>(modulus)) != static_cast<unsigned long>(residue % modulus))
      mpz_add_ui(c.get(), c.get(), 1);
    while (mpz_probab_prime_p(c.get(), 30) == 0) mpz_add_ui(c.get(), c.get(), static_cast<unsigned long>(modulus));
    EXPECT_SAME(p, c, "class " + std::to_string(residue) + " mod " + std::to_string(modulus));
  }
  for (int trial = 0; trial < 300; ++trial) {
    Mpz n = source_.Make(20 + source_.Below(200), trial & 1, false);
    EXPECT_EQ(IIsProbablePrime(FromMpz(n), bases), mpz_probab_prime_p(n.get(), 30) != 0) << n.Hex();
  }
}

TEST_F(IntegersPeerPlain, StrongPseudoprimeNeedsEnoughBases) {
  // 3825123056546413051 = 149491 * 747451 * 34233211 passes the strong test to every
  // prime base up to 31 (its factors lie beyond the sieve); base 37 exposes it.
  TInteger n;
  IVal(n, "3825123056546413051");
  const std::int32_t upTo31[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31};
  const std::int32_t upTo37[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};
  EXPECT_TRUE(IIsProbablePrime(n, upTo31));
  EXPECT_FALSE(IIsProbablePrime(n, upTo37));
}

}  // namespace
}  // namespace mivex::test
