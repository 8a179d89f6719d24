#include "GreyImageFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Inflate.h"
#include "OstrelaParams.h"

namespace mivex::ostrela {
namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t ReadBig32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t k = 0; k < size; ++k) c = table[(c ^ data[k]) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool Fail(std::string& error, std::string what) {
  error = std::move(what);
  return false;
}

bool SizeAcceptable(std::int64_t width, std::int64_t height, std::string& error) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
    return Fail(error, "image size " + std::to_string(width) + " x " + std::to_string(height) +
                           " is outside 1 .. " + std::to_string(kMaxImageSide));
  return true;
}

std::uint8_t Paeth(int left, int up, int upLeft) {
  const int estimate = left + up - upLeft;
  const int dl = std::abs(estimate - left), du = std::abs(estimate - up), dul = std::abs(estimate - upLeft);
  if (dl <= du && dl <= dul) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(du <= dul ? up : upLeft);
}

// Undoes the per-row filters of one byte per pixel.
bool Unfilter(const std::vector<std::uint8_t>& raw, TGreyImage& image, std::string& error) {
  const std::size_t w = static_cast<std::size_t>(image.Width);
  image.Pixels.assign(w * static_cast<std::size_t>(image.Height), 0);
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.Height); ++y) {
    const std::uint8_t filter = raw[y * (w + 1)];
    const std::uint8_t* in = raw.data() + y * (w + 1) + 1;
    std::uint8_t* row = image.Pixels.data() + y * w;
    const std::uint8_t* up = y > 0 ? row - w : nullptr;
    for (std::size_t x = 0; x < w; ++x) {
      const int a = x > 0 ? row[x - 1] : 0;
      const int b = up != nullptr ? up[x] : 0;
      const int c = (x > 0 && up != nullptr) ? up[x - 1] : 0;
      int predicted = 0;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = Paeth(a, b, c); break;
        default: return Fail(error, "PNG row " + std::to_string(y) + " has unknown filter " + std::to_string(filter));
      }
      row[x] = static_cast<std::uint8_t>(in[x] + predicted);
    }
  }
  return true;
}

bool DecodePng(const std::uint8_t* data, std::size_t size, TGreyImage& image, std::string& error) {
  std::size_t at = kPngSignature.size();
  bool haveHeader = false, ended = false;
  std::vector<std::uint8_t> compressed;
  while (!ended) {
    if (size - at < 12) return Fail(error, "PNG file ends inside a chunk");
    const std::uint32_t length = ReadBig32(data + at);
    const std::uint8_t* type = data + at + 4;
    if (length > size - at - 12) return Fail(error, "PNG file ends inside a chunk");
    const std::uint8_t* body = type + 4;
    const std::string name(reinterpret_cast<const char*>(type), 4);
    if (Crc32(type, length + 4) != ReadBig32(body + length)) return Fail(error, "PNG chunk " + name + " is damaged (CRC)");
    if (!haveHeader && name != "IHDR") return Fail(error, "PNG file does not start with its header chunk");
    if (name == "IHDR") {
      if (haveHeader || length != 13) return Fail(error, "PNG header chunk is malformed");
      haveHeader = true;
      const std::int64_t width = ReadBig32(body), height = ReadBig32(body + 4);
      if (!SizeAcceptable(width, height, error)) return false;
      const int depth = body[8], colour = body[9];
      if (depth != 8 || colour != 0)
        return Fail(error, "PNG is not 8-bit grey (bit depth " + std::to_string(depth) + ", colour type " +
                               std::to_string(colour) + ")");
      if (body[10] != 0 || body[11] != 0) return Fail(error, "PNG uses an unknown compression or filter method");
      if (body[12] != 0) return Fail(error, "PNG is interlaced; only non-interlaced images are read");
      image.Width = static_cast<std::int32_t>(width);
      image.Height = static_cast<std::int32_t>(height);
    } else if (name == "IDAT") {
      compressed.insert(compressed.end(), body, body + length);
    } else if (name == "IEND") {
      ended = true;
    } else if ((type[0] & 0x20u) == 0) {
      return Fail(error, "PNG has critical chunk " + name + " that cannot be read");
    }
    at += 12 + static_cast<std::size_t>(length);
  }
  if (compressed.empty()) return Fail(error, "PNG has no image data");
  const std::size_t expected = (static_cast<std::size_t>(image.Width) + 1) * static_cast<std::size_t>(image.Height);
  std::vector<std::uint8_t> raw;
  std::string problem;
  if (!InflateZlib(compressed.data(), compressed.size(), expected, raw, problem)) return Fail(error, "PNG: " + problem);
  if (raw.size() != expected) return Fail(error, "PNG image data is shorter than its size says");
  return Unfilter(raw, image, error);
}

