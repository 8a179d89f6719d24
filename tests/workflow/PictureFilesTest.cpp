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

void WriteText(const stdfs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string ReadText(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifdef _WIN32
// The Unix path of a Windows path under Wine; empty on Windows itself.
std::string UnixPath(const stdfs::path& p) {
  using Proc = char*(__cdecl*)(const wchar_t*);
  static const auto proc = reinterpret_cast<Proc>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!proc) return {};
  char* unix_path = proc(p.wstring().c_str());
  if (!unix_path) return {};
  std::string out = unix_path;
  ::HeapFree(::GetProcessHeap(), 0, unix_path);
  return out;
}
#endif

// A real symbolic link `link` to `target`. Under Wine it is made from the Unix side, as a
// local user would make it; Wine shows it to the library as its own file system does.
bool MakeLink(const stdfs::path& target, const stdfs::path& link) {
#ifdef _WIN32
  const std::string unix_target = UnixPath(target), unix_link = UnixPath(link);
  if (unix_target.empty() || unix_link.empty()) {
    const DWORD flags = stdfs::is_directory(target) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    return ::CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags | 0x2) != FALSE;
  }
  // Wine splits the command line by the Windows rules: double quotes group.
  std::string command = "/bin/ln -s \"" + unix_target + "\" \"" + unix_link + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA("Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  ::WaitForSingleObject(pi.hProcess, 30000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  // The Unix process may outlive its Windows handle: wait for the name to appear.
  for (int i = 0; i < 300; ++i) {
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(link.wstring().c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      ::FindClose(find);
      return true;
    }
    ::Sleep(10);
  }
  return false;
#else
  std::error_code ec;
  if (stdfs::is_directory(target))
    stdfs::create_directory_symlink(target, link, ec);
  else
    stdfs::create_symlink(target, link, ec);
  return !ec;
#endif
}

// A link to a file that no longer exists (made while it did, so that the link can be
// seen to exist: Wine shows a dangling link to nobody).
bool MakeDanglingLink(const stdfs::path& target, const stdfs::path& link) {
  WriteText(target, "soon gone");
  const bool made = MakeLink(target, link);
  std::error_code ec;
  stdfs::remove(target, ec);
  return made && !ec;
}

// Whether `p` is still a link (as the test's own platform sees it).
bool IsLink(const stdfs::path& p) {
#ifdef _WIN32
  const std::string unix_path = UnixPath(p);
  if (!unix_path.empty()) return fs::InspectEntry(p.string()) == fs::EntryKind::kLink ||
                                 fs::InspectEntry(p.string()) == fs::EntryKind::kOther;
#endif
  return stdfs::is_symlink(stdfs::symlink_status(p));
}

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

// Links in the folder, to a file, to a folder and to nothing: emptying removes the links
// themselves (or, where the platform cannot do that alone, leaves them) and never
// touches what they point to.
TEST(ClearFolder, RemovesLinksNeverTheirTargets) {
  TempDir dir, outside;
  WriteText(outside.path() / "precious.txt", "precious");
  stdfs::create_directory(outside.path() / "folder");
  WriteText(outside.path() / "folder" / "inner.txt", "inner");
  ASSERT_TRUE(MakeLink(outside.path() / "precious.txt", dir.path() / "zzz.txt"));
  ASSERT_TRUE(MakeLink(outside.path() / "folder", dir.path() / "linked"));
  ASSERT_TRUE(MakeDanglingLink(outside.path() / "gone.txt", dir.path() / "dangling.jpg"));
  Touch(dir.path() / "ours.jpg");

  ClearFolder(dir.str());
  EXPECT_EQ(ReadText(outside.path() / "precious.txt"), "precious");
  EXPECT_EQ(ReadText(outside.path() / "folder" / "inner.txt"), "inner");
  EXPECT_FALSE(stdfs::exists(outside.path() / "gone.txt"));
  for (const std::string& name : dir.Names()) EXPECT_TRUE(IsLink(dir.path() / name)) << name;
  EXPECT_EQ(dir.Names().count("ours.jpg"), 0u);
#ifndef _WIN32
  EXPECT_TRUE(dir.Names().empty());  // here the links themselves can go
#endif
}

// A picture name taken by a link: the picture never goes through it.
TEST(TPictureFolder, PictureFilesAreNeverWrittenThroughALink) {
  TempDir dir, outside;
  WriteText(outside.path() / "victim.dat", "victim");
  FakeOwner owner;
  TFingers fingers(&owner);
  Enroll(fingers, 7, 3, 0);
  TWasEnrolled was{};
  ASSERT_TRUE(MakeLink(outside.path() / "victim.dat", dir.path() / "R2_1.jpg"));
  ASSERT_TRUE(MakeDanglingLink(outside.path() / "new.dat", dir.path() / "Display.jpg"));

  TPictureFolder pictures(dir.str());
  const bool written = pictures.WriteEnrollPictures(fingers, was);
  EXPECT_EQ(ReadText(outside.path() / "victim.dat"), "victim");
  EXPECT_FALSE(stdfs::exists(outside.path() / "new.dat"));
  const auto& images = fingers.Item(7)->Images;
  EXPECT_EQ(dir.Read("R2_0.jpg"), Bytes(*images[0]));
  EXPECT_EQ(dir.Read("R2.jpg"), Bytes(*images[1]));
  for (const char* name : {"R2_1.jpg", "Display.jpg"}) {
    const stdfs::path p = dir.path() / name;
    // Either a picture of its own replaced the link, or the link stayed (Wine shows a
    // dangling one as nothing at all) and the write was refused.
    if (dir.Read(name) != Bytes(*images[1])) {
      EXPECT_FALSE(written) << name;
      EXPECT_TRUE(IsLink(p) || !stdfs::exists(p)) << name;
    }
  }
#ifndef _WIN32
  EXPECT_TRUE(written);
#endif
}

// The picture folder itself a link to another folder: nothing there is deleted and no
// picture lands there.
TEST(TPictureFolder, ALinkedPictureFolderIsNeverEmptiedOrWrittenTo) {
  TempDir dir, outside;
  WriteText(outside.path() / "keep.txt", "keep");
  const stdfs::path folder = dir.path() / "FPtemp";
  ASSERT_TRUE(MakeLink(outside.path(), folder));
  TPictureFolder pictures(folder.string());
  const bool written = pictures.WriteVerifyPicture(*Picture(3));
  EXPECT_EQ(outside.Names(), (std::set<std::string>{"keep.txt"}));
  EXPECT_EQ(ReadText(outside.path() / "keep.txt"), "keep");
  if (written) {
    // The link was replaced by a real folder holding the picture.
    EXPECT_FALSE(IsLink(folder));
    EXPECT_TRUE(stdfs::exists(folder / "Verify.jpg"));
  }
#ifndef _WIN32
  EXPECT_TRUE(written);
#endif
}

#ifdef _WIN32
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
