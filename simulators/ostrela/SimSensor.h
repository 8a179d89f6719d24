#pragma once
// The simulated fingerprint sensor behind the bAPI4_ entry points: open and close,
// arming, image requests that block for one frame time, and a small sensor-side
// matcher. What the sensor sees comes from the press model of its scenario.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MasterCache.h"
#include "PressModel.h"

namespace mivex::ostrela {

// Paces the polls: every image request takes one frame time, with or without a finger,
// so that a caller polling in a loop sleeps instead of spinning.
class TFrameClock {
 public:
  virtual ~TFrameClock() = default;
  // The start of a poll, in the clock's own units.
  virtual std::int64_t BeginFrame() = 0;
  // Blocks until `frameMs` after `start`.
  virtual void EndFrame(std::int64_t start, std::int32_t frameMs) = 0;
};

// Ids of the values that bAPI4_HMFVGetParas reads and bAPI4_HMFVSetParas writes.
enum TSensorParameter : std::int32_t {
  spFrameMs = 1,          // read/write, 1..1000
  spFramesPerPress = 2,   // read/write, 1..100
  spGapPolls = 3,         // read/write, 0..1000
  spPolls = 10,           // read: polls answered while open
  spImages = 11,          // read: finger images delivered
  spPresses = 12,         // read: presses begun
  spStep = 13,            // read: index of the scenario step (from 0)
  spSubject = 14,         // read: simulated subject on the sensor at the last poll, -1 none
  spFinger = 15,          // read: simulated finger on the sensor at the last poll, 0 none
  spPressKind = 16,       // read: kind of that press (0 good, 1 poor, 2 light, 3 none), -1 none
  spImage = 17,           // read: scenario image on the sensor at the last poll, -1 none or simulated
};

// Values of bAPI4_CheckSensorStatus.
enum TSensorStatus : std::int32_t {
  ssBadScenario = -2,  // the scenario text could not be read; the sensor never opens
  ssUnplugged = -1,
  ssClosed = 0,
  ssOpen = 1,
  ssFinger = 2,        // open, and the last poll saw a finger
};

class TSimSensor {
 public:
  // A sensor with a valid scenario.
  TSimSensor(const TScenario& scenario, std::unique_ptr<TFrameClock> clock);
  // A sensor whose scenario was unreadable: it reports ssBadScenario and never opens.
  TSimSensor(std::string scenarioError, std::unique_ptr<TFrameClock> clock);

  bool Open();
  // Plays `scenario` from its beginning from the next poll on; the sensor stays open.
  void ReplaceScenario(const TScenario& scenario);
  void Close();
  bool StartImage();
  void StopImage();
  // One frame: true with a 256 x 288 image in `area` (bottom row first, as the sensor
  // scans) when a finger lies on the sensor; false otherwise. mode must be 0 (8-bit
  // grey), dpi 500, and *width x *height at least 256 x 288 (the caller's area); on
  // success they become 256 and 288.
  bool GetBinaryImage(std::uint8_t* area, std::int32_t mode, std::int32_t dpi, std::int32_t* width,
                      std::int32_t* height);
  // Copies the last finger image delivered since the sensor was opened, in the same
  // layout; does not wait.
  bool GetImage(std::uint8_t* area, std::int32_t* width, std::int32_t* height);
  std::int32_t Status() const;

  // Sensor-side matcher: knows which finger lies on the sensor.
  bool MatcherOpen();
  bool MatcherClose();
  bool MatcherStartEnroll(std::int32_t slot);
  bool MatcherEnroll(std::int32_t* progress);
  bool MatcherVerify(std::int32_t slot, std::int32_t* matched);
  bool SetParameter(std::int32_t id, std::int32_t value);
  bool GetParameter(std::int32_t id, std::int32_t* value) const;

  const std::string& ScenarioError() const { return FScenarioError; }

 private:
  // A simulated finger, or a real image (by its key).
  struct TIdentity {
    std::uint32_t Subject = 0;
    std::int32_t Finger = 0;
    std::uint64_t ImageKey = 0;
    bool operator==(const TIdentity&) const = default;
  };

  TIdentity IdentityOf(const TPollResult& r) const;

  // One poll under the lock; renders the frame when a finger lies on the sensor.
  TPollResult PollLocked(bool render);
  std::int32_t FrameMsLocked() const;

  mutable std::mutex FLock;
  std::unique_ptr<TFrameClock> FClock;
  std::string FScenarioError;
  TPressModel FModel;
  TMasterCache FCache;
  bool FOpened = false;
  bool FArmed = false;
  bool FMatcherOpen = false;
  std::vector<std::uint8_t> FFrame;      // last rendered frame, row 0 at the fingertip
  bool FHaveImage = false;
  TPollResult FLast;
  std::int64_t FPolls = 0;
  std::int64_t FImages = 0;
  // Matcher state.
  std::int32_t FEnrollSlot = -1;
  std::int32_t FEnrollSamples = 0;
  TIdentity FEnrollIdentity;
  std::int64_t FEnrollLastPress = -1;
  std::vector<TIdentity> FSlots;
  std::vector<bool> FSlotUsed;
};

}  // namespace mivex::ostrela
