#include "MasterCache.h"

namespace mivex::ostrela {

TMasterCache::TMasterCache(std::size_t capacity) : FCapacity(capacity < 1 ? 1 : capacity) {}

std::shared_ptr<const TMasterPrint> TMasterCache::Get(std::uint32_t subject, std::int32_t finger) {
  std::lock_guard<std::mutex> guard(FLock);
  ++FClock;
  for (TEntry& e : FEntries) {
    if (e.Subject == subject && e.Finger == finger) {
      e.LastUse = FClock;
      return e.Master;
    }
  }
  auto master = std::make_shared<const TMasterPrint>(GenerateMaster(FBank, subject, finger));
  ++FGenerated;
  TEntry entry{subject, finger, FClock, master};
  if (FEntries.size() < FCapacity) {
    FEntries.push_back(std::move(entry));
  } else {
    std::size_t oldest = 0;
    for (std::size_t i = 1; i < FEntries.size(); ++i)
      if (FEntries[i].LastUse < FEntries[oldest].LastUse) oldest = i;
    FEntries[oldest] = std::move(entry);
  }
  return master;
}

std::int64_t TMasterCache::Generated() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FGenerated;
}

}  // namespace mivex::ostrela
