#pragma once
// Keeps the most recently used masters, so that only the first press of a finger pays
// for growing its ridges; every later impression costs milliseconds.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "GaborBank.h"
#include "MasterPrint.h"

namespace mivex::ostrela {

class TMasterCache {
 public:
  explicit TMasterCache(std::size_t capacity);

  // The master of finger (1..10) of a subject, generated on first use.
  std::shared_ptr<const TMasterPrint> Get(std::uint32_t subject, std::int32_t finger);

  // Number of masters generated so far (a cache hit generates none).
  std::int64_t Generated() const;

 private:
  struct TEntry {
    std::uint32_t Subject = 0;
    std::int32_t Finger = 0;
    std::uint64_t LastUse = 0;
    std::shared_ptr<const TMasterPrint> Master;
  };

  mutable std::mutex FLock;
  TGaborBank FBank;
  std::size_t FCapacity;
  std::vector<TEntry> FEntries;
  std::uint64_t FClock = 0;
  std::int64_t FGenerated = 0;
};

}  // namespace mivex::ostrela
