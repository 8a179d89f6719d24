#include "Engine.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "EnhancedImage.h"
#include "Extractor.h"
#include "FeatureRecord.h"
#include "Generalizer.h"
#include "LocalStructures.h"
#include "Matcher.h"
#include "VandrelParams.h"
#include "base/FloatEnvironment.h"
#include "capture/FeatureCodec.h"

namespace mivex::vandrel {
namespace {

struct ContextParameters {
  FeatureSelection selection = FeatureSelection::OmitBO;
  std::int32_t matchThreshold = params::kDefaultMatchThreshold;
  std::int32_t generalizeThreshold = params::kDefaultGeneralizeThreshold;
  bool qualityBytes = false;
};

struct EngineState {
  std::mutex lock;
  bool initialized = false;
  std::shared_ptr<const GaborBank> bank;
  std::unordered_map<std::int32_t, ContextParameters> contexts;
  std::int32_t nextHandle = 1;
};

EngineState& State() {
  static EngineState state;
  return state;
}

// A snapshot of what a call needs, taken under the lock so the call itself runs free.
struct CallSetup {
  std::int32_t result = kResultOk;
  ContextParameters parameters;
  std::shared_ptr<const GaborBank> bank;
};

CallSetup BeginCall(std::int32_t context) {
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  CallSetup setup;
  if (!s.initialized) {
    setup.result = kResultNotInitialized;
    return setup;
  }
  setup.bank = s.bank;
  if (context != 0) {
    const auto it = s.contexts.find(context);
    if (it == s.contexts.end()) {
      setup.result = kResultInvalidArgument;
      return setup;
    }
    setup.parameters = it->second;
  }
  return setup;
}

bool KnownParameter(std::int32_t id) {
  return id == kParamFeatureSelection || id == kParamMatchThreshold || id == kParamGeneralizeThreshold ||
         id == kParamQualityBytes;
}

// Records come without a length: they are read sequentially and never beyond the
// size of the buffers the engine's callers hand over.
bool ReadRecord(const std::uint8_t* record, Features& features) {
  return ReadFeatureRecord(record, params::kRecordBufferSize, features);
}

// Matching templates prepared from recent records, shared by all threads: a server
// comparing one probe with many references, or enrollment cross-matching its samples,
// meets the same records again and skips their preparation. Entries are recognised by
// their bytes; a caller's template stays valid while it holds it, even once replaced.
// (Not a thread_local cache: with the Windows toolchain's emulated TLS, a thread-local
// object with a destructor is torn down after its storage is freed at thread exit.)
class PreparedTemplates {
 public:
  PreparedTemplates() : entries_(kEntries) {}

  // The template of the record, or null when the record cannot be decoded.
  std::shared_ptr<const MatchTemplate> Get(const std::uint8_t* record) {
    // A record that starts with the bytes of a cached one is that record: decoding
    // reads it in order and stops where those bytes end. The bytes are compared in
    // order up to the first that differs, which decoding would read too, so the
    // comparison never reads further into a caller's buffer than decoding does.
    {
      std::lock_guard<std::mutex> guard(lock_);
      for (const auto& e : entries_)
        if (e && SameStart(e->bytes, record)) return {e, &e->prepared};
    }
    FeatureModel model;
    const std::int32_t length = DecodeFeatures(record, params::kRecordBufferSize, model);
    if (length < 0) return nullptr;
    std::vector<Minutia> minutiae;
    if (!MinutiaeOfModel(model, minutiae)) return nullptr;
    // The entry this one replaces leaves the cache first. When no caller holds it any
    // more, its storage is prepared over, which spares a server comparing a stream of
    // new records an allocation per row of every template.
    std::shared_ptr<const Entry> replaced;
    std::size_t slot;
    {
      std::lock_guard<std::mutex> guard(lock_);
      slot = next_;
      next_ = (next_ + 1) % kEntries;
      replaced = std::move(entries_[slot]);
    }
    std::shared_ptr<Entry> e;
    if (replaced != nullptr && replaced.use_count() == 1) {
      // The last other holder let go with a release; this fence orders its reads of
      // the entry before the writes below.
      std::atomic_thread_fence(std::memory_order_acquire);
      e = std::const_pointer_cast<Entry>(std::move(replaced));
    } else {
      replaced.reset();
      e = std::make_shared<Entry>();
    }
    e->bytes.assign(record, record + length);
    BuildMatchTemplate(minutiae, e->prepared);
    {
      std::lock_guard<std::mutex> guard(lock_);
      entries_[slot] = e;
    }
    return {e, &e->prepared};
  }

