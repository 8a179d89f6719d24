// The finger texts a host passes in: selectable fingers, the enrolled-finger list and the
// preset order. Every reading must name only fingers 1..10 and agree with the codes the
// text really holds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "workflow/Fingers.h"

namespace {

// The finger a two-character code names, by the code table alone.
int ReferenceIndex(std::string_view code) {
  if (code.size() != 2 || code[1] < '1' || code[1] > '5') return 0;
  if (code[0] == 'L') return code[1] - '0';
  if (code[0] == 'R') return code[1] - '0' + 5;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const TValidFingers set = FingerSetFromText(text);
  if ((set & ~kAllFingers) != 0) std::abort();
  if (text.empty() && set != kAllFingers) std::abort();
  for (int k = 1; k <= kFingerCount; ++k) {
    const bool found = text.find(FingerCode(k)) != std::string_view::npos;
    if (!text.empty() && found != ((set & FingerBit(k)) != 0)) std::abort();
  }

  // The preset order is taken two characters at a time.
  for (std::size_t at = 0; at < size; at += 2) {
    const std::string_view code = text.substr(at, 2);
    const int index = FingerIndexOfCode(code);
    if (index != ReferenceIndex(code)) std::abort();
    if (index != 0 && FingerCode(index) != code) std::abort();
  }

  TFingers fingers(nullptr);
  TWasEnrolled was{};
  was.fill(true);
  const TEnrolledListResult result = ReadEnrolledFingers(text, fingers, was);
  if (was[0]) std::abort();
  // The fingers marked are exactly those of the well-formed codes before the first bad one.
  TWasEnrolled expected{};
  bool malformed = false;
  if (!text.empty() && size % 2 == 0) {
    for (std::size_t at = 0; at < size && !malformed; at += 2) {
      const int index = ReferenceIndex(text.substr(at, 2));
      if (index == 0)
        malformed = true;
      else
        expected[static_cast<std::size_t>(index)] = true;
    }
    if ((result == TEnrolledListResult::kMalformed) != malformed) std::abort();
    if (!malformed && result != TEnrolledListResult::kRead) std::abort();
  } else if (result != TEnrolledListResult::kIgnored) {
    std::abort();
  }
  for (int k = 1; k <= kFingerCount; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const bool enrolled = fingers.Item(k)->State == TFingerState::fgEnrolled;
    if (was[i] != expected[i] || enrolled != expected[i]) std::abort();
  }
  return 0;
}
