// A host program for the library search test: loads the Mivex.dll named on its command
// line, calls one export (the first call of any export loads the engine and sensor
// libraries), and prints where Vandrel.dll and Ostrela.dll came from ("-" for none) and
// the export's result.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string LoadedFrom(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(name);
  if (!module) return "-";
  char path[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameA(module, path, sizeof path);
  return n > 0 ? std::string(path, n) : std::string("?");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE mivex = ::LoadLibraryA(argv[1]);
  if (!mivex) {
    std::printf("no Mivex.dll\n");
    return 3;
  }
  using Sha256 = unsigned char(__stdcall*)(const unsigned char*, int, char*);
  auto sha = reinterpret_cast<Sha256>(reinterpret_cast<void*>(::GetProcAddress(mivex, "EncryptSha256")));
  char hex[65] = {};
  const int ok = sha != nullptr && sha(reinterpret_cast<const unsigned char*>("abc"), 3, hex) != 0;
  std::printf("Vandrel=%s\nOstrela=%s\nsha=%d %s\n", LoadedFrom(L"Vandrel.dll").c_str(),
              LoadedFrom(L"Ostrela.dll").c_str(), ok, hex);
  std::fflush(stdout);
  ::FreeLibrary(mivex);
  return 0;
}
