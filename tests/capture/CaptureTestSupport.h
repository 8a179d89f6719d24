#pragma once
// Shared pieces of the capture device tests under Wine: library start-up, the script
// functions of the test engine and sensor, a thread-safe event recorder, log capture,
// resource counts, and child test processes.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/win/MessagePump.h"
#include "capture/ImageConvert.h"
#include "capture/KV310.h"
#include "capture/Log.h"
#include "capture/VFBase.h"

namespace capture_test {

// Script and observation functions of the test engine and sensor, found in the loaded
// libraries (null when a library is absent).
struct Fakes {
  void (*FV_Reset)();
  void (*FV_SetMatch)(std::int32_t, std::int32_t, std::int32_t, std::int32_t);
  void (*FV_QueueGeneralizeResult)(std::int32_t);
  std::int32_t (*FV_GeneralizeCalls)();
  BOOL (*FV_GeneralizeTags)(std::int32_t, std::int32_t*);
  std::int32_t (*FV_VerifyCalls)();
  BOOL (*FV_VerifyPair)(std::int32_t, std::int32_t*, std::int32_t*);
  std::int32_t (*FV_ExtractCalls)();
  std::int32_t (*FV_LiveContexts)();
  std::int32_t (*FV_InitializeCalls)();
  std::int32_t (*FV_Parameter)(std::int32_t);
  void (*FO_Reset)();
  void (*FO_SetOpenResult)(BOOL);
  void (*FO_QueueFrame)(std::int32_t, std::int32_t, std::int32_t);
  void (*FO_QueueSizedFrame)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
  std::int32_t (*FO_PendingFrames)();
  std::int32_t (*FO_Count)(std::int32_t);
};

enum SensorCount { kOpenCalls = 0, kCloseCalls = 1, kStartImageCalls = 2, kStopImageCalls = 3, kImageRequests = 4 };

// Runs the library's start-up steps once per process (as the library's start sequence
// does) and returns the script functions.
const Fakes& Start();

// Collects every log line while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::vector<std::string> Lines() const;
  bool Contains(const std::string& text) const;
  int CountStartingWith(const std::string& prefix) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Records a device's events in order, as short texts ("status:7", "quality:60", "done",
// "error:-1", "progress:1/3", "verify:77", "sample:256x288", "ready"), from any thread.
class EventRecorder {
 public:
  explicit EventRecorder(mivex::TVFBase& device);
  std::vector<std::string> Events() const;
  int Count(const std::string& event) const;
  std::string Joined() const;
  void Clear();
  void Add(const std::string& event);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

// Pumps the calling thread's messages until `done` or the timeout; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 20000);
// Waits until the device has finished its operation.
bool WaitIdle(mivex::TFPBase& device, DWORD timeout_ms = 20000);

int ThreadCount();
DWORD HandleCount();
bool AtomExists(const char* name);

// Runs this test program again as a child with MIVEX_CAPTURE_CHILD=role, running only
// ChildRole.DISABLED_Run. Returns its exit code (or -1).
HANDLE SpawnChild(const std::string& role);
int WaitChild(HANDLE process, DWORD timeout_ms = 60000);

}  // namespace capture_test
