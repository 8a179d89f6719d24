// What this test program does when a test runs it again as a second process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "CaptureTestSupport.h"

using namespace capture_test;

TEST(ChildRole, DISABLED_Run) {
  char role[64] = {};
  ::GetEnvironmentVariableA("MIVEX_CAPTURE_CHILD", role, sizeof(role));
  const std::string which = role;
  if (which == "open") {
    // Exit code 1 when this process could open the sensor.
    Start();
    auto device = mivex::CreateSensorDevice();
    const bool opened = device->Open();
    device->Close();
    device.reset();
    ::ExitProcess(opened ? 1 : 0);
  }
  if (which == "semaphore") {
    // Creates the cycle semaphore, lets the parent run its cycles, and exits with the
    // number of releases it saw.
    HANDLE semaphore = ::CreateSemaphoreW(nullptr, 0, 1000, L"FPEngine.dll");
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"MivexCaptureTestReady");
    HANDLE finish = ::OpenEventW(SYNCHRONIZE, FALSE, L"MivexCaptureTestFinish");
    if (!semaphore || !ready || !finish) ::ExitProcess(100);
    ::SetEvent(ready);
    ::WaitForSingleObject(finish, 60000);
    UINT count = 0;
    while (::WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0) ++count;
    ::ExitProcess(count);
  }
  FAIL() << "unknown role " << which;
}
