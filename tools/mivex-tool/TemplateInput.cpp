#include "TemplateInput.h"

#include <algorithm>
#include <cstdio>

#include "workflow/Fingers.h"

namespace mivex::tool {
namespace {

constexpr std::size_t kLineChars = 76;
// No record the engine writes comes near this; a larger declared length is a fault.
constexpr long kMaxDeclaredLength = static_cast<long>(kMaxEncodedFeatures);

std::string Printable(char c) {
  char buf[16];
  const auto u = static_cast<unsigned char>(c);
  if (u == '\r') return "CR";
  if (u == '\n') return "LF";
  if (u >= 0x20 && u < 0x7F) std::snprintf(buf, sizeof buf, "'%c'", c);
  else std::snprintf(buf, sizeof buf, "byte 0x%02X", u);
  return buf;
}

std::string Where(const TemplateItem& item) {
  if (item.entry == 0) return "verification string";
  std::string s = "entry " + std::to_string(item.entry);
  if (!item.code.empty()) s += " (" + item.code + ")";
  return s;
}

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Decodes text[from .. to) (offsets into the whole input, for messages).
bool DecodeBase64(std::string_view input, std::size_t from, std::size_t to, TemplateItem& item, ParseError& error) {
  std::uint32_t bits = 0;
  int count = 0, padding = 0;
  std::size_t chars = 0;
  for (std::size_t p = from; p < to; ++p) {
    const char c = input[p];
    if (c == '\r' || c == '\n') {
      if (c == '\n' || p + 1 >= to || input[p + 1] != '\n') {
        error.message = Where(item) + ": a line break must be CR LF; " + Printable(c) + " stands alone at character " +
                        std::to_string(p);
        return false;
      }
      if (chars == 0 || chars % kLineChars != 0) {
        if (item.lineBreaksRegular)
          item.lineBreakNote = "line break after " + std::to_string(chars) + " characters (at character " +
                               std::to_string(p) + "); expected after every 76th";
        item.lineBreaksRegular = false;
      }
      ++p;
      continue;
    }
    if (c == '=') {
      ++padding;
      ++chars;
      if (padding > 2) {
        error.message = Where(item) + ": more than two '=' at character " + std::to_string(p);
        return false;
      }
      continue;
    }
    const int v = Sextet(c);
    if (v < 0) {
      error.message = Where(item) + ": " + Printable(c) + " at character " + std::to_string(p) +
                      " is not a Base64 character";
      return false;
    }
    if (padding > 0) {
      error.message = Where(item) + ": Base64 character after '=' padding at character " + std::to_string(p);
      return false;
    }
    ++chars;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      item.bytes.push_back(static_cast<std::uint8_t>(bits >> count));
    }
  }
  item.base64Chars = chars;
  if (chars % 4 != 0) {
    error.message = Where(item) + ": the Base64 text has " + std::to_string(chars) +
                    " characters, not a multiple of 4 (truncated?)";
    return false;
  }
  if ((padding == 1 && count != 2) || (padding == 2 && count != 4) || (padding == 0 && count != 0)) {
    error.message = Where(item) + ": the Base64 padding does not fit the text's length";
    return false;
  }
  // The text ends in CR LF when its length is a multiple of 76; a copy that lost that
  // last break (a file's final newline trimmed) still reads the same bytes.
  return true;
}

void ReadRecord(TemplateItem& item) {
  RecordFacts& r = item.record;
  ClearFeatureModel(r.model);
  const std::int32_t used = DecodeFeatures(item.bytes.data(), item.bytes.size(), r.model);
  if (used < 0) return;
  r.usedBytes = used;
  r.flags = item.bytes[0];
  r.hasQuality = (r.flags & kFlagExtraByte) != 0;
  double sum = 0, lo = 1, hi = 0;
  for (int i = 0; i < r.model.MinutiaeCount; ++i) {
    const FeatureMinutia& m = r.model.Minutiae[i];
    (m.Type & kMinutiaKindBit ? r.bifurcations : r.endings)++;
    if (r.hasQuality && m.Extra != 255) {
      const double q = m.Extra / 254.0;
      sum += q;
      lo = std::min(lo, q);
      hi = std::max(hi, q);
    }
  }
  if (r.hasQuality && r.model.MinutiaeCount > 0) {
    r.qualityMean = sum / r.model.MinutiaeCount;
    r.qualityMin = lo;
    r.qualityMax = hi;
  }
}

// The record inside the item must be one the engine reads.
bool CheckRecord(TemplateItem& item, ParseError& error) {
  if (item.bytes.empty()) {
    error.message = Where(item) + ": the template is empty";
    return false;
  }
  ReadRecord(item);
  if (item.record.usedBytes == 0) {
    error.message = Where(item) + ": the " + std::to_string(item.bytes.size()) +
                    " bytes are no feature record (its counts or codes run past its end)";
    return false;
  }
  for (int i = 0; i < item.record.model.MinutiaeCount; ++i)
    if (item.record.model.Minutiae[i].Direction >= 240) {
      error.message = Where(item) + ": minutia " + std::to_string(i + 1) + " has direction " +
                      std::to_string(item.record.model.Minutiae[i].Direction) + ", beyond 239 (not this engine's record)";
      return false;
    }
  return true;
}

bool TooLong(std::string_view text, ParseError& error) {
  if (text.size() <= kMaxInputChars) return false;
  error.message = "the string has " + std::to_string(text.size()) + " characters; at most " +
                  std::to_string(kMaxInputChars) + " are read";
  return true;
}

}  // namespace

