#pragma once
// GMP as the reference for the big-integer tests: conversions both ways and operand
// generators (uniform digits, and long runs of one and zero bits that stress carries,
// borrows and the rare corrections of long division).
#include <gmp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/Integers.h"

namespace mivex::test {

class Mpz {
 public:
  Mpz() { mpz_init(v_); }
  explicit Mpz(long value) { mpz_init_set_si(v_, value); }
  Mpz(const Mpz& o) { mpz_init_set(v_, o.v_); }
  Mpz& operator=(const Mpz& o) {
    mpz_set(v_, o.v_);
    return *this;
  }
  ~Mpz() { mpz_clear(v_); }
  mpz_ptr get() { return v_; }
  mpz_srcptr get() const { return v_; }
  std::string Hex() const {
    std::vector<char> text(mpz_sizeinbase(v_, 16) + 2);
    mpz_get_str(text.data(), 16, v_);
    return text.data();
  }

 private:
  mpz_t v_;
};

inline Mpz ToMpz(const TInteger& x) {
  Mpz m;
  mpz_import(m.get(), static_cast<size_t>(x.Size()), -1, sizeof(TInteger::Digit), 0, 0, x.Digits());
  if (x.Negative()) mpz_neg(m.get(), m.get());
  return m;
}

inline TInteger FromMpz(const Mpz& m) {
  std::vector<TInteger::Digit> digits((mpz_sizeinbase(m.get(), 2) + 31) / 32 + 1);
  size_t count = 0;
  mpz_export(digits.data(), &count, -1, sizeof(TInteger::Digit), 0, 0, m.get());
  TInteger x;
  x.SetDigits(digits.data(), static_cast<std::int32_t>(count), mpz_sgn(m.get()) < 0);
  return x;
}

// Text of both sides for failure messages.
inline std::string Show(const TInteger& x) { return IStr(x, 16); }

class OperandSource {
 public:
  explicit OperandSource(unsigned long seed) {
    gmp_randinit_mt(state_);
    gmp_randseed_ui(state_, seed);
  }
  ~OperandSource() { gmp_randclear(state_); }
  OperandSource(const OperandSource&) = delete;
  OperandSource& operator=(const OperandSource&) = delete;

  // Exactly `bits` bits (top bit set), uniform or with long runs; negative when asked.
  Mpz Make(unsigned long bits, bool runs, bool negative) {
    Mpz m;
    if (bits == 0) return m;
    if (runs)
      mpz_rrandomb(m.get(), state_, bits);
    else
      mpz_urandomb(m.get(), state_, bits);
    mpz_setbit(m.get(), bits - 1);
    if (negative) mpz_neg(m.get(), m.get());
    return m;
  }
  unsigned long Below(unsigned long n) { return gmp_urandomm_ui(state_, n); }

 private:
  gmp_randstate_t state_;
};

}  // namespace mivex::test
