#include "PngFile.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace mivex::ostrela {
namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Owns the libpng write structures.
class TPngWriter {
 public:
  TPngWriter() {
    FPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (FPng != nullptr) FInfo = png_create_info_struct(FPng);
  }
  ~TPngWriter() { png_destroy_write_struct(&FPng, FInfo != nullptr ? &FInfo : nullptr); }
  TPngWriter(const TPngWriter&) = delete;
  TPngWriter& operator=(const TPngWriter&) = delete;

  bool Valid() const { return FPng != nullptr && FInfo != nullptr; }
  png_structp Png() const { return FPng; }
  png_infop Info() const { return FInfo; }

 private:
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
};

bool WriteRows(const TPngWriter& writer, std::FILE* file, std::int32_t width, std::int32_t height,
               const std::vector<std::uint8_t>& pixels) {
  // libpng reports errors by longjmp; nothing with a destructor is created below.
  if (setjmp(png_jmpbuf(writer.Png()))) return false;
  png_init_io(writer.Png(), file);
  png_set_IHDR(writer.Png(), writer.Info(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // 500 dots per inch = 19685 dots per metre.
  png_set_pHYs(writer.Png(), writer.Info(), 19685, 19685, PNG_RESOLUTION_METER);
  png_write_info(writer.Png(), writer.Info());
  for (std::int32_t y = 0; y < height; ++y) {
    png_write_row(writer.Png(), pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
  }
  png_write_end(writer.Png(), nullptr);
  return true;
}

}  // namespace

bool WriteGreyPng(const std::string& path, std::int32_t width, std::int32_t height,
                  const std::vector<std::uint8_t>& pixels) {
  if (width <= 0 || height <= 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return false;
  }
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  TPngWriter writer;
  if (!writer.Valid()) return false;
  return WriteRows(writer, file.get(), width, height, pixels) && std::fflush(file.get()) == 0;
}

}  // namespace mivex::ostrela
