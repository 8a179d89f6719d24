// Mivex.dll as a host sees it: loaded by name, exports looked up by name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogWatcher.h"

using mivex::testing::DialogWatcher;

namespace {

using EnrollFn = std::int32_t(__stdcall*)(const char*, const char*, const char*, std::int32_t, std::int32_t, char*);
using VerifyFn = std::int32_t(__stdcall*)(char*);

template <typename F>
F Export(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(lib, name)));
}

struct Library {
  Library() : handle(::LoadLibraryA("Mivex.dll")) {}
  ~Library() {
    if (handle) ::FreeLibrary(handle);
  }
  HMODULE handle;
};

}  // namespace

TEST(Dll, ExportsItsTenFunctionsByName) {
  Library lib;
  ASSERT_NE(lib.handle, nullptr);
  for (const char* name : {"EnCryptData", "DeCryptData", "EncryptSha256", "GetPdtLID", "GetFPVerifyTempString", "GetFPVerifyTemp", "GetFPEnrollTempBySetP",
                           "GetFPEnrollTempP", "GetFPEnrollTempBySet", "GetFPEnrollTemp"})
    EXPECT_NE(::GetProcAddress(lib.handle, name), nullptr) << name;
}

TEST(Dll, DialogOfAnotherProcessBlocksGuardedCalls) {
  Library lib;
  ASSERT_NE(lib.handle, nullptr);
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, "MivexTestReady");
  HANDLE quit = ::CreateEventA(nullptr, TRUE, FALSE, "MivexTestQuit");
  STARTUPINFOA si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  std::string cmd = "fake_dialog.exe MivexTestReady MivexTestQuit";
  ASSERT_TRUE(::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(::WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);

  std::vector<char> buf(16, 'x');
  DWORD start = ::GetTickCount();
  EXPECT_EQ(Export<EnrollFn>(lib.handle, "GetFPEnrollTemp")(nullptr, nullptr, nullptr, 1, 10, buf.data()), 404);
  EXPECT_EQ(Export<VerifyFn>(lib.handle, "GetFPVerifyTemp")(buf.data()), 404);
  EXPECT_LT(::GetTickCount() - start, 2000u);
  EXPECT_EQ(buf[0], 'x');

  ::SetEvent(quit);
  ::WaitForSingleObject(pi.hProcess, 20000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(ready);
  ::CloseHandle(quit);
}

TEST(Dll, DialogsStillWorkAfterTheLibraryWasUnloadedAndLoadedAgain) {
  for (int round = 0; round < 2; ++round) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr);
    DialogWatcher watcher;
    std::vector<char> buf(16);
    EXPECT_EQ(Export<EnrollFn>(lib.handle, "GetFPEnrollTemp")(nullptr, nullptr, nullptr, 1, 10, buf.data()), 404);
    EXPECT_EQ(Export<VerifyFn>(lib.handle, "GetFPVerifyTemp")(buf.data()), 504);
  }
}
