#pragma once
// Calling convention of every exported entry point and of the closed libraries'
// entry points: stdcall on 32-bit Windows (the callee removes the arguments).
// x86_64 Windows has one convention; native builds compile the same code plainly.
#if defined(_WIN32) && !defined(_WIN64)
#define MIVEX_STDCALL __stdcall
#else
#define MIVEX_STDCALL
#endif

#if defined(_WIN32)
#define MIVEX_EXPORT extern "C"
#else
#define MIVEX_EXPORT extern "C" __attribute__((visibility("default")))
#endif
