#include "capture/VFBase.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>

#include "base/win/Handles.h"
#include "base/win/MessagePump.h"
#include "capture/CaptureParams.h"
#include "capture/EnrollRules.h"
#include "capture/FeatureCodec.h"
#include "capture/ImageConvert.h"
#include "capture/Log.h"
#include "capture/ScoreScale.h"

namespace mivex {

namespace cp = capture_params;

namespace {

// The in-use marker this process made: the atom and the device that opened it. Only that
// device removes it on Close (another device of the process that never opened must not
// free the sensor for other processes); library unload removes it in any case.
struct InUseMarker {
  ATOM atom;
  const TVFBase* owner;
};
InUseMarker g_marker;
SRWLOCK g_marker_lock = SRWLOCK_INIT;

struct MarkerLock {
  MarkerLock() { ::AcquireSRWLockExclusive(&g_marker_lock); }
  ~MarkerLock() { ::ReleaseSRWLockExclusive(&g_marker_lock); }
  MarkerLock(const MarkerLock&) = delete;
  MarkerLock& operator=(const MarkerLock&) = delete;
};

void ReleaseMarker(const TVFBase* owner) {
  MarkerLock lock;
  if (!g_marker.atom || (owner && g_marker.owner != owner)) return;
  ::GlobalDeleteAtom(g_marker.atom);
  g_marker = InUseMarker{};
}

// An outside process may wait on this semaphore to learn that an operation cycle ended.
void SignalCycleEnd() {
  win::ScopedKernelHandle semaphore(::OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, L"FPEngine.dll"));
  if (semaphore) ::ReleaseSemaphore(semaphore.get(), 1, nullptr);
}

void PlayCaptureSound() {
  if (!::PlaySoundW(L"ding.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT)) ::MessageBeep(MB_OK);
}

std::int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// Shows live frames while an operation runs (DisplayType dtFrameImage).
class TGetFrameThread {
 public:
  explicit TGetFrameThread(TVFBase& device) : device_(device) {
    DWORD id = 0;
    thread_.reset(::CreateThread(nullptr, 0, &TGetFrameThread::ThreadProc, this, 0, &id));
  }
  TGetFrameThread(const TGetFrameThread&) = delete;
  TGetFrameThread& operator=(const TGetFrameThread&) = delete;
  ~TGetFrameThread() { TerminateAndWait(); }

  void TerminateAndWait() {
    terminated_.store(true);
    if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }

 private:
  static DWORD WINAPI ThreadProc(void* param) {
    static_cast<TGetFrameThread*>(param)->Execute();
    return 0;
  }

  void Execute() {
    while (!device_.StopRequested() && !terminated_.load()) {
      bool got;
      {
        std::lock_guard<std::mutex> lock(device_.frame_mutex_);
        const std::size_t need = static_cast<std::size_t>(std::max(device_.GetFrameWidth(), 0)) *
                                 static_cast<std::size_t>(std::max(device_.GetFrameHeight(), 0));
        got = need > 0 && device_.frame_buffer_.size() >= need && device_.GetFrame(device_.frame_buffer_.data());
      }
      if (got) device_.DrawImage();
      ::Sleep(cp::kFramePauseMs);
      win::ProcessMessages();
    }
  }

  TVFBase& device_;
  std::atomic<bool> terminated_{false};
  win::ScopedKernelHandle thread_;
};

TVFBase::TVFBase(TComponent* owner) : TFPBase(owner) {
  template_buffer_.assign(cp::kFeatureBufferSize, 0);
  feature_buffer_.assign(cp::kFeatureBufferSize, 0);
  generalize_buffer_.assign(cp::kFeatureBufferSize, 0);
  // Without the engine the device is still built; its context stays 0.
  try {
    context_ = VFCreateContext();
  } catch (const std::exception&) {
    context_ = 0;
  }
  extract_threshold_ = cp::kDefaultExtractThreshold;
  template_type_ = TTemplateType::ttNormalize;
  try {
    SetExtractParameter(TExtractParameter::epOmitBO);
    VFSetParameter(cp::kParamNewContextFlag, 1, context_);
  } catch (const std::exception&) {
  }
  min_minutiae_count_ = cp::kDefaultMinMinutiaeCount;
  max_enroll_try_ = cp::kDefaultMaxEnrollTry;
  display_type_ = TDisplayType::dtFullImage;
}

TVFBase::~TVFBase() {
  MarkDestroying();
  // The sensor is the derived device's and was closed by its ShutDown; what is left is
  // to make sure no thread still uses the buffers or the context.
  Stop(true);
  WaitUntilIdle();
  FreeWorker();
  StopFrameThread();
  ReleaseMarker(this);
  opened_.store(false);
  if (context_) {
    try {
      VFFreeContext(context_);
    } catch (const std::exception&) {
    }
  }
}

void TVFBase::ShutDown() {
  MarkDestroying();
  Stop(true);
  Close();
  FreeWorker();
}

void TVFBase::SetTemplateType(TTemplateType type) {
  if (type != template_type_) {
    template_type_ = type;
    // A running operation keeps using the buffers it has; Open sizes them again.
    if (!Busy()) AllocateBuffers();
  }
  if (template_type_ == TTemplateType::ttAbig) SetExtractParameter(TExtractParameter::epOmitBO);
}

void TVFBase::SetExtractThreshold(std::int32_t threshold) {
  if (threshold < cp::kMinExtractThreshold) return;
  extract_threshold_ = threshold;
}

void TVFBase::SetExtractParameter(TExtractParameter parameter) {
  extract_parameter_ = parameter;
  VFSetParameter(cp::kParamExtractFeatures, static_cast<std::intptr_t>(parameter), context_);
}

double TVFBase::GeneralizeFAR() { return ScoreToFAR(GetIntParameter(cp::kParamGeneralizeThreshold, context_)); }

void TVFBase::SetGeneralizeFAR(double rate) {
  SetIntParameter(cp::kParamGeneralizeThreshold, FARToScore(rate), context_);
}

void TVFBase::SetSecurityLevel(TSecurityLevel level) {
  security_level_ = level;
  const double rate = SecurityLevelRate(static_cast<int>(level));
  SetGeneralizeFAR(rate);
  SetIntParameter(cp::kParamMatchThreshold, FARToScore(rate), context_);
}

std::int32_t TVFBase::GetSampleCount() { return cp::kEnrollSamples; }

std::int32_t TVFBase::GetResolution() { return cp::kDefaultResolution; }

void TVFBase::AllocateBuffers() {
  image_buffer_.assign(static_cast<std::size_t>(std::max(GetImageWidth(), 0)) *
                           static_cast<std::size_t>(std::max(GetImageHeight(), 0)),
                       0);
  if (display_type_ == TDisplayType::dtFrameImage) {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    frame_buffer_.assign(static_cast<std::size_t>(std::max(GetFrameWidth(), 0)) *
                             static_cast<std::size_t>(std::max(GetFrameHeight(), 0)),
                         0);
  }
}

bool TVFBase::Open() {
  if (IsOpened()) return true;
  // A device whose engine is absent could never deliver a sample: it stays closed.
  if (!EngineLibraryLoaded()) return false;
  std::string name;
  GetDeviceName(name);
  const std::wstring marker = win::ToWide(name);
  {
    MarkerLock lock;
    if (::GlobalFindAtomW(marker.c_str())) return false;
  }
  opened_.store(OpenDevice());
  if (!opened_.load()) return false;
  {
    MarkerLock lock;
    if (!g_marker.atom) g_marker = InUseMarker{::GlobalAddAtomW(marker.c_str()), this};
  }
  AllocateBuffers();
  if (OnReady) OnReady(this);
  RaiseStatus(kStatusOpened);
  return true;
}

void TVFBase::WaitUntilIdle() {
  // On the worker itself (a handler that closes the device) there is nothing to wait
  // for: the operation ends when the handler returns.
  if (!Busy() || InWorkerThread()) return;
  Stop(true);
  while (Busy()) {
    win::ProcessMessages();
    ::Sleep(cp::kClosePollMs);
  }
}

void TVFBase::Close() {
  WaitUntilIdle();
  if (opened_.load()) CloseDevice();
  opened_.store(false);
  ReleaseMarker(this);
  if (!Destroying()) RaiseStatus(kStatusClosed);
}

void TVFBase::RaiseStatus(std::int32_t status) {
  if (OnStatus) OnStatus(this, status);
}

void TVFBase::StartFrameThread() {
  {
    std::lock_guard<std::mutex> lock(frame_mutex_);
    const std::size_t need = static_cast<std::size_t>(std::max(GetFrameWidth(), 0)) *
                             static_cast<std::size_t>(std::max(GetFrameHeight(), 0));
    if (frame_buffer_.size() < need) frame_buffer_.assign(need, 0);
  }
  frame_thread_ = std::make_unique<TGetFrameThread>(*this);
}

void TVFBase::StopFrameThread() { frame_thread_.reset(); }

void TVFBase::ExecuteOperation() {
  // Whatever happens, no frame thread outlives the operation. Busy is cleared by the
  // worker as soon as this returns.
  struct FrameThreadStop {
    TVFBase& device;
    ~FrameThreadStop() { device.StopFrameThread(); }
  } frame_thread_stop{*this};

  if (display_type_ == TDisplayType::dtFrameImage) StartFrameThread();
  RaiseStatus(kStatusOperationBegins);
  // A failure inside the operation (an engine entry point that is missing, say) is
  // still reported as a failed operation before it ends the worker.
  std::exception_ptr failure;
  try {
    RunOperation();
  } catch (...) {
    error_code_ = -1;
    failure = std::current_exception();
  }
  if (error_code_ >= 0)
    DoDone();
  else
    DoError();
  RaiseStatus(kStatusOperationEnded);
  SignalCycleEnd();
  if (failure) std::rethrow_exception(failure);
}

void TVFBase::RunOperation() {
  switch (operation_) {
    case FT_OPERATION::ftEnroll:
      error_code_ = Enroll();
      break;
    case FT_OPERATION::ftVerify: {
      // The reference is the template an earlier operation left in the buffer.
      std::vector<std::uint8_t> reference(template_buffer_.begin(), template_buffer_.begin() + template_size_);
      reference.resize(static_cast<std::size_t>(template_size_) + cp::kSampleSlack, 0);
      error_code_ = CaptureSample();
      if (error_code_ == 0) {
        MatchDetails details{};
        details.size = cp::kMatchDetailsSize;
        const std::int32_t result = VFVerify(reference.data(), template_buffer_.data(), &details, 0);
        score_ = details.score;
        if (Succeeded(result))
          DoVerify();
        else
          error_code_ = -1;
      }
      break;
    }
    case FT_OPERATION::ftGetPreEnrollTemplate:
    case FT_OPERATION::ftGetVerifyTemplate:
      error_code_ = CaptureSample();
      break;
  }
}

std::int32_t TVFBase::CaptureSample() {
  const std::int32_t width = GetImageWidth();
  const std::int32_t height = GetImageHeight();
  const std::size_t image_bytes = static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
  while (!StopRequested()) {
    RaiseStatus(kStatusWaitingForImage);
    if (image_bytes > 0 && image_buffer_.size() >= image_bytes && GetImage(image_buffer_.data())) {
      RaiseStatus(kStatusImageReceived);
      try {
        DrawImage();
      } catch (const std::exception&) {
      }
      std::unique_ptr<TBitmap> bitmap;
      if (onSample) bitmap = RawToBitmap(width, height, image_buffer_.data(), false);
      std::int32_t output = 0;
      quality_ = VFExtract(width, height, image_buffer_.data(), GetResolution(), feature_buffer_.data(), &output,
                           context_);
      std::int32_t minutiae = 0;
      const std::int32_t length =
          RepackFeatures(feature_buffer_.data(), feature_buffer_.size(), feature_buffer_.size(), minutiae);
      // A negative result is an engine error, not a good score.
      const bool score_passes = quality_ >= 0 && quality_ <= GetExtractThreshold();
      const bool minutiae_pass = length >= 0 && minutiae >= min_minutiae_count_;
      if (!score_passes)
        RaiseStatus(kStatusRejectedScore);
      else if (!minutiae_pass)
        RaiseStatus(kStatusRejectedMinutiae);
      if (score_passes && minutiae_pass) {
        ShowImage(image_buffer_.data(), width, height);
        std::copy_n(feature_buffer_.begin(), length, template_buffer_.begin());
        template_size_ = length;
        quality_ = QualityPercent(quality_, GetExtractThreshold());
        PlayCaptureSound();
        DoSampleQuality();
        if (onSample && bitmap) onSample(this, bitmap.get());
        return 0;
      }
    }
    ::Sleep(cp::kCapturePauseMs);
    win::ProcessMessages();
  }
  return -1;
}

void TVFBase::ShowGeneralizeFailure(std::int32_t trial) {
  const std::string text = "VFGeneralize:[" + EngineErrorText(trial) + "]";
  ::MessageBoxW(HandleIfAllocated(), win::ToWide(text).c_str(), L"Debug", MB_OK);
}

std::int32_t TVFBase::Enroll() {
  constexpr int kSamples = cp::kEnrollSamples;
  std::vector<std::uint8_t> samples[kSamples];
  std::int32_t cross[kSamples] = {};
  std::int32_t tries = 0;
  const std::int32_t max_shown = enroll_policy_ == TEnrollPolicy::epEnrollCount ? kSamples : max_enroll_try_;
  bool agree = true;
  std::int32_t pass = 1;
  int next = 0;
  std::int32_t trial = -1;
  const auto records = [&samples] {
    return TPreTemplate{{samples[0].data(), samples[1].data(), samples[2].data()}};
  };

  for (;;) {
    // Capture: three samples, or one replacement after a failed agreement check.
    while (next < kSamples) {
      const auto start = std::chrono::steady_clock::now();
      const std::int32_t captured = CaptureSample();
      LogMessage(logtext::GetTemplateOperation(next, MillisecondsSince(start)));
      if (captured != 0) return captured;
      samples[next].assign(template_buffer_.begin(), template_buffer_.begin() + template_size_);
      samples[next].resize(static_cast<std::size_t>(template_size_) + cp::kSampleSlack, 0);
      ++tries;
      if (OnEnrollProgress) OnEnrollProgress(this, tries, max_shown);
      if (tries >= max_enroll_try_) return -1;
      if (!agree) break;
      ++next;
    }

    // Agreement: every pair of samples must match and a trial generalization succeed.
    agree = true;
    if (enroll_policy_ == TEnrollPolicy::epEnrollQuality) {
      for (int i = 0; i < kSamples; ++i) {
        MatchDetails details{};
        details.size = cp::kMatchDetailsSize;
        const std::int32_t result =
            VFVerify(samples[i].data(), samples[(i + 1) % kSamples].data(), &details, context_);
        cross[i] = details.score;
        agree = agree && Succeeded(result);
      }
      try {
        LogMessage(logtext::DoGeneralize(pass));
        TPreTemplate pre = records();
        std::int32_t size = 0;
        trial = VFGeneralize(kSamples, pre.Samples, generalize_buffer_.data(), &size, context_);
        LogMessage(logtext::kDoGeneralizeOk);
      } catch (const std::exception&) {
        ShowGeneralizeFailure(trial);
      }
      agree = agree && Succeeded(trial);
      if (!agree) next = ChooseReplacement(cross);
    }
    ++pass;
    if (agree) break;
  }

  TPreTemplate pre = records();
  if (OnBeforeGeneralize) OnBeforeGeneralize(this, pre, agree);
  if (!agree) return -1;

  LogMessage(logtext::kDoLastGeneralize);
  std::int32_t size = 0;
  std::int32_t result = VFGeneralize(kSamples, pre.Samples, generalize_buffer_.data(), &size, context_);
  LogMessage(logtext::kDoLastGeneralizeOk);
  if (OnAfterGeneralize) OnAfterGeneralize(this, pre, generalize_buffer_.data(), size, agree);
  // The length comes from the engine or a handler: never copy beyond either buffer.
  const bool size_fits = size >= 0 && size <= static_cast<std::int32_t>(generalize_buffer_.size());
  if (agree && Succeeded(result) && size_fits) {
    std::copy_n(generalize_buffer_.begin(), size, template_buffer_.begin());
    template_size_ = size;
  } else {
    result = -1;
  }
  LogMessage(logtext::kEnrollFinished);
  return result;
}

void TVFBase::DrawImage() {
  if (display_type_ == TDisplayType::dtFrameImage) {
    std::vector<std::uint8_t> frame;
    std::int32_t width = GetFrameWidth(), height = GetFrameHeight();
    {
      std::lock_guard<std::mutex> lock(frame_mutex_);
      frame = frame_buffer_;
    }
    if (static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)) <= frame.size())
      ShowImage(frame.data(), width, height);
    return;
  }
  ShowImage(image_buffer_.data(), GetImageWidth(), GetImageHeight());
}

void TVFBase::ShowImage(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return;
  ShownImage image;
  image.pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  image.width = width;
  image.height = height;
  InvokeAsync([this, image = std::move(image)]() mutable {
    shown_ = std::move(image);
    Invalidate();
  });
}

void TVFBase::DrawBackground() {
  InvokeAsync([this] {
    shown_ = ShownImage{};
    Invalidate();
  });
}

void TVFBase::DoPaint(HDC dc) {
  if (shown_.pixels.empty()) {
    TFPBase::DoPaint(dc);
    return;
  }
  DrawRaw(dc, shown_.pixels.data(), shown_.width, shown_.height, true, false);
}

void StartEnrollmentEngine() {
  if (EngineEntryPointBound("VFInitialize")) VFInitialize();
}

void StopEnrollmentEngine() {
  ReleaseMarker(nullptr);
  if (EngineEntryPointBound("VFFinalize")) VFFinalize();
}

bool InUseMarkerHeld() {
  MarkerLock lock;
  return g_marker.atom != 0;
}

}  // namespace mivex
