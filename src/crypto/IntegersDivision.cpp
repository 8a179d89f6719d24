// Division and the operations built on it: quotients, remainders, moduli, gcd and inverse.
#include <algorithm>

#include "crypto/Integers.h"
#include "crypto/IntegersInternal.h"
#include "crypto/IntegersKernel.h"

namespace mivex {

using hit::Digit;

namespace {

// Truncated division of the magnitudes: |a| = q |b| + r with 0 <= r < |b|. Either output
// may be absent; neither may be a or b. b is not zero.
void DivideMagnitudes(const TInteger& a, const TInteger& b, TInteger* q, TInteger* r, const char* op) {
  hit::CheckTick();
  const std::int32_t na = a.Size(), nb = b.Size();
  if (ICompareAbs(a, b) < 0) {
    if (q) q->Clear();
    if (r) {
      *r = a;
      r->Abs();
    }
    return;
  }
  TInteger qt, rt;
  Digit* qd = TIntegerAccess::Prepare(qt, na - nb + 1, op);
  Digit* rd = TIntegerAccess::Prepare(rt, nb, op);
  if (nb == 1) {
    rd[0] = hit::DivRem1(qd, a.Digits(), na, b.Digits()[0]);
  } else {
    hit::DivRem(qd, rd, a.Digits(), na, b.Digits(), nb);
  }
  TIntegerAccess::Finish(qt, false, op);
  TIntegerAccess::Finish(rt, false, op);
  if (q) *q = std::move(qt);
  if (r) *r = std::move(rt);
}

// Truncated quotient and remainder with signs: A = Q B + R, R has the sign of A.
void DivideTruncated(const TInteger& A, const TInteger& B, TInteger* Q, TInteger* R, const char* op) {
  if (B.IsZero()) throw EHITDivByZero(op);
  // Q or R may be A or B: read the signs before either is written.
  const bool negA = A.Negative(), negB = B.Negative();
  TInteger q, r;
  DivideMagnitudes(A, B, Q ? &q : nullptr, R ? &r : nullptr, op);
  if (negA != negB) q.Negate();
  if (negA) r.Negate();
  if (Q) *Q = std::move(q);
  if (R) *R = std::move(r);
}

// Euclidean quotient and modulus: A = Q B + R with 0 <= R < |B|. A and B are read in
// full before Q or R is written, so either may be A or B.
void DivideEuclidean(const TInteger& A, const TInteger& B, TInteger* Q, TInteger* R, const char* op) {
  TInteger q, r;
  DivideTruncated(A, B, &q, &r, op);
  if (r.Negative()) {
    TInteger absB = B;
    absB.Abs();
    IAdd(r, absB);
    ISub(q, TInteger(B.Negative() ? -1 : 1));
  }
  if (Q) *Q = std::move(q);
  if (R) *R = std::move(r);
}

}  // namespace

void IDiv(TInteger& A, const TInteger& B) { DivideTruncated(A, B, &A, nullptr, "IDiv"); }

void IRem(TInteger& A, const TInteger& B) { DivideTruncated(A, B, nullptr, &A, "IRem"); }

void IMod(TInteger& A, const TInteger& B) { DivideEuclidean(A, B, nullptr, &A, "IMod"); }

void IModDiv(TInteger& A, TInteger& B) {
  if (&A == &B) throw EHITDuplicatePtr("IModDiv", "A,B");
  TInteger q, r;
  DivideEuclidean(A, B, &q, &r, "IModDiv");
  A = std::move(r);
  B = std::move(q);
}

void IRemDiv(TInteger& A, TInteger& B) {
  if (&A == &B) throw EHITDuplicatePtr("IRemDiv", "A,B");
  TInteger q, r;
  DivideTruncated(A, B, &q, &r, "IRemDiv");
  A = std::move(r);
  B = std::move(q);
}

void IGcd(TInteger& A, const TInteger& B) {
  hit::CheckTick();
  TInteger x = A, y = B;
  x.Abs();
  y.Abs();
  while (!y.IsZero()) {
    TInteger r;
    DivideMagnitudes(x, y, nullptr, &r, "IGcd");
    x = std::move(y);
    y = std::move(r);
  }
  A = std::move(x);
}

bool IInvMod(TInteger& A, const TInteger& B) {
  if (&A == &B) throw EHITDuplicatePtr("IInvMod", "A,B");
  if (B.Negative() || B.BitSize() < 2) throw EHITInvalidArg("IInvMod", "B < 2");
  hit::CheckTick();
  // Extended Euclid on (B, A mod B), tracking only the coefficient of A.
  TInteger r0 = B, r1 = A;
  IMod(r1, B);
  TInteger t0, t1(1);
  while (!r1.IsZero()) {
    TInteger q, r;
    DivideMagnitudes(r0, r1, &q, &r, "IInvMod");
    IMul(q, t1);
    ISub(t0, q);  // t0 - q t1
    std::swap(t0, t1);
    r0 = std::move(r1);
    r1 = std::move(r);
  }
  if (r0.Size() != 1 || r0.Digits()[0] != 1) return false;
  IMod(t0, B);
  A = std::move(t0);
  return true;
}

}  // namespace mivex
