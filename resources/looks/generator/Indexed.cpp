#include "Indexed.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

namespace looks {

namespace {

Colour Round(const Rgb& c) {
  auto ch = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  return Colour{ch(c.r), ch(c.g), ch(c.b)};
}

int Distance(const Colour& a, const Colour& b) {
  const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

struct Entry {
  Colour colour;
  long count;
};

// One median-cut box: a run of entries.
struct Box {
  size_t begin, end;
  int axis = 0;
  int range = 0;
  long weight = 0;
};

void Measure(const std::vector<Entry>& e, Box& box) {
  std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
  box.weight = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 3; ++c) {
      lo[c] = std::min<int>(lo[c], e[i].colour[c]);
      hi[c] = std::max<int>(hi[c], e[i].colour[c]);
    }
    box.weight += e[i].count;
  }
  box.range = -1;
  for (int c = 0; c < 3; ++c)
    if (hi[c] - lo[c] > box.range) {
      box.range = hi[c] - lo[c];
      box.axis = c;
    }
}

std::vector<std::uint8_t> MapAll(const Canvas& canvas, const std::vector<Colour>& palette,
                                 const std::vector<Colour>& keep) {
  std::map<Colour, std::uint8_t> cache;
  std::vector<std::uint8_t> out(static_cast<size_t>(canvas.Width()) * canvas.Height());
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) {
      const Colour c = Round(canvas.At(x, y));
      auto it = cache.find(c);
      if (it == cache.end()) {
        size_t best = 0;
        int best_d = 1 << 30;
        const bool kept = std::find(keep.begin(), keep.end(), c) != keep.end();
        for (size_t i = 0; i < palette.size(); ++i) {
          // A kept colour is matched only by itself, so it never absorbs its neighbours
          // (white is the transparent colour of the pictures).
          const bool palette_kept = std::find(keep.begin(), keep.end(), palette[i]) != keep.end();
          if (palette_kept && palette[i] != c) continue;
          const int d = Distance(c, palette[i]);
          if (d < best_d) {
            best_d = d;
            best = i;
          }
          if (kept && d == 0) break;
        }
        it = cache.emplace(c, static_cast<std::uint8_t>(best)).first;
      }
      out[static_cast<size_t>(y) * canvas.Width() + x] = it->second;
    }
  return out;
}

}  // namespace

IndexedImage Quantize(const Canvas& canvas, int max_colours, const std::vector<Colour>& keep) {
  std::map<Colour, long> counts;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) ++counts[Round(canvas.At(x, y))];

  std::vector<Colour> palette = keep;
  std::vector<Entry> entries;
  for (const auto& [c, n] : counts)
    if (std::find(keep.begin(), keep.end(), c) == keep.end()) entries.push_back(Entry{c, n});

  const size_t slots = static_cast<size_t>(max_colours) - keep.size();
  if (entries.size() <= slots) {
    for (const Entry& e : entries) palette.push_back(e.colour);
  } else {
    std::vector<Box> boxes{Box{0, entries.size()}};
    Measure(entries, boxes[0]);
    while (boxes.size() < slots) {
      // Split the box with the widest spread, weighted by how many pixels it holds.
      size_t pick = boxes.size();
      double best = 0;
      for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].end - boxes[i].begin < 2) continue;
        const double score = boxes[i].range * std::sqrt(static_cast<double>(boxes[i].weight));
        if (score > best) {
          best = score;
          pick = i;
        }
      }
      if (pick == boxes.size()) break;
      Box box = boxes[pick];
      const int axis = box.axis;
      std::stable_sort(entries.begin() + static_cast<long>(box.begin), entries.begin() + static_cast<long>(box.end),
                       [axis](const Entry& a, const Entry& b) { return a.colour[axis] < b.colour[axis]; });
      long half = box.weight / 2, seen = 0;
      size_t cut = box.begin + 1;
      for (size_t i = box.begin; i + 1 < box.end; ++i) {
        seen += entries[i].count;
        cut = i + 1;
        if (seen >= half) break;
      }
      Box a{box.begin, cut}, b{cut, box.end};
      Measure(entries, a);
      Measure(entries, b);
      boxes[pick] = a;
      boxes.push_back(b);
    }
    for (const Box& box : boxes) {
      double r = 0, g = 0, bl = 0;
      for (size_t i = box.begin; i < box.end; ++i) {
        r += entries[i].colour[0] * double(entries[i].count);
        g += entries[i].colour[1] * double(entries[i].count);
        bl += entries[i].colour[2] * double(entries[i].count);
      }
      const double w = static_cast<double>(box.weight);
      palette.push_back(Round(Rgb{r / w, g / w, bl / w}));
    }
  }
  IndexedImage out;
  out.width = canvas.Width();
  out.height = canvas.Height();
  out.palette = palette;
  out.indices = MapAll(canvas, palette, keep);
  return out;
}

