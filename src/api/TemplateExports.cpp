#include "api/TemplateExports.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "api/CountedString.h"
#include "api/Library.h"
#include "api/XFPEnroll.h"
#include "base/FloatEnvironment.h"
#include "base/TextUtil.h"

namespace mivex {
namespace {

constexpr std::int32_t kSuccess = 0;
constexpr std::int32_t kRefused = 404;
constexpr std::int32_t kNoTemplate = 504;

struct EnrollArgs {
  std::string user, enrolled, codes, sequence;
  bool with_sequence = false;
  std::int32_t minimum = 1, maximum = 10;
};

// Held by the guarded call whose dialog is open, in this process.
std::atomic<bool> g_dialog_taken{false};

// Held (owned by the dialog's thread) while a guarded dialog of any process in this
// session is open.
constexpr wchar_t kDialogMutexName[] = L"Local\\Mivex.PX-DAV316.Dialog";

void RaiseOpenDialog() {
  if (HWND open = ::FindWindowA(kDialogClass, kDialogCaption)) ::SetForegroundWindow(open);
}

// The single-instance guard of the guarded calls, held for the dialog's whole life. A
// window lookup alone leaves a gap between the lookup and the window's creation, in
// which two calls both find nothing: so the slot is taken atomically first (within the
// process), then a named mutex is taken without waiting (across processes), and only
// then is the window looked for (a dialog of the plain variants, or of an older copy of
// the library, has only its window). A refused call raises the open dialog.
class DialogSlot {
 public:
  DialogSlot() {
    bool expected = false;
    if (!g_dialog_taken.compare_exchange_strong(expected, true)) {
      RaiseOpenDialog();
      return;
    }
    in_process_ = true;
    mutex_ = ::CreateMutexW(nullptr, FALSE, kDialogMutexName);
    if (mutex_) {
      // WAIT_ABANDONED: a process ended with its dialog open; the slot is free again.
      const DWORD wait = ::WaitForSingleObject(mutex_, 0);
      owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
      if (!owned_) {
        RaiseOpenDialog();
        return;
      }
    }
    if (HWND open = ::FindWindowA(kDialogClass, kDialogCaption)) {
      ::SetForegroundWindow(open);
      return;
    }
    taken_ = true;
  }
  ~DialogSlot() {
    if (owned_) ::ReleaseMutex(mutex_);
    if (mutex_) ::CloseHandle(mutex_);
    if (in_process_) g_dialog_taken.store(false);
  }
  DialogSlot(const DialogSlot&) = delete;
  DialogSlot& operator=(const DialogSlot&) = delete;

  // True when this call may open its dialog.
  bool Taken() const { return taken_; }

 private:
  bool in_process_ = false;
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
  bool taken_ = false;
};

void CopyOut(const std::string& text, char* buffer) {
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
}

std::int32_t RunEnrollment(const EnrollArgs& args, char* buffer) {
  // The component frees its dialog, form, control, look and device on every way out.
  auto component = std::make_unique<XFPEnroll::TXFPEnroll>(nullptr);
  component->ClearFingers();
  component->SetUserID(args.user);
  component->SetEnrolledFinger(args.enrolled);
  component->SetFingerCodes(args.codes);  // before Minimum, which is clamped against it
  if (args.with_sequence) component->SetFingerSequence(args.sequence);
  component->SetMinimum(args.minimum);
  component->SetMaximum(args.maximum);
  if (!component->Execute()) return kRefused;
  std::string result = component->EnrollTempStr();
  if (result.empty()) return kNoTemplate;
  CopyOut(result, buffer);
  return kSuccess;
}

// Runs an enrollment export: guard (guarded variants), then the dialog. No failure
// crosses the boundary; an unexpected one ends the call as "not completed" (404).
std::int32_t Enroll(bool guarded, EnrollArgs args, char* buffer) {
  const ScopedFloatEnvironment floatEnvironment;
  try {
    EnsureLibraryStarted();
    if (!buffer) return kRefused;
    if (!guarded) return RunEnrollment(args, buffer);
    DialogSlot slot;
    if (!slot.Taken()) return kRefused;
    args.user = TrimControls(args.user);
    args.enrolled = TrimControls(args.enrolled);
    args.codes = TrimControls(args.codes);
    args.sequence = TrimControls(args.sequence);
    return RunEnrollment(args, buffer);
  } catch (...) {
    return kRefused;
  }
}

// Runs the verification dialog; an empty string unless it ended with success.
std::string RunVerification() {
  auto component = std::make_unique<TXFPAuthen>(nullptr);
  return component->Execute();
}

}  // namespace
}  // namespace mivex

