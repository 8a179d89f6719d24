// Windows tick source: see IntegersTicker.h.
#include <windows.h>

#include <atomic>

#include "crypto/IntegersInternal.h"
#include "crypto/IntegersParams.h"
#include "crypto/IntegersTicker.h"

namespace mivex::hit {

namespace {
std::atomic<HANDLE> gTimer{nullptr};
}

void StartTicker() {
  StopTicker();
  // Synchronization (auto-reset) timer: a successful wait clears it.
  HANDLE timer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
  if (timer == nullptr) return;  // no progress pacing; arithmetic is unaffected
  LARGE_INTEGER due;
  due.QuadPart = -10000LL * hitparams::TickIntervalMs;  // relative, in 100 ns units
  if (!::SetWaitableTimer(timer, &due, hitparams::TickIntervalMs, nullptr, nullptr, FALSE)) {
    ::CloseHandle(timer);
    return;
  }
  gTimer.store(timer);
}

void StopTicker() {
  if (HANDLE timer = gTimer.exchange(nullptr)) {
    ::CancelWaitableTimer(timer);
    ::CloseHandle(timer);
  }
}

bool TakeTick() {
  HANDLE timer = gTimer.load(std::memory_order_relaxed);
  return timer != nullptr && ::WaitForSingleObject(timer, 0) == WAIT_OBJECT_0;
}

}  // namespace mivex::hit
