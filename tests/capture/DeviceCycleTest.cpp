// The device's life cycle under Wine with the test engine and sensor: opening under the
// cross-process marker, the worker hand-over, closing during an operation, drawing on
// the window's thread, and what a hundred cycles leave behind.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "CaptureTestSupport.h"
#include "base/win/Form.h"
#include "base/win/Handles.h"

using namespace mivex;
using namespace capture_test;

namespace {

class DeviceCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    f = &Start();
    f->FV_Reset();
    f->FO_Reset();
    ASSERT_FALSE(AtomExists("FPKV310"));
  }
  void TearDown() override { EXPECT_FALSE(AtomExists("FPKV310")); }

  // Starts an operation that waits for a finger (none is queued).
  void StartWaiting(TVFBase& device, EventRecorder& events) {
    device.Start();
    ASSERT_TRUE(PumpUntil([&] { return events.Count("status:3") > 0; }));
    ASSERT_TRUE(device.Busy());
  }

  const Fakes* f = nullptr;
};

}  // namespace

TEST_F(DeviceCycle, OpenMarksTheSensorAndCloseReleasesIt) {
  auto device = CreateSensorDevice();
  EventRecorder events(*device);
  ASSERT_TRUE(device->Open());
  EXPECT_EQ(events.Joined(), "ready status:1");
  EXPECT_TRUE(AtomExists("FPKV310"));
  EXPECT_TRUE(device->Open());  // already open
  EXPECT_EQ(f->FO_Count(kOpenCalls), 1);

  // A second device of this process meets the marker, and its Close leaves the first
  // device's marker alone.
  auto second = CreateSensorDevice();
  EXPECT_FALSE(second->Open());
  second->Close();
  EXPECT_TRUE(AtomExists("FPKV310"));

  device->Close();
  EXPECT_FALSE(AtomExists("FPKV310"));
  EXPECT_FALSE(device->IsOpened());
  EXPECT_EQ(f->FO_Count(kCloseCalls), 1);
  EXPECT_EQ(events.Joined(), "ready status:1 status:2");
  EXPECT_TRUE(second->Open());
  second->Close();
}

TEST_F(DeviceCycle, SensorThatRefusesToOpenLeavesNoMarkAndStartDoesNothing) {
  f->FO_SetOpenResult(FALSE);
  auto device = CreateSensorDevice();
  EventRecorder events(*device);
  EXPECT_FALSE(device->Open());
  EXPECT_FALSE(AtomExists("FPKV310"));
  const int threads = ThreadCount();
  device->Start();
  EXPECT_FALSE(device->Busy());
  // A worker, once started, would wait for runs and never end; a thread of an earlier
  // test, or one the platform starts for a moment, does end.
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threads; }));
  EXPECT_EQ(f->FO_Count(kOpenCalls), 2);
  EXPECT_EQ(events.Joined(), "");
}

TEST_F(DeviceCycle, StartOnAClosedDeviceOpensItFirst) {
  auto device = CreateSensorDevice();
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  EventRecorder events(*device);
  f->FO_QueueFrame(60, 30, 5);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  EXPECT_TRUE(device->IsOpened());
  EXPECT_EQ(events.Joined(), "ready status:1 status:7 status:3 status:4 quality:90 sample:256x288 done status:8");
  device->Close();
}

TEST_F(DeviceCycle, StartWhileBusyIsIgnoredAndEachStartRunsOnce) {
  auto device = CreateSensorDevice();
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  EventRecorder events(*device);
  StartWaiting(*device, events);
  device->Start();
  device->Start();
  f->FO_QueueFrame(60, 30, 1);
  ASSERT_TRUE(WaitIdle(*device));
  // Had a Start been queued, a second run would now be waiting for a finger.
  ::Sleep(300);
  EXPECT_FALSE(device->Busy());
  EXPECT_EQ(events.Count("status:7"), 1);
  EXPECT_EQ(events.Count("done"), 1);

  // The next Start after the run gets its own run, at once.
  f->FO_QueueFrame(60, 30, 2);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  EXPECT_EQ(events.Count("status:7"), 2);
  EXPECT_EQ(events.Count("done"), 2);
  device->Close();
}

TEST_F(DeviceCycle, StartRightAfterARunEndsIsNeverLost) {
  // A run handed over while the worker is still leaving the previous one must run.
  auto device = CreateSensorDevice();
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  EventRecorder events(*device);
  for (int i = 0; i < 30; ++i) {
    f->FO_QueueFrame(60, 30, i);
    device->Start();
    ASSERT_TRUE(PumpUntil([&] { return !device->Busy(); }, 10000)) << i;
  }
  EXPECT_EQ(events.Count("done"), 30);
  device->Close();
}

