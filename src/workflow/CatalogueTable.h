#pragma once
// The English catalogue as a table, generated at build time from the same text file as
// the Windows string tables, for builds that have no string resources.
#include <cstddef>

namespace mivex {

struct CatalogueEntry {
  int number;
  const char* text;
};

// Sorted by number.
extern const CatalogueEntry kEnglishCatalogue[];
extern const std::size_t kEnglishCatalogueSize;

}  // namespace mivex
