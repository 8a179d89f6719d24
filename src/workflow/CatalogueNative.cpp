// LoadStr where there are no string resources: the English table.
#include <algorithm>

#include "workflow/Catalogue.h"
#include "workflow/CatalogueTable.h"

namespace mivex {

std::string LoadStr(int number) {
  const CatalogueEntry* end = kEnglishCatalogue + kEnglishCatalogueSize;
  const CatalogueEntry* it = std::lower_bound(kEnglishCatalogue, end, number,
                                              [](const CatalogueEntry& e, int n) { return e.number < n; });
  if (it == end || it->number != number) return {};
  return std::string(it->text).substr(0, kMaxCatalogueText);
}

}  // namespace mivex
