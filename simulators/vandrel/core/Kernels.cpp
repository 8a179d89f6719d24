#include "Kernels.h"

#include "VectorIntrinsics.h"

namespace mivex::vandrel {

bool KernelAvailable(Kernel kernel) {
  switch (kernel) {
    case Kernel::Portable:
      return true;
#ifdef VANDREL_X86
    case Kernel::BitCount:
      return __builtin_cpu_supports("popcnt");
    case Kernel::Vector256:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    // Every processor with the 512-bit bit counts has the byte compression and bit
    // deposits the matcher's 512-bit form also uses.
    case Kernel::Vector:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
             __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
#endif
    default:
      return false;
  }
}

Kernel FastestKernel() {
  static const Kernel fastest = KernelAvailable(Kernel::Vector)      ? Kernel::Vector
                                : KernelAvailable(Kernel::Vector256) ? Kernel::Vector256
                                : KernelAvailable(Kernel::BitCount)  ? Kernel::BitCount
                                                                     : Kernel::Portable;
  return fastest;
}

}  // namespace mivex::vandrel
