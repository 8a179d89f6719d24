// Arbitrary text as mivex-tool's input: a template string (enrollment or verification)
// and a gallery CSV. Parsing must stay inside the text, every accepted template must
// hold the bytes its entry declares, and a failure must carry a message.
#include <cstdlib>
#include <sstream>
#include <string>

#include "TemplateInput.h"
#include "Tool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex::tool;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const Parsed& parsed : {ParseEnrollment(text), ParseVerification(text)}) {
    if (parsed.ok && !parsed.error.message.empty()) std::abort();
    if (!parsed.ok && parsed.error.message.empty()) std::abort();
    for (const TemplateItem& item : parsed.items) {
      if (item.entry > 0 && static_cast<long>(item.bytes.size()) != item.declaredLength) std::abort();
      if (item.record.usedBytes <= 0 || static_cast<std::size_t>(item.record.usedBytes) > item.bytes.size()) std::abort();
    }
  }
  // The same text as an inspection (message or report, never a crash); text naming a
  // file after '@' would read that file, which is not this target's input.
  if (!text.empty() && text[0] == '@') return 0;
  std::ostringstream out, err;
  const int code = RunTool({"inspect", text, "--json"}, out, err);
  if (code != kExitOk && err.str().empty()) std::abort();
  return 0;
}
