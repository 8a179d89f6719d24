// The sensor driver of the library with the real stand-ins beside it: Ostrela.dll feeds
// synthetic presses, Vandrel.dll extracts and matches them. An enrollment of one finger
// completes, its later presses verify against it, and another finger does not.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/win/MessagePump.h"
#include "capture/KV310.h"
#include "capture/Log.h"
#include "capture/VFBase.h"
#include "capture/VFEngine.h"

namespace {

using namespace mivex;

// Subject 21's right thumb for six presses, then subject 22's left ring finger.
constexpr const char* kScenario = "frame-ms 5; gap 2; frames 4; press 21 R1 good x6; press 22 L4 good x20";

using TGetParas = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::int32_t*);

bool WaitIdle(TFPBase& device) {
  const ULONGLONG start = ::GetTickCount64();
  while (device.Busy()) {
    if (::GetTickCount64() - start > 60000) return false;
    win::SleepPumping(5);
  }
  return true;
}

TEST(OstrelaWithDriver, EnrolsAndVerifiesSyntheticPresses) {
  ::SetEnvironmentVariableA("OSTRELA_SCENARIO", kScenario);
  ASSERT_TRUE(LoadEngineLibrary());
  ASSERT_TRUE(LoadSensorLibrary());
  StartEnrollmentEngine();
  const auto getParas =
      reinterpret_cast<TGetParas>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("Ostrela.dll"), "bAPI4_HMFVGetParas")));
  ASSERT_NE(getParas, nullptr);
  const auto subjectOnSensor = [getParas] {
    std::int32_t subject = -1;
    getParas(14, &subject);
    return subject;
  };

  std::unique_ptr<TKV310> device = CreateSensorDevice();
  std::atomic<int> done{0};
  std::atomic<int> errors{0};
  std::atomic<int> lastScore{-1};
  std::atomic<int> progress{0};
  device->OnDone = [&](TObject*, const std::uint8_t*) { ++done; };
  device->OnError = [&](TObject*, std::int32_t) { ++errors; };
  device->onVerify = [&](TObject*, std::int32_t score) { lastScore = score; };
  device->OnEnrollProgress = [&](TObject*, std::int32_t position, std::int32_t) { progress = position; };
  ASSERT_TRUE(device->Open());

  device->SetOperation(FT_OPERATION::ftEnroll);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  ASSERT_EQ(done.load(), 1);
  EXPECT_EQ(errors.load(), 0);
  EXPECT_EQ(progress.load(), 3);
  EXPECT_GT(device->TemplateSize(), 0);
  EXPECT_EQ(subjectOnSensor(), 21);

  // Each verification matches a new sample against the one before it (the enrollment
  // template first): while subject 21 presses, they are the same finger.
  std::vector<int> genuine;
  int impostor = -1;
  for (int i = 0; i < 40 && impostor < 0; ++i) {
    lastScore = -1;
    device->SetOperation(FT_OPERATION::ftVerify);
    device->Start();
    ASSERT_TRUE(WaitIdle(*device));
    if (subjectOnSensor() == 21) genuine.push_back(lastScore.load());
    else impostor = lastScore.load();
  }
  std::printf("genuine scores:");
  for (int s : genuine) std::printf(" %d", s);
  std::printf("; first impostor score: %d\n", impostor);
  ASSERT_GE(genuine.size(), 3u);
  int matched = 0;
  for (int s : genuine) matched += s >= 47 ? 1 : 0;
  EXPECT_GE(matched * 10, static_cast<int>(genuine.size()) * 8);
  EXPECT_GE(impostor, 0);
  EXPECT_LT(impostor, 47);

  device->Close();
  device.reset();
  StopEnrollmentEngine();
  FreeSensorLibrary();
  FreeEngineLibrary();
}

}  // namespace
