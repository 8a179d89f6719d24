#include "RawComparisons.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "Engine.h"
#include "FeatureRecord.h"
#include "Matcher.h"
#include "VandrelParams.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {

bool ListFingerprintFolder(const std::string& folder, std::vector<FolderImage>& out) {
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    if (e.path().extension() == ".png") files.push_back(e.path());
  if (ec) return false;
  std::sort(files.begin(), files.end());
  out.clear();
  for (const auto& path : files) {
    const std::string stem = path.stem().string();
    const std::size_t us = stem.find('_');
    const bool numbered = us != std::string::npos && us > 0 && us + 1 < stem.size() &&
                          stem.find_first_not_of("0123456789", us + 1) == std::string::npos;
    if (numbered)
      out.push_back({path, stem.substr(0, us), std::atoi(stem.c_str() + us + 1)});
    else
      out.push_back({path, stem, 0});
  }
  return true;
}

bool ExtractStoredSample(const std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t context,
                         StoredSample& out) {
  out.record.assign(params::kRecordBufferSize, 0);
  std::int32_t length = 0;
  out.quality = ExtractRecord(width, height, pixels, 500, out.record.data(), &length, context);
  if (out.quality < 0) return false;
  // The library re-encodes every sample before storing it.
  const std::int32_t repacked = RepackFeatures(out.record.data(), out.record.size(), out.record.size(), out.minutiae);
  if (repacked < 0) return false;
  std::fill(out.record.begin() + repacked, out.record.end(), 0);
  return true;
}

bool TemplateOfRecord(const std::uint8_t* record, MatchTemplate& out) {
  Features features;
  if (!ReadFeatureRecord(record, params::kRecordBufferSize, features)) return false;
  BuildMatchTemplate(features.minutiae, out);
  return true;
}

ComparedPopulation CompareAll(const std::string& name, const std::vector<std::string>& fingers,
                              const std::vector<MatchTemplate>& templates, std::FILE* dump) {
  ComparedPopulation c;
  c.raw.name = name;
  const auto t0 = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < templates.size(); ++i)
    for (std::size_t j = i + 1; j < templates.size(); ++j) {
      const MatchResult m = MatchTemplates(templates[i], templates[j]);
      const bool genuine = fingers[i] == fingers[j];
      (genuine ? c.raw.genuine : c.raw.impostor).push_back(m.raw);
      (genuine ? c.genuineScore : c.impostorScore).push_back(m.score);
      // The parts of the raw similarity too, for refitting how it is put together.
      if (dump)
        std::fprintf(dump, "%c %.6f %d %zu %.4f %.2f %.2f %zu %zu %d\n", genuine ? 'g' : 'i', static_cast<double>(m.raw),
                     m.score, m.pairs.size(), static_cast<double>(m.similaritySum), static_cast<double>(m.overlapA), static_cast<double>(m.overlapB),
                     templates[i].minutiae.size(), templates[j].minutiae.size(), m.rigidPairs);
    }
  c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return c;
}

}  // namespace mivex::vandrel
