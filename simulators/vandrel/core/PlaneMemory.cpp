#include "PlaneMemory.h"

#include <mutex>
#include <new>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace mivex::vandrel {
namespace {

struct Block {
  void* memory;
  std::size_t bytes;
};

// Under AddressSanitizer a kept block stays poisoned until it is handed out again, so a
// plane read or written after it was freed is still reported.
void MarkKept([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes) {
#ifdef __SANITIZE_ADDRESS__
  ASAN_POISON_MEMORY_REGION(memory, bytes);
#endif
}
void MarkInUse([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes) {
#ifdef __SANITIZE_ADDRESS__
  ASAN_UNPOISON_MEMORY_REGION(memory, bytes);
#endif
}

void Free(const Block& b) {
  MarkInUse(b.memory, b.bytes);
  ::operator delete(b.memory);
}

// Smaller blocks stay with the heap, which keeps them itself.
constexpr std::size_t kKeptFrom = 32 * 1024;
// The blocks one extraction keeps are about 2 MB for a sensor's image (256 x 364) and
// 20 MB for the largest accepted one (1024 x 1024): room for a dozen threads extracting
// sensor images, and all a process that stops extracting holds.
constexpr std::size_t kMostKeptBytes = 32u << 20;
constexpr std::size_t kMostKeptBlocks = 64;

class KeptBlocks {
 public:
  KeptBlocks() { blocks_.reserve(kMostKeptBlocks); }
  ~KeptBlocks() {
    for (const Block& b : blocks_) Free(b);
  }
  KeptBlocks(const KeptBlocks&) = delete;
  KeptBlocks& operator=(const KeptBlocks&) = delete;

  void* Take(std::size_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    // The most recently kept block of the size: its pages are the likeliest in cache.
    for (std::size_t i = blocks_.size(); i-- > 0;)
      if (blocks_[i].bytes == bytes) {
        void* memory = blocks_[i].memory;
        kept_ -= bytes;
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i));
        MarkInUse(memory, bytes);
        return memory;
      }
    return nullptr;
  }

  // Keeps the block, first freeing the oldest kept ones while the bound would be passed.
  void Give(void* memory, std::size_t bytes) noexcept {
    if (bytes > kMostKeptBytes) return ::operator delete(memory);
    std::lock_guard<std::mutex> guard(lock_);
    std::size_t drop = 0;
    while (drop < blocks_.size() && (kept_ + bytes > kMostKeptBytes || blocks_.size() - drop >= kMostKeptBlocks)) {
      kept_ -= blocks_[drop].bytes;
      Free(blocks_[drop]);
      ++drop;
    }
    blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(drop));
    blocks_.push_back({memory, bytes});  // within the reserved room: never allocates
    kept_ += bytes;
    MarkKept(memory, bytes);
  }

 private:
  std::mutex lock_;
  std::vector<Block> blocks_;
  std::size_t kept_ = 0;
};

KeptBlocks& Kept() {
  static KeptBlocks kept;
  return kept;
}

}  // namespace

void* TakePlaneMemory(std::size_t bytes) {
  if (bytes >= kKeptFrom)
    if (void* memory = Kept().Take(bytes)) return memory;
  return ::operator new(bytes);
}

void GivePlaneMemory(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes >= kKeptFrom) return Kept().Give(block, bytes);
  ::operator delete(block);
}

}  // namespace mivex::vandrel
