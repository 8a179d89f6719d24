#pragma once
// Result codes of the feature engine and the texts the binding reports for them.
// Portable: the Windows binding (VFEngine.h) raises exceptions with these texts.
#include <cstdint>
#include <string>

namespace mivex {

// A result code is a success when it is 0 or positive.
constexpr bool Succeeded(std::int32_t code) { return code >= 0; }
constexpr bool Failed(std::int32_t code) { return code < 0; }

// The description of an engine result code: empty for success, a fixed text for the
// known failures, the signed decimal number for any other failure.
std::string EngineErrorText(std::int32_t code);

// Message of the exception raised for a failed engine call.
std::string EngineErrorMessage(std::int32_t code);

// Message of the exception raised when a parameter does not report the expected type.
extern const char* const kParameterTypeMessage;

}  // namespace mivex
