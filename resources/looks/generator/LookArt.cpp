#include "LookArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "StrokeFont.h"

namespace looks {

namespace fashion = mivex::fashion;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Colours of the dialog picture.
constexpr Rgb kBandTop = RgbOf(18, 58, 96);
constexpr Rgb kBandBottom = RgbOf(10, 92, 118);
constexpr Rgb kBandAccent = RgbOf(0, 153, 153);
constexpr Rgb kTitleText = RgbOf(255, 255, 255);
constexpr Rgb kSubtitleText = RgbOf(150, 214, 220);
constexpr Rgb kPalmLight = RgbOf(236, 240, 245);
constexpr Rgb kPalmShade = RgbOf(208, 216, 226);
constexpr Rgb kHandLine = RgbOf(92, 108, 128);
constexpr Rgb kCuff = RgbOf(22, 70, 108);
constexpr Rgb kCardFill = RgbOf(244, 247, 250);
constexpr Rgb kCardLine = RgbOf(214, 221, 229);
constexpr Rgb kBezelLight = RgbOf(178, 190, 204);
constexpr Rgb kBezelDark = RgbOf(96, 112, 132);
constexpr Rgb kScreen = RgbOf(34, 44, 56);
constexpr Rgb kBoxLine = RgbOf(120, 170, 180);

// How each finger points: radius, and the corner of its rectangle that holds the tip.
struct FingerPose {
  double radius;
  int tip_x;  // -1 tip at the left edge, +1 at the right edge
  int tip_y;  // -1 tip at the top edge, +1 at the bottom edge
};
constexpr FingerPose kPoses[10] = {
    {10.5, -1, -1}, {9.5, -1, -1}, {10.0, -1, -1}, {9.5, -1, -1}, {8.5, -1, -1},  // left hand
    {10.5, +1, -1}, {9.5, +1, -1}, {10.0, +1, -1}, {9.5, +1, -1}, {8.5, +1, -1},  // right hand
};

FingerShape FitFinger(const fashion::FingerArea& a, const FingerPose& pose, double inset) {
  const double x0 = a.left + inset, y0 = a.top + inset;
  const double x1 = a.left + a.mask_width - inset, y1 = a.top + a.mask_height - inset;
  const double w = x1 - x0, h = y1 - y0, r = pose.radius;
  // The finger's angle to the horizontal: the tip circle touches two edges and the
  // corners of the straight base end touch the other two.
  double angle = 0.5;
  for (int i = 0; i < 200; ++i) angle = std::atan2(h - r - r * std::cos(angle), w - r - r * std::sin(angle));
  FingerShape f;
  f.radius = r;
  f.tip = Pt{pose.tip_x < 0 ? x0 + r : x1 - r, pose.tip_y < 0 ? y0 + r : y1 - r};
  f.base = Pt{pose.tip_x < 0 ? x1 - r * std::sin(angle) : x0 + r * std::sin(angle),
              pose.tip_y < 0 ? y1 - r * std::cos(angle) : y0 + r * std::cos(angle)};
  return f;
}

bool InMask(const FingerShape& f, const fashion::FingerArea& a, int x, int y) {
  return f.Area()(a.left + x + 0.5, a.top + y + 0.5) < 0;
}

bool FillsRectangle(const FingerShape& f, const fashion::FingerArea& a) {
  int min_x = a.mask_width, min_y = a.mask_height, max_x = -1, max_y = -1;
  for (int y = 0; y < a.mask_height; ++y)
    for (int x = 0; x < a.mask_width; ++x)
      if (InMask(f, a, x, y)) {
        min_x = std::min(min_x, x);
        max_x = std::max(max_x, x);
        min_y = std::min(min_y, y);
        max_y = std::max(max_y, y);
      }
  return min_x == 0 && min_y == 0 && max_x == a.mask_width - 1 && max_y == a.mask_height - 1;
}

// The nail: a small rounded patch just behind the tip.
Sdf Nail(const FingerShape& f) {
  const double len = std::hypot(f.tip.x - f.base.x, f.tip.y - f.base.y);
  const double ux = (f.tip.x - f.base.x) / len, uy = (f.tip.y - f.base.y) / len;
  const Pt a{f.tip.x - ux * f.radius * 0.9, f.tip.y - uy * f.radius * 0.9};
  const Pt b{f.tip.x + ux * f.radius * 0.15, f.tip.y + uy * f.radius * 0.15};
  return Capsule(a, b, f.radius * 0.45);
}

Pt Along(const FingerShape& f, double from_base) {
  const double len = std::hypot(f.tip.x - f.base.x, f.tip.y - f.base.y);
  return Pt{f.base.x + (f.tip.x - f.base.x) * from_base / len, f.base.y + (f.tip.y - f.base.y) * from_base / len};
}

// Palm outline of the left hand; the right hand's is its mirror image.
constexpr double kMirrorAxis = 180.75;
const std::vector<Pt>& LeftPalm() {
  static const std::vector<Pt> palm = {
      {124, 140}, {152, 146}, {163, 166}, {162, 212}, {160, 234}, {128, 236},
      {120, 230}, {96, 212}, {84, 190}, {88, 166}, {102, 150},
  };
  return palm;
}

// Closed-outline corner cutting: each round replaces a corner by two points, so the
// palm's outline becomes a smooth curve through its defining points' hull.
std::vector<Pt> SmoothClosed(std::vector<Pt> pts, int rounds) {
  for (int r = 0; r < rounds; ++r) {
    std::vector<Pt> out;
    for (size_t i = 0; i < pts.size(); ++i) {
      const Pt a = pts[i], b = pts[(i + 1) % pts.size()];
      out.push_back(Pt{0.75 * a.x + 0.25 * b.x, 0.75 * a.y + 0.25 * b.y});
      out.push_back(Pt{0.25 * a.x + 0.75 * b.x, 0.25 * a.y + 0.75 * b.y});
    }
    pts = std::move(out);
  }
  return pts;
}

Sdf Palm(bool right) {
  std::vector<Pt> pts = LeftPalm();
  if (right)
    for (Pt& p : pts) p.x = 2 * kMirrorAxis - p.x;
  return Polygon(SmoothClosed(std::move(pts), 3), 8);
}

// One hand's silhouette: palm and the fingers continued into it.
Sdf Hand(bool right) {
  // Each finger blends into the palm with a rounded web; fingers stay apart.
  const Sdf palm = Palm(right);
  std::vector<Sdf> parts{palm};
  for (int k = right ? 6 : 1; k <= (right ? 10 : 5); ++k) {
    const FingerShape f = Finger(k);
    parts.push_back(SmoothUnion({palm, Capsule(Along(f, k == 1 || k == 6 ? -20 : -8), f.tip, f.radius + 0.5)}, 6));
  }
  return Union(std::move(parts));
}

void DrawHand(Canvas& c, bool right) {
  const Sdf hand = Hand(right);
  const int x0 = right ? 180 : 30, x1 = right ? 335 : 182;
  c.Fill(hand,
         [](double, double y) { return Mix(kPalmLight, kPalmShade, std::clamp((y - 110) / 140, 0.0, 1.0)); },
         x0, 95, x1, 250);
  c.Outline(hand, kHandLine, 1.6, x0, 95, x1, 250);
  // Sleeve cuff across the wrist.
  const double cx = right ? 2 * kMirrorAxis - 145 : 145;
  const Sdf cuff = RoundedBox(cx - 21, 229, cx + 21, 245, 3);
  c.Fill(cuff, kCuff, x0, 220, x1, 245);
  c.Fill(RoundedBox(cx - 21, 229, cx + 21, 231.5, 1), Mix(kCuff, kWhite, 0.35), x0, 226, x1, 236);
}

// Whether the dialog pixel (x, y) belongs to finger k. Where a thumb and its
// forefinger touch, the pixels go to the forefinger, so no two finger areas overlap.
bool FingerPixel(int k, int x, int y) {
  const double px = x + 0.5, py = y + 0.5;
  if (Finger(k).Area()(px, py) >= 0) return false;
  const bool thumb = k == 1 || k == 6;
  return !thumb || Finger(k + 1).Area()(px, py) >= 0;
}

// Paints finger k exactly as its mask and its unselected button show it.
void DrawFingerArea(Canvas& c, int k) {
  const fashion::FingerArea& a = fashion::kFingers[static_cast<size_t>(k - 1)];
  const Sdf nail = Nail(Finger(k));
  for (int y = 0; y < a.mask_height; ++y)
    for (int x = 0; x < a.mask_width; ++x)
      if (FingerPixel(k, a.left + x, a.top + y)) {
        const bool on_nail = nail(a.left + x + 0.5, a.top + y + 0.5) < 0;
        const Colour g = on_nail ? kNailGrey : kFingerGrey;
        c.Set(a.left + x, a.top + y, RgbOf(g[0], g[1], g[2]));
      }
}

void DrawEmblem(Canvas& c, double cx, double cy) {
  c.Fill(Circle(Pt{cx, cy}, 24), RgbOf(255, 255, 255), static_cast<int>(cx) - 27, static_cast<int>(cy) - 27,
         static_cast<int>(cx) + 27, static_cast<int>(cy) + 27, 0.12);
  // Ridges: nested arcs open at the bottom, like a fingerprint's core.
  for (int i = 0; i < 5; ++i) {
    const double r = 4 + i * 3.6;
    const Sdf ring = Circle(Pt{cx, cy + 2}, r);
    const Sdf ridge = [=](double x, double y) {
      const double band = std::fabs(ring(x, y)) - 0.9;
      const double below = (y - (cy + 2)) - r * 0.55 + (i % 2) * 2.0;  // open bottom
      return std::max(band, below);
    };
    c.Fill(ridge, kSubtitleText, static_cast<int>(cx) - 26, static_cast<int>(cy) - 26, static_cast<int>(cx) + 26,
           static_cast<int>(cy) + 26);
  }
}

void DrawTitleBand(Canvas& c) {
  for (int y = 0; y < kTitleBandHeight; ++y)
    for (int x = 0; x < c.Width(); ++x) {
      const double t = y / double(kTitleBandHeight - 1) * 0.8 + x / double(c.Width()) * 0.2;
      c.Set(x, y, Mix(kBandTop, kBandBottom, t));
    }
  for (int x = 0; x < c.Width(); ++x) {
    c.Set(x, kTitleBandHeight - 3, kBandAccent);
    c.Set(x, kTitleBandHeight - 2, Mix(kBandAccent, kWhite, 0.35));
    c.Set(x, kTitleBandHeight - 1, Mix(kBandAccent, kWhite, 0.75));
  }
  DrawEmblem(c, 42, 38);
  TextStyle title;
  title.cap_height = 20;
  title.stroke = 2.6;
  title.spacing = 1.5;
  DrawText(c, "FINGERPRINT", 80, 19, title, kTitleText);
  TextStyle sub;
  sub.cap_height = 8;
  sub.stroke = 1.3;
  sub.spacing = 2.2;
  DrawText(c, "BIOMETRIC IDENTIFICATION", 81, 50, sub, kSubtitleText);
}

void DrawUserIDBox(Canvas& c) {
  const fashion::WidgetPlace& box = fashion::kEnrollPlaces[2];
  const double x0 = box.left - 5, y0 = box.top - 4, x1 = box.left + box.width + 5, y1 = box.top + box.height + 4;
  const Sdf frame = RoundedBox(x0, y0, x1, y1, 5);
  c.Fill(frame, kWhite, static_cast<int>(x0) - 2, static_cast<int>(y0) - 2, static_cast<int>(x1) + 2,
         static_cast<int>(y1) + 2);
  c.Outline(frame, kBoxLine, 1.2, static_cast<int>(x0) - 2, static_cast<int>(y0) - 2, static_cast<int>(x1) + 2,
            static_cast<int>(y1) + 2);
}

void DrawDeviceCard(Canvas& c) {
  const fashion::WidgetPlace& view = fashion::kEnrollPlaces[11];
  const double vx0 = view.left, vy0 = view.top, vx1 = view.left + view.width, vy1 = view.top + view.height;
  // A light card holding the device view and the two buttons below it.
  const Sdf card = RoundedBox(vx0 - 18, vy0 - 20, vx1 + 26, 306, 10);
  c.Fill(card, kCardFill, 330, 100, 520, 310);
  c.Outline(card, kCardLine, 1.2, 330, 100, 520, 310);
  // The bezel around the live fingerprint.
  const Sdf bezel = RoundedBox(vx0 - 8, vy0 - 8, vx1 + 8, vy1 + 8, 9);
  c.Fill(bezel, [&](double, double y) { return Mix(kBezelLight, kBezelDark, (y - vy0 + 8) / (vy1 - vy0 + 16)); },
         340, 110, 510, 260);
  c.Outline(bezel, kBezelDark, 1.0, 340, 110, 510, 260);
  c.Fill(RoundedBox(vx0 - 1, vy0 - 1, vx1 + 1, vy1 + 1, 2), kScreen, 340, 110, 510, 260);
  // Status lamp under the view.
  c.Fill(Circle(Pt{vx1 - 2, vy1 + 14}, 2.6), RgbOf(40, 190, 120), 470, 250, 490, 265);
}

}  // namespace

