#pragma once
// Plays the user in tests: watches for this process's dialog (class "TForm", caption
// "PX-DAV316"), lets the test look at it, then closes it with its close box.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace mivex::testing {

class DialogWatcher {
 public:
  using Inspect = std::function<void(HWND dialog)>;
  // Every dialog that appears is inspected and then closed after `close_delay_ms`.
  // A dialog equal to `ignore` (a stand-in the test opened itself) is left alone.
  explicit DialogWatcher(Inspect inspect = {}, DWORD close_delay_ms = 0, HWND ignore = nullptr);
  ~DialogWatcher();
  int Closed() const { return closed_.load(); }

 private:
  void Run();
  Inspect inspect_;
  DWORD delay_;
  HWND ignore_;
  std::atomic<bool> stop_{false};
  std::atomic<int> closed_{0};
  std::thread thread_;
};

// Visible top-level windows of class "TForm" captioned "PX-DAV316" of any process.
std::vector<HWND> OpenDialogs(bool this_process_only);
// Text of the first child window of the given class (for example "Edit").
std::string ChildText(HWND parent, const char* child_class);

}  // namespace mivex::testing
