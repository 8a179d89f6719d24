// Times Vandrel.dll through its exports on Windows (or under Wine): extraction of
// 8-bit grey frames and record-to-record verification, one thread.
//
//   vandrel-dll-timing WIDTH HEIGHT FRAME.raw [FRAME.raw ...]
// Each frame file holds WIDTH x HEIGHT bytes, one byte per pixel, rows top to bottom.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/Stdcall.h"

namespace {

using Clock = std::chrono::steady_clock;
using InitFn = std::int32_t(MIVEX_STDCALL*)();
using ExtractFn = std::int32_t(MIVEX_STDCALL*)(std::int32_t, std::int32_t, const std::uint8_t*, std::int32_t,
                                               std::uint8_t*, std::int32_t*, std::intptr_t);
using VerifyFn = std::int32_t(MIVEX_STDCALL*)(const std::uint8_t*, const std::uint8_t*, std::int32_t*, std::intptr_t);

// CPU time of the calling thread in milliseconds (the machine may be shared).
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

template <typename F>
F Entry(HMODULE m, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: vandrel-dll-timing WIDTH HEIGHT FRAME.raw [FRAME.raw ...]\n");
    return 2;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  HMODULE dll = LoadLibraryA("Vandrel.dll");
  if (!dll) {
    std::fprintf(stderr, "Vandrel.dll not found\n");
    return 1;
  }
  const auto init = Entry<InitFn>(dll, "VFInitialize");
  const auto extract = Entry<ExtractFn>(dll, "VFExtract");
  const auto verify = Entry<VerifyFn>(dll, "VFVerify");
  if (!init || !extract || !verify) return 1;
  init();
  std::vector<std::vector<std::uint8_t>> frames, records;
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<std::uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (static_cast<int>(f.size()) != width * height) {
      std::fprintf(stderr, "%s: not %d x %d bytes\n", argv[i], width, height);
      return 1;
    }
    frames.push_back(std::move(f));
  }
  const int rounds = 5;
  std::int32_t length = 0;
  records.assign(frames.size(), std::vector<std::uint8_t>(10000));
  const auto t0 = Clock::now();
  const double c0 = ThreadCpuMs();
  for (int r = 0; r < rounds; ++r)
    for (std::size_t i = 0; i < frames.size(); ++i)
      extract(width, height, frames[i].data(), 500, records[i].data(), &length, 0);
  const double extractMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() /
                           static_cast<double>(rounds * frames.size());
  const double extractCpuMs = (ThreadCpuMs() - c0) / static_cast<double>(rounds * frames.size());
  std::int32_t details[5] = {20};
  long comparisons = 0;
  const auto t1 = Clock::now();
  const double c1 = ThreadCpuMs();
  for (int r = 0; r < 20; ++r)
    for (std::size_t i = 0; i < records.size(); ++i)
      for (std::size_t j = i + 1; j < records.size(); ++j, ++comparisons)
        verify(records[i].data(), records[j].data(), details, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - t1).count();
  const double cpuSeconds = (ThreadCpuMs() - c1) / 1000;
  std::printf("Vandrel.dll (%s), %d x %d frames: extraction %.2f ms (%.2f ms CPU); %.0f comparisons/s (%.0f per CPU second)\n",
              sizeof(void*) == 8 ? "x86_64" : "i686", width, height, extractMs, extractCpuMs,
              comparisons > 0 ? static_cast<double>(comparisons) / seconds : 0.0,
              comparisons > 0 && cpuSeconds > 0 ? static_cast<double>(comparisons) / cpuSeconds : 0.0);
  FreeLibrary(dll);
  return 0;
}