FingerShape Finger(int k) {
  // Fitting is a search; the ten results are computed once.
  static const std::array<FingerShape, 10> fingers = [] {
    std::array<FingerShape, 10> out{};
    for (size_t i = 0; i < out.size(); ++i) {
      const fashion::FingerArea& a = fashion::kFingers[i];
      bool found = false;
      for (int step = 0; step <= 40 && !found; ++step) {
        const FingerShape f = FitFinger(a, kPoses[i], step * 0.025);
        if (FillsRectangle(f, a)) {
          out[i] = f;
          found = true;
        }
      }
      if (!found) throw std::runtime_error(std::string("finger ") + a.code + " does not fill its mask");
    }
    return out;
  }();
  return fingers.at(static_cast<size_t>(k - 1));
}

Canvas Background() {
  Canvas c(fashion::kLookWidth, fashion::kLookHeight, kWhite);
  DrawTitleBand(c);
  DrawUserIDBox(c);
  DrawDeviceCard(c);
  DrawHand(c, false);
  DrawHand(c, true);
  for (int k = 1; k <= 10; ++k) DrawFingerArea(c, k);
  // A hairline above the status text.
  for (int x = 10; x < 332; ++x) c.Set(x, 306, RgbOf(222, 228, 234));
  return c;
}

Canvas FingerMask(int k) {
  const fashion::FingerArea& a = fashion::kFingers.at(static_cast<size_t>(k - 1));
  Canvas full(fashion::kLookWidth, fashion::kLookHeight, kWhite);
  DrawFingerArea(full, k);
  Canvas mask(a.mask_width, a.mask_height, kWhite);
  for (int y = 0; y < a.mask_height; ++y)
    for (int x = 0; x < a.mask_width; ++x) mask.Set(x, y, full.At(a.left + x, a.top + y));
  return mask;
}

