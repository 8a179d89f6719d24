#include "MinutiaePicture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mivex::tool {
namespace {

struct Colour {
  std::uint8_t r, g, b;
};

void Plot(RgbPicture& p, int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
  std::uint8_t* px = &p.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)) * 3];
  px[0] = c.r, px[1] = c.g, px[2] = c.b;
}

void Line(RgbPicture& p, float x0, float y0, float x1, float y1, Colour c) {
  const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
  for (int k = 0; k <= steps; ++k) {
    const float t = static_cast<float>(k) / static_cast<float>(steps);
    Plot(p, static_cast<int>(std::lround(x0 + t * (x1 - x0))), static_cast<int>(std::lround(y0 + t * (y1 - y0))), c);
  }
}

void Ring(RgbPicture& p, float x, float y, float radius, Colour c) {
  const int steps = static_cast<int>(radius * 8) + 8;
  for (int k = 0; k < steps; ++k) {
    const float a = 2 * std::numbers::pi_v<float> * static_cast<float>(k) / static_cast<float>(steps);
    Plot(p, static_cast<int>(std::lround(x + radius * std::cos(a))), static_cast<int>(std::lround(y + radius * std::sin(a))), c);
  }
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void Chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

RgbPicture DrawMinutiae(const TBitmap& picture, const FeatureModel& record, int scale) {
  RgbPicture p;
  p.width = std::max(picture.Width(), 1) * scale;
  p.height = std::max(picture.Height(), 1) * scale;
  p.pixels.assign(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 3, 255);
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x)
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx) Plot(p, x * scale + dx, y * scale + dy, {row[x], row[x], row[x]});
  }
  const float s = static_cast<float>(scale);
  for (int i = 0; i < record.MinutiaeCount; ++i) {
    const FeatureMinutia& m = record.Minutiae[i];
    const Colour c = (m.Type & kMinutiaKindBit) ? Colour{0, 90, 255} : Colour{230, 0, 0};
    const float x = (m.X + 0.5f) * s, y = (m.Y + 0.5f) * s;
    const float a = 2 * std::numbers::pi_v<float> * static_cast<float>(m.Direction) / 240.0f;
    Ring(p, x, y, 3.5f * s, c);
    Line(p, x + 3.5f * s * std::cos(a), y + 3.5f * s * std::sin(a), x + 11 * s * std::cos(a), y + 11 * s * std::sin(a), c);
  }
  for (int i = 0; i < record.SingularCount; ++i) {
    const FeatureSingularPoint& sp = record.Singular[i];
    const float x = (sp.X + 0.5f) * s, y = (sp.Y + 0.5f) * s, r = 6 * s;
    Line(p, x - r, y, x + r, y, {240, 200, 0});
    Line(p, x, y - r, x, y + r, {240, 200, 0});
  }
  return p;
}

std::vector<std::uint8_t> EncodePng(const RgbPicture& p) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  Put32(header, static_cast<std::uint32_t>(p.width));
  Put32(header, static_cast<std::uint32_t>(p.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, not interlaced
  Chunk(out, "IHDR", header);
  // Rows, each behind filter byte 0, in stored deflate blocks of at most 65535 bytes.
  std::vector<std::uint8_t> raw;
  const std::size_t rowBytes = static_cast<std::size_t>(p.width) * 3;
  for (int y = 0; y < p.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), p.pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes),
               p.pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowBytes));
  }
  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n)), z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n)), z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

}  // namespace mivex::tool
