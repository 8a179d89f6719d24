#pragma once
// The capture subsystem's diagnostic log: one process-wide TLog forms time-stamped lines
// and hands them to a callback (left unassigned, so lines are dropped unless a handler
// is set), offers a writer that appends lines to daily files, and at library start
// sweeps away old daily files that this library itself wrote.
#include <cstdint>
#include <functional>
#include <string>

namespace mivex {

// Local date and time as days since 30 December 1899 (the fraction is the time of day).
// 0 doubles as "no date".
using TDateTime = double;

TDateTime Now();
// Today at midnight.
TDateTime Today();
// False for a date or time that does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
// "yyyy/mm/dd hh:nn:ss"
std::string FormatLogStamp(TDateTime when);
// "yyyymmdd"
std::string FormatDayStamp(TDateTime when);

// |end - start| in whole milliseconds (truncated).
std::int64_t ElapsedMilliseconds(TDateTime start, TDateTime end);

// 8 characters "yyyymmdd" give that date; 14 characters "yyyymmddhhnnss" give that date
// and time (the date alone when the time part is not a valid time); anything else, or
// digits that do not form a date, give 0.
TDateTime ParseStampDate(const std::string& text);

using TGetStrProc = std::function<void(const std::string& line)>;

// Lines written by the capture code; the number in the timing lines counts milliseconds
// although the text ends in " s]".
namespace logtext {
std::string GetTemplateOperation(std::int32_t n, std::int64_t ms);
std::string DoGeneralize(std::int32_t r);
inline constexpr char kDoGeneralizeOk[] = "Do VFGeneralize OK";
inline constexpr char kDoLastGeneralize[] = "Do Lastest VFGeneralize";
inline constexpr char kDoLastGeneralizeOk[] = "Do Lastest VFGeneralize OK";
inline constexpr char kEnrollFinished[] = "EnrollOperation Finished.";
inline constexpr char kBeginFetchImage[] = "Begin to Fetch Image.....";
std::string GetBinaryImageSpent(std::int64_t ms);
inline constexpr char kEndFetchImage[] = "End to Fetch Image.....";
}  // namespace logtext

class TLog {
 public:
  // Name of the list, kept beside the daily files, of the daily files this library
  // created; the retention sweep deletes nothing that is not on it.
  static constexpr char kOwnFilesList[] = "MivexLogFiles.lst";

  std::string Dir;
  std::string FileName = "log";
  std::string FileExtention = "txt";
  bool IsDateMark = true;
  std::int32_t KeepDayCount = 3;
  TGetStrProc OnGetLog;

  // Forms "yyyy/mm/dd hh:nn:ss text" from the current local time and hands it to
  // OnGetLog; nothing happens without a handler.
  void LogMessage(const std::string& text) const;
  // Appends text + CR LF to the daily file in `dir` (created with its missing parents).
  // Nothing is written when `dir` is empty or cannot be made; a file that cannot be
  // written throws std::runtime_error.
  void FileLog(const std::string& dir, const std::string& text) const;
  // The retention sweep against today's date; returns the number of files deleted.
  int ClearLogFiles() const;
  // The same with "today" given, for a sweep at a chosen date.
  int ClearLogFiles(TDateTime today) const;

  // `dir`, the delimiter, then "yyyymmdd" (or FileName when IsDateMark is false), a dot
  // and FileExtention.
  std::string DailyFileName(const std::string& dir, TDateTime when) const;
};

// Library start: creates the process-wide log with its start-up values (Dir := the
// process's current directory) and runs its retention sweep. Library stop: frees it.
void StartLog();
void StopLog();
// The process-wide log; null before StartLog and after StopLog.
TLog* Log();
// Log()->LogMessage(text) when the log exists.
void LogMessage(const std::string& text);

}  // namespace mivex
