// The enrollment and verification dialogs end to end: the exports (or the components
// they use) run on this thread, a driver thread plays the person in front of the dialog,
// and the simulated sensor plays the finger. Each group of tests runs in a process of its
// own with the sensor scenario in its name (see CMakeLists.txt).
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../../tools/mivex-host/DialogDriver.h"
#include "../../tools/mivex-host/HostString.h"
#include "../../tools/mivex-host/TemplateText.h"
#include "../support/ProcessObjects.h"
#include "api/Library.h"
#include "api/TemplateExports.h"
#include "api/XFPEnroll.h"
#include "capture/FeatureCodec.h"
#include "capture/ScoreScale.h"
#include "capture/VFEngine.h"
#include "workflow/Catalogue.h"
#include "workflow/XFPBase.h"
#include "workflow/XFPVerify.h"
#include "MasterCache.h"
#include "Impression.h"

using namespace mivex;
namespace drive = mivex::host;
using drive::FilesIn;
using drive::HostString;

namespace {

constexpr DWORD kDialogWait = 30000;
constexpr DWORD kCaptureWait = 60000;

// Once a script has ended (done, or stopped by a failed assertion), the dialog must go
// away so the export returns: a dialog still open after a grace period is closed, and
// the questions it asks on the way are answered Yes.
void LeaveNothingOpen() {
  const ULONGLONG grace_end = ::GetTickCount64() + 10000, give_up = grace_end + 30000;
  while (HWND dialog = drive::WaitForDialog(0)) {
    const ULONGLONG now = ::GetTickCount64();
    if (now > give_up) return;
    if (now > grace_end) {
      if (HWND box = drive::WaitForMessageBox(0))
        drive::AnswerMessageBox(box, IDYES);
      else
        drive::CloseDialog(dialog);
    }
    ::Sleep(200);
  }
}

// Runs `person` on a thread of its own while the caller's thread is inside a dialog.
class Person {
 public:
  explicit Person(std::function<void()> script) : thread_([script] {
    script();
    LeaveNothingOpen();
  }) {}
  ~Person() { thread_.join(); }

 private:
  std::thread thread_;
};

using drive::DecodeBase64;

// The feature record of an impression of another person's finger, as the engine makes it.
std::vector<std::uint8_t> OtherPersonsRecord(std::uint32_t subject, int finger) {
  ostrela::TMasterCache masters(1);
  auto master = masters.Get(subject, finger);
  std::vector<std::uint8_t> image;
  ostrela::TImpressionParams placement = ostrela::DrawPlacement(subject * 7919u + 17u, ostrela::TPressKind::pkGood);
  ostrela::RenderImpression(*master, ostrela::FrameOfPress(placement, 4, 99), image);
  std::vector<std::uint8_t> record(10000);
  std::int32_t out = 0;
  VFContext context = VFCreateContext();
  std::int32_t score = VFExtract(256, 288, image.data(), 500, record.data(), &out, context);
  VFFreeContext(context);
  EXPECT_LE(score, 120);
  std::int32_t minutiae = 0;
  std::int32_t length = RepackFeatures(record.data(), record.size(), record.size(), minutiae, nullptr);
  EXPECT_GT(length, 0);
  record.resize(static_cast<std::size_t>(std::max(length, 0)));
  return record;
}

std::int32_t MatchScore(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  MatchDetails details{};
  details.size = sizeof details;
  EXPECT_GE(VFVerify(a.data(), b.data(), &details, 0), 0);
  return details.score;
}

// Waits for the status line to show `text`; a failure says what it showed instead.
::testing::AssertionResult StatusShows(HWND dialog, const std::string& text, DWORD timeout_ms) {
  if (drive::WaitForStatus(dialog, text, timeout_ms)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the status line showed \"" << drive::StatusText(dialog)
                                       << "\", never \"" << text << "\"";
}

// Clicks a finger and waits for its template ("Fingerprint template completed").
::testing::AssertionResult EnrolFinger(HWND dialog, int index) {
  if (!drive::ClickFinger(dialog, index)) return ::testing::AssertionFailure() << "no finger area " << index;
  return StatusShows(dialog, LoadStr(231), kCaptureWait);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(20);
  }
  return true;
}

using mivex::testing::ThreadCount;

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureLibraryStarted();
    // Every wait below looks for a catalogue text; an empty one would match at once.
    ASSERT_FALSE(LoadStr(231).empty()) << "the catalogue is not linked into this program";
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// The default sensor: one finger, pressed well again and again.

namespace {

// The person enrols R2 (finger 7) for `user` and presses Finish: GetFPEnrollTemp's
// enrollment string, or an empty one when any step failed (the failure is reported).
std::string EnrolRightForefinger(const char* user) {
  std::vector<char> buf(1 << 16, '\0');
  std::atomic<bool> finished{false};
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(EnrolFinger(dialog, 7));
      ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(drive::FinishButton(dialog)); }, 5000));
      drive::Click(drive::FinishButton(dialog));
      finished = true;
    });
    const int result = GetFPEnrollTemp(HostString(user).handle(), nullptr, nullptr, 1, 10, buf.data());
    EXPECT_EQ(result, 0);
    if (result != 0) return {};
  }
  EXPECT_TRUE(finished);
  return finished ? std::string(buf.data()) : std::string();
}

}  // namespace

