#include "SimSensor.h"

#include <algorithm>
#include <cstring>

#include "Impression.h"
#include "OstrelaParams.h"

namespace mivex::ostrela {

namespace p = params;

namespace {

// Writes a top-down frame into the caller's area bottom row first.
void CopyBottomUp(const std::vector<std::uint8_t>& frame, std::uint8_t* area) {
  for (std::int32_t y = 0; y < p::kImageHeight; ++y) {
    std::memcpy(area + static_cast<std::size_t>(p::kImageHeight - 1 - y) * p::kImageWidth,
                frame.data() + static_cast<std::size_t>(y) * p::kImageWidth, p::kImageWidth);
  }
}

bool AreaFits(const std::uint8_t* area, const std::int32_t* width, const std::int32_t* height) {
  return area != nullptr && width != nullptr && height != nullptr && *width >= p::kImageWidth &&
         *height >= p::kImageHeight;
}

TScenario EmptyScenario() {
  TScenario s;
  TScenarioStep unplugged;
  unplugged.Kind = TStepKind::skUnplug;
  unplugged.Count = kForever;
  s.Steps.push_back(unplugged);
  return s;
}

}  // namespace

TSimSensor::TSimSensor(const TScenario& scenario, std::unique_ptr<TFrameClock> clock)
    : FClock(std::move(clock)),
      FModel(scenario),
      FCache(p::kMasterCacheSize),
      FSlots(static_cast<std::size_t>(p::kMatcherSlots)),
      FSlotUsed(static_cast<std::size_t>(p::kMatcherSlots), false) {}

TSimSensor::TSimSensor(std::string scenarioError, std::unique_ptr<TFrameClock> clock)
    : TSimSensor(EmptyScenario(), std::move(clock)) {
  FScenarioError = std::move(scenarioError);
}

std::int32_t TSimSensor::FrameMsLocked() const { return FModel.Scenario().FrameMs; }

bool TSimSensor::Open() {
  std::lock_guard<std::mutex> guard(FLock);
  if (!FScenarioError.empty()) return false;
  if (FOpened) return true;
  if (!FModel.TryOpen()) return false;
  FOpened = true;
  FArmed = false;
  FHaveImage = false;
  FLast = TPollResult{};
  return true;
}

void TSimSensor::ReplaceScenario(const TScenario& scenario) {
  std::lock_guard<std::mutex> guard(FLock);
  FModel = TPressModel(scenario);
  FScenarioError.clear();
  FHaveImage = false;
  FLast = TPollResult{};
}

void TSimSensor::Close() {
  std::lock_guard<std::mutex> guard(FLock);
  FOpened = false;
  FArmed = false;
  FMatcherOpen = false;
  FEnrollSlot = -1;
}

bool TSimSensor::StartImage() {
  std::lock_guard<std::mutex> guard(FLock);
  FArmed = FOpened;
  return FArmed;
}

void TSimSensor::StopImage() {
  std::lock_guard<std::mutex> guard(FLock);
  FArmed = false;
}

TPollResult TSimSensor::PollLocked(bool render) {
  TPollResult r = FModel.Poll();
  ++FPolls;
  if (r.State == TPollState::psUnplugged) {
    // The connection is gone: the host must open the sensor again once it is back.
    FOpened = false;
    FArmed = false;
    FMatcherOpen = false;
  }
  FLast = r;
  const auto& images = FModel.Scenario().Images;
  if (r.State == TPollState::psFinger && r.Image >= 0) {
    if (static_cast<std::size_t>(r.Image) >= images.size()) {
      // An image step whose file was never loaded: nothing lies on the sensor.
      r.State = TPollState::psNoFinger;
      FLast = r;
    } else if (render) {
      FFrame = images[static_cast<std::size_t>(r.Image)]->Pixels;
      FHaveImage = true;
      ++FImages;
    }
  } else if (r.State == TPollState::psFinger && render) {
    const auto master = FCache.Get(r.Subject, r.Finger);
    const TImpressionParams placement = DrawPlacement(r.PressSeed, r.Kind);
    RenderImpression(*master, FrameOfPress(placement, r.Frame, r.PressSeed), FFrame);
    FHaveImage = true;
    ++FImages;
  }
  return r;
}

bool TSimSensor::GetBinaryImage(std::uint8_t* area, std::int32_t mode, std::int32_t dpi, std::int32_t* width,
                                std::int32_t* height) {
  const std::int64_t start = FClock->BeginFrame();
  bool delivered = false;
  std::int32_t frameMs = 0;
  {
    std::lock_guard<std::mutex> guard(FLock);
    frameMs = FrameMsLocked();
    if (FOpened && FArmed && mode == 0 && dpi == p::kResolutionDpi && AreaFits(area, width, height)) {
      const TPollResult r = PollLocked(true);
      if (r.State == TPollState::psFinger) {
        CopyBottomUp(FFrame, area);
        *width = p::kImageWidth;
        *height = p::kImageHeight;
        delivered = true;
      }
    }
  }
  FClock->EndFrame(start, frameMs);
  return delivered;
}

bool TSimSensor::GetImage(std::uint8_t* area, std::int32_t* width, std::int32_t* height) {
  std::lock_guard<std::mutex> guard(FLock);
  if (!FOpened || !FHaveImage || !AreaFits(area, width, height)) return false;
  CopyBottomUp(FFrame, area);
  *width = p::kImageWidth;
  *height = p::kImageHeight;
  return true;
}

std::int32_t TSimSensor::Status() const {
  std::lock_guard<std::mutex> guard(FLock);
  if (!FScenarioError.empty()) return ssBadScenario;
  if (FOpened) return FLast.State == TPollState::psFinger ? ssFinger : ssOpen;
  return FModel.Unplugged() ? ssUnplugged : ssClosed;
}

TSimSensor::TIdentity TSimSensor::IdentityOf(const TPollResult& r) const {
  if (r.Image >= 0) return TIdentity{0, 0, FModel.Scenario().Images[static_cast<std::size_t>(r.Image)]->Key};
  return TIdentity{r.Subject, r.Finger, 0};
}

bool TSimSensor::MatcherOpen() {
  std::lock_guard<std::mutex> guard(FLock);
  FMatcherOpen = FOpened;
  return FMatcherOpen;
}

bool TSimSensor::MatcherClose() {
  std::lock_guard<std::mutex> guard(FLock);
  const bool wasOpen = FMatcherOpen;
  FMatcherOpen = false;
  FEnrollSlot = -1;
  return wasOpen;
}

bool TSimSensor::MatcherStartEnroll(std::int32_t slot) {
  std::lock_guard<std::mutex> guard(FLock);
  if (!FMatcherOpen || slot < 0 || slot >= p::kMatcherSlots) return false;
  FEnrollSlot = slot;
  FEnrollSamples = 0;
  FEnrollLastPress = -1;
  FSlotUsed[static_cast<std::size_t>(slot)] = false;
  return true;
}

bool TSimSensor::MatcherEnroll(std::int32_t* progress) {
  const std::int64_t start = FClock->BeginFrame();
  bool taken = false;
  std::int32_t frameMs = 0;
  {
    std::lock_guard<std::mutex> guard(FLock);
    frameMs = FrameMsLocked();
    if (FMatcherOpen && FEnrollSlot >= 0 && progress != nullptr) {
      const TPollResult r = PollLocked(false);
      // A usable sample: a finger firm enough to read, from a press not sampled yet.
      if (r.State == TPollState::psFinger && r.Kind != TPressKind::pkLight && r.Press != FEnrollLastPress) {
        const TIdentity who = IdentityOf(r);
        if (FEnrollSamples > 0 && !(who == FEnrollIdentity)) FEnrollSamples = 0;  // another finger: start over
        FEnrollIdentity = who;
        FEnrollLastPress = r.Press;
        taken = true;
        if (++FEnrollSamples >= p::kMatcherSamples) {
          FSlots[static_cast<std::size_t>(FEnrollSlot)] = who;
          FSlotUsed[static_cast<std::size_t>(FEnrollSlot)] = true;
          FEnrollSlot = -1;
        }
      }
      *progress = FEnrollSamples;
    }
  }
  FClock->EndFrame(start, frameMs);
  return taken;
}

bool TSimSensor::MatcherVerify(std::int32_t slot, std::int32_t* matched) {
  const std::int64_t start = FClock->BeginFrame();
  bool read = false;
  std::int32_t frameMs = 0;
  {
    std::lock_guard<std::mutex> guard(FLock);
    frameMs = FrameMsLocked();
    if (FMatcherOpen && slot >= 0 && slot < p::kMatcherSlots && matched != nullptr) {
      const TPollResult r = PollLocked(false);
      if (r.State == TPollState::psFinger && r.Kind != TPressKind::pkLight) {
        const auto s = static_cast<std::size_t>(slot);
        *matched = (FSlotUsed[s] && FSlots[s] == IdentityOf(r)) ? 1 : 0;
        read = true;
      }
    }
  }
  FClock->EndFrame(start, frameMs);
  return read;
}

bool TSimSensor::SetParameter(std::int32_t id, std::int32_t value) {
  std::lock_guard<std::mutex> guard(FLock);
  switch (id) {
    case spFrameMs:
      if (value < 1 || value > 1000) return false;
      FModel.SetFrameMs(value);
      return true;
    case spFramesPerPress:
      if (value < 1 || value > 100) return false;
      FModel.SetFramesPerPress(value);
      return true;
    case spGapPolls:
      if (value < 0 || value > 1000) return false;
      FModel.SetGapPolls(value);
      return true;
    default:
      return false;
  }
}

bool TSimSensor::GetParameter(std::int32_t id, std::int32_t* value) const {
  if (value == nullptr) return false;
  std::lock_guard<std::mutex> guard(FLock);
  const auto clip = [](std::int64_t v) { return static_cast<std::int32_t>(std::min<std::int64_t>(v, 2147483647)); };
  const bool finger = FLast.State == TPollState::psFinger;
  const bool simulated = finger && FLast.Image < 0;
  switch (id) {
    case spFrameMs: *value = FModel.Scenario().FrameMs; return true;
    case spFramesPerPress: *value = FModel.Scenario().FramesPerPress; return true;
    case spGapPolls: *value = FModel.Scenario().GapPolls; return true;
    case spPolls: *value = clip(FPolls); return true;
    case spImages: *value = clip(FImages); return true;
    case spPresses: *value = clip(FModel.PressesBegun()); return true;
    case spStep: *value = FModel.StepIndex(); return true;
    case spSubject: *value = simulated ? static_cast<std::int32_t>(FLast.Subject) : -1; return true;
    case spFinger: *value = simulated ? FLast.Finger : 0; return true;
    case spImage: *value = finger ? FLast.Image : -1; return true;
    case spPressKind: *value = finger ? static_cast<std::int32_t>(FLast.Kind) : -1; return true;
    default: return false;
  }
}

}  // namespace mivex::ostrela
