#include "capture/FPBase.h"

#include "base/win/Handles.h"
#include "base/win/MessagePump.h"

namespace mivex {

// The device's worker: one thread per device that runs one operation per hand-over.
// Runs are handed over through an auto-reset event, so a Start that arrives while the
// thread is finishing its previous run is never lost (a thread that suspended itself
// could miss it and sleep with a run pending). Start sets Busy before the hand-over,
// which makes a second Start during the run a no-op: one run per accepted Start.
class TFPExecThread {
 public:
  explicit TFPExecThread(TFPBase& device) : device_(device) {
    wake_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wake_) return;
    DWORD id = 0;
    thread_.reset(::CreateThread(nullptr, 0, &TFPExecThread::ThreadProc, this, CREATE_SUSPENDED, &id));
    if (!thread_) return;
    thread_id_ = id;
    ::SetThreadPriority(thread_.get(), THREAD_PRIORITY_TIME_CRITICAL);
    ::ResumeThread(thread_.get());
  }

  TFPExecThread(const TFPExecThread&) = delete;
  TFPExecThread& operator=(const TFPExecThread&) = delete;

  // Asks the loop to end and waits for it (pumping, so that a run that waits on the
  // caller's windows can finish).
  ~TFPExecThread() {
    if (!thread_) return;
    terminated_.store(true);
    ::SetEvent(wake_.get());
    if (::GetCurrentThreadId() != thread_id_) win::WaitPumping(thread_.get(), INFINITE);
  }

  bool Created() const { return static_cast<bool>(thread_); }
  DWORD ThreadId() const { return thread_id_; }
  // The loop was left because an exception escaped an operation.
  bool Ended() const { return ended_.load(); }

  void Go() {
    go_.store(true);
    ::SetEvent(wake_.get());
  }

 private:
  static DWORD WINAPI ThreadProc(void* param) {
    static_cast<TFPExecThread*>(param)->Execute();
    return 0;
  }

  void Execute() {
    for (;;) {
      ::WaitForSingleObject(wake_.get(), INFINITE);
      if (terminated_.load()) return;
      if (!go_.exchange(false)) continue;
      try {
        device_.ExecuteOperation();
      } catch (...) {
        // An escaped exception ends this worker; the device's next Start replaces it.
        // Ended is set before Busy is cleared, so that Start never hands a run to a
        // worker that is on its way out.
        ended_.store(true);
        device_.busy_.store(false);
        return;
      }
      device_.busy_.store(false);
    }
  }

  TFPBase& device_;
  std::atomic<bool> go_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> ended_{false};
  win::ScopedKernelHandle wake_;
  win::ScopedKernelHandle thread_;
  DWORD thread_id_ = 0;
};

TFPBase::TFPBase(TComponent* owner) : win::TCustomControl(owner) { opened_.store(false); }

TFPBase::~TFPBase() {
  // Derived devices have closed the sensor already (Close is theirs); this stops and
  // ends the worker in case they did not.
  Stop(true);
  FreeWorker();
}

void TFPBase::FreeWorker() { worker_.reset(); }

bool TFPBase::InWorkerThread() const { return worker_ && worker_->ThreadId() == ::GetCurrentThreadId(); }

void TFPBase::DoDone() {
  if (OnDone) OnDone(this, GetTemplate());
}

void TFPBase::DoError() {
  if (OnError) OnError(this, error_code_);
}

void TFPBase::DoVerify() {
  if (onVerify) onVerify(this, score_);
}

void TFPBase::DoSampleQuality() {
  if (OnSampleQuality) OnSampleQuality(this, quality_);
}

void TFPBase::SetEnrollPolicy(TEnrollPolicy policy) {
  // Only device families 1 and 5 can judge sample agreement.
  const int type = static_cast<int>(GetDeviceType());
  enroll_policy_ = (type == 1 || type == 5) ? policy : TEnrollPolicy::epEnrollCount;
}

void TFPBase::Start() {
  if (busy_.load()) return;
  if (!IsOpened() && !Open()) return;
  stop_requested_.store(false);
  DrawBackground();
  if (worker_ && worker_->Ended()) worker_.reset();
  if (!worker_) {
    auto worker = std::make_unique<TFPExecThread>(*this);
    if (!worker->Created()) return;
    worker_ = std::move(worker);
  }
  busy_.store(true);
  worker_->Go();
}

void TFPBase::DrawBackground() {
  // Painting belongs to the window's thread: ask it to repaint; the background is
  // filled there (DoPaint).
  InvokeAsync([this] { Invalidate(); });
}

void TFPBase::Cancel() {
  Stop(true);
  DrawBackground();
}

void TFPBase::DoPaint(HDC dc) {
  RECT client{0, 0, Width(), Height()};
  win::ScopedBrush brush(::CreateSolidBrush(win::ColorToRGB(Color())));
  ::FillRect(dc, &client, brush.get());
}

}  // namespace mivex