using namespace mivex;

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTemp(const char* UserID, const char* EnrolledFinger,
                                                        const char* FingerCodes, std::int32_t Minimum,
                                                        std::int32_t Maximum, char* TemplateBuf) {
  EnrollArgs args;
  try {
    args.user = ReadCounted(UserID);
    args.enrolled = ReadCounted(EnrolledFinger);
    args.codes = ReadCounted(FingerCodes);
  } catch (...) {
    return kRefused;
  }
  args.minimum = Minimum;
  args.maximum = Maximum;
  return Enroll(true, std::move(args), TemplateBuf);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempBySet(const char* UserID, const char* EnrolledFinger,
                                                             const char* FingerCodes, const char* FingerSequence,
                                                             std::int32_t Minimum, std::int32_t Maximum,
                                                             char* TemplateBuf) {
  EnrollArgs args;
  try {
    args.user = ReadCounted(UserID);
    args.enrolled = ReadCounted(EnrolledFinger);
    args.codes = ReadCounted(FingerCodes);
    args.sequence = ReadCounted(FingerSequence);
  } catch (...) {
    return kRefused;
  }
  args.with_sequence = true;
  args.minimum = Minimum;
  args.maximum = Maximum;
  return Enroll(true, std::move(args), TemplateBuf);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempP(const char* UserID, const char* EnrolledFinger,
                                                         const char* FingerCodes, std::int32_t Minimum,
                                                         std::int32_t Maximum, char* TemplateBuf) {
  EnrollArgs args;
  try {
    args.user = ReadPlain(UserID);
    args.enrolled = ReadPlain(EnrolledFinger);
    args.codes = ReadPlain(FingerCodes);
  } catch (...) {
    return kRefused;
  }
  args.minimum = Minimum;
  args.maximum = Maximum;
  return Enroll(false, std::move(args), TemplateBuf);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempBySetP(const char* UserID, const char* EnrolledFinger,
                                                              const char* FingerCodes, const char* FingerSequence,
                                                              std::int32_t Minimum, std::int32_t Maximum,
                                                              char* TemplateBuf) {
  EnrollArgs args;
  try {
    args.user = ReadPlain(UserID);
    args.enrolled = ReadPlain(EnrolledFinger);
    args.codes = ReadPlain(FingerCodes);
    args.sequence = ReadPlain(FingerSequence);
  } catch (...) {
    return kRefused;
  }
  args.with_sequence = true;
  args.minimum = Minimum;
  args.maximum = Maximum;
  return Enroll(false, std::move(args), TemplateBuf);
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPVerifyTemp(char* TemplateBuf) {
  const ScopedFloatEnvironment floatEnvironment;
  try {
    EnsureLibraryStarted();
    if (!TemplateBuf) return kNoTemplate;
    DialogSlot slot;
    if (!slot.Taken()) return kRefused;
    std::string result = RunVerification();
    if (result.empty()) return kNoTemplate;
    CopyOut(result, TemplateBuf);
    return kSuccess;
  } catch (...) {
    return kNoTemplate;
  }
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPVerifyTempString(const char** TemplateVar) {
  const ScopedFloatEnvironment floatEnvironment;
  try {
    EnsureLibraryStarted();
    if (!TemplateVar) return kNoTemplate;
    // Emptied before the guard: the variable is null after every outcome but success.
    ClearCountedVar(TemplateVar);
    DialogSlot slot;
    if (!slot.Taken()) return kRefused;
    std::string result = RunVerification();
    if (result.empty()) return kNoTemplate;
    *TemplateVar = NewCounted(result);
    return kSuccess;
  } catch (...) {
    return kNoTemplate;
  }
}

MIVEX_EXPORT void MIVEX_STDCALL GetPdtLID(const char** Output, const char* /*Input*/) {
  try {
    ClearCountedVar(Output);
  } catch (...) {
  }
}
