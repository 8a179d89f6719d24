#include <windows.h>

#include "api/Library.h"

// Nothing starts under the loader lock: the start sequence runs at the first export
// call (Library.h). At unload by FreeLibrary the started units are shut down; at process
// exit (reserved != null) the system reclaims everything and other threads are already
// gone, so nothing runs.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      ::DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (reserved == nullptr) mivex::StopLibrary();
      break;
    default:
      break;
  }
  return TRUE;
}
