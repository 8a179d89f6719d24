#include "capture/ImageConvert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace mivex {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPaletteSize = 256 * 4;
static_assert(kFileHeaderSize + kInfoHeaderSize + kPaletteSize == kBitmapPixelOffset);

// The grey palette (i, i, i, 0) as stored in the file: blue, green, red, reserved. Built
// on first use and kept for the life of the process.
const std::array<std::uint8_t, kPaletteSize>& GreyPalette() {
  static const std::array<std::uint8_t, kPaletteSize> palette = [] {
    std::array<std::uint8_t, kPaletteSize> p{};
    for (std::size_t i = 0; i < 256; ++i) {
      p[i * 4 + 0] = static_cast<std::uint8_t>(i);
      p[i * 4 + 1] = static_cast<std::uint8_t>(i);
      p[i * 4 + 2] = static_cast<std::uint8_t>(i);
    }
    return p;
  }();
  return palette;
}

void Put16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Little-endian reader that refuses to read past the end.
class LeReader {
 public:
  LeReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool U16(std::size_t at, std::uint16_t& v) const {
    if (at > size_ || size_ - at < 2) return false;
    v = static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
    return true;
  }
  bool U32(std::size_t at, std::uint32_t& v) const {
    if (at > size_ || size_ - at < 4) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | data_[at + static_cast<std::size_t>(i)];
    return true;
  }
  bool I32(std::size_t at, std::int32_t& v) const {
    std::uint32_t u;
    if (!U32(at, u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Output characters per line of the template text, and the source block the encoder reads
// at a time (a multiple of 3, so padding can occur only at the very end).
constexpr int kLineLength = 76;
constexpr std::size_t kSourceBlock = 510;
static_assert(kSourceBlock % 3 == 0);

}  // namespace

void FlipRows(std::uint8_t* buffer, std::size_t rowLength, std::size_t rowCount) {
  if (buffer == nullptr || rowLength == 0 || rowCount < 2) return;
  std::vector<std::uint8_t> spare(rowLength);
  for (std::size_t top = 0, bottom = rowCount - 1; top < bottom; ++top, --bottom) {
    std::uint8_t* a = buffer + top * rowLength;
    std::uint8_t* b = buffer + bottom * rowLength;
    std::memcpy(spare.data(), a, rowLength);
    std::memcpy(a, b, rowLength);
    std::memcpy(b, spare.data(), rowLength);
  }
}

std::uint32_t BitmapStride(std::int32_t width) {
  if (width <= 0) return 0;
  return (static_cast<std::uint32_t>(width) + 3u) & ~3u;
}

std::int32_t PixelsPerMetre(int dpi) {
  return static_cast<std::int32_t>(std::lround(dpi / 2.54 * 100.0));
}

#ifndef _WIN32
int ScreenLogicalDpi() { return 96; }
#endif

std::vector<std::uint8_t> RawToBitmapStream(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, bool topDown, int dpi) {
  if (width <= 0 || height <= 0 || pixels == nullptr) return {};
  const std::uint32_t stride = BitmapStride(width);
  const std::uint64_t imageSize = std::uint64_t{stride} * static_cast<std::uint64_t>(height);
  if (imageSize > 0xFFFFFFFFull - kBitmapPixelOffset) return {};

  std::vector<std::uint8_t> out(kBitmapPixelOffset + static_cast<std::size_t>(imageSize), 0);
  std::uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, static_cast<std::uint32_t>(imageSize) + kBitmapPixelOffset);
  Put32(p + 6, 0);
  Put32(p + 10, kBitmapPixelOffset);
  Put32(p + 14, kInfoHeaderSize);
  Put32(p + 18, static_cast<std::uint32_t>(width));
  Put32(p + 22, static_cast<std::uint32_t>(height));
  Put16(p + 26, 1);
  Put16(p + 28, 8);
  Put32(p + 30, 0);
  Put32(p + 34, static_cast<std::uint32_t>(imageSize));
  const auto ppm = static_cast<std::uint32_t>(PixelsPerMetre(dpi));
  Put32(p + 38, ppm);
  Put32(p + 42, ppm);
  Put32(p + 46, 0);
  Put32(p + 50, 0);
  const auto& palette = GreyPalette();
  std::memcpy(p + kFileHeaderSize + kInfoHeaderSize, palette.data(), palette.size());

  // A positive height means the file stores its bottom row first.
  std::uint8_t* row = p + kBitmapPixelOffset;
  for (std::int32_t i = 0; i < height; ++i, row += stride) {
    const std::int32_t src = topDown ? i : height - 1 - i;
    std::memcpy(row, pixels + static_cast<std::size_t>(src) * static_cast<std::size_t>(width),
                static_cast<std::size_t>(width));
  }
  return out;
}

std::vector<std::uint8_t> RawToBitmapStream(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, bool topDown) {
  return RawToBitmapStream(width, height, pixels, topDown, ScreenLogicalDpi());
}

// ---------------------------------------------------------------------------------------
// TBitmap

TBitmap::TBitmap(std::int32_t width, std::int32_t height) {
  if (width > 0 && height > 0) {
    Assign(width, height,
           std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0));
  }
}

TBitmap::TBitmap(const TBitmap& other)
    : width_(other.width_), height_(other.height_), pixels_(other.pixels_) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) Assign(other.width_, other.height_, other.pixels_);
  return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> pixels) {
  width_ = width;
  height_ = height;
  pixels_ = std::move(pixels);
#ifdef _WIN32
  handle_.reset();
#endif
}

