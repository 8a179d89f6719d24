#pragma once
// The library's counted-string form, used at the boundary by the template exports:
// a handle points at the first 8-bit character; the signed 32-bit length sits in the
// 4 bytes before it and a signed 32-bit reference count in the 4 bytes before that
// (-1 marks a constant that is never freed); a NUL follows the last character. A null
// handle is the empty string.
#include <cstdint>
#include <string>
#include <string_view>

namespace mivex {

using CountedHandle = const char*;

// Reads a counted-string argument through its stored length (never by searching for
// the NUL). Null gives the empty text.
std::string ReadCounted(CountedHandle handle);

// Reads a NUL-terminated argument as it is. Null gives the empty text.
std::string ReadPlain(const char* text);

// A new string of this library with one reference, allocated by its own allocator.
// Returns null for the empty text.
char* NewCounted(std::string_view text);

// Drops one reference of a string of this library (null and constants are ignored);
// the string is freed when no reference is left.
void ReleaseCounted(CountedHandle handle);

// Releases what the variable holds and leaves it null.
void ClearCountedVar(CountedHandle* var);

// Stored reference count and length of a handle (test support and diagnostics).
std::int32_t CountedRefCount(CountedHandle handle);
std::int32_t CountedLength(CountedHandle handle);

}  // namespace mivex
