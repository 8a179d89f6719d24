#include "workflow/PictureFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

#include "FakeLook.h"
#include "capture/FileUtil.h"
#include "capture/Log.h"
#include "workflow/Jpeg.h"

using namespace mivex;
using mivex::test::FakeOwner;
namespace stdfs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    path_ = stdfs::temp_directory_path() / ("mivex-pictures-" + std::to_string(std::random_device{}()));
    stdfs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    for (auto& e : stdfs::recursive_directory_iterator(path_, ec)) {
      stdfs::permissions(e.path(), stdfs::perms::owner_write, stdfs::perm_options::add, ec);
    }
    stdfs::remove_all(path_, ec);
  }
  const stdfs::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::set<std::string> Names() const {
    std::set<std::string> out;
    for (auto& e : stdfs::directory_iterator(path_)) out.insert(e.path().filename().string());
    return out;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  stdfs::path path_;
};

void Touch(const stdfs::path& p) { std::ofstream(p) << "old"; }

// A distinct picture per seed.
std::unique_ptr<TJpegImage> Picture(int seed) {
  TBitmap bmp(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) bmp.ScanLine(y)[x] = static_cast<std::uint8_t>(seed * 40 + x * y);
  return ToJpeg(bmp);
}

std::string Bytes(const TJpegImage& p) { return std::string(p.Data().begin(), p.Data().end()); }

// Finger `index` enrolled in this dialog with `pictures` sample pictures.
void Enroll(TFingers& fingers, int index, int pictures, int seed) {
  TFinger* f = fingers.Item(index);
  f->State = TFingerState::fgEnrolled;
  f->EnrollTemplate = std::make_unique<TByteBlock>(TByteBlock{1, 2, 3});
  for (int i = 0; i < pictures; ++i) f->Images.push_back(Picture(seed + i));
}

// Collects the log lines while it lives.
class LogCapture {
 public:
  LogCapture() {
    StartLog();
    Log()->OnGetLog = [this](const std::string& line) { lines.push_back(line); };
  }
  ~LogCapture() { StopLog(); }
  std::vector<std::string> lines;
};

}  // namespace

TEST(ClearFolder, EmptiesNestedFoldersAndKeepsThem) {
  TempDir dir;
  Touch(dir.path() / "a.jpg");
  Touch(dir.path() / ".hidden");
  stdfs::create_directories(dir.path() / "sub" / "deeper");
  Touch(dir.path() / "sub" / "b.txt");
  Touch(dir.path() / "sub" / "deeper" / "c");
  ClearFolder(dir.str());
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"sub"}));
  EXPECT_TRUE(stdfs::is_empty(dir.path() / "sub" / "deeper"));
  ClearFolder(fs::WithTrailingDelimiter(dir.str()));  // a trailing delimiter is fine too
  ClearFolder((dir.path() / "missing").string());     // a missing folder: nothing happens
}

#ifndef _WIN32
TEST(ClearFolder, DoesNotFollowALinkedFolder) {
  TempDir dir, outside;
  Touch(outside.path() / "precious.txt");
  stdfs::create_directory_symlink(outside.path(), dir.path() / "link");
  ClearFolder(dir.str());
  EXPECT_TRUE(stdfs::exists(outside.path() / "precious.txt"));
}
#else
TEST(ClearFolder, KeepsAReadOnlyFileThatCannotBeDeleted) {
  TempDir dir;
  Touch(dir.path() / "locked.jpg");
  Touch(dir.path() / "free.jpg");
  const std::string locked = (dir.path() / "locked.jpg").string();
  ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  ClearFolder(dir.str());
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"locked.jpg"}));
  ::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif

TEST(TPictureFolder, PrepareCreatesOneLevelOrEmptiesAnExistingFolder) {
  TempDir dir;
  const std::string folder = (dir.path() / "FPtemp").string();
  TPictureFolder pictures(folder);
  ASSERT_TRUE(pictures.Prepare());
  EXPECT_TRUE(stdfs::is_directory(folder));
  Touch(stdfs::path(folder) / "left.jpg");
  ASSERT_TRUE(pictures.Prepare());
  EXPECT_TRUE(stdfs::is_empty(folder));

  LogCapture log;
  TPictureFolder deep((dir.path() / "no" / "such" / "FPtemp").string());
  EXPECT_FALSE(deep.Prepare());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Cannot create the picture folder"), std::string::npos) << log.lines[0];
  EXPECT_EQ(TPictureFolder().Path(), "C:\\FPtemp");
}