 private:
  static constexpr std::size_t kEntries = 32;
  static bool SameStart(const std::vector<std::uint8_t>& bytes, const std::uint8_t* record) {
    for (std::size_t k = 0; k < bytes.size(); ++k)
      if (bytes[k] != record[k]) return false;
    return true;
  }
  struct Entry {
    std::vector<std::uint8_t> bytes;
    MatchTemplate prepared;
  };
  std::mutex lock_;
  std::vector<std::shared_ptr<const Entry>> entries_;
  std::size_t next_ = 0;
};

PreparedTemplates& RecentTemplates() {
  static PreparedTemplates cache;
  return cache;
}

// The working rows of comparisons, kept between calls: a comparison takes a set, or
// makes one when all are in use, and hands it back, so that a server verifying one
// pair after another allocates nothing once the rows have grown to its templates.
// (Not thread_local, for the reason given above.)
struct Workspace {
  MatchScratch scratch;
  MatchResult result;
};
class Workspaces {
 public:
  // Room for every set kept, so that handing one back never allocates.
  Workspaces() { free_.reserve(kKept); }
  class Lease {
   public:
    explicit Lease(Workspaces& owner) : owner_(owner), space_(owner.Take()) {}
    ~Lease() { owner_.Give(std::move(space_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Workspace& operator*() const { return *space_; }

   private:
    Workspaces& owner_;
    std::unique_ptr<Workspace> space_;
  };

 private:
  // Sets beyond this many are freed when handed back: as many as threads usually
  // verify at once.
  static constexpr std::size_t kKept = 16;
  std::unique_ptr<Workspace> Take() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (!free_.empty()) {
        std::unique_ptr<Workspace> space = std::move(free_.back());
        free_.pop_back();
        return space;
      }
    }
    return std::make_unique<Workspace>();
  }
  void Give(std::unique_ptr<Workspace> space) {
    std::lock_guard<std::mutex> guard(lock_);
    if (free_.size() < kKept) free_.push_back(std::move(space));
  }
  std::mutex lock_;
  std::vector<std::unique_ptr<Workspace>> free_;
};

Workspaces& ComparisonWorkspaces() {
  static Workspaces spaces;
  return spaces;
}

}  // namespace

std::int32_t EngineInitialize() {
  const ScopedFloatEnvironment floatEnvironment;
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.initialized) {
    try {
      s.bank = std::make_shared<const GaborBank>();
    } catch (const std::bad_alloc&) {
      return kResultOutOfMemory;
    }
    s.initialized = true;
  }
  return kResultOk;
}

std::int32_t EngineFinalize() {
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.initialized) return kResultNotInitialized;
  s.initialized = false;
  s.contexts.clear();
  s.bank.reset();
  return kResultOk;
}

std::int32_t CreateContext() {
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.initialized) return 0;
  // Handles are never reused while the engine runs, and never 0.
  std::int32_t handle = s.nextHandle;
  while (handle == 0 || s.contexts.count(handle)) handle = handle == INT32_MAX ? 1 : handle + 1;
  s.nextHandle = handle == INT32_MAX ? 1 : handle + 1;
  s.contexts.emplace(handle, ContextParameters{});
  return handle;
}

std::int32_t FreeContext(std::int32_t context) {
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.initialized) return kResultNotInitialized;
  if (context == 0) return kResultOk;
  return s.contexts.erase(context) ? kResultOk : kResultInvalidArgument;
}

std::int32_t GetParameter(std::int32_t id, void* value, std::int32_t context) {
  const CallSetup setup = BeginCall(context);
  if (setup.result < 0) return setup.result;
  if (id == kParamTypeQuery) {
    const auto described = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(value));
    return KnownParameter(described) ? kTypeInt32 : kResultInvalidParameter;
  }
  if (!KnownParameter(id)) return kResultInvalidParameter;
  if (value == nullptr) return kResultArgumentNull;
  const ContextParameters& p = setup.parameters;
  std::int32_t v = 0;
  switch (id) {
    case kParamFeatureSelection: v = static_cast<std::int32_t>(p.selection); break;
    case kParamMatchThreshold: v = p.matchThreshold; break;
    case kParamGeneralizeThreshold: v = p.generalizeThreshold; break;
    default: v = p.qualityBytes ? 1 : 0; break;
  }
  std::memcpy(value, &v, sizeof v);
  return kResultOk;
}

