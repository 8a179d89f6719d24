#pragma once
// TBioException: the library's exception class, a general exception with a numeric code.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mivex {

class TBioException : public std::runtime_error {
 public:
  TBioException(const std::string& message, std::int32_t errorCode)
      : std::runtime_error(message), ErrorCode(errorCode) {}
  std::int32_t ErrorCode;
};

}  // namespace mivex
