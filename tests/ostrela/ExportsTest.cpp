// The fourteen entry points driven the way the sensor driver drives them: natively
// against the linked library, under Wine through Ostrela.dll loaded by name. Each
// scenario is a fresh library: the environment is set, then the library is loaded
// (natively: the process's sensor is reset).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ImageHash.h"
#include "Impression.h"
#include "MasterCache.h"
#include "Ostrela.h"
#include "PressModel.h"
#include "base/Stdcall.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <ctime>

#include "SensorHost.h"
#endif

namespace mivex::ostrela {
namespace {

using TBoolProc = std::int32_t(MIVEX_STDCALL*)();
using TImageProc = std::int32_t(MIVEX_STDCALL*)(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t*, std::int32_t*);
using TLastImageProc = std::int32_t(MIVEX_STDCALL*)(std::uint8_t*, std::int32_t*, std::int32_t*);
using TIntProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t);
using TIntPtrProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t*);
using TIntIntProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::int32_t);
using TIdPtrProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::int32_t*);

struct TSensorApi {
  TBoolProc OpenSensor = nullptr;
  TBoolProc CloseSensor = nullptr;
  TBoolProc StartImage = nullptr;
  TImageProc GetBinaryImage = nullptr;
  TBoolProc StopImage = nullptr;
  TLastImageProc GetImage = nullptr;
  TBoolProc CheckSensorStatus = nullptr;
  TBoolProc HMFVOpenLib = nullptr;
  TBoolProc HMFVCLoseLib = nullptr;
  TIntProc HMFVStartEnroll = nullptr;
  TIntPtrProc HMFVEnroll = nullptr;
  TIdPtrProc HMFVVerify = nullptr;
  TIntIntProc HMFVSetParas = nullptr;
  TIdPtrProc HMFVGetParas = nullptr;
};

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value);
#else
  if (value != nullptr) setenv(name, value, 1);
  else unsetenv(name);
#endif
}

