#pragma once
// The model of the user's ten fingers shared by the enrollment and verification controls:
// numbering and codes, finger states, the finger collection with its click rule, and the
// text forms in which fingers and templates cross the library's boundary.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Component.h"

namespace mivex {

class TBaseUI;
class TJpegImage;

// Fingers are numbered 1..10: 1..5 the left thumb to the left little finger, 6..10 the
// right thumb to the right little finger.
constexpr int kFingerCount = 10;

// The one table that turns a finger index (1..10) into its code.
inline constexpr std::array<std::string_view, kFingerCount + 1> kFingerCodes = {
    "", "L1", "L2", "L3", "L4", "L5", "R1", "R2", "R3", "R4", "R5"};

// Catalogue number of the finger's name: 216 "Left Thumb" .. 225 "Right Little Finger".
constexpr int FingerNameTextId(int index) { return 215 + index; }

enum class TValidFinger : std::uint8_t {
  vfLeftThumb,
  vfLeftForefinger,
  vfLeftMiddleFinger,
  vfLeftRingFinger,
  vfLeftLittleFinger,
  vfRightThumb,
  vfRightForefinger,
  vfRightMiddleFinger,
  vfRightRingFinger,
  vfRightLittleFinger,
};

// Set of TValidFinger: bit n holds the member of ordinal n (finger index n + 1); bits
// 10..15 are always 0.
using TValidFingers = std::uint16_t;
constexpr TValidFingers kAllFingers = 1023;
constexpr TValidFingers FingerBit(int index) {
  return index >= 1 && index <= kFingerCount ? static_cast<TValidFingers>(1u << (index - 1)) : 0;
}
constexpr TValidFingers FingerBit(TValidFinger finger) {
  return static_cast<TValidFingers>(1u << static_cast<unsigned>(finger));
}
int MemberCount(TValidFingers set);

enum class TEnrollPurpose : std::uint8_t { epNewEnroll, epUpdateEnroll };
enum class TVerifyPurpose : std::uint8_t { vpVerify, vpIdentify };

enum class TFingerState : std::uint8_t {
  fgNone,      // no template for this finger in this dialog
  fgSelected,  // chosen by the user; capture for it is running
  fgEnrolled,  // has a template, or is named in the host's list of enrolled fingers
  fgDeleted,   // was enrolled and the user deleted it in this dialog
};

using TByteBlock = std::vector<std::uint8_t>;

// One finger with its templates, its sample pictures and its clickable button.
class TFinger : public TObject {
 public:
  // The finger owns `button` (the look's polygon button, or none where there is no look).
  explicit TFinger(std::unique_ptr<TComponent> button);
  ~TFinger() override;
  TFinger(const TFinger&) = delete;
  TFinger& operator=(const TFinger&) = delete;

  // Drops both template blocks.
  void DropTemplates();
  // Frees every sample picture and empties the list.
  void ClearImages();

  TFingerState State = TFingerState::fgNone;
  std::unique_ptr<TByteBlock> EnrollTemplate;
  // Stored instead of EnrollTemplate while the device fetches a verification template.
  std::unique_ptr<TByteBlock> VerifyTemplate;
  // Every sample picture captured for this finger since it was last deleted, in capture
  // order; a cancelled capture leaves its pictures here.
  std::vector<std::unique_ptr<TJpegImage>> Images;
  std::int32_t TemplateLen = 0;
  std::unique_ptr<TComponent> Button;
};

// An opaque window handle (HWND on Windows).
using TWindowHandle = void*;

// What the finger collection needs from the control that owns it.
class TFingersOwner {
 public:
  // The control's look; null when it has none.
  virtual TBaseUI* Look() = 0;
  // True while the capture device's operation is ftGetVerifyTemplate.
  virtual bool DeviceGetsVerifyTemplate() = 0;
  virtual TValidFingers ValidFingers() = 0;
  // The window that contains the control (the owner of its message boxes).
  virtual TWindowHandle ContainingWindow() = 0;
  // A Yes/No message box with an empty title, owned by `owner`; true for Yes.
  virtual bool AskYesNo(TWindowHandle owner, const std::string& text) = 0;