TEST_F(EndToEnd, OneFingerEnrolsAndItsTemplateMatchesThatFingerOnly) {
  const std::string enroll = EnrolRightForefinger("1001");
  ASSERT_FALSE(enroll.empty());
  std::vector<drive::TemplateEntry> entries = drive::ParseEnrollString(enroll);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].code, "R2");
  const std::vector<std::uint8_t> enrolled = DecodeBase64(entries[0].text);
  EXPECT_EQ(static_cast<int>(enrolled.size()), entries[0].length);
  // The text breaks its lines after every 76 characters.
  std::vector<std::string> lines;
  for (std::size_t at = 0;;) {
    std::size_t next = entries[0].text.find("\r\n", at);
    lines.push_back(entries[0].text.substr(at, next == std::string::npos ? std::string::npos : next - at));
    if (next == std::string::npos) break;
    at = next + 2;
  }
  for (std::size_t k = 0; k + 1 < lines.size(); ++k) EXPECT_EQ(lines[k].size(), 76u);
  EXPECT_LE(lines.back().size(), 76u);

  // Picture files: L1_0.jpg ... of the enrolled finger, R2.jpg and Display.jpg.
  std::vector<std::string> files = FilesIn("C:\\FPtemp");
  ASSERT_GE(files.size(), 4u);
  std::set<std::string> expected{"R2.jpg", "Display.jpg"};
  for (std::size_t k = 0; k + 2 < files.size(); ++k) expected.insert("R2_" + std::to_string(k) + ".jpg");
  EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), expected);

  // A verification of the same finger matches; another person's finger does not.
  std::vector<char> buf(1 << 16, '\0');
  ASSERT_EQ(GetFPVerifyTemp(buf.data()), 0);
  const std::vector<std::uint8_t> probe = DecodeBase64(buf.data());
  ASSERT_FALSE(probe.empty());
  EXPECT_GE(MatchScore(enrolled, probe), FARToScore(0.001));
  EXPECT_LT(MatchScore(enrolled, OtherPersonsRecord(77, 7)), FARToScore(0.01));
  EXPECT_LT(MatchScore(enrolled, OtherPersonsRecord(78, 2)), FARToScore(0.01));
  EXPECT_EQ(FilesIn("C:\\FPtemp"), std::vector<std::string>{"Verify.jpg"});
}

