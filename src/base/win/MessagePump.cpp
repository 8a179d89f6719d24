#include "base/win/MessagePump.h"

namespace mivex::win {

void ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the thread's own loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool WaitPumping(HANDLE handle, DWORD milliseconds) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      ULONGLONG spent = ::GetTickCount64() - start;
      left = spent >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - spent);
    }
    DWORD count = handle ? 1 : 0;
    DWORD r = ::MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handle && r == WAIT_OBJECT_0) return true;
    if (r == WAIT_OBJECT_0 + count) {
      ProcessMessages();
      continue;
    }
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return false;
  }
}

void SleepPumping(DWORD milliseconds) { WaitPumping(nullptr, milliseconds); }

}  // namespace mivex::win
