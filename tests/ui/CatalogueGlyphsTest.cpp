// Every catalogue text of one language drawn with the look's fonts must come out in real
// glyphs, not in the missing-glyph box: a machine without a font for the language's
// script shows the whole status line as a row of identical boxes. Each run has the
// language chosen through LANG and named in MIVEX_GLYPHS_LANGUAGE (see CMakeLists.txt),
// as a host of that language runs the dialog. The Chinese and Japanese runs also keep
// a picture of the enrollment look with a status text in that language.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LookHost.h"
#include "base/win/Handles.h"
#include "ui/MultiLabel.h"

using namespace mivex;
using mivex::test::HostedLook;

namespace {

// number -> UTF-16 text of the catalogue file of one Windows language identifier.
std::map<int, std::wstring> ReadCatalogue(const std::string& language) {
  std::map<int, std::wstring> out;
  const std::string dir = MIVEX_SOURCE_DIR "/resources/catalogue";
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA((dir + "/" + language + "-*.txt").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  ::FindClose(find);
  std::ifstream in(dir + "/" + data.cFileName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t open = line.find(" \"");
    if (line.empty() || line[0] == '#' || open == std::string::npos || line.back() != '"') continue;
    std::string text;
    for (std::size_t i = open + 2; i + 1 < line.size(); ++i) {
      if (line[i] == '\\') ++i;
      text += line[i];
    }
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    out[std::atoi(line.c_str())] = wide;
  }
  return out;
}

// The pixels of one character (one UTF-16 unit, or a surrogate pair) drawn in `font`
// the way the look's labels draw text.
std::vector<COLORREF> Draw(HFONT font, const std::wstring& character) {
  win::OffscreenBitmap picture(64, 64);
  RECT all{0, 0, 64, 64};
  ::FillRect(picture.dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HGDIOBJ old = ::SelectObject(picture.dc(), font);
  ::SetBkMode(picture.dc(), TRANSPARENT);
  ::SetTextColor(picture.dc(), RGB(0, 0, 0));
  ::TextOutW(picture.dc(), 8, 8, character.data(), static_cast<int>(character.size()));
  ::SelectObject(picture.dc(), old);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) pixels.push_back(picture.Pixel(x, y));
  return pixels;
}

bool Blank(const std::vector<COLORREF>& pixels) {
  for (COLORREF c : pixels)
    if (c != RGB(255, 255, 255)) return false;
  return true;
}

std::string Utf8(const std::wstring& w) {
  std::string s(w.size() * 4, '\0');
  s.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                                           static_cast<int>(s.size()), nullptr, nullptr)));
  return s;
}

// The characters of `texts` that `font` draws as the missing-glyph box (or not at all),
// each with the first catalogue number it occurs in.
std::map<std::wstring, int> MissingGlyphs(HFONT font, const std::map<int, std::wstring>& texts) {
  // U+0378 is unassigned: no font has it, so it shows what a missing glyph looks like.
  const std::vector<COLORREF> box = Draw(font, L"\x0378");
  std::map<std::wstring, int> missing;
  std::set<std::wstring> seen;
  for (const auto& [number, text] : texts) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      std::wstring c(1, text[i]);
      if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) c += text[++i];
      if (c.size() == 1 && (std::iswspace(c[0]) || c[0] < 0x20)) continue;
      if (!seen.insert(c).second) continue;
      const std::vector<COLORREF> drawn = Draw(font, c);
      if (drawn == box || Blank(drawn)) missing.emplace(c, number);
    }
  }
  return missing;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

}  // namespace

TEST(CatalogueGlyphs, EveryTextOfTheLanguageDrawsInRealGlyphs) {
  const std::string language = Env("MIVEX_GLYPHS_LANGUAGE");
  if (language.empty()) GTEST_SKIP() << "run through ctest: MIVEX_GLYPHS_LANGUAGE names the language";
  const auto texts = ReadCatalogue(language);
  ASSERT_GE(texts.size(), 80u) << "no catalogue for " << language;

  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  const struct {
    const char* widget;
    HFONT font;
  } fonts[] = {{"status line", look->StatusLabel->Font().Handle()}, {"ID label", look->IDLabel->Font().Handle()}};
  for (const auto& f : fonts) {
    ASSERT_NE(f.font, nullptr) << f.widget;
    const auto missing = MissingGlyphs(f.font, texts);
    std::string list;
    for (const auto& [c, number] : missing)
      list.append(" ").append(Utf8(c)).append(" (text ").append(std::to_string(number)).append(")");
    EXPECT_TRUE(missing.empty()) << missing.size() << " characters of language " << language << " have no glyph in the "
                                 << f.widget << "'s font:" << list;
  }
}

// The checker itself: characters that no font has are found.
TEST(CatalogueGlyphs, CharactersWithoutAGlyphAreFound) {
  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  HFONT font = h.host->enroll_look->StatusLabel->Font().Handle();
  const std::map<int, std::wstring> texts{{1, L"A\x0379\x0380"}, {2, L"B \x0381"}};
  const auto missing = MissingGlyphs(font, texts);
  EXPECT_EQ(missing.size(), 3u);
  EXPECT_EQ(missing.count(L"A"), 0u);
  EXPECT_EQ(missing.count(L"B"), 0u);
  EXPECT_EQ(missing.count(L"\x0381"), 1u);
}

TEST(CatalogueGlyphs, EnrollmentLookPictureInTheLanguage) {
  const std::string language = Env("MIVEX_GLYPHS_LANGUAGE");
  if (language != "2052" && language != "1028" && language != "1041")
    GTEST_SKIP() << "pictures only for the Chinese and Japanese runs";
  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  look->SetUserIDText("100-2345");
  look->EnableUserIDBox(true);
  for (auto& f : h.fingers()) look->EnableFinger(f.get(), true);
  h.fingers()[1]->State = TFingerState::fgSelected;
  look->ShowFinger(h.fingers()[1].get());
  look->StepDone(1);
  look->StepCurrent(2);
  look->StepPending(3);
  look->StepPending(4);
  look->EnableCancel(true);
  // The status text the enrollment shows once a finger is chosen, in the run's
  // language, handed over in its code page as the dialog does.
  auto texts = ReadCatalogue(language);
  const std::wstring status = L"1. " + texts[209] + texts[217] + L"\r\n2. " + texts[258] + L"8\r\n3. " + texts[257];
  std::string ansi(status.size() * 4, '\0');
  ansi.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_ACP, 0, status.data(), static_cast<int>(status.size()),
                                                              ansi.data(), static_cast<int>(ansi.size()), nullptr,
                                                              nullptr)));
  look->ShowStatus(ansi);
  mivex::test::Screenshot(h, "enroll-look-" + language + ".png");
}
