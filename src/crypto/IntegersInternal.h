#pragma once
// Shared by the implementation files of unit Integers: raw digit access and the progress
// check. Not for use outside the unit.
#include <cstdint>

#include "crypto/Integers.h"
#include "crypto/IntegersKernel.h"
#include "crypto/IntegersTicker.h"

namespace mivex {

struct TIntegerAccess {
  static hit::Digit* Data(TInteger& x) { return x.FDigits.get(); }
  // Makes x a scratch of n digits (contents undefined, sign cleared) for an operation named
  // `op` to fill. n may exceed MaxLongSize by one digit, so that a result at the limit can
  // be computed before Finish decides; beyond that the operation overflows.
  static hit::Digit* Prepare(TInteger& x, std::int64_t n, const char* op);
  // Drops leading zero digits, sets the sign (ignored for zero) and checks the limit.
  static void Finish(TInteger& x, bool negative, const char* op);
};

namespace hit {
// Progress check on entry of a long operation (may raise EHITAbort).
void CheckTick();
}  // namespace hit

}  // namespace mivex
