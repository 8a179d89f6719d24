// File services for the native build, which exists for testing: the attribute bits of
// Windows are derived from the file's type and mode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "capture/FileUtil.h"

namespace mivex::fs {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using ScopedFile = std::unique_ptr<std::FILE, FileCloser>;

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

std::uint32_t AttributesOf(const struct stat& st, const std::string& name) {
  std::uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr |= kAttrDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr |= kAttrArchive;
  } else if (S_ISLNK(st.st_mode)) {
    attr |= kAttrReparsePoint;
  } else {
    attr |= kAttrDevice;
  }
  if ((st.st_mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.') attr |= kAttrHidden;
  return attr;
}

}  // namespace

char PathDelimiter() { return '/'; }

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (DirectoryExists(p)) return true;
  const std::size_t cut = p.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !ForceDirectories(p.substr(0, cut))) return false;
  return CreateDir(p) || DirectoryExists(p);
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
  if (!d) return false;
  while (const dirent* e = ::readdir(d.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::lstat(JoinPath(dir, name).c_str(), &st) != 0) continue;
    entries.push_back({name, AttributesOf(st, name)});
  }
  return true;
}

bool DeleteFileAt(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
  ScopedFile f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  if (size > 0 && std::fwrite(data, 1, size, f.get()) != size) return false;
  return std::fclose(f.release()) == 0;
}

bool AppendToFile(const std::string& path, const std::string& text) {
  ScopedFile f(std::fopen(path.c_str(), "ab"));
  if (!f) return false;
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) return false;
  return std::fclose(f.release()) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  ScopedFile f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) contents.append(buf, n);
  return std::ferror(f.get()) == 0;
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}

EntryKind InspectEntry(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return EntryKind::kMissing;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  if (S_ISREG(st.st_mode)) return EntryKind::kFile;
  return EntryKind::kOther;
}

bool DeleteEntryNoFollow(const std::string& path) {
  // unlink removes a link itself and refuses folders.
  return ::unlink(path.c_str()) == 0;
}

bool CreateNewFile(const std::string& path, const void* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const auto* p = static_cast<const char*>(data);
  bool ok = true;
  while (ok && size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      p += n;
      size -= static_cast<std::size_t>(n);
    }
  }
  return ::close(fd) == 0 && ok;
}

bool SameFileName(const std::string& a, const std::string& b) { return a == b; }

}  // namespace mivex::fs
