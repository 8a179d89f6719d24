// The template exports called in-process, with a watcher thread playing the user.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/HostFloatState.h"
#include "../support/ProcessObjects.h"
#include "DialogWatcher.h"
#include "api/CountedString.h"
#include "api/TemplateExports.h"
#include "api/XFPDlg.h"
#include "api/XFPEnroll.h"
#include "base/win/Form.h"

using namespace mivex;
using mivex::testing::ChildText;
using mivex::testing::DialogWatcher;
using mivex::testing::OpenDialogs;

namespace {

// A counted string as a host builds one (a constant: reference count -1).
class Arg {
 public:
  explicit Arg(const std::string& text) : block_(8 + text.size() + 1, '\0') {
    std::int32_t refs = -1, len = static_cast<std::int32_t>(text.size());
    std::memcpy(block_.data(), &refs, 4);
    std::memcpy(block_.data() + 4, &len, 4);
    std::memcpy(block_.data() + 8, text.data(), text.size());
  }
  const char* get() const { return block_.data() + 8; }

 private:
  std::vector<char> block_;
};

// A visible window of the library's own dialog class and caption, in this process.
std::unique_ptr<win::TForm> OpenFakeDialog() {
  auto form = std::make_unique<win::TForm>(nullptr);
  form->SetCaption(kDialogCaption);
  form->SetBounds(20, 20, 200, 100);
  form->SetVisible(true);
  form->HandleNeeded();
  return form;
}

using mivex::testing::ThreadCount;

// No finger ever touches the simulated sensor in these tests: every dialog ends by the
// user's hand, never by a finished capture.
class NoFingerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ::SetEnvironmentVariableA("OSTRELA_SCENARIO", "none"); }
};
const auto* const kNoFinger = ::testing::AddGlobalTestEnvironment(new NoFingerEnvironment);

}  // namespace

TEST(Guard, GuardedCallsRefuseWhileADialogIsOpenAndRaiseIt) {
  auto fake = OpenFakeDialog();
  HWND other = ::CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 100, 50,
                                 nullptr, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(other);
  std::vector<char> buf(64, 'x');
  DWORD start = ::GetTickCount();
  EXPECT_EQ(GetFPEnrollTemp(Arg("u").get(), nullptr, nullptr, 1, 10, buf.data()), 404);
  EXPECT_EQ(GetFPEnrollTempBySet(nullptr, nullptr, nullptr, Arg("L1").get(), 1, 10, buf.data()), 404);
  EXPECT_EQ(GetFPVerifyTemp(buf.data()), 404);
  EXPECT_LT(::GetTickCount() - start, 2000u);
  EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string(64, 'x'));
  EXPECT_EQ(::GetForegroundWindow(), fake->HandleIfAllocated());
  ::DestroyWindow(other);
}

TEST(Guard, PlainVariantsOpenASecondDialog) {
  auto fake = OpenFakeDialog();
  size_t seen = 0;
  {
    DialogWatcher watcher([&](HWND) { seen = OpenDialogs(true).size(); }, 0, fake->HandleIfAllocated());
    std::vector<char> buf(64, 'x');
    EXPECT_EQ(GetFPEnrollTempP("u", "", "", 1, 10, buf.data()), 404);
  }
  EXPECT_EQ(seen, 2u);
}

// Guarded calls started at the same instant from several threads: exactly one opens its
// dialog, the others are refused with 404 while it is open.
TEST(Guard, SimultaneousGuardedCallsOpenExactlyOneDialog) {
  constexpr int kThreads = 4;
  for (bool verify : {false, true}) {
    DialogWatcher watcher({}, 1500);
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::int32_t> results(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        std::vector<char> buf(1 << 16, 'x');
        ++ready;
        while (!go.load()) {
        }
        results[static_cast<std::size_t>(i)] =
            verify ? GetFPVerifyTemp(buf.data()) : GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data());
      });
    }
    while (ready.load() < kThreads) ::Sleep(1);
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(watcher.Closed(), 1) << (verify ? "verification" : "enrollment");
    if (verify) {
      // The one that ran was closed (504); the others were refused (404).
      EXPECT_EQ(std::count(results.begin(), results.end(), 504), 1);
      EXPECT_EQ(std::count(results.begin(), results.end(), 404), kThreads - 1);
    } else {
      EXPECT_EQ(std::count(results.begin(), results.end(), 404), kThreads);
    }
  }
  // The slot is free again once the dialog has gone.
  DialogWatcher watcher;
  std::vector<char> buf(64, 'x');
  EXPECT_EQ(GetFPVerifyTemp(buf.data()), 504);
  EXPECT_EQ(watcher.Closed(), 1);
}

