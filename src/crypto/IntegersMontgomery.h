#pragma once
// Montgomery arithmetic modulo one odd modulus, and windowed powers on top of it.
#include <cstdint>
#include <vector>

#include "crypto/Integers.h"
#include "crypto/IntegersKernel.h"

namespace mivex::hit {

class TMontgomery {
 public:
  // `modulus` is odd and at least 3.
  explicit TMontgomery(const TInteger& modulus);
  TMontgomery(const TMontgomery&) = delete;
  TMontgomery& operator=(const TMontgomery&) = delete;

  std::int32_t Size() const { return n_; }
  // x (any value) reduced and taken into Montgomery form: n digits in r.
  void Enter(Digit* r, const TInteger& x);
  // The ordinary value of a Montgomery-form number.
  void Leave(TInteger& result, const Digit* a);
  // Montgomery form of 1 and of N - 1.
  const std::vector<Digit>& One() const { return one_; }
  const std::vector<Digit>& MinusOne() const { return minusOne_; }
  void Mul(Digit* r, const Digit* a, const Digit* b) { MontMul(r, a, b, modulus_.data(), n_, n0_, scratch_); }
  // r := a^e (Montgomery form in and out) with left-to-right sliding windows.
  void Pow(Digit* r, const Digit* a, const TInteger& e);

 private:
  TInteger modulusValue_;
  std::vector<Digit> modulus_;
  std::int32_t n_;
  Digit n0_;
  std::vector<Digit> r2_;  // R^2 mod N
  std::vector<Digit> one_, minusOne_;
  TMontScratch scratch_;
};

// Window width for an exponent of `bits` bits.
int PowWindow(std::int32_t bits);

}  // namespace mivex::hit
