#pragma once
// The few file-system services the log and the sample-picture files need, over 8-bit
// (ANSI) path texts. On Windows they are the platform's own calls; elsewhere they exist
// so that the same code can be tested, with the Windows attribute bits synthesised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::fs {

// Windows file attribute bits (the values of the platform's FILE_ATTRIBUTE_* constants).
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrVolumeLabel = 0x08;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrDevice = 0x40;
constexpr std::uint32_t kAttrReparsePoint = 0x400;

// '\\' on Windows, '/' elsewhere.
char PathDelimiter();
// `path` with the delimiter appended unless it already ends with one.
std::string WithTrailingDelimiter(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
};

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);
// Creates one directory level; true when it was made.
bool CreateDir(const std::string& path);
// Creates the directory together with its missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// Every entry of `dir` but "." and ".."; false when the folder cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries);
bool DeleteFileAt(const std::string& path);
// Creates or replaces the file with `size` bytes; false on any failure.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size);
// Appends to the file, creating it when missing; false on any failure.
bool AppendToFile(const std::string& path, const std::string& text);
// Reads the whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& contents);
std::string CurrentDirectory();

// What a name in a folder is, judged without following it. kLink covers symbolic links,
// junctions and other reparse points, and any name whose opening reaches an object
// elsewhere (a platform that follows links without reporting them); kOther is a name
// that is listed but cannot be opened (a dangling link, a device).
enum class EntryKind { kMissing, kFile, kDirectory, kLink, kOther };
EntryKind InspectEntry(const std::string& path);
// Deletes the file or link at `path` itself, never what a link points to. False (and
// nothing deleted) when the name is a folder, or when the platform cannot remove a link
// without following it.
bool DeleteEntryNoFollow(const std::string& path);
// Creates a new file with `size` bytes; fails on any existing entry of that name,
// dangling links included, so a link is never written through.
bool CreateNewFile(const std::string& path, const void* data, std::size_t size);
// ASCII case-insensitive on Windows, exact elsewhere: how the platform compares names.
bool SameFileName(const std::string& a, const std::string& b);

}  // namespace mivex::fs
