#pragma once
// For the units whose inner loops have vector forms (see Kernels.h): the processor's
// intrinsics where it has any, and brackets around the code that uses them.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VANDREL_X86 1
#endif

// GCC 12's own intrinsics pass an unset vector as the ignored source of unmasked
// operations, and then warn about it: code using them sits between these.
#if defined(__GNUC__) && !defined(__clang__)
#define VANDREL_INTRINSICS_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define VANDREL_INTRINSICS_END _Pragma("GCC diagnostic pop")
#else
#define VANDREL_INTRINSICS_BEGIN
#define VANDREL_INTRINSICS_END
#endif
