#pragma once
// The engine's nine calls as a test reaches them: natively the portable engine, in a
// Windows build the entry points of Vandrel.dll looked up by name.
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#include "base/Stdcall.h"
#else
#include "Engine.h"
#endif

namespace mivex::vandrel {

#if defined(_WIN32)
class VandrelApi {
 public:
  ~VandrelApi() {
    if (module_) FreeLibrary(module_);
  }
  bool Load() {
    module_ = LoadLibraryA("Vandrel.dll");
    if (!module_) return false;
    return Bind(initialize_, "VFInitialize") && Bind(finalize_, "VFFinalize") && Bind(create_, "VFCreateContext") &&
           Bind(free_, "VFFreeContext") && Bind(get_, "VFGetParameter") && Bind(set_, "VFSetParameter") &&
           Bind(extract_, "VFExtract") && Bind(generalize_, "VFGeneralize") && Bind(verify_, "VFVerify");
  }
  std::int32_t Initialize() { return initialize_(); }
  std::int32_t Finalize() { return finalize_(); }
  std::intptr_t CreateContext() { return create_(); }
  std::int32_t FreeContext(std::intptr_t c) { return free_(c); }
  std::int32_t GetParameter(std::int32_t id, void* v, std::intptr_t c) { return get_(id, v, c); }
  std::int32_t SetParameter(std::int32_t id, std::intptr_t v, std::intptr_t c) { return set_(id, v, c); }
  std::int32_t Extract(std::int32_t w, std::int32_t h, const std::uint8_t* img, std::int32_t dpi, std::uint8_t* f,
                       std::int32_t* out, std::intptr_t c) {
    return extract_(w, h, img, dpi, f, out, c);
  }
  std::int32_t Generalize(std::int32_t n, const std::uint8_t* const* r, std::uint8_t* out, std::int32_t* len,
                          std::intptr_t c) {
    return generalize_(n, r, out, len, c);
  }
  std::int32_t Verify(const std::uint8_t* a, const std::uint8_t* b, std::int32_t* d, std::intptr_t c) {
    return verify_(a, b, d, c);
  }

 private:
  template <typename F>
  bool Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    return f != nullptr;
  }
  HMODULE module_ = nullptr;
  std::int32_t(MIVEX_STDCALL* initialize_)() = nullptr;
  std::int32_t(MIVEX_STDCALL* finalize_)() = nullptr;
  std::intptr_t(MIVEX_STDCALL* create_)() = nullptr;
  std::int32_t(MIVEX_STDCALL* free_)(std::intptr_t) = nullptr;
  std::int32_t(MIVEX_STDCALL* get_)(std::int32_t, void*, std::intptr_t) = nullptr;
  std::int32_t(MIVEX_STDCALL* set_)(std::int32_t, std::intptr_t, std::intptr_t) = nullptr;
  std::int32_t(MIVEX_STDCALL* extract_)(std::int32_t, std::int32_t, const std::uint8_t*, std::int32_t, std::uint8_t*,
                                        std::int32_t*, std::intptr_t) = nullptr;
  std::int32_t(MIVEX_STDCALL* generalize_)(std::int32_t, const std::uint8_t* const*, std::uint8_t*, std::int32_t*,
                                           std::intptr_t) = nullptr;
  std::int32_t(MIVEX_STDCALL* verify_)(const std::uint8_t*, const std::uint8_t*, std::int32_t*, std::intptr_t) = nullptr;
};
#else
class VandrelApi {
 public:
  bool Load() { return true; }
  std::int32_t Initialize() { return EngineInitialize(); }
  std::int32_t Finalize() { return EngineFinalize(); }
  std::intptr_t CreateContext() { return mivex::vandrel::CreateContext(); }
  std::int32_t FreeContext(std::intptr_t c) { return mivex::vandrel::FreeContext(static_cast<std::int32_t>(c)); }
  std::int32_t GetParameter(std::int32_t id, void* v, std::intptr_t c) {
    return mivex::vandrel::GetParameter(id, v, static_cast<std::int32_t>(c));
  }
  std::int32_t SetParameter(std::int32_t id, std::intptr_t v, std::intptr_t c) {
    return mivex::vandrel::SetParameter(id, static_cast<std::int32_t>(v), static_cast<std::int32_t>(c));
  }
  std::int32_t Extract(std::int32_t w, std::int32_t h, const std::uint8_t* img, std::int32_t dpi, std::uint8_t* f,
                       std::int32_t* out, std::intptr_t c) {
    return ExtractRecord(w, h, img, dpi, f, out, static_cast<std::int32_t>(c));
  }
  std::int32_t Generalize(std::int32_t n, const std::uint8_t* const* r, std::uint8_t* out, std::int32_t* len,
                          std::intptr_t c) {
    return GeneralizeRecords(n, r, out, len, static_cast<std::int32_t>(c));
  }
  std::int32_t Verify(const std::uint8_t* a, const std::uint8_t* b, std::int32_t* d, std::intptr_t c) {
    return VerifyRecords(a, b, d, static_cast<std::int32_t>(c));
  }
};
#endif

}  // namespace mivex::vandrel