IndexedImage MapToPalette(const Canvas& canvas, const std::vector<Colour>& palette) {
  IndexedImage out;
  out.width = canvas.Width();
  out.height = canvas.Height();
  out.palette = palette;
  out.indices = MapAll(canvas, palette, {});
  return out;
}

IndexedImage Crop(const IndexedImage& image, int top, int height) {
  IndexedImage out;
  out.width = image.width;
  out.height = height;
  out.palette = image.palette;
  out.indices.assign(image.indices.begin() + static_cast<long>(top) * image.width,
                     image.indices.begin() + static_cast<long>(top + height) * image.width);
  return out;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

}  // namespace

bool WriteBmp(const std::string& path, const IndexedImage& image, int bits) {
  const unsigned entries = bits == 8 ? 256 : 16;
  if ((bits != 8 && bits != 4) || image.palette.size() > entries) return false;
  const unsigned stride = ((static_cast<unsigned>(image.width) * bits + 31) / 32) * 4;
  const unsigned pixels_offset = 14 + 40 + entries * 4;
  const unsigned image_size = stride * static_cast<unsigned>(image.height);
  std::vector<std::uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, pixels_offset + image_size);
  Put32(b, 0);
  Put32(b, pixels_offset);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(image.width));
  Put32(b, static_cast<std::uint32_t>(image.height));  // bottom-up rows
  Put16(b, 1);
  Put16(b, static_cast<unsigned>(bits));
  Put32(b, 0);  // BI_RGB
  Put32(b, image_size);
  Put32(b, 3780);  // 96 dpi
  Put32(b, 3780);
  Put32(b, entries);
  Put32(b, 0);
  for (unsigned i = 0; i < entries; ++i) {
    const Colour c = i < image.palette.size() ? image.palette[i] : Colour{0, 0, 0};
    b.push_back(c[2]);
    b.push_back(c[1]);
    b.push_back(c[0]);
    b.push_back(0);
  }
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t idx = image.indices[static_cast<size_t>(y) * image.width + x];
      if (bits == 8)
        row[x] = idx;
      else
        row[x / 2] |= (x % 2 == 0) ? static_cast<std::uint8_t>(idx << 4) : idx;
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return WriteAll(path, b);
}

bool WriteWav(const std::string& path, int sample_rate, const std::vector<std::uint8_t>& samples) {
  std::vector<std::uint8_t> b;
  const auto data_size = static_cast<std::uint32_t>(samples.size());
  for (char c : std::string("RIFF")) b.push_back(static_cast<std::uint8_t>(c));
  Put32(b, 36 + data_size + (data_size & 1));
  for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<std::uint8_t>(c));
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, static_cast<std::uint32_t>(sample_rate));
  Put32(b, static_cast<std::uint32_t>(sample_rate));  // bytes per second
  Put16(b, 1);  // block align
  Put16(b, 8);  // bits per sample
  for (char c : std::string("data")) b.push_back(static_cast<std::uint8_t>(c));
  Put32(b, data_size);
  b.insert(b.end(), samples.begin(), samples.end());
  if (data_size & 1) b.push_back(0);  // chunks are word aligned
  return WriteAll(path, b);
}

}  // namespace looks
