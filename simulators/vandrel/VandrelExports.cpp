// The feature engine's exported entry points (stdcall, undecorated). Each forwards to
// the portable engine. Context handles and integer values travel in pointer-wide
// slots, which are 32 bits in the shipped 32-bit library.
#include <cstdint>

#include "Engine.h"
#include "base/Stdcall.h"

namespace {

using mivex::vandrel::kResultInvalidArgument;

// Handles are 32-bit; anything wider cannot name a context.
bool ToHandle(std::intptr_t value, std::int32_t& handle) {
  handle = static_cast<std::int32_t>(value);
  return static_cast<std::intptr_t>(handle) == value;
}

}  // namespace

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFInitialize() { return mivex::vandrel::EngineInitialize(); }

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFFinalize() { return mivex::vandrel::EngineFinalize(); }

MIVEX_EXPORT std::intptr_t MIVEX_STDCALL VFCreateContext() { return mivex::vandrel::CreateContext(); }

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFFreeContext(std::intptr_t context) {
  std::int32_t h;
  return ToHandle(context, h) ? mivex::vandrel::FreeContext(h) : kResultInvalidArgument;
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFGetParameter(std::int32_t id, void* value, std::intptr_t context) {
  std::int32_t h;
  return ToHandle(context, h) ? mivex::vandrel::GetParameter(id, value, h) : kResultInvalidArgument;
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFSetParameter(std::int32_t id, std::intptr_t value, std::intptr_t context) {
  std::int32_t h, v;
  if (!ToHandle(context, h) || !ToHandle(value, v)) return kResultInvalidArgument;
  return mivex::vandrel::SetParameter(id, v, h);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFExtract(std::int32_t width, std::int32_t height, const std::uint8_t* image,
                                                  std::int32_t resolution, std::uint8_t* features,
                                                  std::int32_t* output, std::intptr_t context) {
  std::int32_t h;
  if (!ToHandle(context, h)) return kResultInvalidArgument;
  return mivex::vandrel::ExtractRecord(width, height, image, resolution, features, output, h);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFGeneralize(std::int32_t count, const std::uint8_t* const* records,
                                                     std::uint8_t* output, std::int32_t* size, std::intptr_t context) {
  std::int32_t h;
  if (!ToHandle(context, h)) return kResultInvalidArgument;
  return mivex::vandrel::GeneralizeRecords(count, records, output, size, h);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL VFVerify(const std::uint8_t* record1, const std::uint8_t* record2,
                                                 std::int32_t* details, std::intptr_t context) {
  std::int32_t h;
  if (!ToHandle(context, h)) return kResultInvalidArgument;
  return mivex::vandrel::VerifyRecords(record1, record2, details, h);
}
