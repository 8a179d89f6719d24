#pragma once
// Reading enrollment and verification template strings strictly, as a host's tool
// must: every fault is named with the entry and the character where it was found.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capture/FeatureCodec.h"

namespace mivex::tool {

// Longest template string accepted (ten fingers of the largest records fit many times).
constexpr std::size_t kMaxInputChars = 1 << 20;

// What reading a feature record found out about it.
struct RecordFacts {
  std::int32_t usedBytes = 0;  // what the record occupies; 0 when it does not decode
  std::uint8_t flags = 0;
  FeatureModel model{};
  int endings = 0, bifurcations = 0;
  bool hasQuality = false;
  double qualityMean = 0, qualityMin = 0, qualityMax = 0;  // of minutiae, 0..1
};

// One template: an enrollment string's entry, or a verification string's text.
struct TemplateItem {
  int entry = 0;            // 1-based entry number; 0 for a verification string
  std::string code;         // finger code ("" for a verification string)
  int finger = 0;           // 1..10; 0 for a verification string
  std::size_t offset = 0;   // character where the entry (or text) starts
  long declaredLength = -1; // -1 for a verification string
  std::size_t base64Chars = 0;  // without line breaks
  bool lineBreaksRegular = true;  // CR LF after every 76th character, nothing else
  std::string lineBreakNote;      // where they are not
  std::vector<std::uint8_t> bytes;
  RecordFacts record;
};

struct ParseError {
  std::string message;  // names the entry and the character (0-based offset)
};

// Parse results: either items or an error.
struct Parsed {
  std::vector<TemplateItem> items;
  bool ok = false;
  ParseError error;
};

// An enrollment string: entries code ";" length ";" base64 ";" one after another.
Parsed ParseEnrollment(std::string_view text);
// A verification string: Base64 text alone.
Parsed ParseVerification(std::string_view text);
// Enrollment when the text holds a ';', verification otherwise.
Parsed ParseEither(std::string_view text);

// The English name of finger 1..10.
const char* FingerName(int finger);

}  // namespace mivex::tool
