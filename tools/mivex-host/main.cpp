// mivex-host: a small host program that loads Mivex.dll the way an application does
// (LoadLibrary, exports by name), calls one export with arguments from the command line,
// and prints the result code and the template string.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Demo.h"
#include "DialogDriver.h"
#include "HostArgs.h"
#include "HostString.h"

namespace {

using mivex::host::HostString;
using EnrollFn = std::int32_t(__stdcall*)(const char*, const char*, const char*, std::int32_t, std::int32_t, char*);
using EnrollSetFn = std::int32_t(__stdcall*)(const char*, const char*, const char*, const char*, std::int32_t,
                                             std::int32_t, char*);
using VerifyFn = std::int32_t(__stdcall*)(char*);
using VerifyStringFn = std::int32_t(__stdcall*)(const char**);
using PdtLidFn = void(__stdcall*)(const char**, const char*);

// Closes the library's dialog with its close box after `seconds`, as a user would,
// first saving a picture of it when asked.
void CloseDialogLater(double seconds, std::string screenshot) {
  if (seconds <= 0) return;
  std::thread([seconds, screenshot] {
    ::Sleep(static_cast<DWORD>(seconds * 1000));
    for (int tries = 0; tries < 100; ++tries) {
      if (HWND dialog = mivex::host::WaitForDialog(100)) {
        std::printf("status line: %s\n", mivex::host::StatusText(dialog).c_str());
        if (!screenshot.empty() && mivex::host::SaveWindowPicture(dialog, screenshot))
          std::printf("dialog picture: %s\n", screenshot.c_str());
        mivex::host::CloseDialog(dialog);
        return;
      }
    }
  }).detach();
}

void PrintTemplate(const char* text) {
  std::printf("template (%zu characters):\n%s\n", std::strlen(text), text);
}

}  // namespace

int main(int argc, char** argv) {
  mivex::host::Options opt;
  std::string error;
  if (!mivex::host::ParseArgs(argc, argv, opt, error)) {
    std::fprintf(stderr, "%s\n\n%s", error.c_str(), mivex::host::Usage());
    return 2;
  }
  HMODULE lib = ::LoadLibraryA(opt.library.c_str());
  if (!lib) {
    std::fprintf(stderr, "cannot load %s (error %lu)\n", opt.library.c_str(), ::GetLastError());
    return 3;
  }
  // Exports are looked up by name, as a host does; a missing one ends the program.
  auto proc = [lib](const char* name) {
    FARPROC p = ::GetProcAddress(lib, name);
    if (!p) {
      std::fprintf(stderr, "export %s missing\n", name);
      std::exit(3);
    }
    return reinterpret_cast<void (*)()>(p);
  };
  if (opt.command == mivex::host::Command::kDemo) {
    const int code = mivex::host::RunDemo(lib, opt);
    ::FreeLibrary(lib);
    return code;
  }
  CloseDialogLater(opt.close_after, opt.screenshot);

  // Enough for ten fingers' entries of the largest templates.
  std::vector<char> buffer(1 << 20, '\0');
  int result = 0;
  switch (opt.command) {
    case mivex::host::Command::kEnroll: {
      const char* name = opt.sequence_given ? (opt.plain ? "GetFPEnrollTempBySetP" : "GetFPEnrollTempBySet")
                                            : (opt.plain ? "GetFPEnrollTempP" : "GetFPEnrollTemp");
      std::printf("calling %s\n", name);
      if (opt.plain) {
        const char* user = opt.user.c_str();
        const char* enrolled = opt.enrolled.c_str();
        const char* codes = opt.codes.c_str();
        if (opt.sequence_given)
          result = reinterpret_cast<EnrollSetFn>(proc(name))(user, enrolled, codes, opt.sequence.c_str(),
                                                             opt.minimum, opt.maximum, buffer.data());
        else
          result = reinterpret_cast<EnrollFn>(proc(name))(user, enrolled, codes, opt.minimum, opt.maximum,
                                                          buffer.data());
      } else {
        HostString user(opt.user), enrolled(opt.enrolled), codes(opt.codes), sequence(opt.sequence);
        if (opt.sequence_given)
          result = reinterpret_cast<EnrollSetFn>(proc(name))(user.handle(), enrolled.handle(), codes.handle(),
                                                             sequence.handle(), opt.minimum, opt.maximum,
                                                             buffer.data());
        else
          result = reinterpret_cast<EnrollFn>(proc(name))(user.handle(), enrolled.handle(), codes.handle(),
                                                          opt.minimum, opt.maximum, buffer.data());
      }
      std::printf("result: %d\n", result);
      if (result == 0) PrintTemplate(buffer.data());
      break;
    }
    case mivex::host::Command::kVerify: {
      if (opt.as_string) {
        std::printf("calling GetFPVerifyTempString\n");
        const char* var = nullptr;
        result = reinterpret_cast<VerifyStringFn>(proc("GetFPVerifyTempString"))(&var);
        std::printf("result: %d\n", result);
        if (result == 0 && var) PrintTemplate(var);
        // Give the string back the way the library takes it: GetPdtLID releases it.
        reinterpret_cast<PdtLidFn>(proc("GetPdtLID"))(&var, nullptr);
      } else {
        std::printf("calling GetFPVerifyTemp\n");
        result = reinterpret_cast<VerifyFn>(proc("GetFPVerifyTemp"))(buffer.data());
        std::printf("result: %d\n", result);
        if (result == 0) PrintTemplate(buffer.data());
      }
      break;
    }
    case mivex::host::Command::kDemo:
      break;
  }
  ::FreeLibrary(lib);
  return 0;
}
