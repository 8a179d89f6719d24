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

// Opens the object a name denotes itself: a link is opened as the link, not as what it
// points to (where the platform honours that).
HANDLE OpenNoFollow(const std::string& path, DWORD access) {
  return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string FinalPathOf(HANDLE handle) {
  std::string path(MAX_PATH, '\0');
  for (int tries = 0; tries < 3; ++tries) {
    const DWORD n = ::GetFinalPathNameByHandleA(handle, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n + 1);
  }
  return {};
}

// Where `path` would be if nothing on the way were followed: the real location of its
// folder joined with its own name. Empty when the folder cannot be opened.
std::string ExpectedFinalPath(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos || cut + 1 >= path.size()) return {};
  std::string folder = path.substr(0, cut);
  if (folder.empty() || folder.back() == ':') folder += '\\';
  win::ScopedKernelHandle dir(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir) return {};
  const std::string real = FinalPathOf(dir.get());
  return real.empty() ? real : JoinPath(real, path.substr(cut + 1));
}

// What an open handle reached: the name itself, or (kLink) a link or the object behind
// one. A platform that follows links even when told not to, and reports them as plain
// files, is caught by the object's real location differing from the name's.
EntryKind KindOf(HANDLE handle, const std::string& path) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return EntryKind::kOther;
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::kLink;
  const std::string expected = ExpectedFinalPath(path);
  const std::string real = FinalPathOf(handle);
  if (expected.empty() || real.empty()) return EntryKind::kOther;
  if (!SameFileName(expected, real)) return EntryKind::kLink;
  return (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kDirectory : EntryKind::kFile;
}

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
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

EntryKind InspectEntry(const std::string& path) {
  if (path.empty()) return EntryKind::kMissing;
  win::ScopedKernelHandle handle(OpenNoFollow(path, FILE_READ_ATTRIBUTES));
  if (handle) return KindOf(handle.get(), path);
  // A name that is listed but cannot be opened is a dangling link or a device.
  WIN32_FIND_DATAA data{};
  ScopedFind find(::FindFirstFileA(path.c_str(), &data));
  return find ? EntryKind::kOther : EntryKind::kMissing;
}

bool DeleteEntryNoFollow(const std::string& path) {
  if (path.empty()) return false;
  win::ScopedKernelHandle handle(OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES));
  if (!handle) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag)) return false;
  // A handle on the link itself: deleting it removes the link, never its target.
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return MarkForDeletion(handle.get());
  // The handle reached something else through a link the platform would not open as
  // such: that object is not ours to delete, and the link stays.
  if (KindOf(handle.get(), path) != EntryKind::kFile) return false;
  return MarkForDeletion(handle.get());
}

bool CreateNewFile(const std::string& path, const void* data, std::size_t size) {
  win::ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0,
                                             nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  // A folder on the way swapped for a link after it was checked puts the new file
  // elsewhere: take it back rather than leave it there.
  if (KindOf(file.get(), path) != EntryKind::kFile) {
    MarkForDeletion(file.get());
    return false;
  }
  return WriteAll(file.get(), data, size);
}

bool SameFileName(const std::string& a, const std::string& b) {
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace mivex::fs
