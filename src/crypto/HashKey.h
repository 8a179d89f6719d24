#pragma once
// THashKey (unit HashKey): a byte buffer that can weave the bytes of a short key into its
// contents at a fixed step and take them out again.
#include <cstdint>
#include <vector>

#include "crypto/StdClass.h"

namespace mivex {

class THashKey : public TByteBuffer {
 public:
  using TByteBuffer::TByteBuffer;

  // After every `step` buffer bytes that have more buffer bytes behind them, one of the
  // `count` bytes goes in; what is left of either follows at the end (buffer first).
  // Length and capacity become Length + count.
  void Interleave(const std::uint8_t* bytes, std::int32_t count, std::int32_t step);
  // Undoes Interleave(bytes, count, step): returns the count woven bytes and keeps the
  // rest. Fails with the length message when nothing would be kept.
  std::vector<std::uint8_t> Deinterleave(std::int32_t count, std::int32_t step);
};

}  // namespace mivex