const std::uint8_t* TBitmap::ScanLine(std::int32_t y) const {
  if (y < 0 || y >= height_) return nullptr;
  return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

std::uint8_t* TBitmap::ScanLine(std::int32_t y) {
  if (y < 0 || y >= height_) return nullptr;
#ifdef _WIN32
  handle_.reset();  // the caller may change the pixels: the GDI copy is rebuilt on demand
#endif
  return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

bool TBitmap::LoadFromStream(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return false;
  const LeReader r(data, size);
  std::uint16_t magic, planes, bits;
  std::uint32_t pixelOffset, headerSize, compression, coloursUsed;
  std::int32_t width, height;
  if (!r.U16(0, magic) || magic != 0x4D42) return false;  // "BM"
  if (!r.U32(10, pixelOffset) || !r.U32(14, headerSize) || headerSize < kInfoHeaderSize) return false;
  if (!r.I32(18, width) || !r.I32(22, height) || !r.U16(26, planes) || !r.U16(28, bits)) return false;
  if (!r.U32(30, compression) || !r.U32(46, coloursUsed)) return false;
  if (planes != 1 || bits != 8 || compression != 0) return false;
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  if (coloursUsed == 0) coloursUsed = 256;
  if (coloursUsed > 256) return false;

  const bool bottomUp = height > 0;
  const std::int32_t rows = bottomUp ? height : -height;
  const std::uint64_t paletteAt = std::uint64_t{kFileHeaderSize} + headerSize;
  const std::uint64_t paletteEnd = paletteAt + std::uint64_t{coloursUsed} * 4;
  const std::uint32_t stride = BitmapStride(width);
  const std::uint64_t pixelEnd = std::uint64_t{pixelOffset} + std::uint64_t{stride} * static_cast<std::uint64_t>(rows);
  if (paletteEnd > size || pixelEnd > size || pixelOffset < paletteEnd) return false;

  std::array<std::uint8_t, 256> grey{};
  for (std::uint32_t i = 0; i < coloursUsed; ++i) {
    const std::uint8_t* e = data + paletteAt + std::uint64_t{i} * 4;
    grey[i] = static_cast<std::uint8_t>((e[2] * 299 + e[1] * 587 + e[0] * 114 + 500) / 1000);
  }
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
  for (std::int32_t y = 0; y < rows; ++y) {
    const std::int32_t stored = bottomUp ? rows - 1 - y : y;
    const std::uint8_t* src = data + pixelOffset + static_cast<std::size_t>(stored) * stride;
    std::uint8_t* dst = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (std::int32_t x = 0; x < width; ++x) {
      // Indices beyond the palette's colours have no entry: they read as black.
      dst[x] = src[x] < coloursUsed ? grey[src[x]] : 0;
    }
  }
  Assign(width, rows, std::move(pixels));
  return true;
}

std::unique_ptr<TBitmap> RawToBitmap(std::int32_t width, std::int32_t height,
                                     const std::uint8_t* pixels, bool topDown) {
  const std::vector<std::uint8_t> stream = RawToBitmapStream(width, height, pixels, topDown);
  auto bitmap = std::make_unique<TBitmap>();
  if (!bitmap->LoadFromStream(stream.data(), stream.size())) return nullptr;
  return bitmap;
}

// ---------------------------------------------------------------------------------------
// Template text encoding

std::size_t EncodedBase64Length(std::size_t size) {
  const std::size_t chars = (size + 2) / 3 * 4;
  return chars + chars / kLineLength * 2;
}

void EncodeBase64(const std::uint8_t* data, std::size_t size, std::string& out) {
  if (data == nullptr || size == 0) return;
  out.reserve(out.size() + EncodedBase64Length(size));
  int column = 0;
  for (std::size_t block = 0; block < size; block += kSourceBlock) {
    const std::size_t end = std::min(size, block + kSourceBlock);
    for (std::size_t i = block; i < end; i += 3) {
      const std::size_t n = std::min<std::size_t>(3, end - i);
      const std::uint32_t b0 = data[i];
      const std::uint32_t b1 = n > 1 ? data[i + 1] : 0;
      const std::uint32_t b2 = n > 2 ? data[i + 2] : 0;
      const std::uint32_t v = (b0 << 16) | (b1 << 8) | b2;
      out += kAlphabet[(v >> 18) & 63];
      out += kAlphabet[(v >> 12) & 63];
      out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
      out += n > 2 ? kAlphabet[v & 63] : '=';
      column += 4;
      if (column >= kLineLength) {
        out += "\r\n";
        column = 0;
      }
    }
  }
}

std::string EncodeBase64(const std::uint8_t* data, std::size_t size) {
  std::string out;
  EncodeBase64(data, size, out);
  return out;
}

}  // namespace mivex
