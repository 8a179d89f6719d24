#pragma once
// Word wrapping of the multi-line label: where each piece of text goes on a picture of
// fixed size, with first-row indents, paragraph spacing, breaks between double-byte
// characters and an optional shrink-to-fit. Text measuring is supplied by the caller
// (real fonts on a device context, or a fixed-width measure in tests).
#include <string>
#include <string_view>
#include <vector>

namespace mivex {

class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // Selects the font size (points) that the following measurements use.
  virtual void SetFontSize(int points) = 0;
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;
  // Lead byte of a double-byte character in the system's ANSI code page.
  virtual bool IsLeadByte(unsigned char byte) = 0;
};

struct LabelSettings {
  int width = 0;
  int height = 0;
  int font_size = 8;     // points
  int row_space = 0;     // above the first row and between rows
  int section_size = 0;  // extra space before each new paragraph (with want_return)
  int forward_size = 0;  // indent of the first row and of each paragraph's first row
  bool want_fit = false;
  bool want_return = false;
};

// One text output at its top-left corner.
struct PlacedText {
  int x;
  int y;
  std::string text;
  bool operator==(const PlacedText&) const = default;
};

struct LabelLayout {
  int font_size = 0;   // the size the texts are drawn at
  int row_space = 0;   // spacings of the last pass
  int section_size = 0;
  int forward_size = 0;
  int passes = 0;      // 0: nothing to lay out
  bool fits = true;    // the last row ends inside the height
  std::vector<PlacedText> texts;
};

// Smallest size the shrink-to-fit lowers a font to.
constexpr int kLabelMinFitSize = 8;

// Lays `lines` out (each entry one paragraph, followed by CR LF). With want_fit, passes
// repeat with the font one point smaller and the spacings at 90 % (rounded down) until
// the rows fit or the font is at 8 points, then with the row and section spacings one
// pixel smaller until both are 0. Only the last pass's texts are returned.
LabelLayout LayOutLabel(const std::vector<std::string>& lines, const LabelSettings& settings, TextMeasure& measure);

}  // namespace mivex