Canvas DrawStepPicture(fashion::StepState state, int n) {
  Canvas c(fashion::kStepPictureSize, fashion::kStepPictureSize, kWhite);
  const Pt centre{38, 29};
  const double radius = 20;
  const Sdf disc = Circle(centre, radius);
  Rgb fill, rim, ink;
  switch (state) {
    case fashion::StepState::Pending:
      fill = RgbOf(222, 226, 231), rim = RgbOf(176, 184, 194), ink = RgbOf(96, 104, 114);
      break;
    case fashion::StepState::Current:
      fill = RgbOf(26, 52, 86), rim = RgbOf(12, 30, 56), ink = kWhite;
      break;
    case fashion::StepState::Done:
      fill = RgbOf(28, 104, 204), rim = RgbOf(16, 70, 150), ink = kWhite;
      break;
    case fashion::StepState::Failed:
      fill = RgbOf(178, 183, 189), rim = RgbOf(140, 146, 154), ink = RgbOf(214, 28, 36);
      break;
  }
  // Soft shadow, then the disc with a lighter top.
  c.Fill(Circle(Pt{centre.x + 1.5, centre.y + 2}, radius), RgbOf(200, 205, 212), 0, 0, 64, 64, 0.6);
  c.Fill(disc, [&](double, double y) { return Mix(Mix(fill, kWhite, 0.18), fill, (y - 9) / 40); }, 0, 0, 64, 64);
  c.Outline(Circle(centre, radius - 0.6), rim, 1.4, 0, 0, 64, 64);

  TextStyle digits;
  digits.cap_height = 18;
  digits.stroke = 3.2;
  const std::string number = std::to_string(n);
  switch (state) {
    case fashion::StepState::Pending:
    case fashion::StepState::Current:
      DrawText(c, number, centre.x - TextWidth(number, digits) / 2, centre.y - 9, digits, ink);
      break;
    case fashion::StepState::Done: {
      TextStyle ok = digits;
      ok.cap_height = 14;
      ok.stroke = 2.8;
      ok.spacing = 1.4;
      DrawText(c, "OK", centre.x - TextWidth("OK", ok) / 2, centre.y - 7, ok, ink);
      break;
    }
    case fashion::StepState::Failed: {
      const Sdf cross = Union({Capsule(Pt{centre.x - 9, centre.y - 9}, Pt{centre.x + 9, centre.y + 9}, 2.6),
                               Capsule(Pt{centre.x + 9, centre.y - 9}, Pt{centre.x - 9, centre.y + 9}, 2.6)});
      c.Fill(cross, ink, 0, 0, 64, 64);
      break;
    }
  }
  if (state == fashion::StepState::Current) {
    // A red arrow pointing at the disc from the left.
    const Sdf arrow = Union({Capsule(Pt{2.5, centre.y}, Pt{10, centre.y}, 2.2),
                             Polygon({{9, centre.y - 7.5}, {17, centre.y}, {9, centre.y + 7.5}}, 0.6)});
    c.Fill(arrow, RgbOf(218, 32, 38), 0, 0, 20, 64);
  }
  return c;
}