TEST(TPictureFolder, EnrollmentPicturesOfOneFinger) {
  TempDir dir;
  Touch(dir.path() / "from-an-earlier-dialog.jpg");
  FakeOwner owner;
  TFingers fingers(&owner);
  Enroll(fingers, 1, 3, 0);
  TWasEnrolled was{};
  TPictureFolder pictures(dir.str());
  ASSERT_TRUE(pictures.WriteEnrollPictures(fingers, was));
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"L1_0.jpg", "L1_1.jpg", "L1_2.jpg", "L1.jpg", "Display.jpg"}));
  const auto& images = fingers.Item(1)->Images;
  EXPECT_EQ(dir.Read("L1_0.jpg"), Bytes(*images[0]));
  EXPECT_EQ(dir.Read("L1_2.jpg"), Bytes(*images[2]));
  EXPECT_EQ(dir.Read("L1.jpg"), Bytes(*images[1]));
  EXPECT_EQ(dir.Read("Display.jpg"), Bytes(*images[1]));
  EXPECT_EQ(images.size(), 3u);  // the pictures stay with the finger
}

TEST(TPictureFolder, OnlyTheLastTakingPartFingerRemains) {
  TempDir dir;
  FakeOwner owner;
  TFingers fingers(&owner);
  Enroll(fingers, 1, 2, 0);
  Enroll(fingers, 7, 1, 5);
  fingers.Item(9)->State = TFingerState::fgEnrolled;  // from the host's list: no template, no part
  TWasEnrolled was{};
  was[9] = true;
  TPictureFolder pictures(dir.str());
  ASSERT_TRUE(pictures.WriteEnrollPictures(fingers, was));
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"R2_0.jpg"}));  // one picture: no R2.jpg, no Display.jpg

  // A finger of the host's list deleted in this dialog only empties the folder.
  TFingers others(&owner);
  others.Item(4)->State = TFingerState::fgDeleted;
  TWasEnrolled listed{};
  listed[4] = true;
  ASSERT_TRUE(pictures.WriteEnrollPictures(others, listed));
  EXPECT_TRUE(dir.Names().empty());
}

TEST(TPictureFolder, VerifyPictureHoldsTheLatestSample) {
  TempDir dir;
  TPictureFolder pictures(dir.str());
  std::unique_ptr<TJpegImage> last;
  for (int i = 0; i < 3; ++i) {
    last = Picture(i);
    ASSERT_TRUE(pictures.WriteVerifyPicture(*last));
  }
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"Verify.jpg"}));
  EXPECT_EQ(dir.Read("Verify.jpg"), Bytes(*last));
}

// A folder that cannot be made or a file that cannot be written is reported and returns
// false; nothing escapes, so the dialog that writes still finishes.
TEST(TPictureFolder, FailuresAreReportedNotThrown) {
  TempDir dir;
  LogCapture log;
  FakeOwner owner;
  TFingers fingers(&owner);
  Enroll(fingers, 2, 2, 0);
  TWasEnrolled was{};
  TPictureFolder missing((dir.path() / "a" / "b").string());
  EXPECT_FALSE(missing.WriteEnrollPictures(fingers, was));
  EXPECT_FALSE(missing.WriteVerifyPicture(*Picture(1)));
  EXPECT_EQ(log.lines.size(), 2u);

  TPictureFolder pictures(dir.str());
  EXPECT_FALSE(pictures.Save("empty.jpg", TJpegImage()));
  // A folder in the way of the file name.
  stdfs::create_directory(dir.path() / "Verify.jpg" );
  EXPECT_FALSE(pictures.Save("Verify.jpg", *Picture(2)));
  EXPECT_GE(log.lines.size(), 4u);
  EXPECT_NE(log.lines.back().find("Cannot write the picture file"), std::string::npos);
}
