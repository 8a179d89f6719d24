#pragma once
// Binding to the closed feature engine "Vandrel.dll": the library is loaded by name at
// library start, every entry point is looked up by its exact name, and calls go through
// the functions below. An entry point the library does not export stays unset; calling
// it raises std::runtime_error at the call site. Engine failures are reported as result
// codes (negative = failure); CheckEngineResult turns them into exceptions.
#include <cstdint>

#include "base/Stdcall.h"
#include "capture/EngineErrors.h"

namespace mivex {

// Opaque engine context. The engine's handles are 32-bit values; the slot is as wide as
// a pointer so that the value travels unchanged through either calling convention.
using VFContext = std::intptr_t;

// Handed to VFVerify: the caller sets `size`; the engine writes the similarity score.
struct MatchDetails {
  std::int32_t size;
  std::int32_t score;
  std::uint8_t reserved[12];
};
static_assert(sizeof(MatchDetails) == 20, "the engine expects a 20-byte record");

// Loads "Vandrel.dll" through the platform's module search and resolves its entry
// points. Idempotent and thread-safe; it creates no thread and waits for none, so it
// may run inside the library's start-up (under the loader lock) or on first use.
// Returns whether the library is loaded. A failed load is final for the process.
bool LoadEngineLibrary();
// Forgets every entry point and frees the library (library unload).
void FreeEngineLibrary();
// Whether the library was loaded.
bool EngineLibraryLoaded();
// Whether the named entry point was resolved ("VFExtract", ...).
bool EngineEntryPointBound(const char* name);

// Calls through the entry points; each raises when its entry point is unset.
std::int32_t VFInitialize();
std::int32_t VFFinalize();
VFContext VFCreateContext();
std::int32_t VFFreeContext(VFContext context);
std::int32_t VFGetParameter(std::int32_t id, void* value, VFContext context);
std::int32_t VFSetParameter(std::int32_t id, std::intptr_t value, VFContext context);
std::int32_t VFExtract(std::int32_t width, std::int32_t height, const std::uint8_t* image, std::int32_t resolution,
                       std::uint8_t* features, std::int32_t* output, VFContext context);
std::int32_t VFGeneralize(std::int32_t count, const std::uint8_t* const* features, std::uint8_t* output,
                          std::int32_t* size, VFContext context);
std::int32_t VFVerify(const std::uint8_t* features1, const std::uint8_t* features2, MatchDetails* details,
                      VFContext context);

// Raises std::runtime_error with EngineErrorMessage(code) when `code` is negative.
void CheckEngineResult(std::int32_t code);
// Type code of the parameter `id` (asked with the null context).
std::int32_t GetParameterType(std::int32_t id);
// Raises std::runtime_error(kParameterTypeMessage) unless parameter `id` has type `type`.
void CheckParameterType(std::int32_t id, std::int32_t type);
std::int32_t GetIntParameter(std::int32_t id, VFContext context);
void SetIntParameter(std::int32_t id, std::int32_t value, VFContext context);

}  // namespace mivex
