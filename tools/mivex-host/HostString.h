#pragma once
// A counted string as a host builds one: reference count -1 (a constant the library
// never frees), length, characters, NUL.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace mivex::host {

class HostString {
 public:
  explicit HostString(const std::string& text) : block_(8 + text.size() + 1) {
    const std::int32_t refs = -1, length = static_cast<std::int32_t>(text.size());
    std::memcpy(block_.data(), &refs, 4);
    std::memcpy(block_.data() + 4, &length, 4);
    std::memcpy(block_.data() + 8, text.data(), text.size());
  }
  // An empty text is passed as null, as hosts do.
  const char* handle() const { return block_.size() > 9 ? block_.data() + 8 : nullptr; }

 private:
  std::vector<char> block_;
};

}  // namespace mivex::host
