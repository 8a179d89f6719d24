#pragma once
// The scenario of a simulated sensor run: which finger of which subject is pressed
// next and how, gaps without a finger, and times when the sensor is unplugged.
//
// Text form: steps separated by line breaks or ';', words by blanks, '#' starts a
// comment that runs to the end of the line.
//   press <subject> <finger> [good|poor|light|none] [x<count>]
//       <count> presses (default 1) of one finger: subject 0..2147483647, finger 1..10
//       or L1..L5, R1..R5 (thumb to little finger). Each press is preceded by the gap
//       (finger lifted) and lasts `frames` polls. Kind none: the frames pass without a
//       finger, as when the user hesitates.
//   none [<polls>]     no finger for <polls> polls; forever without a number
//   unplug [<calls>]   the sensor is gone for the next <calls> open attempts and polls;
//                      forever without a number. An open sensor loses its connection.
//   image <file> [x<count>]
//       <count> presses (default 1) of a real fingerprint image: an 8-bit grey PNG or
//       binary PGM of any size, taken at 500 dpi, centred on the sensor and cropped or
//       padded to its frame. Every frame of such a press is that image.
//   images <folder> <pattern>
//       one press of each file in <folder> whose name matches <pattern> ('*' any run of
//       characters, '?' one character), in the order of their names
//   repeat             start again from the first step; must be the last step
// A word holding blanks, ';' or '#' is put in double quotes. Relative paths are read
// from the scenario file's folder, or the current folder for a scenario given as text.
// Settings, anywhere, for the whole run:
//   frame-ms <1..1000>  frame time, how long one poll takes (default 50)
//   frames <1..100>     polls per press that see the finger (default 6)
//   gap <0..1000>       polls without a finger before each press (default 4)
//   seed <0..2^31-1>    varies every impression of the run, not the fingers (default 0)
// A scenario without steps presses the default finger (subject 1, R2) well, forever.
// After the last step (without repeat) the sensor stays empty.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Impression.h"

namespace mivex::ostrela {

enum class TStepKind : std::uint8_t { skPress, skNone, skUnplug, skImage };

struct TScenarioStep {
  TStepKind Kind = TStepKind::skPress;
  std::uint32_t Subject = 0;
  std::int32_t Finger = 0;  // 1..10
  TPressKind Press = TPressKind::pkGood;
  std::int32_t Count = 1;   // presses, polls or calls; kForever for ever
  // Image steps: the file, or the folder and the pattern of its file names.
  std::string Path;
  std::string Pattern;
  bool Folder = false;
  std::int32_t Line = 0;    // of the scenario text, for messages about its files
  // Set when the images are loaded: the step's images in TScenario::Images.
  std::int32_t FirstImage = 0;
  std::int32_t ImageCount = 0;
};

inline constexpr std::int32_t kForever = -1;

// A real fingerprint image fitted to the sensor's frame.
struct TScenarioImage {
  std::string Source;                // the file it was read from
  std::uint64_t Key = 0;             // tells images apart for the sensor-side matcher
  std::vector<std::uint8_t> Pixels;  // 256 x 288, row 0 at the top
};

struct TScenario {
  std::vector<TScenarioStep> Steps;
  std::vector<std::shared_ptr<const TScenarioImage>> Images;
  bool Repeat = false;
  std::int32_t FrameMs = 50;
  std::int32_t FramesPerPress = 6;
  std::int32_t GapPolls = 4;
  std::uint32_t Seed = 0;
};

// The default finger of a run without scenario: subject 1, right forefinger.
inline constexpr std::uint32_t kDefaultSubject = 1;
inline constexpr std::int32_t kDefaultFinger = 7;

// Parses the text form. On failure returns false with `error` naming the line (from
// 1) and the problem; `scenario` is then unspecified.
bool ParseScenario(const std::string& text, TScenario& scenario, std::string& error);

// Reads the files of the image steps into `scenario.Images`, relative paths from
// `baseFolder` (empty: the current folder). On failure returns false with `error`
// naming the line and the file, and the scenario must not be played.
bool LoadScenarioImages(TScenario& scenario, const std::string& baseFolder, std::string& error);

// Whether `name` matches `pattern` ('*' any run of characters, '?' one character).
bool NameMatches(const std::string& name, const std::string& pattern);

// Finger index 1..10 of "1".."10" or "L1".."R5" (any case); 0 when not a finger.
std::int32_t ParseFinger(const std::string& word);

}  // namespace mivex::ostrela
