// The simulated sensor reads its scenario from the environment or a file: any text must
// parse or be refused with a message, and a parsed scenario must run without fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PressModel.h"
#include "Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex::ostrela;
  const std::string text(reinterpret_cast<const char*>(data), size);
  TScenario scenario;
  std::string error;
  if (!ParseScenario(text, scenario, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  TPressModel model(scenario);
  for (int i = 0; i < 256; ++i) {
    model.TryOpen();
    const TPollResult r = model.Poll();
    if (r.State == TPollState::psFinger && (r.Finger < 1 || r.Finger > 10 || r.Frame < 0 || r.Press < 0))
      __builtin_trap();
  }
  return 0;
}