TEST_F(EndToEnd, PresetOrderEnrolsItsFingersAndFinishesByItself) {
  std::vector<char> buf(1 << 16, '\0');
  ULONGLONG second_done = 0, returned = 0;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      // Two templates, no click: the status shows the second finger's capture, then done.
      ASSERT_TRUE(StatusShows(dialog, LoadStr(221), kCaptureWait));
      ASSERT_TRUE(StatusShows(dialog, LoadStr(231), kCaptureWait));
      second_done = ::GetTickCount64();
    });
    ASSERT_EQ(GetFPEnrollTempBySet(HostString("1002").handle(), nullptr, nullptr, HostString("L1R1").handle(), 1, 10, buf.data()), 0);
    returned = ::GetTickCount64();
  }
  std::vector<drive::TemplateEntry> entries = drive::ParseEnrollString(buf.data());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].code, "L1");
  EXPECT_EQ(entries[1].code, "R1");
  EXPECT_GE(returned - second_done, 300u);  // the pause of 350 ms before Finish
}

TEST_F(EndToEnd, FinishNeedsMinimumFingers) {
  std::vector<char> buf(1 << 16, '\0');
  bool after_one = true, after_two = false;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(EnrolFinger(dialog, 1));
      ::Sleep(300);
      after_one = ::IsWindowEnabled(drive::FinishButton(dialog));
      ASSERT_TRUE(EnrolFinger(dialog, 6));
      after_two = WaitUntil([&] { return ::IsWindowEnabled(drive::FinishButton(dialog)); }, 5000);
      drive::Click(drive::FinishButton(dialog));
    });
    EXPECT_EQ(GetFPEnrollTemp(HostString("1003").handle(), nullptr, nullptr, 2, 10, buf.data()), 0);
  }
  EXPECT_FALSE(after_one);
  EXPECT_TRUE(after_two);
  EXPECT_EQ(drive::ParseEnrollString(buf.data()).size(), 2u);
}

TEST_F(EndToEnd, MaximumReachedLeavesTheClickedFingerFree) {
  XFPEnroll::TXFPEnroll component(nullptr);
  XFPBase::TXFPEnroll* control = component.Dialog->Control;
  component.ClearFingers();
  component.SetUserID("1004");
  component.SetEnrolledFinger("L1");
  component.SetMaximum(1);
  std::string status;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(261), kDialogWait));
      drive::ClickFinger(dialog, 6);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(315), 10000));
      status = drive::StatusText(dialog);
      drive::CloseDialog(dialog);
    });
    EXPECT_FALSE(component.Execute());
  }
  EXPECT_EQ(status, LoadStr(315));
  EXPECT_EQ(control->Fingers()->Item(6)->State, TFingerState::fgNone);
  EXPECT_EQ(control->Fingers()->Item(1)->State, TFingerState::fgEnrolled);
  EXPECT_EQ(component.EnrollTempStr(), "");
}

TEST_F(EndToEnd, DeletingTheOnlyFingerDisablesFinishAndExitRefuses) {
  std::vector<char> buf(64, 'x');
  std::string question, exit_question;
  bool finish_before = false, finish_after = true;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(EnrolFinger(dialog, 2));
      finish_before = WaitUntil([&] { return ::IsWindowEnabled(drive::FinishButton(dialog)); }, 5000);
      drive::ClickFinger(dialog, 2);
      HWND box = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(box);
      question = drive::MessageBoxText(box);
      drive::AnswerMessageBox(box, IDYES);
      ::Sleep(500);
      finish_after = ::IsWindowEnabled(drive::FinishButton(dialog));
      drive::Click(drive::CancelButton(dialog));  // Exit
      HWND exit_box = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(exit_box);
      exit_question = drive::MessageBoxText(exit_box);
      drive::AnswerMessageBox(exit_box, IDYES);
    });
    EXPECT_EQ(GetFPEnrollTemp(HostString("1005").handle(), nullptr, nullptr, 1, 10, buf.data()), 404);
  }
  EXPECT_TRUE(finish_before);
  EXPECT_EQ(question, LoadStr(226));
  EXPECT_FALSE(finish_after);
  EXPECT_EQ(exit_question, LoadStr(214));
  EXPECT_EQ(buf[0], 'x');
}

