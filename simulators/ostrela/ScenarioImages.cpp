// Loading the real images a scenario plays: kept apart from the parser, which reads
// text only, so that a scenario can be checked without touching files.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "GreyImageFile.h"
#include "Scenario.h"

namespace mivex::ostrela {
namespace {

namespace fs = std::filesystem;

std::uint64_t KeyOfSource(const std::string& source) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : source) h = (h ^ c) * 1099511628211ull;
  return h;
}

fs::path Resolve(const std::string& path, const std::string& baseFolder) {
  fs::path p(path);
  if (p.is_relative() && !baseFolder.empty()) return fs::path(baseFolder) / p;
  return p;
}

bool Fail(const TScenarioStep& step, const std::string& problem, std::string& error) {
  error = "line " + std::to_string(step.Line) + ": " + problem;
  return false;
}

// The files of an `images` step, in the order of their names.
bool ListFolder(const TScenarioStep& step, const fs::path& folder, std::vector<fs::path>& files, std::string& error) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return Fail(step, "cannot read folder " + folder.string() + ": " + ec.message(), error);
  for (const fs::directory_entry& entry : it) {
    std::error_code kind;
    if (!entry.is_regular_file(kind)) continue;
    if (NameMatches(entry.path().filename().string(), step.Pattern)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().string() < b.filename().string();
  });
  if (files.empty()) return Fail(step, "no file in " + folder.string() + " matches " + step.Pattern, error);
  return true;
}

}  // namespace

bool NameMatches(const std::string& name, const std::string& pattern) {
  // Greedy match with one backtrack point: the last '*' seen.
  std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool LoadScenarioImages(TScenario& scenario, const std::string& baseFolder, std::string& error) {
  scenario.Images.clear();
  for (TScenarioStep& step : scenario.Steps) {
    if (step.Kind != TStepKind::skImage) continue;
    std::vector<fs::path> files;
    if (step.Folder) {
      if (!ListFolder(step, Resolve(step.Path, baseFolder), files, error)) return false;
    } else {
      files.push_back(Resolve(step.Path, baseFolder));
    }
    step.FirstImage = static_cast<std::int32_t>(scenario.Images.size());
    step.ImageCount = static_cast<std::int32_t>(files.size());
    if (step.Folder) step.Count = step.ImageCount;
    for (const fs::path& file : files) {
      TGreyImage image;
      std::string problem;
      if (!ReadGreyImageFile(file.string(), image, problem)) {
        step.ImageCount = 0;
        return Fail(step, problem, error);
      }
      auto loaded = std::make_shared<TScenarioImage>();
      loaded->Source = file.string();
      loaded->Key = KeyOfSource(loaded->Source);
      loaded->Pixels = FitToSensor(image);
      scenario.Images.push_back(std::move(loaded));
    }
  }
  return true;
}

}  // namespace mivex::ostrela
