// Arbitrary bytes as feature records handed to verification and generalization: the
// engine must answer with a score or a negative code, never read outside the records'
// 10000-byte buffers.
#include <algorithm>
#include <cstring>
#include <vector>

#include "Engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mivex::vandrel;
  EngineInitialize();
  // The input is split into up to three records, each in its own buffer.
  std::vector<std::uint8_t> records[3];
  const std::size_t part = size / 3 + 1;
  for (int i = 0; i < 3; ++i) {
    records[i].assign(10000, 0);
    const std::size_t from = std::min(size, part * static_cast<std::size_t>(i));
    const std::size_t n = std::min({part, size - from, records[i].size()});
    std::memcpy(records[i].data(), data + from, n);
  }
  std::int32_t details[5] = {20};
  VerifyRecords(records[0].data(), records[1].data(), details, 0);
  VerifyRecords(records[2].data(), records[0].data(), details, 0);
  const std::uint8_t* three[3] = {records[0].data(), records[1].data(), records[2].data()};
  std::vector<std::uint8_t> out(10000);
  std::int32_t length = 0;
  GeneralizeRecords(3, three, out.data(), &length, 0);
  return 0;
}