 protected:
  ~TFingersOwner() = default;
};

// The collection of the ten fingers; item k is finger k.
class TFingers : public TObject {
 public:
  // Asks the owner's look for fingers 1..10 in this order.
  explicit TFingers(TFingersOwner* owner);
  ~TFingers() override;
  TFingers(const TFingers&) = delete;
  TFingers& operator=(const TFingers&) = delete;

  // Finger `index` (1..10); null outside that range.
  TFinger* Item(int index) const;
  const std::vector<std::unique_ptr<TFinger>>& Items() const { return items_; }
  // The finger being worked on; null before the first Select.
  TFinger* CurrentFinger() const { return Item(Current); }

  // Every finger back to fgNone without templates; then RedrawAll.
  void Clear();
  // The click rule: a free or deleted finger becomes selected (all buttons off), a
  // selected one becomes free again (buttons on), an enrolled one is deleted after the
  // user confirms text 226.
  void Select(int index);
  // The current finger returns to the state it had before Select.
  void CancelCurrent();
  bool NoneEnrolled() const;
  int EnrolledCount() const;
  // Off: every button disabled. On: the buttons of the owner's ValidFingers enabled, the
  // others left as they are.
  void EnableButtons(bool on);
  // Stores TemplateLen bytes of `data` for the current finger (as its verification
  // template while the device gets one, else as its enrollment template) and marks it
  // enrolled.
  void StoreTemplate(const std::uint8_t* data);
  void Redraw(int index);
  void RedrawAll();

  TWindowHandle MessageOwner = nullptr;
  TFingerState PrevState = TFingerState::fgNone;
  // Picture of the last verification sample.
  std::unique_ptr<TJpegImage> VerifyImage;
  std::int32_t Current = 0;
  std::int32_t TemplateLen = 0;

 private:
  std::vector<std::unique_ptr<TFinger>> items_;
  TFingersOwner* owner_;
};

// ---------------------------------------------------------------------------------------
// Text forms

// The code of finger `index` ("L1".."R5"); empty outside 1..10.
std::string FingerCode(int index);
// The index of a finger code (exact, case-sensitive); 0 for a text that is no code.
int FingerIndexOfCode(std::string_view code);

// A text naming selectable fingers: empty gives all ten; otherwise every code found
// anywhere in the text sets its bit (possibly none).
TValidFingers FingerSetFromText(std::string_view text);

// Flags, indexed 1..10, of the fingers named in the host's list of enrolled fingers.
using TWasEnrolled = std::array<bool, kFingerCount + 1>;

enum class TEnrolledListResult {
  kRead,       // every code applied: store the text as EnrolledFingers
  kIgnored,    // empty or odd length: fingers cleared, nothing else
  kMalformed,  // a malformed code: report error 310; the codes before it stay applied
};
// Error code of a malformed code in the enrolled-finger list.
constexpr std::int32_t kEnrolledFingerError = 310;

// Applies the host's list of enrolled fingers (codes without separators, e.g. "L1R3"):
// clears the flags and the fingers, then marks each named finger enrolled (without
// template data) and sets its flag. A code reads "L" digit (index = digit) or "R" digit
// (index = digit + 5) with a digit 1..5; any other digit is malformed like any other bad
// code.
TEnrolledListResult ReadEnrolledFingers(std::string_view text, TFingers& fingers, TWasEnrolled& wasEnrolled);

// Appends the entry code ";" length ";" template-text ";" for finger `index` to the
// enrollment template string, encoding the first `len` bytes of `data`.
// False, appending nothing, for an index outside 1..10, a negative length or missing data.
bool AppendEnrollEntry(std::string& enrollTempStr, int index, const std::uint8_t* data, std::int32_t len);

// The verification template string: the template text of `len` bytes alone.
std::string VerifyTemplateText(const std::uint8_t* data, std::int32_t len);

}  // namespace mivex