TEST(CloseBox, EnrollmentGives404AndVerification504) {
  DialogWatcher watcher;
  std::vector<char> buf(64, 'x');
  EXPECT_EQ(GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data()), 404);
  EXPECT_EQ(GetFPEnrollTempBySetP("u", "", "", "L1", 1, 10, buf.data()), 404);
  EXPECT_EQ(GetFPVerifyTemp(buf.data()), 504);
  EXPECT_EQ(buf[0], 'x');
}

TEST(CloseBox, VerifyStringVariableIsReleasedAndLeftNull) {
  char* held = NewCounted("old template");
  std::int32_t two = 2;  // the host kept a second reference
  std::memcpy(held - 8, &two, 4);
  const char* var = held;
  {
    DialogWatcher watcher;
    EXPECT_EQ(GetFPVerifyTempString(&var), 504);
  }
  EXPECT_EQ(var, nullptr);
  EXPECT_EQ(CountedRefCount(held), 1);

  auto fake = OpenFakeDialog();
  var = held;  // the last reference: released (freed) before the guard refuses
  EXPECT_EQ(GetFPVerifyTempString(&var), 404);
  EXPECT_EQ(var, nullptr);
}

TEST(PdtLid, AlwaysLeavesItsOutputNull) {
  const char* var = NewCounted("x");
  GetPdtLID(&var, Arg("input").get());
  EXPECT_EQ(var, nullptr);
  GetPdtLID(&var, nullptr);
  EXPECT_EQ(var, nullptr);
  GetPdtLID(nullptr, nullptr);
}

TEST(Arguments, GuardedVariantsTrimControlCharactersAndPlainOnesKeepThem) {
  std::string shown;
  {
    DialogWatcher watcher([&](HWND dialog) { shown = ChildText(dialog, "Edit"); });
    std::vector<char> buf(64);
    GetFPEnrollTemp(Arg(std::string("\t 42 \r\n\0", 8)).get(), nullptr, nullptr, 1, 10, buf.data());
  }
  EXPECT_EQ(shown, "42");
  {
    DialogWatcher watcher([&](HWND dialog) { shown = ChildText(dialog, "Edit"); });
    std::vector<char> buf(64);
    GetFPEnrollTempP("  42 ", "", "", 1, 10, buf.data());
  }
  EXPECT_EQ(shown, "  42 ");
}

TEST(Form, MeasuresControlPlus25OpensCentredAndTopmost) {
  RECT r{};
  LONG ex = 0;
  {
    DialogWatcher watcher([&](HWND dialog) {
      ::GetWindowRect(dialog, &r);
      ex = ::GetWindowLongA(dialog, GWL_EXSTYLE);
    });
    std::vector<char> buf(64);
    GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data());
  }
  EXPECT_EQ(r.right - r.left, 530);
  EXPECT_EQ(r.bottom - r.top, 425);
  EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - 530) / 2);
  EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - 425) / 2);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
}

