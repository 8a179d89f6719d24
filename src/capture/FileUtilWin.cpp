// File services over the platform's ANSI file calls: paths are 8-bit texts in the
// system code page, as everywhere at the library's boundary.
#include <windows.h>

#include <memory>

#include "base/win/Handles.h"
#include "capture/FileUtil.h"

namespace mivex::fs {
namespace {

struct FindTraits {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
using ScopedFind = win::ScopedHandle<FindTraits>;

DWORD AttributesOf(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

}  // namespace

char PathDelimiter() { return '\\'; }

bool DirectoryExists(const std::string& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CreateDir(const std::string& path) { return !path.empty() && ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (DirectoryExists(p)) return true;
  // A drive ("C:") or a bare root cannot be created.
  if (p.size() <= 2 && p.back() == ':') return false;
  const std::size_t cut = p.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && !ForceDirectories(p.substr(0, cut))) return false;
  return CreateDir(p) || DirectoryExists(p);
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  WIN32_FIND_DATAA data{};
  ScopedFind find(::FindFirstFileA(JoinPath(dir, "*.*").c_str(), &data));
  if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, data.dwFileAttributes});
  } while (::FindNextFileA(find.get(), &data));
  return true;
}

bool DeleteFileAt(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
  win::ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return WriteAll(file.get(), data, size);
}

bool AppendToFile(const std::string& path, const std::string& text) {
  win::ScopedKernelHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return WriteAll(file.get(), text.data(), text.size());
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  win::ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(file.get(), buf, sizeof buf, &n, nullptr) && n > 0) contents.append(buf, n);
  return true;
}

std::string CurrentDirectory() {
  const DWORD n = ::GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return {};
  std::string out(n, '\0');
  const DWORD got = ::GetCurrentDirectoryA(n, out.data());
  out.resize(got < n ? got : 0);
  return out;
}

bool SameFileName(const std::string& a, const std::string& b) {
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace mivex::fs
