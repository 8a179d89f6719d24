// One seed, one image: the masters and impressions listed in the test data must come
// out bit for bit the same in every build (native, Windows, 32 and 64 bits). The
// expected hashes were taken from `ostrela_view --hashes`.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ImageHash.h"
#include "Impression.h"
#include "MasterCache.h"
#include "PressModel.h"
#include "Scenario.h"

namespace mivex::ostrela {
namespace {

std::string Hex(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

TPressKind KindOf(const std::string& word) {
  if (word == "poor") return TPressKind::pkPoor;
  if (word == "light") return TPressKind::pkLight;
  return TPressKind::pkGood;
}

TEST(Determinism, ImagesMatchTheRecordedHashes) {
  std::ifstream file(MIVEX_TEST_DATA_DIR "/ostrela/hashes.txt");
  ASSERT_TRUE(file) << "missing " MIVEX_TEST_DATA_DIR "/ostrela/hashes.txt";
  TMasterCache cache(1);
  std::vector<std::uint8_t> image;
  int masters = 0;
  int impressions = 0;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string what;
    std::uint32_t subject = 0;
    std::int32_t finger = 0;
    in >> what >> subject >> finger;
    const auto master = cache.Get(subject, finger);
    if (what == "master") {
      std::string expected;
      in >> expected;
      std::vector<std::uint8_t> bytes(master->Ridges.begin(), master->Ridges.end());
      bytes.insert(bytes.end(), master->Skin.begin(), master->Skin.end());
      EXPECT_EQ(Hex(HashBytes(bytes)), expected) << line;
      ++masters;
    } else {
      std::string kind;
      std::string expected;
      std::int64_t press = 0;
      std::int32_t frame = 0;
      in >> kind >> press >> frame >> expected;
      const std::uint64_t seed = PressSeed(0, press, subject, finger);
      RenderImpression(*master, FrameOfPress(DrawPlacement(seed, KindOf(kind)), frame, seed), image);
      EXPECT_EQ(Hex(HashBytes(image)), expected) << line;
      ++impressions;
    }
  }
  EXPECT_GE(masters, 5);
  EXPECT_GE(impressions, 20);
}

}  // namespace
}  // namespace mivex::ostrela
