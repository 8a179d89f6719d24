#include "capture/EngineErrors.h"

namespace mivex {

const char* const kParameterTypeMessage = "Vandrel parameter is of wrong type";

std::string EngineErrorText(std::int32_t code) {
  if (code >= 0) return std::string();
  switch (code) {
    case -1: return "Failed";
    case -2: return "Out of memory";
    case -3: return "Not initialized";
    case -4: return "Argument null";
    case -5: return "Invalid argument";
    case -10: return "Invalid parameter";
    case -11: return "Parameter is read only";
    case -101: return "Illegal image resolution";
    case -102: return "Illegal image size";
    case -103: return "Low quality image";
    case -1000: return "Invalid mode";
    case -2003: return "Scanner driver error";
    case -2005: return "No scanner connected";
    case -2006: return "More than one scanner connected";
    default: return std::to_string(code);
  }
}

std::string EngineErrorMessage(std::int32_t code) {
  return "Vandrel error:\r\tCode = " + std::to_string(code) + "\r\tDescription = " + EngineErrorText(code);
}

}  // namespace mivex
