#include "base/FloatEnvironment.h"

#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "../support/HostFloatState.h"

#if defined(__i386__) || defined(__x86_64__)
namespace mivex {
namespace {

using testing::FloatState;
using testing::ReadFloatState;
using testing::WriteFloatState;

// A host that unmasked the invalid-operation, division-by-zero and overflow
// exceptions, rounds toward zero, flushes tiny values and already has the inexact
// flag raised: inside the scope none of that holds, and on leaving it the host gets
// exactly its own state back, without the flags raised inside.
TEST(ScopedFloatEnvironment, MasksInsideAndGivesTheHostsStateBack) {
  const FloatState own = ReadFloatState();
  constexpr unsigned kInexactRaised = 0x0020;
  const FloatState host{testing::kDelphiHostRoundingDown.vector | kInexactRaised, testing::kDelphiHostRoundingDown.x87};
  volatile double zero = 0.0, big = 1e308;
  double quotient = 0, product = 0;
  FloatState inside{}, after{};
  WriteFloatState(host);
  {
    const ScopedFloatEnvironment scope;
    inside = ReadFloatState();
    quotient = zero / zero;  // would trap with the host's masks
    product = big * big;
  }
  after = ReadFloatState();
  WriteFloatState(own);

  EXPECT_EQ(inside.vector & ~0x3Fu, ScopedFloatEnvironment::kVectorState);
  EXPECT_EQ(inside.x87 & ScopedFloatEnvironment::kX87ExceptionMasks, ScopedFloatEnvironment::kX87ExceptionMasks);
  EXPECT_EQ(inside.x87 & ScopedFloatEnvironment::kX87Rounding, 0);
  EXPECT_EQ(inside.x87 & 0x0300, host.x87 & 0x0300);  // precision as the host set it
  EXPECT_TRUE(std::isnan(quotient));
  EXPECT_TRUE(std::isinf(product));
  EXPECT_EQ(after.vector, host.vector);
  EXPECT_EQ(after.x87, host.x87);
}

}  // namespace
}  // namespace mivex
#endif
