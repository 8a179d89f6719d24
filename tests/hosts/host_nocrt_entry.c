/* Entry point of a host linked with lld-link and no C runtime. */
#include "host_checks.h"

__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int code);

void __stdcall mivex_host_entry(void) { ExitProcess(mivex_host_checks("clang-cl") ? 1u : 0u); }
