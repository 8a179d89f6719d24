#pragma once
// Reads a PNG file as 8-bit grey (colour images are converted by luminance).
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::vandrel {

struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

bool ReadPngGray(const std::string& path, GrayImage& image);

}  // namespace mivex::vandrel
