#pragma once
// The minutiae of a template drawn over the finger's saved picture, as a PNG file.
#include <cstdint>
#include <string>
#include <vector>

#include "capture/FeatureCodec.h"
#include "capture/ImageConvert.h"

namespace mivex::tool {

// An RGB picture, three bytes a pixel, rows top to bottom.
struct RgbPicture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
};

// The grey picture enlarged `scale` times with the record's minutiae over it: a ring
// at each place (red for ridge endings, blue for bifurcations), a line from it along the
// minutia's direction, and a yellow cross at each singular point.
RgbPicture DrawMinutiae(const TBitmap& picture, const FeatureModel& record, int scale);

// The PNG file's bytes (8-bit RGB, uncompressed deflate blocks).
std::vector<std::uint8_t> EncodePng(const RgbPicture& picture);

}  // namespace mivex::tool