TEST_F(EndToEnd, ThreeVerificationsLeaveOnlyTheLastPicture) {
  std::vector<char> buf(1 << 16, '\0');
  for (int i = 0; i < 3; ++i) ASSERT_EQ(GetFPVerifyTemp(buf.data()), 0);
  EXPECT_EQ(FilesIn("C:\\FPtemp"), std::vector<std::string>{"Verify.jpg"});
}

TEST_F(EndToEnd, RepeatedEnrollmentsAndVerificationsLeaveNothingBehind) {
  // Fifteen measured rounds: a leak of even one handle or thread per round shows.
  constexpr int kRounds = 25;
  std::vector<char> buf(1 << 16, '\0');
  auto enrol_once = [&] {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      if (!dialog || !EnrolFinger(dialog, 3)) return;
      if (WaitUntil([&] { return ::IsWindowEnabled(drive::FinishButton(dialog)); }, 5000))
        drive::Click(drive::FinishButton(dialog));
    });
    return GetFPEnrollTemp(HostString("1006").handle(), nullptr, nullptr, 1, 10, buf.data());
  };
  // The first rounds fill what the platform keeps for the process's lifetime (Wine's
  // font and DC caches grow once); the counts after them are the baseline.
  constexpr int kWarmUp = 10;
  HANDLE self = ::GetCurrentProcess();
  long gdi = 0;
  DWORD user = 0;
  int threads = 0;
  for (int i = 0; i < kRounds; ++i) {
    if (i == kWarmUp) {
      gdi = mivex::testing::GdiObjectCount();
      user = ::GetGuiResources(self, GR_USEROBJECTS);
      threads = ThreadCount();
    }
    ASSERT_EQ(enrol_once(), 0) << "enrollment " << i;
    ASSERT_EQ(GetFPVerifyTemp(buf.data()), 0) << "verification " << i;
  }
  EXPECT_LE(mivex::testing::GdiObjectCount(), gdi);
  EXPECT_LE(::GetGuiResources(self, GR_USEROBJECTS), user);
  EXPECT_LE(ThreadCount(), threads);
  // The in-use marker is gone between dialogs.
  EXPECT_EQ(::GlobalFindAtomA("FPKV310"), 0);
}

// ---------------------------------------------------------------------------------------
// No finger on the sensor: captures run until the user cancels them.

TEST_F(EndToEnd, NoFingerCancelReturnsAFingerToItsPreviousState) {
  XFPEnroll::TXFPEnroll component(nullptr);
  XFPBase::TXFPEnroll* control = component.Dialog->Control;
  component.ClearFingers();
  component.SetUserID("1007");
  component.SetEnrolledFinger("L1");
  TFingerState free_after = TFingerState::fgSelected, deleted_after = TFingerState::fgSelected;
  TFingerState during = TFingerState::fgNone;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(261), kDialogWait));
      // A free finger: capture, then Cancel.
      drive::ClickFinger(dialog, 7);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(222), 10000));
      during = control->Fingers()->Item(7)->State;
      drive::Click(drive::CancelButton(dialog));
      HWND box = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(box);
      EXPECT_EQ(drive::MessageBoxText(box), LoadStr(215));
      drive::AnswerMessageBox(box, IDYES);
      ASSERT_TRUE(WaitUntil([&] { return control->State() == TProcessState::psSelecting; }, 10000));
      free_after = control->Fingers()->Item(7)->State;
      // The host's finger: delete it, capture it again, then Cancel.
      drive::ClickFinger(dialog, 1);
      HWND del = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(del);
      drive::AnswerMessageBox(del, IDYES);
      ASSERT_TRUE(WaitUntil([&] { return control->Fingers()->Item(1)->State == TFingerState::fgDeleted; }, 10000));
      ::Sleep(300);
      drive::ClickFinger(dialog, 1);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(216), 10000));
      drive::Click(drive::CancelButton(dialog));
      HWND box2 = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(box2);
      drive::AnswerMessageBox(box2, IDYES);
      ASSERT_TRUE(WaitUntil([&] { return control->State() == TProcessState::psSelecting; }, 10000));
      deleted_after = control->Fingers()->Item(1)->State;
      drive::CloseDialog(dialog);
    });
    EXPECT_FALSE(component.Execute());
  }
  EXPECT_EQ(during, TFingerState::fgSelected);
  EXPECT_EQ(free_after, TFingerState::fgNone);
  EXPECT_EQ(deleted_after, TFingerState::fgDeleted);
}

