#pragma once
// The floating-point state the library computes in, set for the length of a call from
// a host, and the host's own state given back exactly on return.
//
// Hosts bring states of their own to the threads they call from. Delphi and Free
// Pascal programs unmask the invalid-operation, division-by-zero and overflow
// exceptions, so that one NaN inside the library would trap in the host; others choose
// another rounding or flush tiny values to zero, which changes extracted features and
// scores. Inside a call: every exception masked, rounding to nearest, no flushing.
// Whatever flags the call raises are dropped with the rest of the library's state.
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MIVEX_X86_FLOAT_STATE 1
#endif

namespace mivex {

class ScopedFloatEnvironment {
 public:
#ifdef MIVEX_X86_FLOAT_STATE
  // Control and status register of the vector unit: all six exceptions masked, no
  // flags, round to nearest, denormals neither flushed nor read as zero.
  static constexpr unsigned kVectorState = 0x1F80;
  // x87 control word bits: the six exception masks, and the rounding control (00 is
  // to nearest). Precision control is left as the host set it: results are stored in
  // single and double precision, where it makes no difference.
  static constexpr std::uint16_t kX87ExceptionMasks = 0x003F;
  static constexpr std::uint16_t kX87Rounding = 0x0C00;

  ScopedFloatEnvironment() {
    vector_ = _mm_getcsr();
    _mm_setcsr(kVectorState);
    // Storing the environment also masks every x87 exception; the flags are cleared
    // before the control word is loaded, so that none is left pending.
    __asm__ __volatile__("fnstenv %0" : "=m"(x87_) : : "memory");
    const std::uint16_t control = static_cast<std::uint16_t>((x87_.control | kX87ExceptionMasks) & ~kX87Rounding);
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control) : "memory");
  }
  ~ScopedFloatEnvironment() {
    __asm__ __volatile__("fldenv %0" : : "m"(x87_) : "memory");
    _mm_setcsr(vector_);
  }
#else
  ScopedFloatEnvironment() = default;
#endif
  ScopedFloatEnvironment(const ScopedFloatEnvironment&) = delete;
  ScopedFloatEnvironment& operator=(const ScopedFloatEnvironment&) = delete;

 private:
#ifdef MIVEX_X86_FLOAT_STATE
  // The x87 environment as FNSTENV stores it (28 bytes, the control word first).
  struct X87Environment {
    std::uint16_t control;
    std::uint8_t rest[26];
  };
  X87Environment x87_;
  unsigned vector_;
#endif
};

}  // namespace mivex

#undef MIVEX_X86_FLOAT_STATE
