// A scripted stand-in for the feature engine, for the capture device's tests. Extraction
// reads its score, minutiae count and tag from the image (FakeFrames.h) and writes a real
// feature record; matches and generalizations answer from tables the test sets through
// the FV_ functions, and every call is counted.
#include <windows.h>

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "FakeFrames.h"
#include "capture/FeatureCodec.h"

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Match {
  std::int32_t score;
  std::int32_t result;
};

struct State {
  std::mutex mutex;
  int initialize_calls = 0;
  int finalize_calls = 0;
  int live_contexts = 0;
  std::intptr_t next_context = 1;
  int extract_calls = 0;
  std::map<std::pair<int, int>, Match> matches;
  std::vector<std::pair<int, int>> verify_log;
  std::deque<std::int32_t> generalize_results;
  std::vector<std::vector<int>> generalize_log;
  std::map<std::int32_t, std::intptr_t> parameters;
};

State& S() {
  static State state;
  return state;
}

bool IntParameter(std::intptr_t id) { return id == 110 || id == 200 || id == 300 || id == 11000; }

std::int32_t WriteRecord(int minutiae, int tag, std::uint8_t* dest, std::size_t capacity) {
  static mivex::FeatureModel model;
  mivex::ClearFeatureModel(model);
  model.Header = static_cast<std::uint8_t>(tag);
  model.MinutiaeCount = minutiae < 0 ? 0 : (minutiae > mivex::kMaxModelMinutiae ? mivex::kMaxModelMinutiae : minutiae);
  for (int i = 0; i < model.MinutiaeCount; ++i) {
    model.Minutiae[i].X = static_cast<std::int16_t>(20 + (i % 10) * 20);
    model.Minutiae[i].Y = static_cast<std::int16_t>(20 + (i / 10) * 30);
    model.Minutiae[i].Direction = static_cast<std::uint8_t>((i * 7) % 240);
    model.Minutiae[i].Extra = 255;
    model.Minutiae[i].Type = static_cast<std::uint8_t>(i & 1);
  }
  // One core, so that the device's re-encoding has work to do.
  model.SingularCount = 1;
  model.Singular[0] = mivex::FeatureSingularPoint{128, 144, 1, 0};
  return mivex::EncodeFeatures(model, dest, capacity);
}

}  // namespace

FAKE_EXPORT std::int32_t VFInitialize() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().initialize_calls;
  return 0;
}

FAKE_EXPORT std::int32_t VFFinalize() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().finalize_calls;
  return 0;
}

FAKE_EXPORT std::intptr_t VFCreateContext() {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().live_contexts;
  return S().next_context++;
}

FAKE_EXPORT std::int32_t VFFreeContext(std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (context) --S().live_contexts;
  return 0;
}

FAKE_EXPORT std::int32_t VFGetParameter(std::int32_t id, void* value, std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (id == 0) {
    const auto asked = reinterpret_cast<std::intptr_t>(value);
    if (asked == 1234) return 3;  // a parameter of another type, for the type check
    return IntParameter(asked) ? 6 : -10;
  }
  if (!IntParameter(id)) return -10;
  if (!value) return -4;
  *static_cast<std::int32_t*>(value) = static_cast<std::int32_t>(S().parameters[id]);
  return 0;
}

FAKE_EXPORT std::int32_t VFSetParameter(std::int32_t id, std::intptr_t value, std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (!IntParameter(id)) return -10;
  S().parameters[id] = value;
  return 0;
}

FAKE_EXPORT std::int32_t VFExtract(std::int32_t width, std::int32_t height, const std::uint8_t* image,
                                   std::int32_t resolution, std::uint8_t* features, std::int32_t* output,
                                   std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().extract_calls;
  if (!image || !features) return -4;
  const std::int32_t length = WriteRecord(fake::FrameMinutiae(image), fake::FrameTag(image), features, 10000);
  if (output) *output = length;
  return fake::FrameScore(image);
}

FAKE_EXPORT std::int32_t VFGeneralize(std::int32_t count, const std::uint8_t* const* features, std::uint8_t* output,
                                      std::int32_t* size, std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  std::vector<int> tags;
  for (int i = 0; i < count; ++i) tags.push_back(features[i][1]);
  S().generalize_log.push_back(tags);
  std::int32_t result = 0;
  if (!S().generalize_results.empty()) {
    result = S().generalize_results.front();
    S().generalize_results.pop_front();
  }
  if (result >= 0) *size = WriteRecord(30, 0xEE, output, 10000);
  return result;
}

FAKE_EXPORT std::int32_t VFVerify(const std::uint8_t* features1, const std::uint8_t* features2, void* details,
                                  std::intptr_t context) {
  std::lock_guard<std::mutex> lock(S().mutex);
  const int t1 = features1[1], t2 = features2[1];
  S().verify_log.emplace_back(t1, t2);
  Match match{100, 0};
  auto it = S().matches.find({t1, t2});
  if (it != S().matches.end()) match = it->second;
  std::int32_t* fields = static_cast<std::int32_t*>(details);
  if (fields[0] != 20) return -5;
  fields[1] = match.score;
  return match.result;
}

// --- Script and observation ---------------------------------------------------------

FAKE_EXPORT void FV_Reset() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.extract_calls = 0;
  s.matches.clear();
  s.verify_log.clear();
  s.generalize_results.clear();
  s.generalize_log.clear();
}

// The match of records tagged t1 and t2 (in this order) scores `score` and returns `result`.
FAKE_EXPORT void FV_SetMatch(std::int32_t t1, std::int32_t t2, std::int32_t score, std::int32_t result) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().matches[{t1, t2}] = Match{score, result};
}

// Result of the next generalization (0 once the queue is empty).
FAKE_EXPORT void FV_QueueGeneralizeResult(std::int32_t result) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().generalize_results.push_back(result);
}

FAKE_EXPORT std::int32_t FV_GeneralizeCalls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return static_cast<std::int32_t>(S().generalize_log.size());
}

// Tags of the three records of generalization `call`; false when there was no such call.
FAKE_EXPORT BOOL FV_GeneralizeTags(std::int32_t call, std::int32_t* tags) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (call < 0 || call >= static_cast<std::int32_t>(S().generalize_log.size())) return FALSE;
  const auto& logged = S().generalize_log[call];
  for (std::size_t i = 0; i < 3; ++i) tags[i] = i < logged.size() ? logged[i] : -1;
  return TRUE;
}

FAKE_EXPORT std::int32_t FV_VerifyCalls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return static_cast<std::int32_t>(S().verify_log.size());
}

FAKE_EXPORT BOOL FV_VerifyPair(std::int32_t call, std::int32_t* t1, std::int32_t* t2) {
  std::lock_guard<std::mutex> lock(S().mutex);
  if (call < 0 || call >= static_cast<std::int32_t>(S().verify_log.size())) return FALSE;
  *t1 = S().verify_log[call].first;
  *t2 = S().verify_log[call].second;
  return TRUE;
}

FAKE_EXPORT std::int32_t FV_ExtractCalls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().extract_calls;
}

FAKE_EXPORT std::int32_t FV_LiveContexts() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().live_contexts;
}

FAKE_EXPORT std::int32_t FV_InitializeCalls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().initialize_calls;
}

FAKE_EXPORT std::int32_t FV_Parameter(std::int32_t id) {
  std::lock_guard<std::mutex> lock(S().mutex);
  return static_cast<std::int32_t>(S().parameters[id]);
}
