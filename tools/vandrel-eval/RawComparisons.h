#pragma once
// Every comparison of a population of feature records with its raw similarity: the
// records are prepared for matching once, as the engine prepares them, and matched
// directly, so the calibrated score of each pair is the engine's and the raw value
// behind it comes along.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CalibrationFit.h"
#include "LocalStructures.h"

namespace mivex::vandrel {

// A sample as the library stores it: the engine's extraction score and the record,
// re-encoded and held in a record buffer of the engine's size.
struct StoredSample {
  std::int32_t quality = 0;
  std::int32_t minutiae = 0;
  std::vector<std::uint8_t> record;
};

// An image of a development folder, named <finger>_<impression>.png (impression a
// number); an image named otherwise is a finger of its own, impression 0.
struct FolderImage {
  std::filesystem::path path;
  std::string finger;
  int impression = 0;
};

// The folder's PNG images, sorted by name. False when the folder cannot be read.
bool ListFingerprintFolder(const std::string& folder, std::vector<FolderImage>& out);

// Extracts an 8-bit grey image at 500 dpi with the context. False when the engine
// fails or its record cannot be re-encoded.
bool ExtractStoredSample(const std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t context,
                         StoredSample& out);

// The matching template of a record held in a record buffer of the engine's size, as
// the engine's verification reads it. False when the record cannot be decoded.
bool TemplateOfRecord(const std::uint8_t* record, MatchTemplate& out);

struct ComparedPopulation {
  RawPopulation raw;
  std::vector<std::int32_t> impostorScore, genuineScore;
  double seconds = 0;  // matching time
};

// Compares every pair (i < j) of the templates; a pair is genuine when both come from
// the same finger. With `dump`, writes one line "g|i raw score" per pair.
ComparedPopulation CompareAll(const std::string& name, const std::vector<std::string>& fingers,
                              const std::vector<MatchTemplate>& templates, std::FILE* dump);

}  // namespace mivex::vandrel
