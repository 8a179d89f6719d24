// mivex.hpp - header-only C++17 wrapper over mivex.h for host programs.
//
// Results come back as mivex::Result<T>: a value, or the library's result code with a
// short text. Strings the library hands out are owned by mivex::LibraryString, which
// releases them with GetPdtLID; strings passed to the counted-string exports are built
// by mivex::CountedArg. Link with libMivex.dll.a (MinGW) or Mivex.lib (Microsoft's and
// LLVM's linkers). Template calls open a modal dialog on the calling thread and return
// when it closes: call them from a thread that can own windows.
#ifndef MIVEX_HPP
#define MIVEX_HPP

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mivex.h"

namespace mivex {

// What a call ended with: 0 success, 404 refused or enrollment not completed, 504 no
// template, 1 or 2 a failed decryption or encryption.
struct Error {
  int code;
  const char* what;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)), error_{0, "success"} {}  // NOLINT: implicit on purpose
  Result(Error error) : error_(error) {}                              // NOLINT
  explicit operator bool() const { return error_.code == 0; }
  bool has_value() const { return error_.code == 0; }
  const T& value() const { return value_; }
  T& value() { return value_; }
  const T& operator*() const { return value_; }
  const T* operator->() const { return &value_; }
  const Error& error() const { return error_; }

 private:
  T value_{};
  Error error_;
};

inline Error TemplateError(int code) {
  switch (code) {
    case 404: return {404, "refused: another dialog of the library is open, or the enrollment was not completed"};
    case 504: return {504, "no template: the dialog was cancelled or ended without a template"};
    default: return {code, "unexpected result code"};
  }
}

// A counted string built by the host for the counted-string arguments: reference count -1
// (a constant the library never frees), length, characters, NUL.
class CountedArg {
 public:
  explicit CountedArg(std::string_view text) : block_(8 + text.size() + 1, '\0') {
    const std::int32_t refs = -1;
    const auto length = static_cast<std::int32_t>(text.size());
    std::memcpy(block_.data(), &refs, 4);
    std::memcpy(block_.data() + 4, &length, 4);
    if (!text.empty()) std::memcpy(block_.data() + 8, text.data(), text.size());
  }
  // The empty text is passed as null.
  MIVEX_COUNTED get() const { return block_.size() > 9 ? block_.data() + 8 : nullptr; }

 private:
  std::vector<char> block_;
};

// Owns a counted-string variable the library writes (GetFPVerifyTempString): released
// with GetPdtLID when it goes, never freed by the host's allocator.
class LibraryString {
 public:
  LibraryString() = default;
  LibraryString(const LibraryString&) = delete;
  LibraryString& operator=(const LibraryString&) = delete;
  LibraryString(LibraryString&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
  LibraryString& operator=(LibraryString&& other) noexcept {
    if (this != &other) {
      reset();
      held_ = std::exchange(other.held_, nullptr);
    }
    return *this;
  }
  ~LibraryString() { reset(); }

  // The variable's address, for the export to write; what it held is released first by
  // the library itself.
  MIVEX_COUNTED_VAR address() { return &held_; }
  MIVEX_COUNTED get() const { return held_; }
  std::int32_t length() const { return held_ ? Field<std::int32_t>(-4) : 0; }
  std::int32_t references() const { return held_ ? Field<std::int32_t>(-8) : 0; }
  std::uint16_t element_size() const { return held_ ? Field<std::uint16_t>(-10) : 0; }
  std::uint16_t code_page() const { return held_ ? Field<std::uint16_t>(-12) : 0; }
  std::string str() const { return held_ ? std::string(held_, static_cast<std::size_t>(length())) : std::string(); }
  void reset() {
    if (held_) GetPdtLID(&held_, nullptr);
  }

 private:
  template <typename T>
  T Field(int offset) const {
    T value;
    std::memcpy(&value, held_ + offset, sizeof value);
    return value;
  }
  MIVEX_COUNTED held_ = nullptr;
};

// A buffer for one template string: enrollment strings hold one entry per enrolled finger.
inline constexpr std::size_t kTemplateBufferSize = 64 * 1024;

inline Result<std::string> Sha256Hex(std::string_view data) {
  char hex[65];
  EncryptSha256(reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()), hex);
  return std::string(hex, 64);
}

// AES-256-CBC of `data` as upper-case hex text; the key is the first 32 bytes of `key`.
inline Result<std::string> Encrypt(const std::string& key, std::string_view data) {
  std::string hex(32 * (data.size() / 16 + 1) + 1, '\0');
  int written = 0;
  int code = EnCryptData(key.c_str(), reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<int>(data.size()), hex.data(), &written);
  if (code != 0) return Error{code, "encryption failed (key text shorter than 32 bytes?)"};
  hex.resize(static_cast<std::size_t>(written));
  return hex;
}

inline Result<std::string> Decrypt(const std::string& key, const std::string& hex) {
  std::string bytes(hex.size() / 2 + 1, '\0');
  int written = 0;
  int code = DeCryptData(key.c_str(), hex.c_str(), static_cast<unsigned int>(hex.size()),
                         reinterpret_cast<unsigned char*>(bytes.data()), &written);
  if (code != 0) return Error{code, "decryption failed (wrong key or damaged text)"};
  bytes.resize(static_cast<std::size_t>(written));
  return bytes;
}

// One verification dialog; the template text of the pressed finger.
inline Result<std::string> VerifyTemplate() {
  LibraryString held;
  int code = GetFPVerifyTempString(held.address());
  if (code != 0) return TemplateError(code);
  return held.str();
}

// One enrollment dialog; the enrollment template string. `enrolled` lists the codes the
// user already has ("L1R3"), `selectable` the codes that may be chosen (empty: all).
inline Result<std::string> Enroll(std::string_view user, std::string_view enrolled, std::string_view selectable,
                                  int minimum, int maximum) {
  std::vector<char> buffer(kTemplateBufferSize, '\0');
  CountedArg u(user), e(enrolled), s(selectable);
  int code = GetFPEnrollTemp(u.get(), e.get(), s.get(), minimum, maximum, buffer.data());
  if (code != 0) return TemplateError(code);
  return std::string(buffer.data());
}

// Enrollment of a preset finger order ("R2L2"), one finger after the other.
inline Result<std::string> EnrollSequence(std::string_view user, std::string_view enrolled,
                                          std::string_view selectable, std::string_view sequence, int minimum,
                                          int maximum) {
  std::vector<char> buffer(kTemplateBufferSize, '\0');
  CountedArg u(user), e(enrolled), s(selectable), q(sequence);
  int code = GetFPEnrollTempBySet(u.get(), e.get(), s.get(), q.get(), minimum, maximum, buffer.data());
  if (code != 0) return TemplateError(code);
  return std::string(buffer.data());
}

}  // namespace mivex

#endif  // MIVEX_HPP
