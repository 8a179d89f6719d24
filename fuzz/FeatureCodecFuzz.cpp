// Arbitrary bytes as a feature record: decoding and in-place re-encoding must stay
// inside the buffer, and a re-encoded record must re-encode to itself.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/FeatureCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex;
  FeatureModel model;
  std::vector<std::uint8_t> exact(data, data + size);
  const std::int32_t decoded = DecodeFeatures(exact.data(), exact.size(), model);
  if (decoded > static_cast<std::int32_t>(size)) std::abort();

  std::int32_t count = 0, singular = 0;
  RepackFeatures(exact.data(), exact.size(), exact.size(), count, &singular);

  std::vector<std::uint8_t> roomy(data, data + size);
  roomy.resize(size + kMaxEncodedFeatures);
  const std::int32_t first = RepackFeatures(roomy.data(), size, roomy.size(), count, &singular);
  if (first > 0 && singular > 0) {
    const std::vector<std::uint8_t> once(roomy.begin(), roomy.begin() + first);
    std::int32_t again = 0;
    const std::int32_t second = RepackFeatures(roomy.data(), roomy.size(), roomy.size(), again);
    if (second != first || again != count || std::memcmp(once.data(), roomy.data(), once.size()) != 0) std::abort();
  }
  return 0;
}
