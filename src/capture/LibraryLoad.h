#pragma once
// Loading the feature engine and sensor libraries. The library runs inside other
// people's processes, often elevated, whose current folder and PATH another user may
// control: a library found there would run its code in the host. So a library is
// looked for, in this order, only in
//   1. the folder of the module that holds this code (Mivex.dll's own folder),
//   2. the folder of the host program,
//   3. the system folder,
// and never in the current folder or along PATH.
#include <windows.h>

#include <string>

namespace mivex {

// Loads `name` (a bare file name such as L"Vandrel.dll") from the places above; null
// when it is in none of them or cannot be loaded. The file loaded, or the failure, goes
// to the log.
HMODULE LoadPrivateLibrary(const wchar_t* name);

// The folder, with a trailing backslash, of the module that holds this code; empty when
// it cannot be told.
std::wstring OwnModuleFolder();

}  // namespace mivex
