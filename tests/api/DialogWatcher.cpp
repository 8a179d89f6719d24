#include "DialogWatcher.h"

namespace mivex::testing {

namespace {
struct DialogSearch {
  bool own;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND w, LPARAM lp) {
  auto* c = reinterpret_cast<DialogSearch*>(lp);
  // InternalGetWindowText sends no message: the dialog's thread may be busy or waiting
  // for this thread (joining it), and must not be asked for its caption.
  char cls[64] = {};
  wchar_t caption[64] = {};
  ::GetClassNameA(w, cls, sizeof cls);
  ::InternalGetWindowText(w, caption, 64);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (std::string(cls) == "TForm" && std::wstring(caption) == L"PX-DAV316" && ::IsWindowVisible(w) &&
      (!c->own || pid == ::GetCurrentProcessId()))
    c->found.push_back(w);
  return TRUE;
}

struct ChildSearch {
  const char* cls;
  HWND found;
};

BOOL CALLBACK FindChild(HWND w, LPARAM lp) {
  auto* c = reinterpret_cast<ChildSearch*>(lp);
  char cls[64] = {};
  ::GetClassNameA(w, cls, sizeof cls);
  if (::lstrcmpiA(cls, c->cls) == 0) {
    c->found = w;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> OpenDialogs(bool this_process_only) {
  DialogSearch ctx{this_process_only, {}};
  ::EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

std::string ChildText(HWND parent, const char* child_class) {
  ChildSearch ctx{child_class, nullptr};
  ::EnumChildWindows(parent, &FindChild, reinterpret_cast<LPARAM>(&ctx));
  if (!ctx.found) return "<none>";
  char text[512] = {};
  ::GetWindowTextA(ctx.found, text, sizeof text);
  return text;
}

DialogWatcher::DialogWatcher(Inspect inspect, DWORD close_delay_ms, HWND ignore)
    : inspect_(std::move(inspect)), delay_(close_delay_ms), ignore_(ignore), thread_([this] { Run(); }) {}

DialogWatcher::~DialogWatcher() {
  stop_ = true;
  thread_.join();
}

void DialogWatcher::Run() {
  while (!stop_) {
    std::vector<HWND> dialogs = OpenDialogs(true);
    std::erase(dialogs, ignore_);
    if (dialogs.empty()) {
      ::Sleep(10);
      continue;
    }
    HWND dialog = dialogs.front();
    if (inspect_) inspect_(dialog);
    if (delay_) ::Sleep(delay_);
    ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ++closed_;
    // Wait until that dialog is gone before looking for the next one.
    while (!stop_ && ::IsWindow(dialog) && ::IsWindowVisible(dialog)) ::Sleep(5);
  }
}

}  // namespace mivex::testing
