#pragma once
// Writes 8-bit grey images as PNG files (libpng), for the viewer tool.
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::ostrela {

// Writes width x height grey pixels, row 0 at the top. False when the file cannot be
// written or the pixel count does not match.
bool WriteGreyPng(const std::string& path, std::int32_t width, std::int32_t height,
                  const std::vector<std::uint8_t>& pixels);

}  // namespace mivex::ostrela
