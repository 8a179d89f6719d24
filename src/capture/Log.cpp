#include "capture/Log.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <vector>

#include "capture/FileUtil.h"

namespace mivex {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Days from 1 January 1970 (the Unix epoch) back to 30 December 1899.
constexpr std::int64_t kUnixEpochDays = 25569;

// Days since 1 January 1970 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  int year, month, day, hour, minute, second;
};

Civil CivilFromDateTime(TDateTime when) {
  const std::int64_t totalMs = std::llround(when * kMsPerDay);
  std::int64_t days = totalMs / kMsPerDay;
  std::int64_t ms = totalMs % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  // civil_from_days, counted from the Unix epoch.
  std::int64_t z = days - kUnixEpochDays + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  const int secs = static_cast<int>(ms / 1000);
  return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), secs / 3600, secs / 60 % 60, secs % 60};
}

bool AllDigits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Number(const std::string& text, std::size_t at, std::size_t len) {
  int v = 0;
  for (std::size_t i = at; i < at + len; ++i) v = v * 10 + (text[i] - '0');
  return v;
}

// The daily file names this library created in `dir`, one per line of its list.
std::vector<std::string> ReadOwnFiles(const std::string& dir) {
  std::vector<std::string> names;
  std::string text;
  if (!fs::ReadWholeFile(fs::JoinPath(dir, TLog::kOwnFilesList), text)) return names;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool IsOwnFile(const std::vector<std::string>& own, const std::string& name) {
  for (const std::string& o : own) {
    if (fs::SameFileName(o, name)) return true;
  }
  return false;
}

bool HasExtension(const std::string& name, const std::string& ext) {
  const std::string tail = "." + ext;
  return name.size() > tail.size() && fs::SameFileName(name.substr(name.size() - tail.size()), tail);
}

std::atomic<TLog*> g_log{nullptr};

}  // namespace

TDateTime Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  TDateTime date = 0, time = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
  // A leap second (tm_sec 60) counts as the last second of its minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ms), time);
  return date + time;
}

TDateTime Today() { return std::floor(Now()); }

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > last) return false;
  out = static_cast<TDateTime>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               kUnixEpochDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999) {
    return false;
  }
  out = static_cast<TDateTime>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMsPerDay;
  return true;
}

std::string FormatLogStamp(TDateTime when) {
  const Civil c = CivilFromDateTime(when);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

std::string FormatDayStamp(TDateTime when) {
  const Civil c = CivilFromDateTime(when);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", c.year, c.month, c.day);
  return buf;
}

std::int64_t ElapsedMilliseconds(TDateTime start, TDateTime end) {
  // Both ends are rounded to whole milliseconds first, so that the difference of two
  // stamps taken a whole number of milliseconds apart is not cut short by a rounding
  // error of the day fractions.
  const std::int64_t a = std::llround(start * kMsPerDay);
  const std::int64_t b = std::llround(end * kMsPerDay);
  return a > b ? a - b : b - a;
}

TDateTime ParseStampDate(const std::string& text) {
  if ((text.size() != 8 && text.size() != 14) || !AllDigits(text)) return 0;
  TDateTime date = 0;
  if (!TryEncodeDate(Number(text, 0, 4), Number(text, 4, 2), Number(text, 6, 2), date)) return 0;
  if (text.size() == 14) {
    TDateTime time = 0;
    if (TryEncodeTime(Number(text, 8, 2), Number(text, 10, 2), Number(text, 12, 2), 0, time)) date += time;
  }
  return date;
}

namespace logtext {

std::string GetTemplateOperation(std::int32_t n, std::int64_t ms) {
  return "GetTemplateOperation [" + std::to_string(n) + "] spent :[" + std::to_string(ms) + " s]";
}

std::string DoGeneralize(std::int32_t r) { return "Do VFGeneralize......" + std::to_string(r); }

std::string GetBinaryImageSpent(std::int64_t ms) {
  return "bAPI4_GetBinaryImage spent :[" + std::to_string(ms) + " s]";
}

}  // namespace logtext

// ---------------------------------------------------------------------------------------
// TLog

void TLog::LogMessage(const std::string& text) const {
  if (OnGetLog) OnGetLog(FormatLogStamp(Now()) + " " + text);
}

std::string TLog::DailyFileName(const std::string& dir, TDateTime when) const {
  return fs::JoinPath(dir, (IsDateMark ? FormatDayStamp(when) : FileName) + "." + FileExtention);
}

void TLog::FileLog(const std::string& dir, const std::string& text) const {
  if (dir.empty() || !fs::ForceDirectories(dir)) return;
  const std::string path = DailyFileName(dir, Now());
  const bool created = !fs::FileExists(path);
  if (!fs::AppendToFile(path, text + "\r\n")) throw std::runtime_error("Cannot write log file " + path);
  if (created) {
    // Claim the new file, so that a later sweep may delete it.
    const std::string name = path.substr(fs::WithTrailingDelimiter(dir).size());
    if (!fs::AppendToFile(fs::JoinPath(dir, kOwnFilesList), name + "\r\n")) {
      throw std::runtime_error("Cannot write log file list in " + dir);
    }
  }
}

int TLog::ClearLogFiles() const { return ClearLogFiles(Today()); }

int TLog::ClearLogFiles(TDateTime today) const {
  if (KeepDayCount >= 99 || !IsDateMark || !fs::DirectoryExists(Dir)) return 0;
  const std::vector<std::string> own = ReadOwnFiles(Dir);
  // Date-named files that this library did not write (other programs keep such files in
  // the current directory) are never touched.
  if (own.empty()) return 0;

  std::vector<fs::DirEntry> entries;
  if (!fs::ListDirectory(Dir, entries)) return 0;
  int deleted = 0;
  for (const fs::DirEntry& e : entries) {
    if ((e.attributes & fs::kAttrDirectory) != 0 || !HasExtension(e.name, FileExtention)) continue;
    const TDateTime stamp = ParseStampDate(e.name.substr(0, e.name.find('.')));
    if (stamp > 0 && today - stamp >= KeepDayCount && IsOwnFile(own, e.name) &&
        fs::DeleteFileAt(fs::JoinPath(Dir, e.name))) {
      ++deleted;
    }
  }

  // Keep the list to the files that are still there.
  std::string kept;
  for (const std::string& name : own) {
    if (fs::FileExists(fs::JoinPath(Dir, name))) kept += name + "\r\n";
  }
  const std::string listPath = fs::JoinPath(Dir, kOwnFilesList);
  if (kept.empty()) {
    fs::DeleteFileAt(listPath);
  } else {
    fs::WriteWholeFile(listPath, kept.data(), kept.size());
  }
  return deleted;
}

// ---------------------------------------------------------------------------------------
// The process-wide instance

void StartLog() {
  auto log = std::make_unique<TLog>();
  log->Dir = fs::CurrentDirectory();
  log->ClearLogFiles();
  delete g_log.exchange(log.release());
}

void StopLog() { delete g_log.exchange(nullptr); }

TLog* Log() { return g_log.load(); }

void LogMessage(const std::string& text) {
  if (const TLog* log = g_log.load()) log->LogMessage(text);
}

}  // namespace mivex