// The sensor library with a scenario (or none), for the life of the object.
class TSensorLibrary {
 public:
  explicit TSensorLibrary(const char* scenario, const char* scenarioFile = nullptr) {
    SetVariable("OSTRELA_SCENARIO", scenario);
    SetVariable("OSTRELA_SCENARIO_FILE", scenarioFile);
#ifdef _WIN32
    FModule = LoadLibraryA("Ostrela.dll");
    if (FModule == nullptr) return;
#define OSTRELA_ENTRY(slot, name) \
  slot = reinterpret_cast<decltype(slot)>(reinterpret_cast<void*>(GetProcAddress(FModule, #name)))
#else
    ResetSensorHost();
#define OSTRELA_ENTRY(slot, name) slot = &name
#endif
    OSTRELA_ENTRY(Api.OpenSensor, bAPI4_OpenSensor);
    OSTRELA_ENTRY(Api.CloseSensor, bAPI4_CloseSensor);
    OSTRELA_ENTRY(Api.StartImage, bAPI4_StartImage);
    OSTRELA_ENTRY(Api.GetBinaryImage, bAPI4_GetBinaryImage);
    OSTRELA_ENTRY(Api.StopImage, bAPI4_StopImage);
    OSTRELA_ENTRY(Api.GetImage, bAPI4_GetImage);
    OSTRELA_ENTRY(Api.CheckSensorStatus, bAPI4_CheckSensorStatus);
    OSTRELA_ENTRY(Api.HMFVOpenLib, bAPI4_HMFVOpenLib);
    OSTRELA_ENTRY(Api.HMFVCLoseLib, bAPI4_HMFVCLoseLib);
    OSTRELA_ENTRY(Api.HMFVStartEnroll, bAPI4_HMFVStartEnroll);
    OSTRELA_ENTRY(Api.HMFVEnroll, bAPI4_HMFVEnroll);
    OSTRELA_ENTRY(Api.HMFVVerify, bAPI4_HMFVVerify);
    OSTRELA_ENTRY(Api.HMFVSetParas, bAPI4_HMFVSetParas);
    OSTRELA_ENTRY(Api.HMFVGetParas, bAPI4_HMFVGetParas);
#undef OSTRELA_ENTRY
  }
  ~TSensorLibrary() {
#ifdef _WIN32
    if (FModule != nullptr) FreeLibrary(FModule);
#else
    ResetSensorHost();
#endif
    SetVariable("OSTRELA_SCENARIO", nullptr);
    SetVariable("OSTRELA_SCENARIO_FILE", nullptr);
  }
  TSensorLibrary(const TSensorLibrary&) = delete;
  TSensorLibrary& operator=(const TSensorLibrary&) = delete;

  bool Complete() const {
    const void* slots[] = {reinterpret_cast<const void*>(Api.OpenSensor), reinterpret_cast<const void*>(Api.CloseSensor),
                           reinterpret_cast<const void*>(Api.StartImage), reinterpret_cast<const void*>(Api.GetBinaryImage),
                           reinterpret_cast<const void*>(Api.StopImage), reinterpret_cast<const void*>(Api.GetImage),
                           reinterpret_cast<const void*>(Api.CheckSensorStatus), reinterpret_cast<const void*>(Api.HMFVOpenLib),
                           reinterpret_cast<const void*>(Api.HMFVCLoseLib), reinterpret_cast<const void*>(Api.HMFVStartEnroll),
                           reinterpret_cast<const void*>(Api.HMFVEnroll), reinterpret_cast<const void*>(Api.HMFVVerify),
                           reinterpret_cast<const void*>(Api.HMFVSetParas), reinterpret_cast<const void*>(Api.HMFVGetParas)};
    for (const void* s : slots)
      if (s == nullptr) return false;
    return true;
  }

  // One request as the driver makes it: a zeroed area of one image plus a byte,
  // StartImage, then GetBinaryImage with 0 and 500.
  bool Request() {
    Area.assign(256 * 288 + 1, 0);
    Width = 256;
    Height = 288;
    Api.StartImage();
    return (Api.GetBinaryImage(Area.data(), 0, 500, &Width, &Height) & 0xFF) != 0;
  }

  std::int32_t Param(std::int32_t id) {
    std::int32_t v = -99;
    EXPECT_EQ(Api.HMFVGetParas(id, &v), 1);
    return v;
  }

  TSensorApi Api;
  std::vector<std::uint8_t> Area;
  std::int32_t Width = 0;
  std::int32_t Height = 0;

 private:
#ifdef _WIN32
  HMODULE FModule = nullptr;
#endif
};

// CPU time consumed by the calling thread, in microseconds.
std::int64_t ThreadCpuMicros() {
#ifdef _WIN32
  FILETIME created;
  FILETIME exited;
  FILETIME kernel;
  FILETIME user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (ticks(kernel) + ticks(user)) / 10;
#else
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
#endif
}

#ifdef _WIN32
TEST(OstrelaExports, TheLibraryExportsExactlyTheFourteenNames) {
  TSensorLibrary lib(nullptr);
  ASSERT_TRUE(lib.Complete());
  HMODULE module = GetModuleHandleA("Ostrela.dll");
  ASSERT_NE(module, nullptr);
  const auto* base = reinterpret_cast<const std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  EXPECT_EQ(exports->NumberOfNames, 14u);
  EXPECT_EQ(exports->NumberOfFunctions, 14u);
}
#endif

TEST(OstrelaExports, DriverLoopReceivesThePressesOfTheScenario) {
  TSensorLibrary lib("frame-ms 2; gap 2; frames 3; press 4 L3 good x2");
  ASSERT_TRUE(lib.Complete());
  EXPECT_EQ(lib.Api.CheckSensorStatus(), 0);
  ASSERT_EQ(lib.Api.OpenSensor() & 0xFF, 1);
  EXPECT_EQ(lib.Api.CheckSensorStatus(), 1);
  std::string trace;
  std::vector<std::uint64_t> hashes;
  for (int i = 0; i < 14; ++i) {
    const bool image = lib.Request();
    trace += image ? 'F' : '.';
    if (image) {
      EXPECT_EQ(lib.Width, 256);
      EXPECT_EQ(lib.Height, 288);
      EXPECT_EQ(lib.Area[256 * 288], 0);
      hashes.push_back(HashBytes(lib.Area.data(), 256 * 288));
      EXPECT_EQ(lib.Api.CheckSensorStatus(), 2);
      lib.Api.StopImage();
    }
  }
  EXPECT_EQ(trace, "..FFF..FFF....");
  EXPECT_EQ(lib.Param(12), 2);
  EXPECT_EQ(lib.Param(11), 6);
  // The images are the impressions of the scenario's presses, bottom row first.
  TMasterCache cache(1);
  std::vector<std::uint8_t> upright;
  std::vector<std::uint8_t> flipped(256 * 288);
  for (std::size_t n = 0; n < hashes.size(); ++n) {
    const std::int64_t press = static_cast<std::int64_t>(n / 3);
    const std::uint64_t seed = PressSeed(0, press, 4, 3);
    RenderImpression(*cache.Get(4, 3), FrameOfPress(DrawPlacement(seed, TPressKind::pkGood),
                                                    static_cast<std::int32_t>(n % 3), seed), upright);
    for (int y = 0; y < 288; ++y)
      std::memcpy(&flipped[static_cast<std::size_t>(287 - y) * 256], &upright[static_cast<std::size_t>(y) * 256], 256);
    EXPECT_EQ(hashes[n], HashBytes(flipped)) << n;
  }
  // The last image again, without a wait.
  std::vector<std::uint8_t> last(256 * 288);
  std::int32_t w = 256;
  std::int32_t h = 288;
  EXPECT_EQ(lib.Api.GetImage(last.data(), &w, &h), 1);
  EXPECT_EQ(HashBytes(last), hashes.back());
  EXPECT_EQ(lib.Api.CloseSensor(), 1);
  EXPECT_EQ(lib.Api.CheckSensorStatus(), 0);
  EXPECT_FALSE(lib.Request());
}

TEST(OstrelaExports, WithoutScenarioTheDefaultFingerPressesForever) {
  TSensorLibrary lib(nullptr);
  ASSERT_EQ(lib.Api.OpenSensor(), 1);
  ASSERT_EQ(lib.Api.HMFVSetParas(1, 1), 1);
  int images = 0;
  for (int i = 0; i < 40; ++i) images += lib.Request() ? 1 : 0;
  EXPECT_EQ(images, 24);  // four presses of six frames, each after four empty polls
  EXPECT_EQ(lib.Param(14), 1);
  EXPECT_EQ(lib.Param(15), 7);
}

TEST(OstrelaExports, UnpluggedSensorFailsToOpenAndStopsImages) {
  {
    TSensorLibrary lib("frame-ms 1; gap 0; frames 2; unplug 2; press 1 R2; unplug");
    EXPECT_EQ(lib.Api.CheckSensorStatus(), -1);
    EXPECT_EQ(lib.Api.OpenSensor(), 0);
    EXPECT_EQ(lib.Api.OpenSensor(), 0);
    ASSERT_EQ(lib.Api.OpenSensor(), 1);
    EXPECT_TRUE(lib.Request());
    EXPECT_TRUE(lib.Request());
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(lib.Request());
    EXPECT_EQ(lib.Api.CheckSensorStatus(), -1);
    EXPECT_EQ(lib.Api.OpenSensor(), 0);
  }
  {
    // A scenario that cannot be read: the sensor never opens.
    TSensorLibrary lib("press 1 Z9");
    EXPECT_EQ(lib.Api.CheckSensorStatus(), -2);
    EXPECT_EQ(lib.Api.OpenSensor(), 0);
    EXPECT_EQ(lib.Api.HMFVSetParas(1, 1), 1);
    EXPECT_FALSE(lib.Request());
  }
}

TEST(OstrelaExports, ScenarioFromAFile) {
  const std::string path = "ostrela-scenario-test.txt";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("frame-ms 1\r\ngap 0\r\npress 31 R4 poor\r\n", f);
    std::fclose(f);
  }
  {
    TSensorLibrary lib(nullptr, path.c_str());
    ASSERT_EQ(lib.Api.OpenSensor(), 1);
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(14), 31);
    EXPECT_EQ(lib.Param(15), 9);
    EXPECT_EQ(lib.Param(16), 1);
  }
  {
    // The text in the environment wins over the file.
    TSensorLibrary lib("frame-ms 1; gap 0; press 5 L1", path.c_str());
    ASSERT_EQ(lib.Api.OpenSensor(), 1);
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(14), 5);
  }
  std::remove(path.c_str());
  TSensorLibrary missing(nullptr, "no-such-scenario-file.txt");
  EXPECT_EQ(missing.Api.CheckSensorStatus(), -2);
  EXPECT_EQ(missing.Api.OpenSensor(), 0);
}

