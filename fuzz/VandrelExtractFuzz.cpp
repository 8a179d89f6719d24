// Arbitrary image sizes and contents handed to extraction: a score or an error code,
// and a record that decodes.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Engine.h"
#include "capture/FeatureCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex::vandrel;
  if (size < 4) return 0;
  EngineInitialize();
  // Sizes around the accepted range (120..280 a side keeps runs fast); the rest of the
  // input tiles the image.
  const int width = 120 + data[0] % 160, height = 120 + data[1] % 160;
  const int resolution = data[2] & 1 ? 500 : 400 + data[3];
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = size > 4 ? data[4 + i % (size - 4)] : 0;
  std::vector<std::uint8_t> record(10000);
  std::int32_t length = 0;
  const std::int32_t score = ExtractRecord(width, height, image.data(), resolution, record.data(), &length, 0);
  if (score >= 0) {
    mivex::FeatureModel model;
    if (mivex::DecodeFeatures(record.data(), record.size(), model) != length) std::abort();
  }
  return 0;
}
