#include "capture/LibraryLoad.h"

#include <string>

#include "capture/Log.h"

namespace mivex {
namespace {

// The full path of a module, however long.
std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& file) {
  const std::size_t cut = file.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : file.substr(0, cut + 1);
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The restricted search flags exist on Windows 8 and later, and on Windows 7 with its
// loader update; AddDllDirectory is exported exactly where they do.
bool SearchFlagsSupported() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  return kernel != nullptr && ::GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

// A library by full path; its own dependencies are looked for beside it and in the
// system folder, never in the current folder.
HMODULE LoadByFullPath(const std::wstring& path) {
  if (path.empty()) return nullptr;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return nullptr;
  if (SearchFlagsSupported())
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring folder(buffer, n);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

// The host program's folder and the system folder, by the loader's own restricted
// search where it has one, else by full paths built here.
HMODULE LoadFromSafePlaces(const wchar_t* name) {
  if (SearchFlagsSupported())
    return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (HMODULE module = LoadByFullPath(FolderOf(ModuleFileName(nullptr)) + name)) return module;
  return LoadByFullPath(SystemFolder() + name);
}

}  // namespace

std::wstring OwnModuleFolder() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnModuleFolder), &self))
    return {};
  return FolderOf(ModuleFileName(self));
}

HMODULE LoadPrivateLibrary(const wchar_t* name) {
  HMODULE module = LoadByFullPath(OwnModuleFolder() + name);
  if (!module) module = LoadFromSafePlaces(name);
  if (module)
    LogMessage("Loaded " + Narrow(ModuleFileName(module)));
  else
    LogMessage("Cannot load " + Narrow(name) + " from the library's folder, the program's folder or the system folder");
  return module;
}

}  // namespace mivex