TEST(OstrelaExports, AChangedScenarioFileIsPlayedFromTheNextFrame) {
  const std::string path = "ostrela-follow-test.txt";
  const auto write = [&](const char* text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  };
  write("frame-ms 1; gap 0; press 3 L2 x1000");
  {
    TSensorLibrary lib(nullptr, path.c_str());
    ASSERT_EQ(lib.Api.OpenSensor(), 1);
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(14), 3);
    EXPECT_EQ(lib.Param(15), 2);
    // Another finger of another subject, with the sensor still open.
    write("frame-ms 1; gap 0; press 8 R5 x1000");
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(14), 8);
    EXPECT_EQ(lib.Param(15), 10);
    // A malformed text leaves the sensor playing what it played.
    write("press 8 Z1");
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(15), 10);
    // Without a finger from now on.
    write("frame-ms 1; none");
    EXPECT_FALSE(lib.Request());
    EXPECT_EQ(lib.Api.CheckSensorStatus(), 1);
  }
  std::remove(path.c_str());
}

TEST(OstrelaExports, ImagesNamedByAScenarioFileAreReadFromItsFolder) {
  const std::string folder = "ostrela-image-scenario";
  const std::string path = folder + "/scenario.txt";
  std::filesystem::create_directories(folder);
  const auto write = [](const std::string& name, const std::string& text) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  };
  // A 256 x 288 print whose rows are the row number: every row is told apart.
  std::string pgm = "P5 256 288 255\n";
  for (int y = 0; y < 288; ++y) pgm += std::string(256, static_cast<char>(y % 251));
  write(folder + "/print.pgm", pgm);
  write(path, "frame-ms 1; gap 0; image print.pgm x1000");
  {
    TSensorLibrary lib(nullptr, path.c_str());
    ASSERT_EQ(lib.Api.OpenSensor(), 1);
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(17), 0);
    EXPECT_EQ(lib.Param(15), 0);
    // Bottom row first, as the sensor scans.
    EXPECT_EQ(lib.Area[0], 287 % 251);
    EXPECT_EQ(lib.Area[static_cast<std::size_t>(287) * 256], 0);
    // A file naming an image that cannot be read leaves the sensor playing what it played.
    write(path, "frame-ms 1; gap 0; image missing.png");
    ASSERT_TRUE(lib.Request());
    EXPECT_EQ(lib.Param(17), 0);
  }
  {
    TSensorLibrary broken(nullptr, path.c_str());
    EXPECT_EQ(broken.Api.CheckSensorStatus(), -2);
    EXPECT_EQ(broken.Api.OpenSensor(), 0);
  }
  std::filesystem::remove_all(folder);
}

