#pragma once
// TByteBuffer (unit StdClass): a growable byte buffer whose operations check lengths and
// positions. Failures are std::runtime_error with one of two GBK-encoded texts.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Component.h"

namespace mivex {

// "The length must not be zero or less" and "position out of range", in code page 936.
inline constexpr char ByteBufferLengthMessage[] = "\xb3\xa4\xb6\xc8\xb2\xbb\xb5\xc3\xd0\xa1\xd3\xda\xb5\xc8\xd3\xda\xc1\xe3";
inline constexpr char ByteBufferPositionMessage[] = "\xce\xbb\xd6\xc3\xb3\xac\xb9\xfd\xb7\xb6\xce\xa7";

class TByteBuffer : public TObject {
 public:
  TByteBuffer() = default;
  // A buffer holding a copy of n bytes (n must be positive).
  TByteBuffer(const std::uint8_t* data, std::int32_t n);
  TByteBuffer(const TByteBuffer&) = delete;
  TByteBuffer& operator=(const TByteBuffer&) = delete;
  ~TByteBuffer() override;

  std::int32_t Length() const { return FLength; }
  std::int32_t Capacity() const { return FCapacity; }
  const std::uint8_t* Data() const { return FData.get(); }

  // Length and capacity 0, block released.
  void Clear();
  void Append(const std::uint8_t* data, std::int32_t n);
  // Inserts n bytes before `position` (0..Length).
  void Insert(const std::uint8_t* data, std::int32_t position, std::int32_t n);
  void Delete(std::int32_t position, std::int32_t n);
  // Copies n bytes from `position` into a new block, then deletes them from the buffer.
  std::vector<std::uint8_t> Extract(std::int32_t position, std::int32_t n);
  // Address of the byte at `position` (0..Length).
  std::uint8_t* At(std::int32_t position);

 protected:
  // Takes over `block` (of exactly `length` bytes) as the whole contents.
  void Replace(std::unique_ptr<std::uint8_t[]> block, std::int32_t length);
  [[noreturn]] static void LengthError();
  [[noreturn]] static void PositionError();

  std::unique_ptr<std::uint8_t[]> FData;
  std::int32_t FLength = 0;
  std::int32_t FCapacity = 0;
};

}  // namespace mivex