const char* FingerName(int finger) {
  static const char* const kNames[] = {"",
                                       "Left Thumb",
                                       "Left Forefinger",
                                       "Left Middle Finger",
                                       "Left Ring Finger",
                                       "Left Little Finger",
                                       "Right Thumb",
                                       "Right Forefinger",
                                       "Right Middle Finger",
                                       "Right Ring Finger",
                                       "Right Little Finger"};
  return finger >= 1 && finger <= kFingerCount ? kNames[finger] : "";
}

Parsed ParseEnrollment(std::string_view s) {
  Parsed out;
  if (TooLong(s, out.error)) return out;
  if (s.empty()) {
    out.error.message = "the enrollment string is empty";
    return out;
  }
  std::size_t at = 0;
  while (at < s.size()) {
    TemplateItem item;
    item.entry = static_cast<int>(out.items.size()) + 1;
    item.offset = at;
    const std::string prefix = "entry " + std::to_string(item.entry) + " at character " + std::to_string(at);
    if (s.size() - at < 3 || s[at + 2] != ';') {
      const std::size_t semi = s.find(';', at);
      out.error.message = semi == std::string_view::npos
                              ? prefix + ": truncated, no ';' follows"
                              : prefix + ": a finger code is two characters and ';', found \"" +
                                    std::string(s.substr(at, std::min<std::size_t>(semi - at, 16))) + "\"";
      return out;
    }
    item.code = std::string(s.substr(at, 2));
    for (int f = 1; f <= kFingerCount; ++f)
      if (kFingerCodes[static_cast<std::size_t>(f)] == item.code) item.finger = f;
    if (item.finger == 0) {
      out.error.message = prefix + ": unknown finger code \"" + item.code + "\" (L1..L5, R1..R5)";
      return out;
    }
    std::size_t p = at + 3;
    const std::size_t lengthEnd = s.find(';', p);
    if (lengthEnd == std::string_view::npos) {
      out.error.message = Where(item) + ": truncated after the finger code, the length has no closing ';'";
      return out;
    }
    const std::string_view digits = s.substr(p, lengthEnd - p);
    if (digits.empty()) {
      out.error.message = Where(item) + ": the length at character " + std::to_string(p) + " is empty";
      return out;
    }
    long length = 0;
    for (std::size_t k = 0; k < digits.size(); ++k) {
      if (digits[k] < '0' || digits[k] > '9') {
        out.error.message = Where(item) + ": the length holds " + Printable(digits[k]) + " at character " +
                            std::to_string(p + k) + "; it is decimal digits only";
        return out;
      }
      length = std::min(length * 10 + (digits[k] - '0'), kMaxDeclaredLength + 1);
    }
    if (digits.size() > 1 && digits[0] == '0') {
      out.error.message = Where(item) + ": the length \"" + std::string(digits) + "\" at character " +
                          std::to_string(p) + " has a leading zero";
      return out;
    }
    if (length > kMaxDeclaredLength) {
      out.error.message = Where(item) + ": the declared length " + std::string(digits.substr(0, 12)) +
                          " exceeds the largest feature record (" + std::to_string(kMaxDeclaredLength) + " bytes)";
      return out;
    }
    item.declaredLength = length;
    p = lengthEnd + 1;
    const std::size_t textEnd = s.find(';', p);
    if (textEnd == std::string_view::npos) {
      out.error.message = Where(item) + ": truncated, the Base64 text from character " + std::to_string(p) +
                          " has no closing ';'";
      return out;
    }
    if (!DecodeBase64(s, p, textEnd, item, out.error)) return out;
    if (static_cast<long>(item.bytes.size()) != length) {
      out.error.message = Where(item) + ": declared length " + std::to_string(length) + " but the Base64 text holds " +
                          std::to_string(item.bytes.size()) + " bytes";
      return out;
    }
    if (!CheckRecord(item, out.error)) return out;
    out.items.push_back(std::move(item));
    at = textEnd + 1;
  }
  out.ok = true;
  return out;
}

Parsed ParseVerification(std::string_view s) {
  Parsed out;
  if (TooLong(s, out.error)) return out;
  TemplateItem item;
  const std::size_t semi = s.find(';');
  if (semi != std::string_view::npos) {
    out.error.message = "verification string: ';' at character " + std::to_string(semi) +
                        "; a verification string is Base64 text alone (is this an enrollment string?)";
    return out;
  }
  if (s.empty()) {
    out.error.message = "the verification string is empty";
    return out;
  }
  if (!DecodeBase64(s, 0, s.size(), item, out.error) || !CheckRecord(item, out.error)) return out;
  out.items.push_back(std::move(item));
  out.ok = true;
  return out;
}

Parsed ParseEither(std::string_view text) {
  return text.find(';') != std::string_view::npos ? ParseEnrollment(text) : ParseVerification(text);
}

}  // namespace mivex::tool