TEST(OstrelaExports, SensorSideMatcherThroughTheEntryPoints) {
  TSensorLibrary lib("frame-ms 1; gap 0; frames 1; press 8 L2 x3; press 8 L2; press 2 L2");
  ASSERT_EQ(lib.Api.OpenSensor(), 1);
  ASSERT_EQ(lib.Api.HMFVOpenLib(), 1);
  ASSERT_EQ(lib.Api.HMFVStartEnroll(2), 1);
  std::int32_t progress = 0;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(lib.Api.HMFVEnroll(&progress), 1);
    EXPECT_EQ(progress, i);
  }
  std::int32_t matched = -1;
  EXPECT_EQ(lib.Api.HMFVVerify(2, &matched), 1);
  EXPECT_EQ(matched, 1);
  EXPECT_EQ(lib.Api.HMFVVerify(2, &matched), 1);
  EXPECT_EQ(matched, 0);
  EXPECT_EQ(lib.Api.HMFVEnroll(nullptr), 0);
  EXPECT_EQ(lib.Api.HMFVGetParas(1, nullptr), 0);
  EXPECT_EQ(lib.Api.HMFVCLoseLib(), 1);
}

TEST(OstrelaExports, PollingWithoutAFingerCostsUnderOnePercentOfACore) {
  // The default frame time; the driver polls without pause while no finger lies on it.
  TSensorLibrary lib("none");
  ASSERT_EQ(lib.Api.OpenSensor(), 1);
  const std::int32_t frameMs = lib.Param(1);
  ASSERT_GE(frameMs, 20);
  // The sensor's own cost is the least a batch of polls takes: page faults and wake-ups
  // that the machine charges to the thread while it sleeps only ever add to it.
  constexpr int kBatches = 4, kPolls = 40;
  std::int64_t least = INT64_MAX;
  for (int batch = 0; batch < kBatches; ++batch) {
    const std::int64_t before = ThreadCpuMicros();
    for (int i = 0; i < kPolls; ++i) ASSERT_FALSE(lib.Request());
    least = std::min(least, ThreadCpuMicros() - before);
  }
  // One percent of the time the polls block: 40 frames of 50 ms give 20 ms.
  const std::int64_t budget = std::int64_t{kPolls} * frameMs * 1000 / 100;
  std::printf("CPU for %d polls without finger: at least %lld us (budget %lld us)\n", kPolls,
              static_cast<long long>(least), static_cast<long long>(budget));
  EXPECT_LT(least, budget);
  EXPECT_EQ(lib.Param(10), kBatches * kPolls);
}

}  // namespace
}  // namespace mivex::ostrela
