#pragma once
// The instruction sets the engine's innermost loops may use. Each such loop has a
// portable form and faster ones for processors that have the instructions, chosen
// when called; every form gives the same result, bit for bit.
#include <bit>
#include <cstdint>

namespace mivex::vandrel {

enum class Kernel {
  Portable,  // plain C++
  BitCount,  // with the processor's bit count instruction
  Vector256, // with 256-bit vector instructions (bits counted by table lookups)
  Vector,    // with 512-bit vector instructions (and their bit counts)
};

bool KernelAvailable(Kernel kernel);

// The fastest form this processor runs.
Kernel FastestKernel();

// Bit count without relying on a processor instruction (SWAR): inline, where the
// compiler's own would call a library routine for processors without one. Built for
// 32-bit processors, each half is counted on its own: 64-bit arithmetic there is
// pairs of instructions carried into each other, and a 64-bit product is three.
inline int CountBits(std::uint32_t x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0Fu;
  return static_cast<int>((x * 0x01010101u) >> 24);
}
inline int CountBits(std::uint64_t x) {
  if constexpr (sizeof(void*) < sizeof(std::uint64_t)) {
    return CountBits(static_cast<std::uint32_t>(x)) + CountBits(static_cast<std::uint32_t>(x >> 32));
  } else {
    x = x - ((x >> 1) & 0x5555555555555555ULL);
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
  }
}

// The index of the lowest set bit of x (x not 0). Built for 32-bit processors, the
// library's 64-bit count is a call to a runtime routine; two 32-bit counts there are
// an instruction each.
[[gnu::always_inline]] inline int LowestBit(std::uint64_t x) {
  if constexpr (sizeof(void*) < sizeof(std::uint64_t)) {
    const auto low = static_cast<std::uint32_t>(x);
    return low != 0 ? std::countr_zero(low) : 32 + std::countr_zero(static_cast<std::uint32_t>(x >> 32));
  } else {
    return std::countr_zero(x);
  }
}

}  // namespace mivex::vandrel
