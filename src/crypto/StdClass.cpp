#include "crypto/StdClass.h"

#include <cstring>
#include <stdexcept>

#include "crypto/CryptoBytes.h"

namespace mivex {

namespace {
constexpr std::int32_t kGrowthStep = 1024;
}

TByteBuffer::TByteBuffer(const std::uint8_t* data, std::int32_t n) { Append(data, n); }

TByteBuffer::~TByteBuffer() { Clear(); }

void TByteBuffer::LengthError() { throw std::runtime_error(ByteBufferLengthMessage); }
void TByteBuffer::PositionError() { throw std::runtime_error(ByteBufferPositionMessage); }

void TByteBuffer::Clear() {
  // Buffers carry key material and plaintext: wipe before release.
  if (FData) WipeBytes(FData.get(), static_cast<std::size_t>(FCapacity));
  FData.reset();
  FLength = 0;
  FCapacity = 0;
}

void TByteBuffer::Append(const std::uint8_t* data, std::int32_t n) { Insert(data, FLength, n); }

void TByteBuffer::Insert(const std::uint8_t* data, std::int32_t position, std::int32_t n) {
  if (n <= 0) LengthError();
  const std::int64_t need = std::int64_t{FLength} + n;
  if (need > INT32_MAX - kGrowthStep) LengthError();
  if (FCapacity < need) {
    const std::int32_t capacity = static_cast<std::int32_t>((need / kGrowthStep + 1) * kGrowthStep);
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[static_cast<std::size_t>(capacity)]());
    if (FLength > 0) std::memcpy(block.get(), FData.get(), static_cast<std::size_t>(FLength));
    if (FData) WipeBytes(FData.get(), static_cast<std::size_t>(FCapacity));
    FData = std::move(block);
    FCapacity = capacity;
  }
  if (position != FLength && (position < 0 || position > FLength)) PositionError();
  std::memmove(FData.get() + position + n, FData.get() + position, static_cast<std::size_t>(FLength - position));
  std::memcpy(FData.get() + position, data, static_cast<std::size_t>(n));
  FLength += n;
}

void TByteBuffer::Delete(std::int32_t position, std::int32_t n) {
  if (n <= 0) LengthError();
  if (position < 0 || position > FLength) PositionError();
  if (std::int64_t{position} + n > FLength) PositionError();
  std::memmove(FData.get() + position, FData.get() + position + n, static_cast<std::size_t>(FLength - position - n));
  FLength -= n;
}

std::vector<std::uint8_t> TByteBuffer::Extract(std::int32_t position, std::int32_t n) {
  if (position < 0 || position > FLength) PositionError();
  if (n <= 0) LengthError();
  if (std::int64_t{position} + n > FLength) PositionError();
  std::vector<std::uint8_t> block(FData.get() + position, FData.get() + position + n);
  Delete(position, n);
  return block;
}

std::uint8_t* TByteBuffer::At(std::int32_t position) {
  if (position < 0 || position > FLength) PositionError();
  return FData.get() + position;
}

void TByteBuffer::Replace(std::unique_ptr<std::uint8_t[]> block, std::int32_t length) {
  Clear();
  FData = std::move(block);
  FLength = length;
  FCapacity = length;
}

}  // namespace mivex
