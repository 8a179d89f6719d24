#pragma once
// Every picture and sound of the fashion dialogs, drawn from the looks' own geometry.
#include <cstdint>
#include <vector>

#include "Canvas.h"
#include "Indexed.h"
#include "Shapes.h"
#include "ui/FashionLayout.h"

namespace looks {

constexpr Rgb kWhite = RgbOf(255, 255, 255);
// Finger areas: the masks and the unselected buttons show this grey; the nail is
// drawn one step darker, as in the masks.
constexpr Colour kFingerGrey{95, 95, 95};
constexpr Colour kNailGrey{94, 94, 94};
constexpr int kTitleBandHeight = 80;

// A finger as seen on the picture: round at the tip, cut straight where it meets the
// palm, in dialog coordinates.
struct FingerShape {
  Pt base, tip;
  double radius;
  Sdf Area() const { return HalfCapsule(base, tip, radius); }
};
// Finger k (1..10), fitted so that its pixels fill exactly its mask's rectangle.
FingerShape Finger(int k);

Canvas Background();                                   // bitmap 101
Canvas FingerMask(int k);                              // bitmaps 119..128
Canvas DrawStepPicture(mivex::fashion::StepState state, int n);  // 64 x 64
IndexedImage GlyphPair(bool finish);                   // "BBOK" / "BBCANCEL", 16 colours

std::vector<std::uint8_t> HoverSound();    // 129: 11025 Hz, 1256 samples
std::vector<std::uint8_t> PressSound();    // 301: 22050 Hz, 1068 samples
std::vector<std::uint8_t> ReleaseSound();  // 302: 22050 Hz, 661 samples
std::vector<std::uint8_t> DingSound();     // the capture sound file, 22050 Hz

}  // namespace looks
