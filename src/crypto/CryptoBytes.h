#pragma once
// Byte helpers shared by the cipher and digest classes.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mivex {

// dst = a ^ b over n bytes; dst may be a or b.
inline void XorBytes(std::uint8_t* dst, const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    x ^= y;
    std::memcpy(dst + i, &x, 8);
  }
  for (; i < n; ++i) dst[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
}

// Overwrites key material and intermediate plaintext before its memory is released. The
// empty asm that may read the memory keeps the compiler from dropping the memset as a
// store to memory about to die.
inline void WipeBytes(void* data, std::size_t n) {
  if (n == 0) return;
  std::memset(data, 0, n);
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace mivex