TEST_F(DeviceCycle, CloseDuringAnOperationWaitsForTheWorkerAndTheOperationFails) {
  auto device = CreateSensorDevice();
  EventRecorder events(*device);
  StartWaiting(*device, events);
  device->Close();
  EXPECT_FALSE(device->Busy());
  EXPECT_FALSE(device->IsOpened());
  const auto all = events.Events();
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[all.size() - 3], "error:-1");
  EXPECT_EQ(all[all.size() - 2], "status:8");
  EXPECT_EQ(all.back(), "status:2");
  EXPECT_EQ(device->ErrorCode(), -1);
}

TEST_F(DeviceCycle, CancelWhileBusyEndsInErrorAndCancelWhileIdleOnlyRepaints) {
  auto device = CreateSensorDevice();
  EventRecorder events(*device);
  device->Cancel();
  EXPECT_EQ(events.Joined(), "");
  StartWaiting(*device, events);
  device->Cancel();
  ASSERT_TRUE(WaitIdle(*device));
  EXPECT_EQ(events.Count("error:-1"), 1);
  device->Close();
}

TEST_F(DeviceCycle, AnExceptionInAnOperationIsReportedAndTheNextStartGetsANewWorker) {
  // The first OnDone handler throws: the exception ends the worker.
  auto device = CreateSensorDevice();
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  EventRecorder events(*device);
  std::atomic<int> done{0};
  device->OnDone = [&](TObject*, const std::uint8_t*) {
    if (done.fetch_add(1) == 0) throw std::runtime_error("handler failed");
  };
  f->FO_QueueFrame(60, 30, 1);
  const int threads = ThreadCount();
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  ASSERT_TRUE(PumpUntil([&] { return ThreadCount() <= threads; }));

  f->FO_QueueFrame(60, 30, 2);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  EXPECT_EQ(done.load(), 2);
  EXPECT_GT(ThreadCount(), threads);  // the replacement worker waits for runs
  device->Close();
}

namespace {
// A sensor device whose image request fails with an exception once.
class FailingSensor : public TKV310 {
 public:
  using TKV310::TKV310;
  ~FailingSensor() override { ShutDown(); }
  std::atomic<int> failures{1};

 protected:
  bool GetImage(std::uint8_t* buffer) override {
    if (failures.fetch_sub(1) > 0) throw std::runtime_error("sensor failure");
    return TKV310::GetImage(buffer);
  }
};
}  // namespace

TEST_F(DeviceCycle, AFailureInsideTheOperationStillEndsInOnError) {
  FailingSensor device(nullptr);
  device.SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  EventRecorder events(device);
  device.Start();
  ASSERT_TRUE(WaitIdle(device));
  EXPECT_EQ(events.Joined(), "ready status:1 status:7 status:3 error:-1 status:8");
  f->FO_QueueFrame(60, 30, 1);
  device.Start();
  ASSERT_TRUE(WaitIdle(device));
  EXPECT_EQ(events.Count("done"), 1);
  device.Close();
}

TEST_F(DeviceCycle, CapturedImageReachesTheWindowThroughItsOwnThread) {
  win::TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  ASSERT_TRUE(form.HandleNeeded());
  auto device = CreateSensorDevice();
  device->SetColor(win::clWhite);
  device->SetBounds(0, 0, 64, 72);
  device->SetParent(&form);
  ASSERT_TRUE(device->HandleAllocated());
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  device->SetColor(RGB(0, 0, 255));

  f->FO_QueueFrame(60, 30, 1);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));
  win::OffscreenBitmap canvas(64, 72);
  // The picture arrives with the window's messages: pump them, then paint.
  PumpUntil([&] {
    device->PaintTo(canvas.dc());
    return canvas.Pixel(32, 4) != RGB(0, 0, 255);
  }, 5000);
  // The sensor's frame is black on top; the device turns it upright, so white is on top.
  EXPECT_EQ(canvas.Pixel(32, 4), RGB(255, 255, 255));
  EXPECT_EQ(canvas.Pixel(32, 68), RGB(0, 0, 0));

  // The next Start clears the surface to the background: in order, after whatever the
  // last capture's thread still had queued for the window when its picture showed.
  device->Start();
  PumpUntil([&] {
    device->PaintTo(canvas.dc());
    return canvas.Pixel(32, 4) == RGB(0, 0, 255);
  }, 5000);
  EXPECT_EQ(canvas.Pixel(32, 4), RGB(0, 0, 255));
  device->Close();
}