TEST_F(EndToEnd, NoFingerExitBeforeAnyFingerRefuses) {
  std::vector<char> buf(64, 'x');
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(262), kDialogWait));
      drive::Click(drive::CancelButton(dialog));
      HWND box = drive::WaitForMessageBox(10000);
      ASSERT_TRUE(box);
      drive::AnswerMessageBox(box, IDYES);
    });
    EXPECT_EQ(GetFPEnrollTemp(HostString("1008").handle(), nullptr, nullptr, 1, 10, buf.data()), 404);
  }
  EXPECT_EQ(buf[0], 'x');
}

// ---------------------------------------------------------------------------------------
// The sensor is unplugged.

TEST_F(EndToEnd, UnpluggedSensorShowsTheConnectionFailureAndTheUserCloses) {
  std::vector<char> buf(64, 'x');
  std::string status;
  ULONGLONG called = ::GetTickCount64(), shown = 0;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      shown = ::GetTickCount64();
      ASSERT_TRUE(StatusShows(dialog, LoadStr(301), 10000));
      status = drive::StatusText(dialog);
      ::Sleep(300);
      drive::CloseDialog(dialog);
    });
    EXPECT_EQ(GetFPEnrollTemp(HostString("1009").handle(), nullptr, nullptr, 1, 10, buf.data()), 404);
  }
  EXPECT_EQ(status, LoadStr(301));
  // Four attempts to open, a second apart, before the dialog appears.
  EXPECT_GE(shown - called, 2900u);
  EXPECT_LT(shown - called, 15000u);
}

// ---------------------------------------------------------------------------------------
// Texts in the user's language: run once in English and once in German. The expected
// texts come straight from the language's catalogue file.

namespace {
// Entries of a catalogue file: number, blank, text in double quotes (\" and \\ escaped).
std::map<int, std::string> CatalogueFile(const std::string& name) {
  std::map<int, std::string> texts;
  std::ifstream in(std::string(MIVEX_SOURCE_DIR) + "/resources/catalogue/" + name);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
    std::size_t open = line.find('"'), close = line.rfind('"');
    if (open == std::string::npos || close <= open) continue;
    std::string text;
    for (std::size_t i = open + 1; i < close; ++i) {
      if (line[i] == '\\' && i + 1 < close) ++i;
      text += line[i];
    }
    texts[std::stoi(line.substr(0, open))] = text;
  }
  return texts;
}

std::string ToAnsi(const std::string& utf8) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
  int m = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, out.data(), m, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(m > 0 ? m - 1 : 0));
  return out;
}
}  // namespace

