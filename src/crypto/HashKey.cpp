#include "crypto/HashKey.h"

#include <cstring>

#include "crypto/CryptoBytes.h"

namespace mivex {

void THashKey::Interleave(const std::uint8_t* bytes, std::int32_t count, std::int32_t step) {
  if (step <= 0 || count < 0) LengthError();
  const std::int32_t length = FLength;
  const std::int64_t total = std::int64_t{length} + count;
  if (total > INT32_MAX) LengthError();
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[static_cast<std::size_t>(total > 0 ? total : 1)]);
  std::uint8_t* out = block.get();
  const std::uint8_t* in = FData.get();
  std::int32_t b = 0, taken = 0;
  while (taken < count && std::int64_t{b} + step < length) {
    std::memcpy(out, in + b, static_cast<std::size_t>(step));
    out += step;
    *out++ = bytes[taken++];
    b += step;
  }
  if (length > b) std::memcpy(out, in + b, static_cast<std::size_t>(length - b));
  out += length - b;
  if (count > taken) std::memcpy(out, bytes + taken, static_cast<std::size_t>(count - taken));
  Replace(std::move(block), static_cast<std::int32_t>(total));
}

std::vector<std::uint8_t> THashKey::Deinterleave(std::int32_t count, std::int32_t step) {
  if (step <= 0 || count < 0) LengthError();
  const std::int32_t d = FLength - count;
  if (d <= 0) LengthError();
  std::vector<std::uint8_t> result(static_cast<std::size_t>(count));
  std::uint8_t* data = FData.get();
  // Kept bytes move down over the taken ones; the write position never passes the read one.
  std::int32_t read = 0, write = 0, b = 0, taken = 0;
  while (taken < count && std::int64_t{b} + step < d) {
    std::memmove(data + write, data + read, static_cast<std::size_t>(step));
    read += step;
    write += step;
    result[static_cast<std::size_t>(taken++)] = data[read++];
    b += step;
  }
  std::memmove(data + write, data + read, static_cast<std::size_t>(d - b));
  read += d - b;
  if (count > taken) std::memcpy(result.data() + taken, data + read, static_cast<std::size_t>(count - taken));
  WipeBytes(data + d, static_cast<std::size_t>(count));  // the woven bytes are key material
  FLength = d;
  return result;
}

}  // namespace mivex
