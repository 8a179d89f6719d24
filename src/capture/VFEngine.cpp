#include "capture/VFEngine.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "capture/CaptureParams.h"
#include "capture/LibraryLoad.h"

namespace mivex {
namespace {

using InitializeProc = std::int32_t(MIVEX_STDCALL*)();
using FinalizeProc = std::int32_t(MIVEX_STDCALL*)();
using CreateContextProc = VFContext(MIVEX_STDCALL*)();
using FreeContextProc = std::int32_t(MIVEX_STDCALL*)(VFContext);
using GetParameterProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, void*, VFContext);
using SetParameterProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::intptr_t, VFContext);
using ExtractProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::int32_t, const std::uint8_t*, std::int32_t,
                                                 std::uint8_t*, std::int32_t*, VFContext);
using GeneralizeProc = std::int32_t(MIVEX_STDCALL*)(std::int32_t, const std::uint8_t* const*, std::uint8_t*,
                                                    std::int32_t*, VFContext);
using VerifyProc = std::int32_t(MIVEX_STDCALL*)(const std::uint8_t*, const std::uint8_t*, MatchDetails*, VFContext);

// Written under the lock while the library loads (before any device exists) and read
// without it afterwards. Zero-initialised: no start-up work happens before the load.
struct EngineTable {
  HMODULE module;
  bool attempted;
  InitializeProc initialize;
  FinalizeProc finalize;
  CreateContextProc create_context;
  FreeContextProc free_context;
  GetParameterProc get_parameter;
  SetParameterProc set_parameter;
  ExtractProc extract;
  GeneralizeProc generalize;
  VerifyProc verify;
};
EngineTable g_engine;
SRWLOCK g_engine_lock = SRWLOCK_INIT;

template <typename Proc>
void Resolve(HMODULE module, const char* name, Proc& slot) {
  slot = reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

template <typename Proc>
Proc Bound(Proc proc, const char* name) {
  if (!proc) throw std::runtime_error(std::string("Vandrel.dll does not provide ") + name);
  return proc;
}

struct EngineLock {
  EngineLock() { ::AcquireSRWLockExclusive(&g_engine_lock); }
  ~EngineLock() { ::ReleaseSRWLockExclusive(&g_engine_lock); }
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;
};

}  // namespace

bool LoadEngineLibrary() {
  EngineLock lock;
  if (g_engine.attempted) return g_engine.module != nullptr;
  g_engine.attempted = true;
  HMODULE module = LoadPrivateLibrary(L"Vandrel.dll");
  if (!module) return false;
  g_engine.module = module;
  Resolve(module, "VFInitialize", g_engine.initialize);
  Resolve(module, "VFFinalize", g_engine.finalize);
  Resolve(module, "VFCreateContext", g_engine.create_context);
  Resolve(module, "VFFreeContext", g_engine.free_context);
  Resolve(module, "VFGetParameter", g_engine.get_parameter);
  Resolve(module, "VFSetParameter", g_engine.set_parameter);
  Resolve(module, "VFExtract", g_engine.extract);
  Resolve(module, "VFGeneralize", g_engine.generalize);
  Resolve(module, "VFVerify", g_engine.verify);
  return true;
}

void FreeEngineLibrary() {
  EngineLock lock;
  HMODULE module = g_engine.module;
  // Keep `attempted`: a library is loaded at most once per process.
  g_engine = EngineTable{};
  g_engine.attempted = true;
  if (module) ::FreeLibrary(module);
}

bool EngineLibraryLoaded() { return g_engine.module != nullptr; }

bool EngineEntryPointBound(const char* name) {
  const struct {
    const char* name;
    bool bound;
  } table[] = {
      {"VFInitialize", g_engine.initialize != nullptr},     {"VFFinalize", g_engine.finalize != nullptr},
      {"VFCreateContext", g_engine.create_context != nullptr}, {"VFFreeContext", g_engine.free_context != nullptr},
      {"VFGetParameter", g_engine.get_parameter != nullptr}, {"VFSetParameter", g_engine.set_parameter != nullptr},
      {"VFExtract", g_engine.extract != nullptr},           {"VFGeneralize", g_engine.generalize != nullptr},
      {"VFVerify", g_engine.verify != nullptr},
  };
  for (const auto& entry : table)
    if (std::strcmp(entry.name, name) == 0) return entry.bound;
  return false;
}

std::int32_t VFInitialize() { return Bound(g_engine.initialize, "VFInitialize")(); }
std::int32_t VFFinalize() { return Bound(g_engine.finalize, "VFFinalize")(); }
VFContext VFCreateContext() { return Bound(g_engine.create_context, "VFCreateContext")(); }
std::int32_t VFFreeContext(VFContext context) { return Bound(g_engine.free_context, "VFFreeContext")(context); }

std::int32_t VFGetParameter(std::int32_t id, void* value, VFContext context) {
  return Bound(g_engine.get_parameter, "VFGetParameter")(id, value, context);
}

std::int32_t VFSetParameter(std::int32_t id, std::intptr_t value, VFContext context) {
  return Bound(g_engine.set_parameter, "VFSetParameter")(id, value, context);
}

std::int32_t VFExtract(std::int32_t width, std::int32_t height, const std::uint8_t* image, std::int32_t resolution,
                       std::uint8_t* features, std::int32_t* output, VFContext context) {
  return Bound(g_engine.extract, "VFExtract")(width, height, image, resolution, features, output, context);
}

std::int32_t VFGeneralize(std::int32_t count, const std::uint8_t* const* features, std::uint8_t* output,
                          std::int32_t* size, VFContext context) {
  return Bound(g_engine.generalize, "VFGeneralize")(count, features, output, size, context);
}

std::int32_t VFVerify(const std::uint8_t* features1, const std::uint8_t* features2, MatchDetails* details,
                      VFContext context) {
  return Bound(g_engine.verify, "VFVerify")(features1, features2, details, context);
}

void CheckEngineResult(std::int32_t code) {
  if (Failed(code)) throw std::runtime_error(EngineErrorMessage(code));
}

std::int32_t GetParameterType(std::int32_t id) {
  // The type query takes the asked id in the value position.
  const std::int32_t type =
      VFGetParameter(capture_params::kParamTypeQuery, reinterpret_cast<void*>(static_cast<std::intptr_t>(id)), 0);
  CheckEngineResult(type);
  return type;
}

void CheckParameterType(std::int32_t id, std::int32_t type) {
  if (GetParameterType(id) != type) throw std::runtime_error(kParameterTypeMessage);
}

std::int32_t GetIntParameter(std::int32_t id, VFContext context) {
  CheckParameterType(id, capture_params::kIntParameterType);
  std::int32_t value = 0;
  CheckEngineResult(VFGetParameter(id, &value, context));
  return value;
}

void SetIntParameter(std::int32_t id, std::int32_t value, VFContext context) {
  CheckParameterType(id, capture_params::kIntParameterType);
  CheckEngineResult(VFSetParameter(id, value, context));
}

}  // namespace mivex
