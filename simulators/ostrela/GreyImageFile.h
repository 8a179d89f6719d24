#pragma once
// Real fingerprint images played as presses: 8-bit grey PNG or binary PGM files,
// decoded and fitted to the sensor's frame. Every fault in a file is a message, never
// a crash: the files come from whoever wrote the scenario.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::ostrela {

struct TGreyImage {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::vector<std::uint8_t> Pixels;  // row 0 at the top
};

// Largest side accepted, far beyond any fingerprint image at 500 dpi.
inline constexpr std::int32_t kMaxImageSide = 8192;
// Largest file read.
inline constexpr std::size_t kMaxImageFileBytes = std::size_t{64} << 20;

// Decodes a PNG (8-bit grey, not interlaced) or a binary PGM ("P5", maxval up to 255,
// scaled to 0..255). False with `error` saying what is wrong.
bool DecodeGreyImage(const std::uint8_t* data, std::size_t size, TGreyImage& image, std::string& error);

// The sensor's 256 x 288 frame of `image` (500 dpi assumed): centred, cropped where it
// is larger and padded with the sensor's empty white where it is smaller.
std::vector<std::uint8_t> FitToSensor(const TGreyImage& image);

// Reads and decodes a file; the error names the file.
bool ReadGreyImageFile(const std::string& path, TGreyImage& image, std::string& error);

}  // namespace mivex::ostrela