TEST_F(EndToEnd, LanguageStatusTextsComeFromTheUsersCatalogue) {
  const char* lang = std::getenv("LANG");
  const std::string file = (lang && std::string(lang).rfind("de", 0) == 0) ? "1031-de-DE.txt" : "1033-en-US.txt";
  std::map<int, std::string> cat = CatalogueFile(file);
  ASSERT_FALSE(cat.empty()) << file;
  auto t = [&](int n) { return ToAnsi(cat[n]); };
  const std::string first = t(262) + t(256) + t(208);
  const std::string capture = "1. " + t(209) + t(221) + "\r\n2. " + t(258) + "8\r\n3. " + t(257);
  const std::string done = t(231);
  std::string seen_first, seen_capture;
  std::vector<char> buf(1 << 16, '\0');
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, t(208), kDialogWait));
      seen_first = drive::StatusText(dialog);
      drive::ClickFinger(dialog, 6);
      ASSERT_TRUE(StatusShows(dialog, "3. ", 10000));
      seen_capture = drive::StatusText(dialog);
      ASSERT_TRUE(StatusShows(dialog, done, kCaptureWait));
      if (WaitUntil([&] { return ::IsWindowEnabled(drive::FinishButton(dialog)); }, 5000))
        drive::Click(drive::FinishButton(dialog));
    });
    EXPECT_EQ(GetFPEnrollTemp(HostString("1010").handle(), nullptr, nullptr, 1, 10, buf.data()), 0);
  }
  EXPECT_EQ(seen_first, first);
  EXPECT_EQ(seen_capture, capture);
}

// The preset order reaching a finger the user already has shows a notice in the user's
// language, owned by the dialog; closing the dialog ends the notice and the call with it.
TEST_F(EndToEnd, LanguagePresetOrderNoticeComesFromTheCatalogueAndEndsWithTheDialog) {
  const char* lang = std::getenv("LANG");
  const std::string file = (lang && std::string(lang).rfind("de", 0) == 0) ? "1031-de-DE.txt" : "1033-en-US.txt";
  const std::string expected = ToAnsi(CatalogueFile(file)[267]);
  ASSERT_FALSE(expected.empty()) << file;
  std::string text;
  bool owned_by_dialog = false, ended_with_dialog = false;
  std::vector<char> buf(64, 'x');
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      HWND box = drive::WaitForMessageBox(kDialogWait);
      ASSERT_TRUE(box);
      text = drive::MessageBoxText(box);
      owned_by_dialog = ::GetWindow(box, GW_OWNER) == dialog;
      // The host closes the dialog (its close box is disabled under the notice).
      ::PostMessageW(dialog, WM_CLOSE, 0, 0);
      ended_with_dialog = WaitUntil([&] { return !::IsWindow(box); }, 20000);
      if (!ended_with_dialog) drive::AnswerMessageBox(box, IDOK);
    });
    EXPECT_EQ(GetFPEnrollTempBySetP("1011", "L2", "", "L2R1", 1, 10, buf.data()), 404);
  }
  EXPECT_EQ(text, expected);
  EXPECT_TRUE(owned_by_dialog);
  EXPECT_TRUE(ended_with_dialog);
  EXPECT_EQ(buf[0], 'x');
}

namespace {

// EnumChildWindows callback: stores the first edit box in the HWND that `found` points to.
BOOL CALLBACK FindEditBox(HWND child, LPARAM found) {
  char name[16] = {};
  ::GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, "Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

}  // namespace

// A user identifier of a megabyte: the box shows its first 256 characters at once, and
// the control keeps the whole identifier.
TEST_F(EndToEnd, NoFingerAHugeUserIDIsShownShortAndKeptWhole) {
  const std::string huge(1 << 20, '7');
  std::string shown;
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(262), kDialogWait));
      HWND edit = nullptr;
      ::EnumChildWindows(dialog, FindEditBox, reinterpret_cast<LPARAM>(&edit));
      ASSERT_TRUE(edit);
      std::vector<char> text(static_cast<std::size_t>(::GetWindowTextLengthA(edit)) + 1, '\0');
      ::GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
      shown = text.data();
      drive::CloseDialog(dialog);
    });
    std::vector<char> buf(64, 'x');
    EXPECT_EQ(GetFPEnrollTempP(huge.c_str(), "", "", 1, 10, buf.data()), 404);
  }
  EXPECT_EQ(shown, std::string(256, '7'));

  XFPEnroll::TXFPEnroll component(nullptr);
  component.ClearFingers();
  component.SetUserID(huge);
  {
    Person person([&] {
      HWND dialog = drive::WaitForDialog(kDialogWait);
      ASSERT_TRUE(dialog);
      ASSERT_TRUE(StatusShows(dialog, LoadStr(262), kDialogWait));
      drive::CloseDialog(dialog);
    });
    EXPECT_FALSE(component.Execute());
  }
  EXPECT_EQ(component.Dialog->Control->UserID(), huge);
}

