#pragma once
// A small stroke font (capitals, digits, '-') drawn with round-ended lines, so the
// pictures need no font files.
#include <string>

#include "Canvas.h"

namespace looks {

struct TextStyle {
  double cap_height = 12;  // pixels
  double stroke = 2;       // line width in pixels
  double spacing = 1.2;    // gap between letters, in font units (a letter is 4 wide)
  double slant = 0;        // x shift per pixel of height (italic look)
};

double TextWidth(const std::string& text, const TextStyle& style);
// Draws `text` with its top-left corner at (x, y).
void DrawText(Canvas& canvas, const std::string& text, double x, double y, const TextStyle& style, Rgb colour);

}  // namespace looks
