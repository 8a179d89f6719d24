// Keeps a top-level window of class "TForm" captioned "PX-DAV316" open until the event
// named on the command line is signalled, as another program's dialog would.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TForm";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "TForm", "PX-DAV316", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
  if (!w || !ready || !quit) return 3;
  SetEvent(ready);
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &quit, FALSE, 30000, QS_ALLINPUT);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  DestroyWindow(w);
  return 0;
}
