#include "StrokeFont.h"

#include <cmath>
#include <map>
#include <sstream>
#include <vector>

#include "Shapes.h"

namespace looks {

namespace {

// Glyphs on a grid 4 wide and 6 high (y down). Strokes are separated by ';', points
// by spaces; a stroke starting with '~' is smoothed (rounded letters).
const std::map<char, const char*>& Glyphs() {
  static const std::map<char, const char*> glyphs = {
      {'A', "0,6 2,0 4,6;0.7,4 3.3,4"},
      {'B', "0,3 0,0 2.7,0 3.6,0.8 3.6,2.2 2.7,3 0,3;0,3 3,3 4,3.9 4,5.1 3,6 0,6 0,3"},
      {'C', "~4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5"},
      {'D', "~0,0 2.4,0 4,1.6 4,4.4 2.4,6 0,6;0,0 0,6"},
      {'E', "4,0 0,0 0,6 4,6;0,3 3,3"},
      {'F', "4,0 0,0 0,6;0,3 3,3"},
      {'G', "~4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.4;4,3.4 2.2,3.4"},
      {'H', "0,0 0,6;4,0 4,6;0,3 4,3"},
      {'I', "1,0 3,0;2,0 2,6;1,6 3,6"},
      {'J', "~4,0 4,5 3,6 1,6 0,5"},
      {'K', "0,0 0,6;4,0 0,3.8;1.4,2.6 4,6"},
      {'L', "0,0 0,6 4,6"},
      {'M', "0,6 0,0 2,3.5 4,0 4,6"},
      {'N', "0,6 0,0 4,6 4,0"},
      {'O', "~2,0 3.2,0 4,1 4,5 3.2,6 0.8,6 0,5 0,1 0.8,0 2,0"},
      {'P', "0,6 0,0 3,0 4,1 4,2 3,3 0,3"},
      {'Q', "~2,0 3.2,0 4,1 4,5 3.2,6 0.8,6 0,5 0,1 0.8,0 2,0;2.6,4.6 4.2,6.2"},
      {'R', "0,6 0,0 3,0 4,1 4,2 3,3 0,3;2,3 4,6"},
      {'S', "~4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5"},
      {'T', "0,0 4,0;2,0 2,6"},
      {'U', "~0,0 0,5 1,6 3,6 4,5 4,0"},
      {'V', "0,0 2,6 4,0"},
      {'W', "0,0 1,6 2,2.5 3,6 4,0"},
      {'X', "0,0 4,6;4,0 0,6"},
      {'Y', "0,0 2,3 4,0;2,3 2,6"},
      {'Z', "0,0 4,0 0,6 4,6"},
      {'0', "~2,0 3.2,0 4,1 4,5 3.2,6 0.8,6 0,5 0,1 0.8,0 2,0"},
      {'1', "1,1.2 2.2,0 2.2,6;1,6 3.4,6"},
      {'2', "~0,1 1,0 3,0 4,1 4,2 0,6;0,6 4,6"},
      {'3', "~0,1 1,0 3,0 4,1 4,2 3,3 1.5,3;~3,3 4,4 4,5 3,6 1,6 0,5"},
      {'4', "3,6 3,0 0,4 4,4"},
      {'5', "4,0 0,0 0,3;~0,3 3,3 4,4 4,5 3,6 1,6 0,5"},
      {'6', "~3.5,0 1.5,0 0,1.5 0,5 1,6 3,6 4,5 4,4 3,3 0,3"},
      {'7', "0,0 4,0 1.5,6"},
      {'8', "~2,3 1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3 2,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3 2,3"},
      {'9', "~4,3 1,3 0,2 0,1 1,0 3,0 4,1 4,4.5 2.5,6 0.5,6"},
      {'-', "0.5,3 3.5,3"},
  };
  return glyphs;
}

struct Stroke {
  bool smooth = false;
  std::vector<Pt> points;
};

std::vector<Stroke> ParseGlyph(const char* text) {
  std::vector<Stroke> strokes;
  std::stringstream all(text);
  std::string part;
  while (std::getline(all, part, ';')) {
    Stroke s;
    if (!part.empty() && part[0] == '~') {
      s.smooth = true;
      part.erase(0, 1);
    }
    std::stringstream pts(part);
    std::string pair;
    while (pts >> pair) {
      const size_t comma = pair.find(',');
      s.points.push_back(Pt{std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
    }
    strokes.push_back(std::move(s));
  }
  return strokes;
}

// Two rounds of corner cutting turn the octagons of round letters into curves.
std::vector<Pt> Smooth(std::vector<Pt> pts) {
  for (int round = 0; round < 2; ++round) {
    if (pts.size() < 3) break;
    std::vector<Pt> out{pts.front()};
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
      const Pt a = pts[i], b = pts[i + 1];
      out.push_back(Pt{0.75 * a.x + 0.25 * b.x, 0.75 * a.y + 0.25 * b.y});
      out.push_back(Pt{0.25 * a.x + 0.75 * b.x, 0.25 * a.y + 0.75 * b.y});
    }
    out.push_back(pts.back());
    pts = std::move(out);
  }
  return pts;
}

double Advance(const TextStyle& style) { return (4 + style.spacing) * style.cap_height / 6; }

}  // namespace

double TextWidth(const std::string& text, const TextStyle& style) {
  if (text.empty()) return 0;
  return Advance(style) * static_cast<double>(text.size()) - style.spacing * style.cap_height / 6;
}

void DrawText(Canvas& canvas, const std::string& text, double x, double y, const TextStyle& style, Rgb colour) {
  const double unit = style.cap_height / 6;
  std::vector<Sdf> parts;
  double pen = x;
  for (char ch : text) {
    auto it = Glyphs().find(ch);
    if (it != Glyphs().end()) {
      for (Stroke& s : ParseGlyph(it->second)) {
        std::vector<Pt> pts = s.smooth ? Smooth(s.points) : s.points;
        for (Pt& p : pts) {
          const double py = y + p.y * unit;
          p = Pt{pen + p.x * unit + (y + style.cap_height - py) * style.slant, py};
        }
        for (size_t i = 0; i + 1 < pts.size(); ++i) parts.push_back(Capsule(pts[i], pts[i + 1], style.stroke / 2));
      }
    }
    pen += Advance(style);
  }
  if (parts.empty()) return;
  const int pad = static_cast<int>(style.stroke) + 2;
  const double extra = style.cap_height * std::fabs(style.slant);
  canvas.Fill(Union(std::move(parts)), colour, static_cast<int>(x - extra) - pad, static_cast<int>(y) - pad,
              static_cast<int>(pen + extra) + pad, static_cast<int>(y + style.cap_height) + pad);
}

}  // namespace looks
