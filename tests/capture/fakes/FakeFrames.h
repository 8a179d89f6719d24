#pragma once
// How the test sensor tells the test engine what to report for an image: every row of
// a frame starts with the same four bytes (so a vertical flip keeps them):
//   bytes 0-1  extraction score, signed 16-bit little-endian
//   byte 2     number of minutiae the extracted record holds
//   byte 3     tag, carried as the record's header byte so that matches and
//              generalizations can tell which sample they were given.
// The rest of a row is the picture: black in the top half, white in the bottom half
// of the frame as the sensor delivers it.
#include <cstdint>

namespace fake {

constexpr int kWidth = 256;
constexpr int kHeight = 288;
constexpr int kPrefix = 4;

inline void FillFrame(std::uint8_t* area, int score, int minutiae, int tag) {
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = area + y * kWidth;
    row[0] = static_cast<std::uint8_t>(score & 0xFF);
    row[1] = static_cast<std::uint8_t>((score >> 8) & 0xFF);
    row[2] = static_cast<std::uint8_t>(minutiae);
    row[3] = static_cast<std::uint8_t>(tag);
    for (int x = kPrefix; x < kWidth; ++x) row[x] = y < kHeight / 2 ? 0 : 255;
  }
}

inline int FrameScore(const std::uint8_t* image) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(image[0] | (image[1] << 8)));
}
inline int FrameMinutiae(const std::uint8_t* image) { return image[2]; }
inline int FrameTag(const std::uint8_t* image) { return image[3]; }

}  // namespace fake
