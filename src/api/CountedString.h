#pragma once
// The library's counted-string form, used at the boundary by the template exports:
// a handle points at the first 8-bit character; the signed 32-bit length sits in the
// 4 bytes before it and a signed 32-bit reference count in the 4 bytes before that
// (-1 marks a constant that is never freed); a NUL follows the last character. A null
// handle is the empty string.
//
// Strings the library hands out carry 4 more bytes in front of the count: a 16-bit code
// page (0, the ANSI code page) and a 16-bit element size (1). Pascal hosts whose
// AnsiString has a code page (Free Pascal 3, Delphi 2009 and later) read these two
// fields; hosts that know only count and length never look there. Strings a host passes
// in are read through their length alone, so either form is accepted.
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

// Stored fields of a handle (test support and diagnostics). Code page and element size
// are meaningful for strings of this library only.
std::int32_t CountedRefCount(CountedHandle handle);
std::int32_t CountedLength(CountedHandle handle);
std::uint16_t CountedCodePage(CountedHandle handle);
std::uint16_t CountedElementSize(CountedHandle handle);

// Code page recorded in library strings: the ANSI code page of the process.
inline constexpr std::uint16_t kCountedCodePage = 0;

}  // namespace mivex
