// Where Mivex.dll finds Vandrel.dll and Ostrela.dll, with a host program in one folder,
// the library in another and planted copies of both libraries in the current folder and
// on PATH. The folders are laid out here, at test time, from the built files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace stdfs = std::filesystem;

namespace {

stdfs::path BinFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return stdfs::path(path).parent_path();
}

class Layout {
 public:
  Layout() {
    root_ = BinFolder() / ("library-search-" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(std::random_device{}()));
    for (const char* name : {"library", "host", "current", "onpath"}) stdfs::create_directories(root_ / name);
    Copy(BinFolder() / "Mivex.dll", Library() / "Mivex.dll");
    Copy(BinFolder() / "search_host.exe", Host() / "search_host.exe");
    for (const stdfs::path& planted : {Current(), OnPath()}) {
      Copy(BinFolder() / "planted_library.dll", planted / "Vandrel.dll");
      Copy(BinFolder() / "planted_library.dll", planted / "Ostrela.dll");
    }
  }
  ~Layout() {
    std::error_code ec;
    stdfs::remove_all(root_, ec);
  }

  stdfs::path Library() const { return root_ / "library"; }
  stdfs::path Host() const { return root_ / "host"; }
  stdfs::path Current() const { return root_ / "current"; }
  stdfs::path OnPath() const { return root_ / "onpath"; }

  // The genuine libraries into `folder`.
  void PutGenuine(const stdfs::path& folder) const {
    Copy(BinFolder() / "Vandrel.dll", folder / "Vandrel.dll");
    Copy(BinFolder() / "Ostrela.dll", folder / "Ostrela.dll");
  }

  // Runs the host in its folder with the planted copies in its current folder and first
  // on PATH; its report as name=value lines.
  std::map<std::string, std::string> RunHost() const {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    EXPECT_TRUE(::CreatePipe(&read, &write, &inherit, 0));
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"\"" + (Host() / "search_host.exe").wstring() + L"\" \"" +
                           (Library() / "Mivex.dll").wstring() + L"\"";
    // PATH with the planted folder first; the rest of the environment as it is.
    std::wstring environment;
    const wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
      std::wstring line = entry;
      if (_wcsnicmp(entry, L"PATH=", 5) == 0) line = L"PATH=" + OnPath().wstring() + L";" + line.substr(5);
      environment += line;
      environment.push_back(L'\0');
    }
    environment.push_back(L'\0');
    ::FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
    PROCESS_INFORMATION pi{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                          CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                          Current().wstring().c_str(), &si, &pi) != FALSE;
    ::CloseHandle(write);
    EXPECT_TRUE(started);
    std::string output;
    char chunk[512];
    DWORD got = 0;
    while (started && ::ReadFile(read, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    ::CloseHandle(read);
    if (started) {
      ::WaitForSingleObject(pi.hProcess, 60000);
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    }
    std::map<std::string, std::string> report;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) report[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return report;
  }

  // Whether any planted copy ran its start-up code.
  bool PlantedCopyLoaded() const {
    for (const stdfs::path& folder : {Current(), OnPath()})
      for (const char* name : {"Vandrel.dll.loaded", "Ostrela.dll.loaded"})
        if (stdfs::exists(folder / name)) return true;
    return false;
  }

 private:
  static void Copy(const stdfs::path& from, const stdfs::path& to) {
    stdfs::copy_file(from, to, stdfs::copy_options::overwrite_existing);
  }
  stdfs::path root_;
};

bool SameFile(const std::string& reported, const stdfs::path& expected) {
  return _stricmp(reported.c_str(), expected.string().c_str()) == 0;
}

const char kAbcDigest[] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

}  // namespace

TEST(LibrarySearch, TheLibrarysOwnFolderComesFirstAndPlantedCopiesNeverLoad) {
  Layout layout;
  layout.PutGenuine(layout.Library());
  layout.PutGenuine(layout.Host());  // a second pair beside the host: the library's own wins
  auto report = layout.RunHost();
  EXPECT_TRUE(SameFile(report["Vandrel"], layout.Library() / "Vandrel.dll")) << report["Vandrel"];
  EXPECT_TRUE(SameFile(report["Ostrela"], layout.Library() / "Ostrela.dll")) << report["Ostrela"];
  EXPECT_EQ(report["sha"], std::string("1 ") + kAbcDigest);
  EXPECT_FALSE(layout.PlantedCopyLoaded());
}

TEST(LibrarySearch, WithoutThemBesideTheLibraryTheHostsFolderIsUsed) {
  Layout layout;
  layout.PutGenuine(layout.Host());
  auto report = layout.RunHost();
  EXPECT_TRUE(SameFile(report["Vandrel"], layout.Host() / "Vandrel.dll")) << report["Vandrel"];
  EXPECT_TRUE(SameFile(report["Ostrela"], layout.Host() / "Ostrela.dll")) << report["Ostrela"];
  EXPECT_FALSE(layout.PlantedCopyLoaded());
}

TEST(LibrarySearch, OnlyPlantedCopiesAroundMeansNoLibraryAndTheCryptoStillWorks) {
  Layout layout;
  auto report = layout.RunHost();
  EXPECT_EQ(report["Vandrel"], "-");
  EXPECT_EQ(report["Ostrela"], "-");
  EXPECT_EQ(report["sha"], std::string("1 ") + kAbcDigest);
  EXPECT_FALSE(layout.PlantedCopyLoaded());
}
