#include "capture/Log.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "capture/FileUtil.h"

using namespace mivex;
namespace stdfs = std::filesystem;

namespace {

TDateTime Date(int y, int m, int d) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, t));
  return t;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    path_ = stdfs::temp_directory_path() / ("mivex-" + tag + "-" + std::to_string(std::random_device{}()));
    stdfs::remove_all(path_);
    stdfs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    stdfs::remove_all(path_, ec);
  }
  std::string str() const { return path_.string(); }
  stdfs::path operator/(const std::string& name) const { return path_ / name; }
  void Touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }
  bool Has(const std::string& name) const { return stdfs::exists(path_ / name); }

 private:
  stdfs::path path_;
};

}  // namespace

TEST(Log, ParseStampDateAcceptsEightAndFourteenDigits) {
  EXPECT_EQ(ParseStampDate("20240131"), Date(2024, 1, 31));
  EXPECT_DOUBLE_EQ(ParseStampDate("20240131120000"), Date(2024, 1, 31) + 0.5);
  // A date that is valid with a time that is not counts by its date alone.
  EXPECT_EQ(ParseStampDate("20240131256199"), Date(2024, 1, 31));
  EXPECT_EQ(ParseStampDate("20240230"), 0);
  EXPECT_EQ(ParseStampDate("2024013"), 0);
  EXPECT_EQ(ParseStampDate("202401311"), 0);
  EXPECT_EQ(ParseStampDate("2024-1-3"), 0);
  EXPECT_EQ(ParseStampDate(""), 0);
  EXPECT_EQ(ParseStampDate("00000101"), 0);
  EXPECT_EQ(ParseStampDate("20000229"), Date(2000, 2, 29));
  EXPECT_EQ(ParseStampDate("19000229"), 0);
}

TEST(Log, DatesCountFromTheEndOf1899) {
  EXPECT_EQ(Date(1899, 12, 30), 0);
  EXPECT_EQ(Date(1900, 1, 1), 2);
  EXPECT_EQ(Date(2024, 1, 31), 45322);
  EXPECT_EQ(FormatLogStamp(Date(2024, 1, 31) + (13 * 3600 + 5 * 60 + 9) / 86400.0), "2024/01/31 13:05:09");
  EXPECT_EQ(FormatDayStamp(Date(2024, 1, 31) + 0.999), "20240131");
}

TEST(Log, ElapsedMillisecondsIsSymmetricAndExact) {
  TDateTime a = 0, b = 0;
  ASSERT_TRUE(TryEncodeTime(10, 0, 0, 1, a));
  ASSERT_TRUE(TryEncodeTime(10, 0, 1, 0, b));
  a += Date(2024, 1, 31);
  b += Date(2024, 1, 31);
  EXPECT_EQ(ElapsedMilliseconds(a, b), 999);
  EXPECT_EQ(ElapsedMilliseconds(b, a), 999);
  EXPECT_EQ(ElapsedMilliseconds(Date(2024, 1, 1), Date(2024, 1, 2)), 86400000);
}

TEST(Log, LogMessageFormsStampedLinesOnlyForAHandler) {
  TLog log;
  log.LogMessage("nobody listens");  // no handler: nothing happens, nothing fails
  std::vector<std::string> lines;
  log.OnGetLog = [&](const std::string& line) { lines.push_back(line); };
  log.LogMessage(logtext::kEnrollFinished);
  ASSERT_EQ(lines.size(), 1u);
  const std::string& line = lines[0];
  ASSERT_EQ(line.size(), 20u + std::strlen(logtext::kEnrollFinished)) << line;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u}) EXPECT_TRUE(std::isdigit(line[i])) << line;
  EXPECT_EQ(line.substr(4, 1) + line.substr(7, 1) + line.substr(10, 1) + line.substr(13, 1) + line.substr(16, 1), "// ::");
  EXPECT_EQ(line.substr(19), std::string(" ") + logtext::kEnrollFinished);
}

TEST(Log, CaptureLineTexts) {
  EXPECT_EQ(logtext::GetTemplateOperation(2, 153), "GetTemplateOperation [2] spent :[153 s]");
  EXPECT_EQ(logtext::DoGeneralize(-4), "Do VFGeneralize......-4");
  EXPECT_EQ(logtext::GetBinaryImageSpent(40), "bAPI4_GetBinaryImage spent :[40 s]");
  EXPECT_STREQ(logtext::kDoGeneralizeOk, "Do VFGeneralize OK");
  EXPECT_STREQ(logtext::kDoLastGeneralize, "Do Lastest VFGeneralize");
  EXPECT_STREQ(logtext::kDoLastGeneralizeOk, "Do Lastest VFGeneralize OK");
  EXPECT_STREQ(logtext::kBeginFetchImage, "Begin to Fetch Image.....");
  EXPECT_STREQ(logtext::kEndFetchImage, "End to Fetch Image.....");
}