TEST(Components, FingerCodesMinimumAndMaximumAreConvertedAndClamped) {
  XFPEnroll::TXFPEnroll component(nullptr);
  XFPBase::TXFPEnroll* control = component.Dialog->Control;
  component.SetFingerCodes("l1r2");  // no code: the set stays as it was
  EXPECT_EQ(control->ValidFingers(), 1023);
  component.SetFingerCodes("L1 R1");
  component.SetMinimum(5);
  EXPECT_EQ(control->Minimum(), 2);
  component.SetMinimum(0);
  EXPECT_EQ(control->Minimum(), 1);
  for (int bad : {0, -3, 11}) {
    component.SetMaximum(bad);
    EXPECT_EQ(control->Maximum(), 10);
  }
  component.SetMaximum(3);
  EXPECT_EQ(control->Maximum(), 3);
  // A Minimum above Maximum could never be met: it follows Maximum down.
  component.SetFingerCodes("");
  component.SetMinimum(3);
  component.SetMaximum(2);
  EXPECT_EQ(control->Minimum(), 2);
  component.SetMinimum(5);
  EXPECT_EQ(control->Minimum(), 2);
  component.SetMaximum(0);  // 10
  component.SetMinimum(5);
  EXPECT_EQ(control->Minimum(), 5);
  component.SetEnrolledFinger("L1R");
  EXPECT_EQ(control->Purpose(), TEnrollPurpose::epUpdateEnroll);
  component.SetEnrolledFinger("");
  EXPECT_EQ(control->Purpose(), TEnrollPurpose::epNewEnroll);
}

TEST(Host, ErrorReportedFromAWorkerThreadClosesTheDialogAtOnce) {
  TXFPEnrollDlg host(nullptr);
  std::thread worker([&] {
    while (!::IsWindowVisible(host.Form->HandleIfAllocated())) ::Sleep(5);
    ::Sleep(300);  // let the modal loop start (a report before it is overwritten)
    host.Control->onError(host.Control, 304, "Cancel Request From User");
  });
  DWORD start = ::GetTickCount();
  EXPECT_EQ(host.Form->ShowModal(), win::mrCancel);
  worker.join();
  EXPECT_EQ(host.ErrCode, 304);
  EXPECT_LT(::GetTickCount() - start, 3000u);
}

TEST(Host, CompletionReportedBeforeTheModalLoopIsOverwritten) {
  TXFPEnrollDlg host(nullptr);
  host.Control->onAfterExecute(host.Control);
  DialogWatcher watcher;  // the user has to close it
  EXPECT_EQ(host.Form->ShowModal(), win::mrCancel);
}

// A Delphi host's floating-point state (exceptions unmasked, its own rounding) does
// not reach the dialogs' drawing and layout, and the host has exactly its state back,
// without the flags the dialogs raised, after each call.
TEST(Host, DialogsGiveTheHostsFloatingPointStateBack) {
  DialogWatcher watcher({}, 300);  // shown and painted for a while before the user closes it
  const mivex::testing::FloatState own = mivex::testing::ReadFloatState();
  const mivex::testing::FloatState host = mivex::testing::kDelphiHostRoundingDown;
  std::vector<char> buf(64, 'x');
  mivex::testing::WriteFloatState(host);
  const std::int32_t enrolled = GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data());
  const mivex::testing::FloatState afterEnrollment = mivex::testing::ReadFloatState();
  mivex::testing::WriteFloatState(host);
  const std::int32_t verified = GetFPVerifyTemp(buf.data());
  const mivex::testing::FloatState afterVerification = mivex::testing::ReadFloatState();
  mivex::testing::WriteFloatState(own);
  EXPECT_EQ(enrolled, 404);
  EXPECT_EQ(verified, 504);
  EXPECT_TRUE(afterEnrollment == host) << std::hex << afterEnrollment.vector << " " << afterEnrollment.x87;
  EXPECT_TRUE(afterVerification == host) << std::hex << afterVerification.vector << " " << afterVerification.x87;
}

TEST(Resources, TwoHundredClosedEnrollmentsLeakNoObjectsOrThreads) {
  DialogWatcher watcher;
  std::vector<char> buf(64);
  GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data());
  HANDLE self = ::GetCurrentProcess();
  const long gdi = mivex::testing::GdiObjectCount();
  const DWORD user = ::GetGuiResources(self, GR_USEROBJECTS);
  int threads = ThreadCount();
  for (int i = 0; i < 199; ++i) ASSERT_EQ(GetFPEnrollTemp(nullptr, nullptr, nullptr, 1, 10, buf.data()), 404);
  EXPECT_LE(mivex::testing::GdiObjectCount(), gdi);
  EXPECT_LE(::GetGuiResources(self, GR_USEROBJECTS), user);
  EXPECT_LE(ThreadCount(), threads);
}
