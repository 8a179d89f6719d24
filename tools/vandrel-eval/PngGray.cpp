#include "PngGray.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace mivex::vandrel {

bool ReadPngGray(const std::string& path, GrayImage& image) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_stdio(&png, file.get())) return false;
  png.format = PNG_FORMAT_GRAY;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace mivex::vandrel