std::int32_t SetParameter(std::int32_t id, std::int32_t value, std::int32_t context) {
  EngineState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.initialized) return kResultNotInitialized;
  if (id == kParamTypeQuery || !KnownParameter(id)) return kResultInvalidParameter;
  if (context == 0) return kResultReadOnly;
  const auto it = s.contexts.find(context);
  if (it == s.contexts.end()) return kResultInvalidArgument;
  ContextParameters& p = it->second;
  switch (id) {
    case kParamFeatureSelection:
      if (value < 0 || value > 2) return kResultInvalidArgument;
      p.selection = static_cast<FeatureSelection>(value);
      break;
    case kParamMatchThreshold:
    case kParamGeneralizeThreshold:
      if (value < 0 || value > 2000) return kResultInvalidArgument;
      (id == kParamMatchThreshold ? p.matchThreshold : p.generalizeThreshold) = value;
      break;
    default:
      if (value != 0 && value != 1) return kResultInvalidArgument;
      p.qualityBytes = value == 1;
      break;
  }
  return kResultOk;
}

std::int32_t ExtractRecord(std::int32_t width, std::int32_t height, const std::uint8_t* image, std::int32_t resolution,
                           std::uint8_t* features, std::int32_t* length, std::int32_t context) {
  const ScopedFloatEnvironment floatEnvironment;
  const CallSetup setup = BeginCall(context);
  if (setup.result < 0) return setup.result;
  if (image == nullptr || features == nullptr) return kResultArgumentNull;
  if (width < params::kMinImageSide || height < params::kMinImageSide || width > params::kMaxImageSide ||
      height > params::kMaxImageSide)
    return kResultBadSize;
  if (resolution < params::kMinResolution || resolution > params::kMaxResolution) return kResultBadResolution;
  try {
    const ExtractedFeatures extracted = ExtractFeatures(GrayView{width, height, image}, *setup.bank);
    Features f{extracted.minutiae, extracted.singularPoints, extracted.grid};
    const std::int32_t written = WriteFeatureRecord(f, setup.parameters.selection, setup.parameters.qualityBytes,
                                                    features, params::kRecordBufferSize);
    if (written < 0) return kResultFailed;
    if (length) *length = written;
    return extracted.score;
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

std::int32_t GeneralizeRecords(std::int32_t count, const std::uint8_t* const* records, std::uint8_t* out,
                               std::int32_t* length, std::int32_t context) {
  const ScopedFloatEnvironment floatEnvironment;
  const CallSetup setup = BeginCall(context);
  if (setup.result < 0) return setup.result;
  if (records == nullptr || out == nullptr || length == nullptr) return kResultArgumentNull;
  if (count != 3) return kResultInvalidArgument;
  try {
    Features samples[3];
    const Features* pointers[3];
    for (int i = 0; i < 3; ++i) {
      if (records[i] == nullptr) return kResultArgumentNull;
      if (!ReadRecord(records[i], samples[i])) return kResultInvalidArgument;
      pointers[i] = &samples[i];
    }
    const GeneralizeResult g = GeneralizeSamples(pointers, setup.parameters.generalizeThreshold);
    if (!g.agreed) return kResultFailed;
    const std::int32_t written = WriteFeatureRecord(g.features, setup.parameters.selection,
                                                    setup.parameters.qualityBytes, out, params::kRecordBufferSize);
    if (written < 0) return kResultFailed;
    *length = written;
    return kResultOk;
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

std::int32_t VerifyRecords(const std::uint8_t* record1, const std::uint8_t* record2, std::int32_t* details,
                           std::int32_t context) {
  const ScopedFloatEnvironment floatEnvironment;
  const CallSetup setup = BeginCall(context);
  if (setup.result < 0) return setup.result;
  if (record1 == nullptr || record2 == nullptr || details == nullptr) return kResultArgumentNull;
  std::int32_t size;
  std::memcpy(&size, details, sizeof size);
  if (size < 8) return kResultInvalidArgument;
  try {
    PreparedTemplates& cache = RecentTemplates();
    const std::shared_ptr<const MatchTemplate> t1 = cache.Get(record1);
    if (t1 == nullptr) return kResultInvalidArgument;
    const std::shared_ptr<const MatchTemplate> t2 = cache.Get(record2);
    if (t2 == nullptr) return kResultInvalidArgument;
    const Workspaces::Lease lease(ComparisonWorkspaces());
    Workspace& space = *lease;
    MatchTemplates(*t1, *t2, space.scratch, space.result);
    const MatchResult& m = space.result;
    const std::int32_t threshold = setup.parameters.matchThreshold;
    const std::int32_t decision = m.score >= threshold ? 1 : 0;
    const std::int32_t fields[5] = {size, m.score, decision, static_cast<std::int32_t>(m.pairs.size()), threshold};
    const std::size_t writable = std::min<std::size_t>(5, static_cast<std::size_t>(size) / 4);
    std::memcpy(details + 1, fields + 1, (writable - 1) * sizeof(std::int32_t));
    return decision;
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

}  // namespace mivex::vandrel
