#include "Search.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "FeatureRecord.h"
#include "Matcher.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {
namespace {

// Ranked best first: higher score, then lower gallery index.
bool Ranks(const SearchHit& x, const SearchHit& y) { return x.score != y.score ? x.score > y.score : x.index < y.index; }

// The best hits one thread has seen: a heap whose top is the weakest kept.
class BestHits {
 public:
  BestHits(std::size_t capacity, std::int32_t minScore) : capacity_(capacity), minScore_(minScore) {}
  void Offer(std::size_t index, std::int32_t score) {
    if (score < minScore_ || capacity_ == 0) return;
    const SearchHit hit{index, score};
    if (heap_.size() == capacity_) {
      if (!Ranks(hit, heap_.front())) return;
      std::pop_heap(heap_.begin(), heap_.end(), Ranks);
      heap_.back() = hit;
    } else {
      heap_.push_back(hit);
    }
    std::push_heap(heap_.begin(), heap_.end(), Ranks);
  }
  const std::vector<SearchHit>& Hits() const { return heap_; }

 private:
  std::size_t capacity_;
  std::int32_t minScore_;
  std::vector<SearchHit> heap_;
};

// Gallery records are handed out in blocks: small enough that the threads finish
// together, large enough that taking one costs nothing next to its comparisons.
constexpr std::size_t kBlock = 64;

}  // namespace

bool PrepareRecord(const std::uint8_t* record, std::size_t length, MatchTemplate& out) {
  if (record == nullptr) return false;
  FeatureModel model;
  if (DecodeFeatures(record, length, model) < 0) return false;
  std::vector<Minutia> minutiae;
  if (!MinutiaeOfModel(model, minutiae)) return false;
  BuildMatchTemplate(minutiae, out);
  return true;
}

bool SearchGallery::Add(const std::uint8_t* record, std::size_t length) {
  MatchTemplate t;
  if (!PrepareRecord(record, length, t)) return false;
  t.KeepFirstPlaceRows();
  templates_.push_back(std::move(t));
  return true;
}

SearchOutcome Search(const MatchTemplate& probe, const SearchGallery& gallery, const SearchOptions& options) {
  SearchOutcome outcome;
  const std::size_t n = gallery.templates_.size();
  unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, (n + kBlock - 1) / kBlock)));
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  std::exception_ptr failure;
  std::vector<SearchHit> merged;
  // Gallery records come first in the comparison, as enrolled records do in a host's
  // VerifyRecords(enrolled, probe).
  const auto work = [&] {
    try {
      BestHits best(options.maxHits, options.minScore);
      MatchScratch scratch;
      MatchResult result;
      for (;;) {
        const std::size_t from = next.fetch_add(kBlock, std::memory_order_relaxed);
        if (from >= n) break;
        const std::size_t to = std::min(n, from + kBlock);
        for (std::size_t i = from; i < to; ++i) {
          if (i + 1 < to) gallery.templates_[i + 1].Prefetch();
          MatchTemplates(gallery.templates_[i], probe, scratch, result);
          best.Offer(i, result.score);
        }
      }
      std::lock_guard<std::mutex> guard(lock);
      merged.insert(merged.end(), best.Hits().begin(), best.Hits().end());
    } catch (...) {
      std::lock_guard<std::mutex> guard(lock);
      if (!failure) failure = std::current_exception();
    }
  };
  if (threads <= 1) {
    work();
  } else {
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    try {
      for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
      // Fewer threads than asked: the ones running share the whole gallery.
    }
    work();
    for (std::thread& t : pool) t.join();
    threads = static_cast<unsigned>(pool.size() + 1);
  }
  if (failure) std::rethrow_exception(failure);
  std::sort(merged.begin(), merged.end(), Ranks);
  if (merged.size() > options.maxHits) merged.resize(options.maxHits);
  outcome.hits = std::move(merged);
  outcome.comparisons = n;
  outcome.threads = threads;
  return outcome;
}

}  // namespace mivex::vandrel