IndexedImage GlyphPair(bool finish) {
  // Sixteen fixed colours; the first (olive) is the transparent background, as the
  // pixel at the bottom-left corner tells the button.
  const std::vector<Colour> palette = {
      {128, 128, 0}, {0, 0, 0},       {255, 255, 255}, {128, 128, 128}, {192, 192, 192}, {96, 96, 96},
      {224, 224, 224}, {0, 100, 0},   {0, 150, 40},    {110, 200, 110}, {140, 0, 0},     {205, 30, 30},
      {240, 130, 130}, {160, 160, 160}, {64, 64, 64},  {0, 70, 0},
  };
  constexpr int kSize = 18;
  Canvas paint(2 * kSize, kSize, RgbOf(212, 208, 200));
  Canvas cover(2 * kSize, kSize, RgbOf(0, 0, 0));
  auto shape = [&](double ox) -> Sdf {
    if (finish)  // check mark
      return Union({Capsule(Pt{ox + 3.5, 9.5}, Pt{ox + 7.5, 13.5}, 1.9), Capsule(Pt{ox + 7.5, 13.5}, Pt{ox + 14.5, 4}, 1.9)});
    return Union({Capsule(Pt{ox + 4.5, 4.5}, Pt{ox + 13.5, 13.5}, 1.8), Capsule(Pt{ox + 13.5, 4.5}, Pt{ox + 4.5, 13.5}, 1.8)});
  };
  const Rgb normal = finish ? RgbOf(0, 150, 40) : RgbOf(205, 30, 30);
  const Rgb edge = finish ? RgbOf(0, 100, 0) : RgbOf(140, 0, 0);
  // Normal glyph.
  paint.Fill(shape(0), edge, 0, 0, kSize, kSize);
  paint.Fill([&](double x, double y) { return shape(0)(x, y) + 0.9; }, normal, 0, 0, kSize, kSize);
  cover.Fill(shape(0), kWhite, 0, 0, kSize, kSize);
  // Disabled glyph: grey, embossed with a white copy one pixel lower right.
  const Sdf lit = [&](double x, double y) { return shape(kSize)(x - 1, y - 1); };
  paint.Fill(lit, kWhite, kSize, 0, 2 * kSize, kSize);
  paint.Fill(shape(kSize), RgbOf(128, 128, 128), kSize, 0, 2 * kSize, kSize);
  cover.Fill(Union({lit, shape(kSize)}), kWhite, kSize, 0, 2 * kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < 2 * kSize; ++x) {
      const double alpha = cover.At(x, y).r / 255.0;
      if (alpha < 0.4) paint.Set(x, y, RgbOf(128, 128, 0));
    }
  return MapToPalette(paint, palette);
}

