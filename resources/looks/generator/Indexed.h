#pragma once
// Palette pictures and their files: median-cut reduction of a canvas to at most 256
// colours, 8-bit and 4-bit BMP files, and 8-bit mono PCM WAVE files.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Canvas.h"

namespace looks {

using Colour = std::array<std::uint8_t, 3>;  // r, g, b

struct IndexedImage {
  int width = 0, height = 0;
  std::vector<Colour> palette;         // at most 256 (8-bit) or 16 (4-bit) entries
  std::vector<std::uint8_t> indices;   // row by row, top row first
  Colour At(int x, int y) const { return palette[indices[static_cast<size_t>(y) * width + x]]; }
};

// Rounds the canvas to 8-bit colours and reduces them to `max_colours`. Colours in
// `keep` are always in the palette, and pixels of exactly those colours keep them.
IndexedImage Quantize(const Canvas& canvas, int max_colours, const std::vector<Colour>& keep);
// Maps every pixel to the nearest colour of a fixed palette.
IndexedImage MapToPalette(const Canvas& canvas, const std::vector<Colour>& palette);
// Rows `top` .. `top + height - 1` of a picture, same palette.
IndexedImage Crop(const IndexedImage& image, int top, int height);

// Writes a BMP file with `bits` 8 (256-entry palette) or 4 (16-entry palette).
bool WriteBmp(const std::string& path, const IndexedImage& image, int bits);
// Writes an 8-bit unsigned mono PCM WAVE file.
bool WriteWav(const std::string& path, int sample_rate, const std::vector<std::uint8_t>& samples);

}  // namespace looks
