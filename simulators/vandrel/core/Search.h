#pragma once
// One-to-many search for tools: a probe record prepared once and compared with every
// record of a gallery held in memory, on all of the processor's cores, the best
// candidates ranked. A candidate's score is what VerifyRecords(gallery record, probe
// record) returns for the pair, bit for bit: the records are prepared and compared by
// the same code, only without the per-call decoding and template cache.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "LocalStructures.h"

namespace mivex::vandrel {

// Prepares the record held in record[0 .. length) for matching as VerifyRecords does.
// False when it is not a record of this engine (it does not decode within `length`,
// or a minutia's direction is out of range).
bool PrepareRecord(const std::uint8_t* record, std::size_t length, MatchTemplate& out);

struct SearchOptions;
struct SearchOutcome;

// Prepared records, indexed in the order they were added. Each keeps only what a
// comparison reads of the record it is given first, as the gallery's records always
// are: under half the memory of a whole prepared record.
class SearchGallery {
 public:
  // Prepares a record and appends it; false (nothing appended) when it is not a
  // record of this engine.
  bool Add(const std::uint8_t* record, std::size_t length);
  void Reserve(std::size_t count) { templates_.reserve(count); }
  std::size_t Size() const { return templates_.size(); }

 private:
  friend SearchOutcome Search(const MatchTemplate& probe, const SearchGallery& gallery, const SearchOptions& options);
  std::vector<MatchTemplate> templates_;
};

struct SearchHit {
  std::size_t index = 0;  // in the gallery
  std::int32_t score = 0;
};

struct SearchOptions {
  std::int32_t minScore = 0;  // candidates scoring less are not listed
  std::size_t maxHits = 10;   // at most this many candidates, the best ones
  unsigned threads = 0;       // 0: one per processor core
};

struct SearchOutcome {
  std::vector<SearchHit> hits;  // highest score first; equal scores in gallery order
  std::size_t comparisons = 0;
  unsigned threads = 0;         // how many ran
};

// Compares the probe with every gallery record. Throws std::bad_alloc when memory
// runs out on any of the threads.
SearchOutcome Search(const MatchTemplate& probe, const SearchGallery& gallery, const SearchOptions& options);

}  // namespace mivex::vandrel
