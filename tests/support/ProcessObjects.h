#pragma once
// Live objects of this process, for leak checks in tests that run under Wine.
#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace mivex::testing {

// Wine does not implement GetGuiResources (it answers 0); there the count comes from the
// process's GDI handle table, in the layout 64-bit Windows also uses (Wine keeps it for
// 32-bit processes too): 24-byte entries, the object type in byte 14, 0 for a free
// entry. The PEB points to the table at 0xF8 in 64-bit and 0x94 in 32-bit processes.
// -1 when neither way gives a count.
inline long GdiObjectCount() {
  const DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  if (n != 0) return static_cast<long>(n);
  // PROCESS_BASIC_INFORMATION: the PEB's address follows the exit status.
  using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  void* basic[6] = {};
  if (!query || query(::GetCurrentProcess(), 0, basic, sizeof(basic), nullptr) != 0) return -1;
  const auto* peb = static_cast<const std::uint8_t*>(basic[1]);
  const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
  if (!table) return -1;
  MEMORY_BASIC_INFORMATION mbi{};
  if (!::VirtualQuery(table, &mbi, sizeof(mbi))) return -1;
  const std::size_t readable =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(mbi.BaseAddress) + mbi.RegionSize - table);
  long count = 0;
  for (std::size_t off = 0; off + 24 <= readable && off < 0x10000 * 24; off += 24) count += table[off + 14] != 0;
  return count;
}

// Threads of this process that run its own code (the program and the libraries beside
// it). Threads the platform starts and ends on its own schedule (sound, RPC) start in a
// module under the Windows folder and are left out.
inline int ThreadCount() {
  using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  constexpr int kThreadStartAddress = 9;  // ThreadQuerySetWin32StartAddress
  auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  wchar_t windows[MAX_PATH] = {};
  const UINT windows_len = ::GetWindowsDirectoryW(windows, MAX_PATH);
  int n = 0;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 te{sizeof(te)};
  for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID != ::GetCurrentProcessId()) continue;
    // A thread that can no longer be opened ended after the snapshot was taken; a
    // platform thread ending just then would otherwise count as our own.
    HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
    if (!thread) continue;
    void* start = nullptr;
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    const bool platform =
        query && query(thread, kThreadStartAddress, &start, sizeof start, nullptr) == 0 && start &&
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCWSTR>(start), &module) &&
        ::GetModuleFileNameW(module, path, MAX_PATH) && windows_len > 0 && ::_wcsnicmp(path, windows, windows_len) == 0;
    ::CloseHandle(thread);
    n += platform ? 0 : 1;
  }
  ::CloseHandle(snap);
  return n;
}

}  // namespace mivex::testing