// ---------------------------------------------------------------------------------------
// Real prints: the sensor plays images of a real finger from the shared data set, read
// where they lie. The run's scenario file (OSTRELA_SCENARIO_FILE) is rewritten between
// the captures; the sensor plays each new text from the next frame.

namespace {

// The finger of the real set enrolled from impressions 1 to 3 and verified with 5, and
// the finger whose impression 5 is the impostor.
constexpr const char* kRealFinger = "101";
constexpr const char* kOtherRealFinger = "102";

std::string RealPrintFolder() { return std::string(MIVEX_DATA_DIR) + "/fingerprints/fvc2000_db2_b"; }

bool PlayScenario(const std::string& text) {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableA("OSTRELA_SCENARIO_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  return static_cast<bool>(file.flush());
}

std::string RealImage(const char* finger, int impression) {
  return "image \"" + RealPrintFolder() + "/" + finger + "_" + std::to_string(impression) + ".png\"\n";
}

// Verifies through GetFPVerifyTemp with `scenario` on the sensor; the probe's features.
std::vector<std::uint8_t> VerifyWith(const std::string& scenario) {
  std::vector<char> buf(1 << 16, '\0');
  EXPECT_TRUE(PlayScenario(scenario));
  EXPECT_EQ(GetFPVerifyTemp(buf.data()), 0);
  return DecodeBase64(buf.data());
}

}  // namespace

TEST_F(EndToEnd, RealPrintsEnrolFromThreeImpressionsAndMatchTheFourthOnly) {
  if (::GetFileAttributesA((RealPrintFolder() + "/101_1.png").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no real prints in " << RealPrintFolder();
  // Impressions 1 to 3, again should the dialog refuse one.
  ASSERT_TRUE(PlayScenario(RealImage(kRealFinger, 1) + RealImage(kRealFinger, 2) + RealImage(kRealFinger, 3) +
                           "repeat\n"));
  const std::string enroll = EnrolRightForefinger("1024");
  ASSERT_FALSE(enroll.empty());
  const std::vector<drive::TemplateEntry> entries = drive::ParseEnrollString(enroll);
  ASSERT_EQ(entries.size(), 1u);
  const std::vector<std::uint8_t> enrolled = DecodeBase64(entries[0].text);
  ASSERT_FALSE(enrolled.empty());

  const std::int32_t threshold = FARToScore(0.001);
  const std::vector<std::uint8_t> genuine = VerifyWith(RealImage(kRealFinger, 5) + "repeat\n");
  ASSERT_FALSE(genuine.empty());
  const std::int32_t genuine_score = MatchScore(enrolled, genuine);
  EXPECT_GE(genuine_score, threshold) << "impression 5 of finger " << kRealFinger;
  const std::vector<std::uint8_t> impostor = VerifyWith(RealImage(kOtherRealFinger, 5) + "repeat\n");
  ASSERT_FALSE(impostor.empty());
  const std::int32_t impostor_score = MatchScore(enrolled, impostor);
  EXPECT_LT(impostor_score, threshold) << "impression 5 of finger " << kOtherRealFinger;
  std::printf("real prints: finger %s enrolled from impressions 1-3; impression 5 scores %d, finger %s scores %d "
              "(threshold %d)\n",
              kRealFinger, genuine_score, kOtherRealFinger, impostor_score, threshold);
}
