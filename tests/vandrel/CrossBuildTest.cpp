// One engine, one answer: for the same sensor images every build (native, Windows 32
// and 64 bits, through Vandrel.dll) must write the same records and give the same
// scores. The native run writes what it computed to a file that the Windows runs of
// the same test session compare with line by line, as do the native builds that run
// the portable code alone or the emulated 512-bit kernels. The simulated sensor's
// images are themselves the same bit for bit in every build (see the sensor's
// determinism test), so any difference is the engine's: excess precision, another
// maths library, a vector kernel that rounds otherwise.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ImageHash.h"
#include "Impression.h"
#include "MasterCache.h"
#include "OstrelaParams.h"
#include "PressModel.h"
#include "VandrelApi.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {
namespace {

constexpr std::int32_t kFeatureSelection = 110;
constexpr std::int32_t kQualityBytes = 11000;
constexpr std::int32_t kRecordBuffer = 10000;

struct Press {
  std::uint32_t subject;
  std::int32_t finger;
  ostrela::TPressKind kind;
  std::int64_t press;
};

std::string Hex(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

// Presses of a few fingers of a few people: good ones to generalize and match,
// poor and light ones for the extraction's harder paths.
std::vector<Press> Presses() {
  std::vector<Press> presses;
  for (std::uint32_t subject = 1; subject <= 4; ++subject)
    for (std::int32_t finger : {2, 7})
      for (std::int64_t press = 0; press < 4; ++press)
        presses.push_back({subject, finger, press == 3 ? ostrela::TPressKind::pkPoor : ostrela::TPressKind::pkGood, press});
  presses.push_back({5, 1, ostrela::TPressKind::pkLight, 0});
  presses.push_back({6, 10, ostrela::TPressKind::pkLight, 1});
  return presses;
}

// Every result of the engine for the presses, one line each: extraction score and
// record, the record as the library stores it, all comparisons, and the
// generalization of each finger's first three presses.
std::vector<std::string> EngineResults() {
  VandrelApi api;
  EXPECT_TRUE(api.Load());
  EXPECT_EQ(api.Initialize(), 0);
  const std::intptr_t context = api.CreateContext();
  api.SetParameter(kFeatureSelection, 1, context);
  api.SetParameter(kQualityBytes, 1, context);

  std::vector<std::string> lines;
  std::vector<std::vector<std::uint8_t>> records;
  ostrela::TMasterCache masters(1);
  std::vector<std::uint8_t> image;
  for (const Press& p : Presses()) {
    const auto master = masters.Get(p.subject, p.finger);
    const std::uint64_t seed = ostrela::PressSeed(0, p.press, p.subject, p.finger);
    ostrela::RenderImpression(*master, ostrela::FrameOfPress(ostrela::DrawPlacement(seed, p.kind), 0, seed), image);
    std::vector<std::uint8_t> record(kRecordBuffer, 0);
    std::int32_t length = 0;
    const std::int32_t quality = api.Extract(ostrela::params::kImageWidth, ostrela::params::kImageHeight, image.data(), 500,
                                             record.data(), &length, context);
    std::ostringstream line;
    line << "extract " << p.subject << ' ' << p.finger << ' ' << p.press << " image " << Hex(ostrela::HashBytes(image))
         << " quality " << quality << " length " << length << " record "
         << Hex(ostrela::HashBytes(record.data(), static_cast<std::size_t>(std::max(length, 0))));
    std::int32_t minutiae = 0;
    const std::int32_t stored = quality < 0 ? -1 : RepackFeatures(record.data(), record.size(), record.size(), minutiae);
    line << " stored " << stored << ' ' << minutiae;
    lines.push_back(line.str());
    records.push_back(std::move(record));
  }
  for (std::size_t i = 0; i < records.size(); ++i)
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      std::int32_t details[5] = {20, 0, 0, 0, 0};
      const std::int32_t rc = api.Verify(records[i].data(), records[j].data(), details, context);
      std::ostringstream line;
      line << "verify " << i << ' ' << j << " rc " << rc << " score " << details[1];
      lines.push_back(line.str());
    }
  // Presses 0..2 of each finger sit at indexes 4k .. 4k+2.
  for (std::size_t first = 0; first + 3 <= records.size() - 2; first += 4) {
    const std::uint8_t* three[3] = {records[first].data(), records[first + 1].data(), records[first + 2].data()};
    std::vector<std::uint8_t> out(kRecordBuffer, 0);
    std::int32_t length = 0;
    const std::int32_t rc = api.Generalize(3, three, out.data(), &length, context);
    std::ostringstream line;
    line << "generalize " << first << " rc " << rc << " length " << length << " record "
         << Hex(ostrela::HashBytes(out.data(), static_cast<std::size_t>(std::max(length, 0))));
    lines.push_back(line.str());
  }
  api.FreeContext(context);
  api.Finalize();
  return lines;
}

#if defined(_WIN32) || defined(MIVEX_COMPARE_WITH_NATIVE)
TEST(VandrelCrossBuild, ResultsEqualTheNativeBuilds) {
  std::ifstream file(MIVEX_ENGINE_DIGEST);
  if (!file) GTEST_SKIP() << "no native results at " MIVEX_ENGINE_DIGEST " (the native tree runs first)";
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) expected.push_back(line);
  const std::vector<std::string> actual = EngineResults();
  ASSERT_EQ(actual.size(), expected.size());
  int differences = 0;
  for (std::size_t i = 0; i < actual.size(); ++i)
    if (actual[i] != expected[i] && ++differences <= 10) ADD_FAILURE() << "native: " << expected[i] << "\nhere:   " << actual[i];
  EXPECT_EQ(differences, 0) << sizeof(void*) * 8 << "-bit build";
}
#else
TEST(VandrelCrossBuild, NativeResultsAreWrittenForTheWindowsBuilds) {
  const std::vector<std::string> lines = EngineResults();
  ASSERT_FALSE(lines.empty());
  // The presses must give the engine real work: most extract and some match.
  int extracted = 0;
  for (const std::string& l : lines) extracted += l.rfind("extract", 0) == 0 && l.find("quality -") == std::string::npos;
  EXPECT_GE(extracted, 30);
  std::ofstream file(MIVEX_ENGINE_DIGEST, std::ios::trunc);
  for (const std::string& l : lines) file << l << '\n';
  ASSERT_TRUE(file.good()) << MIVEX_ENGINE_DIGEST;
}
#endif

}  // namespace
}  // namespace mivex::vandrel