namespace {
// A device with live frames: 8 x 8 pictures whose grey level counts the frames.
class LiveFrameSensor : public TKV310 {
 public:
  using TKV310::TKV310;
  ~LiveFrameSensor() override { ShutDown(); }
  std::atomic<int> frames{0};

 protected:
  std::int32_t GetFrameWidth() override { return 8; }
  std::int32_t GetFrameHeight() override { return 8; }
  bool GetFrame(std::uint8_t* buffer) override {
    const int n = ++frames;
    for (int i = 0; i < 64; ++i) buffer[i] = static_cast<std::uint8_t>(n);
    return true;
  }
};
}  // namespace

TEST_F(DeviceCycle, LiveFramesRunOnlyWhileAnOperationRuns) {
  LiveFrameSensor device(nullptr);
  device.SetDisplayType(TDisplayType::dtFrameImage);
  EventRecorder events(device);
  const int threads = ThreadCount();
  device.Start();
  ASSERT_TRUE(PumpUntil([&] { return device.frames.load() >= 2; }));
  EXPECT_EQ(ThreadCount(), threads + 2);  // worker and frame thread
  device.Cancel();
  ASSERT_TRUE(WaitIdle(device));
  const int seen = device.frames.load();
  ::Sleep(500);
  EXPECT_EQ(device.frames.load(), seen);
  EXPECT_EQ(ThreadCount(), threads + 1);  // the worker stays for the next Start
  device.Close();
}

TEST_F(DeviceCycle, TheMarkerBlocksASecondProcessUntilTheFirstCloses) {
  auto device = CreateSensorDevice();
  ASSERT_TRUE(device->Open());
  EXPECT_EQ(WaitChild(SpawnChild("open")), 0);
  device->Close();
  EXPECT_EQ(WaitChild(SpawnChild("open")), 1);
}

TEST_F(DeviceCycle, EveryCycleReleasesTheSemaphoreOfAWaitingProcessOnce) {
  // Without the semaphore, a cycle simply ends.
  auto device = CreateSensorDevice();
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  f->FO_QueueFrame(60, 30, 1);
  device->Start();
  ASSERT_TRUE(WaitIdle(*device));

  win::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, L"MivexCaptureTestReady"));
  win::ScopedKernelHandle finish(::CreateEventW(nullptr, TRUE, FALSE, L"MivexCaptureTestFinish"));
  HANDLE child = SpawnChild("semaphore");
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(::WaitForSingleObject(ready.get(), 60000), WAIT_OBJECT_0);
  // Two successful cycles and one cancelled one.
  for (int i = 0; i < 2; ++i) {
    f->FO_QueueFrame(60, 30, i);
    device->Start();
    ASSERT_TRUE(WaitIdle(*device));
  }
  EventRecorder events(*device);
  StartWaiting(*device, events);
  device->Cancel();
  ASSERT_TRUE(WaitIdle(*device));
  ::SetEvent(finish.get());
  EXPECT_EQ(WaitChild(child), 3);
  device->Close();
}

TEST_F(DeviceCycle, AHundredCancelledRunsAndAHundredEnrollmentsLeaveNothingBehind) {
  // Warm up once, so that lazily started system threads are part of the baseline.
  {
    auto device = CreateSensorDevice();
    for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
    device->Start();
    ASSERT_TRUE(WaitIdle(*device));
  }
  ::Sleep(200);
  const int threads = ThreadCount();
  const DWORD handles = HandleCount();
  ASSERT_GT(handles, 0u);
  const int contexts = f->FV_LiveContexts();
  {
    auto device = CreateSensorDevice();
    EventRecorder events(*device);
    for (int i = 0; i < 100; ++i) {
      device->Start();
      ASSERT_TRUE(PumpUntil([&] { return events.Count("status:3") > i; })) << i;
      device->Cancel();
      ASSERT_TRUE(WaitIdle(*device)) << i;
    }
    EXPECT_EQ(events.Count("error:-1"), 100);
    for (int i = 0; i < 100; ++i) {
      for (int tag = 1; tag <= 3; ++tag) f->FO_QueueFrame(60, 30, tag);
      device->Start();
      ASSERT_TRUE(WaitIdle(*device)) << i;
    }
    EXPECT_EQ(events.Count("done"), 100);
    device->Close();
  }
  ::Sleep(200);
  EXPECT_LE(ThreadCount(), threads);
  // A leak would show once per run, a hundred handles; the platform's own threads come
  // and go with a handle or two of their own.
  EXPECT_LE(HandleCount(), handles + 2);
  EXPECT_EQ(f->FV_LiveContexts(), contexts);
  EXPECT_FALSE(AtomExists("FPKV310"));
}
