#include "Demo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "DialogDriver.h"
#include "HostString.h"
#include "TemplateText.h"
#include "base/Stdcall.h"
#include "capture/ScoreScale.h"

namespace mivex::host {
namespace {

using EnrollFn = std::int32_t(MIVEX_STDCALL*)(const char*, const char*, const char*, std::int32_t, std::int32_t,
                                              char*);
using VerifyFn = std::int32_t(MIVEX_STDCALL*)(char*);
using EngineVerifyFn = std::int32_t(MIVEX_STDCALL*)(const std::uint8_t*, const std::uint8_t*, std::int32_t*,
                                                    std::intptr_t);

constexpr DWORD kDialogWait = 30000;
constexpr DWORD kCaptureWait = 60000;
constexpr int kTemplateDone = 231;  // "Fingerprint template completed"
// A comparison is called a match from the score at which one impostor in a thousand
// would still be accepted.
constexpr double kMatchFAR = 0.001;

constexpr std::uint32_t kPerson = 1, kOtherPerson = 2;

// What the simulated sensor feels from now on, as a scenario text (see the sensor's
// scenario steps): `person`'s finger, pressed well, again and again. Each call starts a
// new run of presses (its own seed), so a verification never repeats an enrollment
// press pixel for pixel.
std::string SimulatedFinger(std::uint32_t person, const char* code) {
  static unsigned run = 0;
  return "seed " + std::to_string(1000 + ++run) + "\npress " + std::to_string(person) + " " + code +
         " good\nrepeat\n";
}

// Real prints: impressions of one finger of a folder of images <finger>_<n>.png, pressed
// in turn, again and again.
std::string RealFinger(const std::string& folder, const char* finger, std::initializer_list<int> impressions) {
  std::string text;
  for (int n : impressions) text += "image \"" + folder + "\\" + finger + "_" + std::to_string(n) + ".png\"\n";
  return text + "repeat\n";
}

// Real fingers of the demo's second part: one enrolled from impressions 1 to 3 and
// verified with its impression 5, another whose impression 5 is the impostor.
constexpr const char* kRealFinger = "101";
constexpr const char* kOtherRealFinger = "102";

struct DemoFinger {
  int index;             // finger area 1..10
  const char* code;      // the code the template string names it by
  std::string scenario;  // what the sensor feels while it is enrolled
};

bool PlayScenario(const std::string& scenario_file, const std::string& text) {
  FILE* f = std::fopen(scenario_file.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// A catalogue text of the library, as the dialog shows it.
std::string CatalogueText(HMODULE library, int id) {
  wchar_t text[1024] = {};
  const int n = ::LoadStringW(library, static_cast<UINT>(id), text, 1024);
  if (n <= 0) return {};
  const int m = ::WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), m, nullptr, nullptr);
  return out;
}

void PrintPictureFiles() {
  std::printf("  picture files in C:\\FPtemp:");
  for (const std::string& name : FilesIn("C:\\FPtemp")) std::printf(" %s", name.c_str());
  std::printf("\n");
}

// The person at the enrollment dialog: each finger is clicked once the sensor feels it,
// the dialog is photographed once all are done, then Finish is pressed. Returns an
// empty text when all went well, else what went wrong.
std::string EnrolAsAPerson(HMODULE library, const Options& options, const std::vector<DemoFinger>& fingers,
                           const std::string& screenshot) {
  HWND dialog = WaitForDialog(kDialogWait);
  if (!dialog) return "the enrollment dialog did not appear";
  const std::string done = CatalogueText(library, kTemplateDone);
  if (done.empty()) return "the library has no text " + std::to_string(kTemplateDone);
  for (const DemoFinger& finger : fingers) {
    if (!PlayScenario(options.scenario_file, finger.scenario)) return "cannot write " + options.scenario_file;
    // The finger areas come alive once the dialog is ready to select.
    const ULONGLONG ready_by = ::GetTickCount64() + kDialogWait;
    while (!::IsWindowEnabled(FingerButton(dialog, finger.index)) && ::GetTickCount64() < ready_by) ::Sleep(50);
    if (!ClickFinger(dialog, finger.index)) return std::string("no finger area for ") + finger.code;
    // The status line first names the finger, then says its template is complete.
    ::Sleep(200);
    if (!WaitForStatus(dialog, done, kCaptureWait))
      return std::string("no template for ") + finger.code + " (status: " + StatusText(dialog) + ")";
    std::printf("  %s enrolled (status line: \"%s\")\n", finger.code, StatusText(dialog).c_str());
  }
  const ULONGLONG enabled_by = ::GetTickCount64() + 5000;
  while (!::IsWindowEnabled(FinishButton(dialog)) && ::GetTickCount64() < enabled_by) ::Sleep(50);
  if (!screenshot.empty() && SaveWindowPicture(dialog, screenshot))
    std::printf("  dialog picture: %s\n", screenshot.c_str());
  if (!Click(FinishButton(dialog))) return "no Finish button";
  return {};
}

// Enrols `fingers` through GetFPEnrollTemp while a second thread works the dialog;
// false when the export or the person failed.
bool EnrolFingers(HMODULE library, const Options& options, const char* user, const std::vector<DemoFinger>& fingers,
                  const std::string& screenshot, std::vector<TemplateEntry>& enrolled) {
  const auto enroll = reinterpret_cast<EnrollFn>(reinterpret_cast<void*>(::GetProcAddress(library, "GetFPEnrollTemp")));
  if (!PlayScenario(options.scenario_file, fingers.front().scenario)) {
    std::printf("  cannot write %s\n", options.scenario_file.c_str());
    return false;
  }
  std::vector<char> buffer(1 << 20, '\0');
  std::string problem;
  std::thread person([&] { problem = EnrolAsAPerson(library, options, fingers, screenshot); });
  const HostString host_user(user);
  const std::int32_t result = enroll(host_user.handle(), nullptr, nullptr, static_cast<std::int32_t>(fingers.size()),
                                     10, buffer.data());
  person.join();
  std::printf("  GetFPEnrollTemp returned %d\n", result);
  if (!problem.empty()) std::printf("  the person could not go on: %s\n", problem.c_str());
  if (result != 0) return false;
  enrolled = ParseEnrollString(buffer.data());
  std::printf("  template string: %zu characters, %zu entries\n", std::strlen(buffer.data()), enrolled.size());
  for (const TemplateEntry& e : enrolled)
    std::printf("    %s: %d bytes of features (%zu Base64 characters)\n", e.code.c_str(), e.length, e.text.size());
  PrintPictureFiles();
  return !enrolled.empty();
}

struct Comparison {
  std::string code;
  std::int32_t score = -1;
};

// The probe against every enrolled finger; the best comparison first.
std::vector<Comparison> Compare(EngineVerifyFn verify, const std::vector<TemplateEntry>& enrolled,
                                const std::vector<std::uint8_t>& probe) {
  std::vector<Comparison> results;
  for (const TemplateEntry& entry : enrolled) {
    const std::vector<std::uint8_t> reference = DecodeBase64(entry.text);
    std::int32_t details[5] = {static_cast<std::int32_t>(sizeof details), 0, 0, 0, 0};
    const std::int32_t code = verify(reference.data(), probe.data(), details, 0);
    results.push_back({entry.code, code < 0 ? code : details[1]});
  }
  std::sort(results.begin(), results.end(), [](const Comparison& a, const Comparison& b) { return a.score > b.score; });
  return results;
}

// Verifies once with `scenario` on the sensor and reports the best comparison; true when
// the decision is `expect_match`.
bool Verify(HMODULE library, EngineVerifyFn verify, const Options& options, const std::vector<TemplateEntry>& enrolled,
            const std::string& who, const std::string& scenario, bool expect_match) {
  std::printf("\nVerification: %s\n", who.c_str());
  if (!PlayScenario(options.scenario_file, scenario)) {
    std::printf("  cannot write %s\n", options.scenario_file.c_str());
    return false;
  }
  std::vector<char> buffer(1 << 16, '\0');
  const auto get_verify = reinterpret_cast<VerifyFn>(reinterpret_cast<void*>(::GetProcAddress(library, "GetFPVerifyTemp")));
  const std::int32_t result = get_verify(buffer.data());
  std::printf("  GetFPVerifyTemp returned %d", result);
  if (result != 0) {
    std::printf(" (no template)\n");
    return false;
  }
  const std::vector<std::uint8_t> probe = DecodeBase64(buffer.data());
  std::printf(", a template of %zu characters (%zu bytes of features)\n", std::strlen(buffer.data()), probe.size());
  PrintPictureFiles();
  const std::int32_t threshold = FARToScore(kMatchFAR);
  const std::vector<Comparison> results = Compare(verify, enrolled, probe);
  for (const Comparison& c : results)
    std::printf("  VFVerify against %s: score %4d, false-acceptance rate %.3g\n", c.code.c_str(), c.score,
                ScoreToFAR(c.score));
  const bool match = !results.empty() && results.front().score >= threshold;
  std::printf("  => %s (best score %d; a match needs %d, the score of a false-acceptance rate of %g)\n",
              match ? "MATCH" : "NO MATCH", results.empty() ? -1 : results.front().score, threshold, kMatchFAR);
  return match == expect_match;
}

std::string PersonPresses(std::uint32_t person, const char* code) {
  return "person " + std::to_string(person) + " presses " + code;
}

// The second part: the same job with real prints played as presses.
bool RealPrintsPart(HMODULE library, EngineVerifyFn verify, const Options& options) {
  std::printf("\nReal prints from %s\n", options.real_prints.c_str());
  std::printf("Enrollment: finger %s, impressions 1 to 3, enrolled as R2 in the dialog (GetFPEnrollTemp)\n",
              kRealFinger);
  const std::vector<DemoFinger> fingers = {{7, "R2", RealFinger(options.real_prints, kRealFinger, {1, 2, 3})}};
  std::vector<TemplateEntry> enrolled;
  if (!EnrolFingers(library, options, "demo-real", fingers, {}, enrolled)) return false;
  const bool genuine = Verify(library, verify, options, enrolled, std::string("impression 5 of finger ") + kRealFinger,
                              RealFinger(options.real_prints, kRealFinger, {5}), true);
  const bool impostor =
      Verify(library, verify, options, enrolled, std::string("impression 5 of finger ") + kOtherRealFinger,
             RealFinger(options.real_prints, kOtherRealFinger, {5}), false);
  std::printf("\n%s\n", genuine && impostor ? "Real prints: the same finger matched, the other finger did not."
                                              : "Real prints FAILED: a decision was not the expected one.");
  return genuine && impostor;
}

}  // namespace

int RunDemo(HMODULE library, const Options& options) {
  if (!::GetProcAddress(library, "GetFPEnrollTemp") || !::GetProcAddress(library, "GetFPVerifyTemp")) {
    std::printf("the library lacks its template exports\n");
    return 3;
  }
  std::printf("Enrollment: person %u enrols L2 and R2 in the dialog (GetFPEnrollTemp, minimum 2)\n", kPerson);
  const std::vector<DemoFinger> fingers = {{2, "L2", SimulatedFinger(kPerson, "L2")},
                                           {7, "R2", SimulatedFinger(kPerson, "R2")}};
  std::vector<TemplateEntry> enrolled;
  if (!EnrolFingers(library, options, "demo-1", fingers, options.screenshot, enrolled)) return 1;

  // The engine has been loaded by the library by now; the host compares with it as its
  // server would.
  HMODULE engine = ::GetModuleHandleA("Vandrel.dll");
  const auto verify =
      engine ? reinterpret_cast<EngineVerifyFn>(reinterpret_cast<void*>(::GetProcAddress(engine, "VFVerify"))) : nullptr;
  if (!verify) {
    std::printf("the feature engine Vandrel.dll is not loaded\n");
    return 3;
  }
  const bool genuine = Verify(library, verify, options, enrolled, PersonPresses(kPerson, "L2"),
                              SimulatedFinger(kPerson, "L2"), true);
  const bool impostor = Verify(library, verify, options, enrolled, PersonPresses(kOtherPerson, "L2"),
                               SimulatedFinger(kOtherPerson, "L2"), false);
  std::printf("\n%s\n", genuine && impostor ? "Demo complete: the same person matched, the other person did not."
                                              : "Demo FAILED: a decision was not the expected one.");
  const bool real = options.real_prints.empty() || RealPrintsPart(library, verify, options);
  return genuine && impostor && real ? 0 : 1;
}

}  // namespace mivex::host