TEST(Log, FileLogAppendsLinesToTheDailyFileAndMakesMissingFolders) {
  TempDir dir("filelog");
  TLog log;
  const std::string nested = fs::JoinPath(fs::JoinPath(dir.str(), "a"), "b");
  log.FileLog(nested, "first");
  log.FileLog(nested, "second");
  const std::string daily = log.DailyFileName(nested, Now());
  std::string text;
  ASSERT_TRUE(fs::ReadWholeFile(daily, text));
  EXPECT_EQ(text, "first\r\nsecond\r\n");
  EXPECT_EQ(daily.substr(daily.size() - 12), FormatDayStamp(Now()) + ".txt");

  log.IsDateMark = false;
  EXPECT_EQ(log.DailyFileName("D", 0), std::string("D") + fs::PathDelimiter() + "log.txt");
  log.FileLog("", "dropped");  // an empty folder writes nothing
}

// The sweep with the start-up values: own daily files from today and the two days
// before stay, older ones go; nothing it did not write is touched.
TEST(Log, ClearLogFilesDeletesOnlyItsOwnOldDailyFiles) {
  TempDir dir("sweep");
  for (const char* name : {"20240101.txt", "20240102.txt", "20240101120000.txt", "20240101.log", "notes.txt",
                           "20240110.txt", "20231201.txt"}) {
    dir.Touch(name);
  }
  // The library's list of its own files; 20231201.txt is another program's file.
  std::ofstream(dir / TLog::kOwnFilesList) << "20240101.txt\r\n20240102.txt\r\n20240101120000.txt\r\n"
                                              "20240101.log\r\nnotes.txt\r\n20240110.txt\r\n";
  TLog log;
  log.Dir = dir.str();

  EXPECT_EQ(log.ClearLogFiles(Date(2024, 1, 3)), 0);
  EXPECT_TRUE(dir.Has("20240101.txt"));

  log.KeepDayCount = 99;
  EXPECT_EQ(log.ClearLogFiles(Date(2024, 6, 1)), 0);
  log.KeepDayCount = 3;
  log.IsDateMark = false;
  EXPECT_EQ(log.ClearLogFiles(Date(2024, 6, 1)), 0);
  log.IsDateMark = true;

  // On 4 January the plain stamp of 1 January is three days old; the one of noon is 2.5.
  EXPECT_EQ(log.ClearLogFiles(Date(2024, 1, 4)), 1);
  EXPECT_FALSE(dir.Has("20240101.txt"));
  EXPECT_TRUE(dir.Has("20240101120000.txt"));
  EXPECT_TRUE(dir.Has("20240102.txt"));
  EXPECT_TRUE(dir.Has("20240101.log"));
  EXPECT_TRUE(dir.Has("notes.txt"));
  EXPECT_TRUE(dir.Has("20240110.txt"));  // a stamp in the future stays
  EXPECT_TRUE(dir.Has("20231201.txt"));  // not ours: survives

  EXPECT_EQ(log.ClearLogFiles(Date(2024, 1, 5)), 2);
  EXPECT_TRUE(dir.Has("20231201.txt"));
  std::string list;
  ASSERT_TRUE(fs::ReadWholeFile((dir / TLog::kOwnFilesList).string(), list));
  EXPECT_EQ(list, "20240101.log\r\nnotes.txt\r\n20240110.txt\r\n");
}

TEST(Log, ClearLogFilesWithoutOwnFilesTouchesNothing) {
  TempDir dir("foreign");
  dir.Touch("20200101.txt");
  TLog log;
  log.Dir = dir.str();
  EXPECT_EQ(log.ClearLogFiles(Date(2024, 1, 4)), 0);
  EXPECT_TRUE(dir.Has("20200101.txt"));
  log.Dir = (dir / "missing").string();
  EXPECT_EQ(log.ClearLogFiles(Date(2024, 1, 4)), 0);
}

TEST(Log, FilesWrittenByFileLogAreSweptOnceOld) {
  TempDir dir("own");
  dir.Touch("20000101.txt");  // there before the library: another program's
  TLog log;
  log.Dir = dir.str();
  log.FileLog(dir.str(), "line");
  const std::string today = FormatDayStamp(Now()) + ".txt";
  ASSERT_TRUE(dir.Has(today));
  EXPECT_EQ(log.ClearLogFiles(Today()), 0);
  EXPECT_EQ(log.ClearLogFiles(Today() + 3), 1);
  EXPECT_FALSE(dir.Has(today));
  EXPECT_TRUE(dir.Has("20000101.txt"));
  EXPECT_FALSE(dir.Has(TLog::kOwnFilesList));  // an empty list is removed
}

TEST(Log, StartLogCreatesTheInstanceWithItsStartUpValues) {
  StartLog();
  TLog* log = Log();
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->Dir, fs::CurrentDirectory());
  EXPECT_EQ(log->FileName, "log");
  EXPECT_EQ(log->FileExtention, "txt");
  EXPECT_TRUE(log->IsDateMark);
  EXPECT_EQ(log->KeepDayCount, 3);
  EXPECT_FALSE(log->OnGetLog);
  int heard = 0;
  log->OnGetLog = [&](const std::string&) { ++heard; };
  LogMessage("x");
  EXPECT_EQ(heard, 1);
  StopLog();
  EXPECT_EQ(Log(), nullptr);
  LogMessage("after stop: dropped");
}
