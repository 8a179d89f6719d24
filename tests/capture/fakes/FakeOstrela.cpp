// A scripted stand-in for the sensor library, for the capture device's tests. It
// delivers the frames the test queued through the FO_ functions (FakeFrames.h) and
// otherwise reports "no finger" after a short wait, like a sensor between frames.
#include <windows.h>

#include <cstring>
#include <deque>
#include <mutex>

#include "FakeFrames.h"

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Frame {
  int score, minutiae, tag, width, height;
};

struct State {
  std::mutex mutex;
  BOOL open_result = TRUE;
  std::deque<Frame> frames;
  int open_calls = 0, close_calls = 0, start_calls = 0, stop_calls = 0, image_requests = 0;
};

State& S() {
  static State state;
  return state;
}

}  // namespace

FAKE_EXPORT BOOL bAPI4_OpenSensor() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().open_calls;
  return S().open_result;
}

FAKE_EXPORT BOOL bAPI4_CloseSensor() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().close_calls;
  return TRUE;
}

FAKE_EXPORT BOOL bAPI4_StartImage() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().start_calls;
  return TRUE;
}

FAKE_EXPORT BOOL bAPI4_StopImage() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().stop_calls;
  return TRUE;
}

FAKE_EXPORT BOOL bAPI4_GetBinaryImage(std::uint8_t* area, std::int32_t mode, std::int32_t dpi, std::int32_t* width,
                                      std::int32_t* height) {
  Frame frame{};
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    ++S().image_requests;
    if (!S().frames.empty()) {
      frame = S().frames.front();
      S().frames.pop_front();
    } else {
      frame.width = 0;
    }
  }
  if (frame.width == 0) {
    ::Sleep(2);
    return FALSE;
  }
  fake::FillFrame(area, frame.score, frame.minutiae, frame.tag);
  *width = frame.width;
  *height = frame.height;
  // A Boolean whose low byte alone is set: the driver must judge the low byte.
  return 0x7F00 | 1;
}

// Present so that the driver accepts the library; never called.
FAKE_EXPORT BOOL bAPI4_GetImage() { return FALSE; }

// --- Script and observation ---------------------------------------------------------

FAKE_EXPORT void FO_Reset() {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().open_result = TRUE;
  S().frames.clear();
  S().open_calls = S().close_calls = S().start_calls = S().stop_calls = S().image_requests = 0;
}

FAKE_EXPORT void FO_SetOpenResult(BOOL result) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().open_result = result;
}

FAKE_EXPORT void FO_QueueFrame(std::int32_t score, std::int32_t minutiae, std::int32_t tag) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().frames.push_back(Frame{score, minutiae, tag, fake::kWidth, fake::kHeight});
}

// A frame that claims another size than the sensor's.
FAKE_EXPORT void FO_QueueSizedFrame(std::int32_t score, std::int32_t minutiae, std::int32_t tag, std::int32_t width,
                                    std::int32_t height) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().frames.push_back(Frame{score, minutiae, tag, width, height});
}

FAKE_EXPORT std::int32_t FO_PendingFrames() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return static_cast<std::int32_t>(S().frames.size());
}

// 0 open, 1 close, 2 start image, 3 stop image, 4 image requests.
FAKE_EXPORT std::int32_t FO_Count(std::int32_t which) {
  std::lock_guard<std::mutex> lock(S().mutex);
  switch (which) {
    case 0: return S().open_calls;
    case 1: return S().close_calls;
    case 2: return S().start_calls;
    case 3: return S().stop_calls;
    default: return S().image_requests;
  }
}