namespace {

std::vector<std::uint8_t> ToPcm8(const std::vector<double>& wave) {
  std::vector<std::uint8_t> out;
  out.reserve(wave.size());
  const size_t fade = std::max<size_t>(wave.size() / 20, 1);
  for (size_t i = 0; i < wave.size(); ++i) {
    double v = wave[i];
    if (i + fade > wave.size()) v *= static_cast<double>(wave.size() - i) / static_cast<double>(fade);
    out.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(128 + 127 * v), 0L, 255L)));
  }
  return out;
}

// A decaying tone whose pitch glides from f0 to f1, with a few overtones.
std::vector<double> Tone(int rate, int samples, double f0, double f1, double decay_s, double attack_s, double level,
                         std::vector<double> overtones) {
  std::vector<double> w(static_cast<size_t>(samples));
  double phase = 0;
  for (int i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double f = f0 + (f1 - f0) * static_cast<double>(i) / samples;
    phase += 2 * kPi * f / rate;
    double v = std::sin(phase);
    for (size_t h = 0; h < overtones.size(); ++h) v += overtones[h] * std::sin(phase * static_cast<double>(h + 2));
    const double env = std::min(1.0, t / attack_s) * std::exp(-t / decay_s);
    w[static_cast<size_t>(i)] = level * env * v;
  }
  return w;
}

}  // namespace

std::vector<std::uint8_t> HoverSound() {
  return ToPcm8(Tone(11025, 1256, 1568, 1568, 0.028, 0.002, 0.42, {0.18, 0.05}));
}

std::vector<std::uint8_t> PressSound() {
  std::vector<double> w = Tone(22050, 1068, 950, 620, 0.010, 0.0006, 0.62, {0.25});
  // A short burst of noise gives the click its edge.
  std::uint32_t seed = 12345;
  for (size_t i = 0; i < 60 && i < w.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    w[i] += 0.25 * ((seed >> 16) / 32768.0 - 1.0) * (1.0 - i / 60.0);
  }
  return ToPcm8(w);
}

std::vector<std::uint8_t> ReleaseSound() { return ToPcm8(Tone(22050, 661, 1400, 1800, 0.006, 0.0005, 0.5, {0.2})); }

std::vector<std::uint8_t> DingSound() {
  return ToPcm8(Tone(22050, 8820, 1046.5, 1046.5, 0.12, 0.002, 0.6, {0.3, 0.12}));
}

}  // namespace looks
