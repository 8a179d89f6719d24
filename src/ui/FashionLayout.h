#pragma once
// The fixed geometry and resource numbers of the two fashion dialogs: where each
// numbered widget goes, the ten finger areas with their masks, the row of step pictures
// and which picture shows a step in which state. Shared by the looks and by the
// generator that draws their pictures, so both always agree.
#include <array>

namespace mivex::fashion {

// A layout value that leaves the widget's current value as it is.
constexpr int kKeep = -1;

struct WidgetPlace {
  int left, top, width, height;
};

constexpr int kLookWidth = 530;
constexpr int kLookHeight = 400;

// Widgets 0..11 of the enrollment look and 0..5 of the verification look.
constexpr std::array<WidgetPlace, 12> kEnrollPlaces{{
    {0, 0, 0, 0},                // 0 blank image
    {336, 47, kKeep, kKeep},     // 1 "ID" caption
    {364, 47, 130, 20},          // 2 user identifier box
    {10, 308, 322, 65},          // 3 status text
    {0, 0, 530, 400},            // 4 background picture
    {358, 268, 65, 25},          // 5 Cancel button
    {435, 268, 65, 25},          // 6 Finish button
    {kKeep, 245, 0, 0},          // 7..10 step pictures, placed by the step row
    {kKeep, 245, 0, 0},
    {kKeep, 245, 0, 0},
    {kKeep, 245, 0, 0},
    {364, 130, 120, 113},        // 11 device view
}};
constexpr std::array<WidgetPlace, 6> kVerifyPlaces{{
    {0, 0, 0, 0},
    {336, 47, kKeep, kKeep},
    {364, 47, 130, 20},
    {10, 308, 322, 65},
    {0, 0, 530, 400},
    {364, 130, 120, 113},        // 5 device view
}};

// Size a new "ID" caption label has before any layout.
constexpr int kIDLabelWidth = 65;
constexpr int kIDLabelHeight = 17;

// Finger k (1..10) is kFingers[k - 1]: its first bounds, then its mask bitmap, whose
// size the button takes once its shape is applied.
struct FingerArea {
  const char* code;
  int left, top, width, height;
  int mask_id;
  int mask_width, mask_height;
};
constexpr std::array<FingerArea, 10> kFingers{{
    {"L1", 129, 108, 36, 50, 119, 37, 46},
    {"L2", 67, 108, 60, 39, 120, 67, 39},
    {"L3", 45, 124, 51, 41, 121, 56, 41},
    {"L4", 42, 151, 39, 36, 122, 43, 39},
    {"L5", 45, 181, 37, 38, 123, 48, 43},
    {"R1", 196, 108, 36, 50, 124, 38, 46},
    {"R2", 228, 108, 60, 39, 125, 68, 39},
    {"R3", 261, 124, 51, 41, 126, 57, 41},
    {"R4", 277, 151, 39, 36, 127, 44, 39},
    {"R5", 271, 181, 37, 38, 128, 46, 42},
}};

// Bitmap and sound resources.
constexpr int kBackgroundBitmap = 101;
constexpr int kBackgroundNoTitle300 = 199;  // 530 x 300 crop, unused by the looks
constexpr int kBackgroundNoTitle230 = 200;  // 530 x 230 crop, unused by the looks
constexpr const char* kCancelGlyphs = "BBCANCEL";
constexpr const char* kFinishGlyphs = "BBOK";
constexpr int kHoverSound = 129;
constexpr int kPressSound = 301;
constexpr int kReleaseSound = 302;
constexpr int kStepPictureSize = 64;

// Message catalogue texts of the button hints.
constexpr int kCancelHintText = 207;  // "Exit"
constexpr int kFinishHintText = 203;  // "Finish"

// The step picture row: four widgets, top 245, centred on x = 170.
constexpr int kStepWidgets = 4;
constexpr int kStepRowCentre = 170;
constexpr int kStepCellWidth = 80;
constexpr int kStepCellHeight = 59;

struct StepCell {
  int left, width, height;
};
// Cells of the four step widgets for `sample_count` presses per finger: 1..4 widgets
// in use, 4 for any other count; unused cells get width and height 0.
std::array<StepCell, kStepWidgets> StepRow(int sample_count);

enum class StepState { Pending, Current, Done, Failed };

// Steps 1..8: which of the four widgets shows step n (0..3), -1 outside 1..8.
int StepWidget(int n);
// The picture of step n in a state, 0 outside 1..8.
int StepPicture(StepState state, int n);

}  // namespace mivex::fashion
