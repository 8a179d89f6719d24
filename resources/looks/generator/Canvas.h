#pragma once
// A floating-point RGB picture that shapes are painted into with one pixel of
// anti-aliasing, from signed distance functions (negative inside, in pixels).
#include <functional>
#include <vector>

namespace looks {

struct Rgb {
  double r = 0, g = 0, b = 0;
};
Rgb Mix(const Rgb& a, const Rgb& b, double t);
constexpr Rgb RgbOf(int r, int g, int b) { return Rgb{double(r), double(g), double(b)}; }

// Signed distance from a point to a shape.
using Sdf = std::function<double(double x, double y)>;
// Colour of a shape at a point (for gradients).
using Paint = std::function<Rgb(double x, double y)>;

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  const Rgb& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Set(int x, int y, const Rgb& c) { pixels_[static_cast<size_t>(y) * width_ + x] = c; }

  // Fills the inside of `shape`, limited to the box [x0, x1) x [y0, y1) for speed.
  void Fill(const Sdf& shape, const Paint& paint, int x0, int y0, int x1, int y1, double opacity = 1.0);
  void Fill(const Sdf& shape, Rgb colour, int x0, int y0, int x1, int y1, double opacity = 1.0);
  // Draws the outline of `shape`, `width` pixels wide, centred on its edge.
  void Outline(const Sdf& shape, Rgb colour, double width, int x0, int y0, int x1, int y1);

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

}  // namespace looks
