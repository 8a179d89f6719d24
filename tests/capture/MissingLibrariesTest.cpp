// A process in which the engine library (MIVEX_MISSING_ENGINE) or the sensor library
// (MIVEX_MISSING_SENSOR) cannot be found: devices are still built, opening fails
// quietly, and nothing runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "CaptureTestSupport.h"
#include "capture/CaptureParams.h"

using namespace mivex;
using namespace capture_test;

namespace {

// Only this program's own folder may supply the libraries (not the current directory).
void SearchOwnFolderOnly() {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  dir.erase(dir.find_last_of(L"\\/"));
  ::SetDllDirectoryW(dir.c_str());
}

class ExposedSensor : public TKV310 {
 public:
  using TKV310::TKV310;
  ~ExposedSensor() override { ShutDown(); }
  bool RequestImage(std::uint8_t* buffer) { return GetImage(buffer); }
};

}  // namespace

TEST(MissingLibrary, DevicesStayClosedQuietly) {
  SearchOwnFolderOnly();
#ifdef MIVEX_MISSING_ENGINE
  EXPECT_FALSE(LoadEngineLibrary());
  EXPECT_TRUE(LoadSensorLibrary());
#else
  EXPECT_TRUE(LoadEngineLibrary());
  EXPECT_FALSE(LoadSensorLibrary());
#endif
  EXPECT_NO_THROW(StartEnrollmentEngine());
  StartLog();
  const int threads = ThreadCount();
  {
    LogCapture log;
    ExposedSensor device(nullptr);
    device.SetMinMinutiaeCount(14);
    EventRecorder events(device);
    EXPECT_FALSE(device.Open());
    EXPECT_FALSE(device.IsOpened());
    EXPECT_FALSE(AtomExists("FPKV310"));
    device.Start();
    EXPECT_FALSE(device.Busy());
    EXPECT_LE(ThreadCount(), threads);
    EXPECT_EQ(events.Joined(), "");
#ifdef MIVEX_MISSING_ENGINE
    EXPECT_EQ(device.Context(), 0);
    // The sensor is never touched without the engine.
    auto open_calls = reinterpret_cast<std::int32_t (*)(std::int32_t)>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"Ostrela.dll"), "FO_Count")));
    ASSERT_NE(open_calls, nullptr);
    EXPECT_EQ(open_calls(kOpenCalls), 0);
    // Calls through missing entry points raise; so do the setters that need the engine.
    std::int32_t output = 0;
    EXPECT_THROW(VFExtract(1, 1, nullptr, 500, nullptr, &output, 0), std::runtime_error);
    EXPECT_THROW(device.SetSecurityLevel(TSecurityLevel::fsLevelB), std::runtime_error);
#else
    EXPECT_NE(device.Context(), 0);
    std::vector<std::uint8_t> image(capture_params::kImageBytes);
    EXPECT_FALSE(device.RequestImage(image.data()));
#endif
    EXPECT_TRUE(log.Lines().empty());
  }
  EXPECT_NO_THROW(StopEnrollmentEngine());
  FreeSensorLibrary();
  FreeEngineLibrary();
  StopLog();
}
