#pragma once
// Works the library's dialogs of this process the way a person does: waits for a dialog,
// clicks finger areas and buttons, reads the status line, answers message boxes. Used by
// the demo and by the end-to-end tests; it runs on a thread of its own while the dialog's
// thread is inside an export.
#include <windows.h>

#include <string>
#include <vector>

namespace mivex::host {

// Positions of the dialog's buttons inside the workflow control (client coordinates).
inline constexpr POINT kCancelButtonAt{358 + 30, 268 + 12};
inline constexpr POINT kFinishButtonAt{435 + 30, 268 + 12};

// The visible dialog of this process (class "TForm", caption "PX-DAV316"), waiting up
// to `timeout_ms`; null when none appeared.
HWND WaitForDialog(DWORD timeout_ms);
// The workflow control on the dialog.
HWND ControlOf(HWND dialog);
// The status line as the control shows it.
std::string StatusText(HWND dialog);
// Waits until the status line satisfies `contains` (a substring); false after the time.
bool WaitForStatus(HWND dialog, const std::string& contains, DWORD timeout_ms);

// The finger area of finger `index` (1..10).
HWND FingerButton(HWND dialog, int index);
HWND FinishButton(HWND dialog);
HWND CancelButton(HWND dialog);
// Clicks inside the window's shape (its region when it has one).
bool Click(HWND window);
bool ClickFinger(HWND dialog, int index);

// A message box of this process, waiting up to `timeout_ms`.
HWND WaitForMessageBox(DWORD timeout_ms);
std::string MessageBoxText(HWND box);
// Presses the box's button IDYES, IDNO or IDOK.
bool AnswerMessageBox(HWND box, int button);

// Closes the dialog with its close box.
void CloseDialog(HWND dialog);
// The names of the files in `folder` (the picture folder a dialog writes), sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// Saves what the screen shows of the window as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::string& path);

}  // namespace mivex::host
