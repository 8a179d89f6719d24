#pragma once
// Writes 24-bit RGB pictures as PNG files (uncompressed deflate blocks), for the
// screenshots the look tests leave behind.
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::test {

// `rgb` holds width * height pixels, three bytes each, top row first.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace mivex::test
