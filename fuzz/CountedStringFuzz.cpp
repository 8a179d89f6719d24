// Counted-string arguments as a host hands them over: any characters, any stored length.
// Reading goes by the stored length only and never past the characters the host gave;
// a string of this library reads back exactly and is freed by its last release.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/CountedString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex;
  if (size < 4) return 0;
  // The first four bytes choose the stored length, the rest are the characters.
  std::int32_t stored;
  std::memcpy(&stored, data, sizeof stored);
  const char* chars = reinterpret_cast<const char*>(data + 4);
  const std::size_t count = size - 4;

  // A host block: a header, the characters and a NUL, nothing further, so that ASan sees
  // any read past the end. The length sits in the 4 bytes before the characters; the
  // bytes in front of it are the host's and are never read for a plain read.
  constexpr std::size_t kRoomBefore = 16;
  std::vector<char> block(kRoomBefore + count + 1);
  char* handle = block.data() + kRoomBefore;
  std::memcpy(handle, chars, count);
  handle[count] = '\0';
  // Only lengths the host really holds characters for are valid input.
  const std::int32_t length =
      stored < 0 ? stored : static_cast<std::int32_t>(static_cast<std::uint32_t>(stored) % (count + 1));
  std::memcpy(handle - 4, &length, sizeof length);
  const std::string read = ReadCounted(handle);
  const std::size_t expected = length > 0 ? static_cast<std::size_t>(length) : 0;
  if (read.size() != expected || std::memcmp(read.data(), handle, expected) != 0) std::abort();
  if (ReadPlain(handle) != std::string(handle)) std::abort();

  // The library's own strings: same text back, one reference, freed on release.
  const std::string text(chars, count);
  char* own = NewCounted(text);
  if (text.empty() != (own == nullptr)) std::abort();
  if (own) {
    if (ReadCounted(own) != text || CountedLength(own) != static_cast<std::int32_t>(count) ||
        CountedRefCount(own) != 1 || own[count] != '\0')
      std::abort();
  }
  const char* var = own;
  ClearCountedVar(&var);
  if (var != nullptr) std::abort();
  return 0;
}
