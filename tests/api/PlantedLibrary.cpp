// A library planted under the name of the feature engine or the sensor library: loading
// it leaves a marker file beside it, named after it with ".loaded" appended.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 16] = {};
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  ::lstrcatW(path, L".loaded");
  HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return TRUE;
}
