// The sensor's own PNG decoder reads every image of the shared real sets exactly as
// libpng does, and refuses the capture images that are not 8-bit grey with a message.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GreyImageFile.h"

namespace mivex::ostrela {
namespace {

namespace fs = std::filesystem;

// libpng's simplified reader, as 8-bit grey; false when libpng cannot read the file.
bool ReadWithLibpng(const std::string& path, TGreyImage& image, bool& grey8) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  grey8 = png.format == PNG_FORMAT_GRAY;
  png.format = PNG_FORMAT_GRAY;
  image.Width = static_cast<std::int32_t>(png.width);
  image.Height = static_cast<std::int32_t>(png.height);
  image.Pixels.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.Pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  return true;
}

TEST(RealImageDecode, AgreesWithLibpngOnEveryRealImage) {
  const fs::path root = fs::path(MIVEX_DATA_DIR) / "fingerprints";
  if (!fs::exists(root)) GTEST_SKIP() << "no real images in " << root;
  int compared = 0, refused = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".png") continue;
    TGreyImage expected, decoded;
    bool grey8 = false;
    ASSERT_TRUE(ReadWithLibpng(entry.path().string(), expected, grey8)) << entry.path();
    std::string error;
    const bool ok = ReadGreyImageFile(entry.path().string(), decoded, error);
    if (!grey8) {
      EXPECT_FALSE(ok) << entry.path();
      EXPECT_NE(error.find("not 8-bit grey"), std::string::npos) << error;
      ++refused;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(decoded.Width, expected.Width) << entry.path();
    EXPECT_EQ(decoded.Height, expected.Height) << entry.path();
    EXPECT_TRUE(decoded.Pixels == expected.Pixels) << entry.path();
    ++compared;
  }
  EXPECT_GE(compared, 160) << "both fingerprint sets";
  std::printf("compared %d images with libpng, %d refused as not 8-bit grey\n", compared, refused);
}

}  // namespace
}  // namespace mivex::ostrela
