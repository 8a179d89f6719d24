#pragma once
// JPEG pictures of the captured samples: the compressed data, which is what the picture
// files hold, and the decoded form for drawing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/ImageConvert.h"

namespace mivex {

// Compression quality of every sample picture (libjpeg's 0..100 scale).
constexpr int kSampleJpegQuality = 50;

class TJpegImage {
 public:
  TJpegImage() = default;
  // A picture from complete JPEG file data; none when the data does not decode.
  static std::unique_ptr<TJpegImage> FromData(std::vector<std::uint8_t> data);

  bool Empty() const { return data_.empty(); }
  const std::vector<std::uint8_t>& Data() const { return data_; }
  // The decoded picture, grey.
  const TBitmap& Bitmap() const { return decoded_; }
  std::int32_t Width() const { return decoded_.Width(); }
  std::int32_t Height() const { return decoded_.Height(); }

 private:
  std::vector<std::uint8_t> data_;
  TBitmap decoded_;
};

// Compresses a copy of the sample bitmap as a grey-scale baseline JPEG at quality 50 and
// decodes it again for drawing. None for an empty bitmap or when the codec fails.
std::unique_ptr<TJpegImage> ToJpeg(const TBitmap& bitmap);

// The codec steps on their own, for callers and tests that need other settings.
bool CompressGrey(const TBitmap& bitmap, int quality, std::vector<std::uint8_t>& out);
bool DecompressGrey(const std::uint8_t* data, std::size_t size, TBitmap& out);

}  // namespace mivex
