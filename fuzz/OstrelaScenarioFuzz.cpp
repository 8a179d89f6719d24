// The simulated sensor reads its scenario from the environment or a file, and the image
// files the scenario names: any text must parse or be refused with a message, a parsed
// scenario must run without fault, and any bytes given as an image file must decode or
// be refused with a message.
#include <cstddef>
#include <cstdint>
#include <string>

#include "GreyImageFile.h"
#include "PressModel.h"
#include "Scenario.h"

namespace {

void FuzzScenario(const std::string& text) {
  using namespace mivex::ostrela;
  TScenario scenario;
  std::string error;
  if (!ParseScenario(text, scenario, error)) {
    if (error.empty()) __builtin_trap();
    return;
  }
  // Image steps stay unloaded here (no files are touched): they must play no finger.
  for (const std::string& name : {std::string("101_1.png"), std::string("a")})
    for (const TScenarioStep& step : scenario.Steps)
      if (step.Kind == TStepKind::skImage && step.Folder) NameMatches(name, step.Pattern);
  TPressModel model(scenario);
  for (int i = 0; i < 256; ++i) {
    model.TryOpen();
    const TPollResult r = model.Poll();
    if (r.State == TPollState::psFinger && (r.Finger < 1 || r.Finger > 10 || r.Frame < 0 || r.Press < 0))
      __builtin_trap();
  }
}

void FuzzImage(const std::uint8_t* data, std::size_t size) {
  using namespace mivex::ostrela;
  TGreyImage image;
  std::string error;
  if (!DecodeGreyImage(data, size, image, error)) {
    if (error.empty()) __builtin_trap();
    return;
  }
  if (image.Pixels.size() != static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height))
    __builtin_trap();
  FitToSensor(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzScenario(std::string(reinterpret_cast<const char*>(data), size));
  FuzzImage(data, size);
  return 0;
}
