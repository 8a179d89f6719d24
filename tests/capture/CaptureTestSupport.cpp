#include "CaptureTestSupport.h"

#include "../support/ProcessObjects.h"

#include <cstdlib>

namespace capture_test {

namespace {

template <typename Proc>
void Find(HMODULE module, const char* name, Proc& slot) {
  slot = module ? reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace

const Fakes& Start() {
  static Fakes fakes = [] {
    mivex::LoadEngineLibrary();
    mivex::LoadSensorLibrary();
    mivex::StartEnrollmentEngine();
    if (!mivex::Log()) mivex::StartLog();
    Fakes f{};
    HMODULE engine = ::GetModuleHandleW(L"Vandrel.dll");
    HMODULE sensor = ::GetModuleHandleW(L"Ostrela.dll");
    Find(engine, "FV_Reset", f.FV_Reset);
    Find(engine, "FV_SetMatch", f.FV_SetMatch);
    Find(engine, "FV_QueueGeneralizeResult", f.FV_QueueGeneralizeResult);
    Find(engine, "FV_GeneralizeCalls", f.FV_GeneralizeCalls);
    Find(engine, "FV_GeneralizeTags", f.FV_GeneralizeTags);
    Find(engine, "FV_VerifyCalls", f.FV_VerifyCalls);
    Find(engine, "FV_VerifyPair", f.FV_VerifyPair);
    Find(engine, "FV_ExtractCalls", f.FV_ExtractCalls);
    Find(engine, "FV_LiveContexts", f.FV_LiveContexts);
    Find(engine, "FV_InitializeCalls", f.FV_InitializeCalls);
    Find(engine, "FV_Parameter", f.FV_Parameter);
    Find(sensor, "FO_Reset", f.FO_Reset);
    Find(sensor, "FO_SetOpenResult", f.FO_SetOpenResult);
    Find(sensor, "FO_QueueFrame", f.FO_QueueFrame);
    Find(sensor, "FO_QueueSizedFrame", f.FO_QueueSizedFrame);
    Find(sensor, "FO_PendingFrames", f.FO_PendingFrames);
    Find(sensor, "FO_Count", f.FO_Count);
    return f;
  }();
  return fakes;
}

LogCapture::LogCapture() {
  Start();
  mivex::Log()->OnGetLog = [this](const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  };
}

LogCapture::~LogCapture() {
  if (mivex::Log()) mivex::Log()->OnGetLog = nullptr;
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool LogCapture::Contains(const std::string& text) const {
  // Lines are "yyyy/mm/dd hh:nn:ss text".
  for (const auto& line : Lines())
    if (line.size() > 20 && line.compare(20, std::string::npos, text) == 0) return true;
  return false;
}

int LogCapture::CountStartingWith(const std::string& prefix) const {
  int n = 0;
  for (const auto& line : Lines())
    if (line.size() > 20 && line.compare(20, prefix.size(), prefix) == 0) ++n;
  return n;
}

EventRecorder::EventRecorder(mivex::TVFBase& device) {
  device.OnReady = [this](mivex::TObject*) { Add("ready"); };
  device.OnStatus = [this](mivex::TObject*, std::int32_t s) { Add("status:" + std::to_string(s)); };
  device.OnSampleQuality = [this](mivex::TObject*, std::int32_t q) { Add("quality:" + std::to_string(q)); };
  device.OnDone = [this](mivex::TObject*, const std::uint8_t*) { Add("done"); };
  device.OnError = [this](mivex::TObject*, std::int32_t c) { Add("error:" + std::to_string(c)); };
  device.onVerify = [this](mivex::TObject*, std::int32_t s) { Add("verify:" + std::to_string(s)); };
  device.onSample = [this](mivex::TObject*, const mivex::TBitmap* bmp) {
    Add(bmp ? "sample:" + std::to_string(bmp->Width()) + "x" + std::to_string(bmp->Height()) : "sample:none");
  };
  device.OnEnrollProgress = [this](mivex::TObject*, std::int32_t pos, std::int32_t max) {
    Add("progress:" + std::to_string(pos) + "/" + std::to_string(max));
  };
}

void EventRecorder::Add(const std::string& event) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(event);
}

std::vector<std::string> EventRecorder::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

int EventRecorder::Count(const std::string& event) const {
  auto events = Events();
  return static_cast<int>(std::count(events.begin(), events.end(), event));
}

std::string EventRecorder::Joined() const {
  std::string text;
  for (const auto& e : Events()) text += (text.empty() ? "" : " ") + e;
  return text;
}

void EventRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG start = ::GetTickCount64();
  while (!done()) {
    if (::GetTickCount64() - start > timeout_ms) return done();
    mivex::win::SleepPumping(5);
  }
  return true;
}

bool WaitIdle(mivex::TFPBase& device, DWORD timeout_ms) {
  return PumpUntil([&] { return !device.Busy(); }, timeout_ms);
}

int ThreadCount() { return mivex::testing::ThreadCount(); }

DWORD HandleCount() {
  DWORD n = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &n) && n > 0) return n;
  // Wine answers 0 there; its system-wide handle table lists this process's handles.
  struct Entry {
    USHORT process;
    USHORT creator;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using QuerySystemInformation = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  std::vector<char> buffer(1 << 22);
  ULONG returned = 0;
  if (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &returned) != 0) return 0;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  const auto self = static_cast<USHORT>(::GetCurrentProcessId());
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].process == self) ++n;
  return n;
}

bool AtomExists(const char* name) { return ::GlobalFindAtomA(name) != 0; }

HANDLE SpawnChild(const std::string& role) {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring command =
      L"\"" + std::wstring(path) + L"\" --gtest_filter=ChildRole.DISABLED_Run --gtest_also_run_disabled_tests";
  ::SetEnvironmentVariableW(L"MIVEX_CAPTURE_CHILD", mivex::win::ToWide(role).c_str());
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  BOOL ok = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  ::SetEnvironmentVariableW(L"MIVEX_CAPTURE_CHILD", nullptr);
  if (!ok) return nullptr;
  ::CloseHandle(pi.hThread);
  return pi.hProcess;
}

int WaitChild(HANDLE process, DWORD timeout_ms) {
  if (!process) return -1;
  int code = -1;
  if (::WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0) {
    DWORD exit_code = 0;
    if (::GetExitCodeProcess(process, &exit_code)) code = static_cast<int>(exit_code);
  }
  ::CloseHandle(process);
  return code;
}

}  // namespace capture_test