// A number of the PGM header after blanks and comments.
bool PgmNumber(const std::uint8_t* data, std::size_t size, std::size_t& at, std::int64_t& value) {
  for (;;) {
    while (at < size && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' || data[at] == '\n')) ++at;
    if (at < size && data[at] == '#') {
      while (at < size && data[at] != '\n') ++at;
      continue;
    }
    break;
  }
  if (at >= size || data[at] < '0' || data[at] > '9') return false;
  value = 0;
  while (at < size && data[at] >= '0' && data[at] <= '9') {
    value = value * 10 + (data[at++] - '0');
    if (value > 1000000) return false;
  }
  return true;
}

bool DecodePgm(const std::uint8_t* data, std::size_t size, TGreyImage& image, std::string& error) {
  std::size_t at = 2;
  std::int64_t width = 0, height = 0, maxval = 0;
  if (!PgmNumber(data, size, at, width) || !PgmNumber(data, size, at, height) || !PgmNumber(data, size, at, maxval))
    return Fail(error, "PGM header is malformed");
  if (!SizeAcceptable(width, height, error)) return false;
  if (maxval < 1 || maxval > 255) return Fail(error, "PGM is not 8-bit grey (maxval " + std::to_string(maxval) + ")");
  if (at >= size) return Fail(error, "PGM has no image data");
  ++at;  // the single blank after maxval
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (size - at < count) return Fail(error, "PGM image data is shorter than its size says");
  image.Width = static_cast<std::int32_t>(width);
  image.Height = static_cast<std::int32_t>(height);
  image.Pixels.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const int v = data[at + k] > maxval ? static_cast<int>(maxval) : data[at + k];
    image.Pixels[k] = static_cast<std::uint8_t>((v * 255 + maxval / 2) / maxval);
  }
  return true;
}

}  // namespace

bool DecodeGreyImage(const std::uint8_t* data, std::size_t size, TGreyImage& image, std::string& error) {
  image = TGreyImage{};
  if (size >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), data))
    return DecodePng(data, size, image, error);
  if (size >= 2 && data[0] == 'P' && data[1] == '5') return DecodePgm(data, size, image, error);
  return Fail(error, "not a PNG or binary PGM image");
}

std::vector<std::uint8_t> FitToSensor(const TGreyImage& image) {
  const std::int32_t w = params::kImageWidth, h = params::kImageHeight;
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 255);
  // Offsets of the frame in the image; negative where the image is smaller (padding).
  const std::int32_t left = (image.Width - w) / 2, top = (image.Height - h) / 2;
  for (std::int32_t y = 0; y < h; ++y) {
    const std::int32_t sy = y + top;
    if (sy < 0 || sy >= image.Height) continue;
    for (std::int32_t x = 0; x < w; ++x) {
      const std::int32_t sx = x + left;
      if (sx < 0 || sx >= image.Width) continue;
      frame[static_cast<std::size_t>(y) * w + x] =
          image.Pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(image.Width) + static_cast<std::size_t>(sx)];
    }
  }
  return frame;
}

bool ReadGreyImageFile(const std::string& path, TGreyImage& image, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(error, "cannot open image " + path);
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (file) {
    file.read(buffer, sizeof buffer);
    bytes.insert(bytes.end(), buffer, buffer + file.gcount());
    if (bytes.size() > kMaxImageFileBytes) return Fail(error, "image " + path + " is larger than 64 MiB");
  }
  if (file.bad()) return Fail(error, "cannot read image " + path);
  std::string problem;
  if (!DecodeGreyImage(bytes.data(), bytes.size(), image, problem)) return Fail(error, "image " + path + ": " + problem);
  return true;
}

}  // namespace mivex::ostrela
