// The string tables of all nine languages under Wine. Each run of this program has the
// user-interface language chosen through LANG (see CMakeLists.txt) and is told which
// catalogue file must answer and which ANSI code page the texts must arrive in.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "workflow/Catalogue.h"

using namespace mivex;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// number -> UTF-8 text of one catalogue file (the format the generator reads).
std::map<int, std::string> ReadCatalogue(const std::string& id) {
  std::map<int, std::string> out;
  const std::string dir = MIVEX_CATALOGUE_DIR;
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA((dir + "/" + id + "-*.txt").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  ::FindClose(find);
  std::ifstream in(dir + "/" + data.cFileName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line.rfind("LANGUAGE", 0) == 0) continue;
    const std::size_t open = line.find(" \"");
    if (open == std::string::npos || line.back() != '"') continue;
    std::string text;
    for (std::size_t i = open + 2; i + 1 < line.size(); ++i) {
      if (line[i] == '\\') ++i;
      text += line[i];
    }
    out[std::stoi(line.substr(0, open))] = text;
  }
  return out;
}

std::wstring FromUtf8(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  w.resize(static_cast<std::size_t>(
      ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()))));
  return w;
}

std::string ToAnsi(const std::wstring& w) {
  std::string s(w.size() * 4, '\0');
  s.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                                           static_cast<int>(s.size()), nullptr, nullptr)));
  return s;
}

HMODULE ThisProgram() { return ::GetModuleHandleW(nullptr); }

}  // namespace

TEST(CatalogueLanguages, EveryNumberAnswersInTheChosenLanguage) {
  const std::string expected = Env("MIVEX_CATALOGUE_EXPECT");
  ASSERT_FALSE(expected.empty()) << "run through ctest: MIVEX_CATALOGUE_EXPECT names the language";
  const auto texts = ReadCatalogue(expected);
  const auto english = ReadCatalogue("1033");
  ASSERT_EQ(texts.size(), english.size());
  ASSERT_GE(texts.size(), 80u);
  EXPECT_EQ(std::to_string(::GetACP()), Env("MIVEX_EXPECT_ACP"));

  for (const auto& [number, text] : texts) {
    ASSERT_TRUE(english.count(number)) << number;
    const std::wstring wide = FromUtf8(text);
    wchar_t buf[1024];
    const int n = ::LoadStringW(ThisProgram(), static_cast<UINT>(number), buf, 1024);
    EXPECT_EQ(std::wstring(buf, static_cast<std::size_t>(n > 0 ? n : 0)), wide) << number;
    const std::string ansi = LoadStr(number);
    EXPECT_FALSE(ansi.empty()) << number;
    EXPECT_EQ(ansi, ToAnsi(wide)) << number;
  }
  EXPECT_EQ(LoadStr(701), "");
  EXPECT_EQ(LoadStr(253), LoadStr(252));
}

TEST(CatalogueLanguages, ChineseArrivesInCodePage936) {
  if (Env("MIVEX_CATALOGUE_EXPECT") != "2052") GTEST_SKIP() << "only for the Simplified Chinese run";
  EXPECT_EQ(LoadStr(202), "\xC8\xA1\xCF\xFB");  // "Cancel" in GBK
}
