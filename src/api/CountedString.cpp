#include "api/CountedString.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace mivex {

namespace {
// What every counted string has in front of its characters.
struct Header {
  std::int32_t refs;
  std::int32_t length;
};
static_assert(sizeof(Header) == 8, "the form has 4 + 4 bytes in front of the characters");

// What strings of this library have: the code page fields in front of the header.
struct LibraryHeader {
  std::uint16_t codePage;
  std::uint16_t elementSize;
  Header header;
};
static_assert(sizeof(LibraryHeader) == 12, "2 + 2 + 4 + 4 bytes in front of the characters");

Header* HeaderOf(CountedHandle handle) {
  return reinterpret_cast<Header*>(const_cast<char*>(handle) - sizeof(Header));
}

LibraryHeader* LibraryHeaderOf(CountedHandle handle) {
  return reinterpret_cast<LibraryHeader*>(const_cast<char*>(handle) - sizeof(LibraryHeader));
}
}  // namespace

std::string ReadCounted(CountedHandle handle) {
  if (!handle) return {};
  std::int32_t length = HeaderOf(handle)->length;
  if (length <= 0) return {};
  return std::string(handle, static_cast<size_t>(length));
}

std::string ReadPlain(const char* text) { return text ? std::string(text) : std::string(); }

char* NewCounted(std::string_view text) {
  if (text.empty()) return nullptr;
  if (text.size() > 0x7FFFFFF0u) throw std::bad_alloc();
  auto* block = static_cast<char*>(std::malloc(sizeof(LibraryHeader) + text.size() + 1));
  if (!block) throw std::bad_alloc();
  auto* header = reinterpret_cast<LibraryHeader*>(block);
  header->codePage = kCountedCodePage;
  header->elementSize = 1;
  header->header.refs = 1;
  header->header.length = static_cast<std::int32_t>(text.size());
  char* chars = block + sizeof(LibraryHeader);
  std::memcpy(chars, text.data(), text.size());
  chars[text.size()] = '\0';
  return chars;
}

void ReleaseCounted(CountedHandle handle) {
  if (!handle) return;
  Header* header = HeaderOf(handle);
  if (header->refs < 0) return;  // a constant
  // Strings may be shared between threads of the host: drop the reference atomically.
  auto* refs = reinterpret_cast<std::atomic<std::int32_t>*>(&header->refs);
  static_assert(sizeof(std::atomic<std::int32_t>) == sizeof(std::int32_t));
  if (refs->fetch_sub(1) == 1) std::free(LibraryHeaderOf(handle));
}

void ClearCountedVar(CountedHandle* var) {
  if (!var) return;
  CountedHandle held = *var;
  *var = nullptr;
  ReleaseCounted(held);
}

std::int32_t CountedRefCount(CountedHandle handle) { return handle ? HeaderOf(handle)->refs : 0; }
std::int32_t CountedLength(CountedHandle handle) { return handle ? HeaderOf(handle)->length : 0; }
std::uint16_t CountedCodePage(CountedHandle handle) { return handle ? LibraryHeaderOf(handle)->codePage : 0; }
std::uint16_t CountedElementSize(CountedHandle handle) { return handle ? LibraryHeaderOf(handle)->elementSize : 0; }

}  // namespace mivex
