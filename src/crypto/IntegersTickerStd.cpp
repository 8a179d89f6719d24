// Portable tick source: see IntegersTicker.h.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "crypto/IntegersInternal.h"
#include "crypto/IntegersParams.h"
#include "crypto/IntegersTicker.h"

namespace mivex::hit {

namespace {

class TTicker {
 public:
  TTicker() : thread_([this] { Run(); }) {}
  ~TTicker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TTicker(const TTicker&) = delete;
  TTicker& operator=(const TTicker&) = delete;

  std::atomic<bool> flag{false};

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(hitparams::TickIntervalMs), [this] { return stop_; }))
      flag.store(true, std::memory_order_relaxed);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

std::unique_ptr<TTicker> gTicker;

}  // namespace

void StartTicker() {
  gTicker.reset();
  gTicker = std::make_unique<TTicker>();
}

void StopTicker() { gTicker.reset(); }

bool TakeTick() { return gTicker && gTicker->flag.exchange(false, std::memory_order_relaxed); }

}  // namespace mivex::hit
