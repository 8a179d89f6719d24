#pragma once
// The floating-point state of the calling thread as a host leaves it, read and set
// directly (x86 only): the vector unit's control and status register and the x87
// control word.
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>

namespace mivex::testing {

struct FloatState {
  unsigned vector;
  std::uint16_t x87;
  bool operator==(const FloatState&) const = default;
};

// What a Delphi host runs with (invalid operation, division by zero and overflow
// unmasked; the x87 word reads back with its reserved bit 6 set), here also rounding
// toward zero and flushing tiny values to zero.
constexpr FloatState kDelphiHostRoundingDown{0x1900 | 0x6000 | 0x8000 | 0x0040, 0x1372 | 0x0C00};

inline FloatState ReadFloatState() {
  FloatState s{_mm_getcsr(), 0};
  __asm__ __volatile__("fnstcw %0" : "=m"(s.x87));
  return s;
}

inline void WriteFloatState(FloatState s) {
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(s.x87) : "memory");
  _mm_setcsr(s.vector);
}

}  // namespace mivex::testing
#endif
